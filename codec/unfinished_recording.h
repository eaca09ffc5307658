#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/file_error.h"

// Finishing a recording that never reached its stop (the program was killed, the machine lost
// power): its size fields are set to what the file holds whole, and the bytes behind the last
// whole frame (WAV) or the last valid record (Compaxa) are cut. A WAV loses no whole frame; a
// Compaxa file loses only a torn or invalid last record. The file is read by position through
// a few tens of kilobytes, whatever its length. The recorder finishes an interrupted take with
// it at its next start, and sonocap-cx repair mends a file with it.

namespace sonocap {

// A recording file read and written by position.
class PositionalFile {
  public:
    virtual ~PositionalFile() = default;
    // The file's length in bytes; -1 when it cannot be found.
    virtual int64_t Length() = 0;
    // Reads up to `bytes` bytes at `offset`; how many were read (fewer at the end or on failure).
    virtual size_t ReadAt(uint64_t offset, void* data, size_t bytes) = 0;
    // Writes all `bytes` bytes at `offset`; false when they were not all stored.
    virtual bool WriteAt(uint64_t offset, const void* data, size_t bytes) = 0;
    virtual bool Truncate(uint64_t length) = 0;
};

// One 32-bit little-endian size field of a header.
struct SizeFieldChange {
    uint64_t offset = 0;
    uint32_t before = 0;
    uint32_t after = 0;
};

struct FinishPlan {
    bool compressed = false;   // Compaxa; otherwise WAV
    uint64_t length = 0;       // the file's length as found
    uint64_t headerBytes = 0;  // bytes before the samples or the first record
    uint64_t newLength = 0;    // the file is cut here
    uint64_t frames = 0;       // frames the finished file holds
    // Frames that the size fields counted before (what a player showed of the unfinished file).
    uint64_t declaredFrames = 0;
    std::vector<SizeFieldChange> fields;  // the size fields whose value changes
    // Why the bytes from newLength on are not part of the recording; empty when none are cut.
    std::string cutReason;
    // Set when the fault is not the unfinished end but damage with audio behind it (valid
    // records after it, or a finished header that counts past it): cutting there loses audio.
    std::optional<FileError> damage;
    uint64_t framesAfterDamage = 0;    // the audio behind it, as far as it is known
    std::optional<uint64_t> resumeAt;  // where valid records start again, if they do

    bool Changes() const { return newLength != length || !fields.empty(); }
    uint64_t CutBytes() const { return length - newLength; }
};

// Works out how to finish the recording. An error means that the file is not recognisably a
// WAV or Compaxa recording in the recorder's format (or is too long for its 32-bit sizes), and
// nothing may be done to it. A plan with `damage` is not to be applied without the user's word.
std::optional<FileError> PlanFinish(PositionalFile& file, FinishPlan& plan);

// Cuts the tail and writes the changed size fields; the samples and records before newLength are
// left as they are. False when a write failed (the file may then hold some of the changes).
bool ApplyFinish(PositionalFile& file, const FinishPlan& plan);

}  // namespace sonocap

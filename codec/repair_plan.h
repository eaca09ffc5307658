#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/byte_window.h"
#include "codec/file_error.h"

// What repair would change in a recording left without its final header, worked out by reading
// the file once through a window: new size fields, and the length up to which the bytes are a
// valid recording. No sample that the file holds is dropped: a WAV's samples run to the end of
// the file in whole frames unless whole chunks (LIST and the like) follow its data size. A file
// whose finished header declares more than it holds is a copy cut short, not an unfinished
// recording: that is reported as damage.

namespace sonocap {

struct FieldPatch {
    uint64_t offset = 0;  // of a 32-bit little-endian size field
    uint32_t value = 0;
    uint32_t before = 0;  // what the field holds now
};

struct RepairPlan {
    std::string format;        // "WAV" or "Compaxa"
    std::string headerState;   // what the size fields said, for the user
    std::string content;       // what the valid part holds, for the user
    uint64_t headerBytes = 0;  // bytes 0 .. headerBytes-1 hold the header (saved in the backup)
    std::vector<FieldPatch> patches;
    uint64_t length = 0;     // of the file as it is
    uint64_t newLength = 0;  // the file is cut here; the bytes from here on are kept aside
    std::string cutReason;   // why those bytes are not part of the recording
    uint64_t frames = 0;
    // Set when the file reached its stop, or holds valid records behind the fault, or declares more
    // than it holds: damage inside a recording or a copy cut short, not its unfinished end.
    // Cutting there loses audio, so it takes --salvage.
    std::optional<FileError> damage;
    std::string damageExtent;  // how much audio lies before and after it, for the user
};

// Plans the repair of a WAV or Compaxa recording, reading the window to its end; an error means
// the file is not recognisably one of the two (or is too long for its 32-bit size fields, or
// could not be read), and nothing may be done to it.
std::optional<FileError> PlanWaveRepair(ByteWindow& window, RepairPlan& plan);
std::optional<FileError> PlanCompressedRepair(ByteWindow& window, RepairPlan& plan);
std::optional<FileError> PlanWaveRepair(const uint8_t* data, size_t size, RepairPlan& plan);
std::optional<FileError> PlanCompressedRepair(const uint8_t* data, size_t size, RepairPlan& plan);

}  // namespace sonocap

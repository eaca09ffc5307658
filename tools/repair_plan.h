#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec/file_error.h"

// What repair would change in a recording left without its final header, worked out from the
// file image alone: new size fields, and the length up to which the bytes are a valid recording.
// What follows a WAV's samples in whole chunks (LIST and the like) is kept.

namespace sonocap {

struct FieldPatch {
    uint64_t offset = 0;  // of a 32-bit little-endian size field
    uint32_t value = 0;
};

struct RepairPlan {
    std::string format;        // "WAV" or "Compaxa"
    std::string headerState;   // what the size fields said, for the user
    std::string content;       // what the valid part holds, for the user
    uint64_t headerBytes = 0;  // bytes 0 .. headerBytes-1 hold the header (saved in the backup)
    std::vector<FieldPatch> patches;
    uint64_t newLength = 0;  // the file is cut here; the bytes from here on are kept aside
    std::string cutReason;   // why those bytes are not part of the recording
    uint64_t frames = 0;
    // Set when the file reached its stop, or holds valid records behind the fault: damage inside
    // a recording, not its unfinished end. Cutting there loses audio, so it takes --salvage.
    std::optional<FileError> damage;
    std::string damageExtent;  // how much audio lies before and after it, for the user
};

// Plans the repair of a WAV or Compaxa recording; an error means the file is not recognisably
// one of the two (or is too long for its 32-bit size fields), and nothing may be done to it.
std::optional<FileError> PlanWaveRepair(const uint8_t* data, size_t size, RepairPlan& plan);
std::optional<FileError> PlanCompressedRepair(const uint8_t* data, size_t size, RepairPlan& plan);

}  // namespace sonocap

#pragma once

#include <array>
#include <cstdint>

namespace sonocap {

// One entry per peak magnitude 0 ... 32768 of a 16-bit sample: 32768 itself is the
// full-scale magnitude of -32768.
inline constexpr int32_t kDbTableEntries = 32769;

// Level shown for a peak of 0, which has no logarithm.
inline constexpr float kSilenceDb = -100.0f;

// Fills dbTable: the level in dB of each peak magnitude.
void BuildDbTable();

}  // namespace sonocap

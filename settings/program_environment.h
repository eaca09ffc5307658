#pragma once

#include <cstdint>
#include <string>

// Values worked out once at start-up and read-only afterwards.

namespace sonocap {

// Operating-system classes; kOsOther covers every system not named.
inline constexpr int32_t kOsWin32s = 0;
inline constexpr int32_t kOsWindows = 1;
inline constexpr int32_t kOsNt = 2;
inline constexpr int32_t kOsOther = -1;

// Frames the metering stays behind the device position where that position runs ahead of
// the data in the buffer: 3000 frames are 68 ms at 44 100 Hz.
inline constexpr int32_t kDefaultMeterLagFrames = 3000;

void FindProgramDirectory();
void CheckOsVersion();
void ApplyMeterLag();

}  // namespace sonocap

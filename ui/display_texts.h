#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/recording_format.h"

// What the recorder window shows of a recording: the two times, the peak readouts and the
// meters' target levels.

namespace sonocap {

inline constexpr float kMeterFloorDb = -40.0f;
inline constexpr double kMeterScalePerDb = 0.025;

// Whole seconds of `frames` that have passed, for the elapsed-time field.
int64_t ShownSeconds(int64_t frames);

// "mm:ss min"; the minutes take as many digits as they need.
std::string MinutesText(int64_t seconds);

// Shown as the time left when the free space of the recording's drive is unknown.
inline constexpr char kUnknownTimeText[] = "--:-- min";

// Whole seconds that still fit on a drive with `freeBytes` free. A compressed recording
// scales the uncompressed figure by the ratio reached so far, once anything is stored.
int64_t SecondsLeft(uint64_t freeBytes, int64_t totalFrames, int64_t bytesWritten, bool compressed);

// The peak readout of a peak hold (0 .. 32768): "-inf dB" for 0, else " -6.0dB" and the like.
std::string PeakText(int32_t peakHold);

// A level as assistive technology reads it: "-6.0 dB", or "-inf dB" for silence.
std::string LevelText(float db);

// The meter level of a peak in dB: 0.0 at and below the floor, 1.0 at full scale.
float MeterTarget(float db);

// Free bytes on the file system of `directory`, nothing when it cannot be asked.
std::optional<uint64_t> FreeDiskBytes(const std::string& directory);

}  // namespace sonocap

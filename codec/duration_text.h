#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/wave_header.h"

namespace sonocap {

// `frames` at the recording rate in whole units of 1/`unitsPerSecond` second, rounded to the
// nearest (a half up). Every time the programs show is rounded this one way, so that a time
// equals the file's length to the precision shown.
inline uint64_t RoundedTimeUnits(uint64_t frames, uint64_t unitsPerSecond) {
    return (frames * unitsPerSecond + kSampleRate / 2) / kSampleRate;
}

// "h:mm:ss.cc" for a number of frames at the recording rate, in hundredths of a second.
inline std::string FormatDuration(uint64_t frames) {
    const uint64_t hundredths = RoundedTimeUnits(frames, 100);
    const uint64_t seconds = hundredths / 100;
    char text[48];
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%02llu",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60),
                  static_cast<unsigned long long>(seconds % 60),
                  static_cast<unsigned long long>(hundredths % 100));
    return text;
}

}  // namespace sonocap

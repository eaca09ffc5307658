#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/wave_header.h"

namespace sonocap {

// "h:mm:ss.cc" for a number of frames at the recording rate: hundredths of a second, cut rather
// than rounded, so that a time never reads longer than the recording is.
inline std::string FormatDuration(uint64_t frames) {
    const uint64_t seconds = frames / kSampleRate;
    const uint64_t hundredths = frames % kSampleRate * 100 / kSampleRate;
    char text[48];
    std::snprintf(text, sizeof text, "%llu:%02llu:%02llu.%02llu",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60),
                  static_cast<unsigned long long>(seconds % 60),
                  static_cast<unsigned long long>(hundredths));
    return text;
}

}  // namespace sonocap

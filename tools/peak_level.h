#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace sonocap {

// The largest magnitude of each channel of interleaved stereo samples; -32768 counts as 32768.
struct PeakLevel {
    int32_t left = 0;
    int32_t right = 0;

    void Add(const int16_t* samples, size_t frames) {
        for (size_t i = 0; i < frames; ++i) {
            const int32_t l = std::abs(int32_t{samples[2 * i]});
            const int32_t r = std::abs(int32_t{samples[2 * i + 1]});
            if (l > left) left = l;
            if (r > right) right = r;
        }
    }
};

// dB relative to full scale (32768); -infinity for a channel that is all zeros.
inline double PeakDecibels(int32_t peak) {
    return peak == 0 ? -INFINITY : 20.0 * std::log10(peak / 32768.0);
}

// "-4.6 dB", or "-inf dB" for silence.
inline std::string PeakDecibelsText(int32_t peak) {
    if (peak == 0) return "-inf dB";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dB", PeakDecibels(peak));
    return text;
}

}  // namespace sonocap

#pragma once

#include <cstdint>

// The optional DC-removal filter: per channel y[n] = a (x[n] - x[n-1]) + b y[n-1], a first-order
// high-pass with its -3 dB point near 1.4 Hz, run in place over each buffer as it is stored.

namespace sonocap {

inline constexpr double kDcFilterGain = 0.9999;  // a = (1 + b) / 2: gain 1 at half the rate
inline constexpr double kDcFilterPole = 0.9998;  // b

// True where long double carries the 64-bit mantissa that RemoveDC's results are defined with.
inline constexpr bool kDcFilterExactHost = __LDBL_MANT_DIG__ == 64;

// Filters `count` interleaved stereo frames in place, continuing from dcStateLeft and
// dcStateRight of the capture session and leaving the states for the next buffer. A count of
// 0 or less changes nothing.
void RemoveDC(int16_t* frames, int32_t count);

}  // namespace sonocap

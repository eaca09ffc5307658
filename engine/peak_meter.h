#pragma once

#include <cstdint>

// Peak metering of the capture ring for the level display, and clearing samples.

namespace sonocap {

struct Peaks {
    int32_t left = 0;  // largest |sample|, 0 .. 32768
    int32_t right = 0;
};

// The largest absolute left and right sample of `count` interleaved stereo frames; 0 and 0
// for a count of 0 or less.
Peaks MeasurePeaks(int32_t count, const int16_t* frames);

// Measures the ring frames that arrived since the last call (the device position less
// meterLagFrames, taken round the ring) into peakLeft and peakRight. Does nothing while no
// device is open or while the lagged position is negative.
void UpdateMeterPeaks();

// Raises each channel's peak hold to its last measured peak.
void UpdatePeakHolds();

// Sets `count` samples to 0; nothing for a count of 0 or less.
void ZeroSamples(int16_t* samples, int32_t count);

}  // namespace sonocap

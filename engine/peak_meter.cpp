#include "engine/peak_meter.h"

#include <algorithm>
#include <cstdlib>

#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "settings/program_environment.h"

namespace sonocap {

Peaks MeasurePeaks(int32_t count, const int16_t* frames) {
    Peaks peaks;
    for (int32_t i = 0; i < count; ++i) {
        peaks.left = std::max(peaks.left, std::abs(int32_t{frames[2 * i]}));
        peaks.right = std::max(peaks.right, std::abs(int32_t{frames[2 * i + 1]}));
    }
    return peaks;
}

void UpdateMeterPeaks() {
    CaptureSession& s = captureSession;
    if (s.device == nullptr || s.ring == nullptr) return;
    const int64_t position = s.device->Position() - meterLagFrames;
    if (position < 0) return;
    const auto r = static_cast<int32_t>(position % kRingFrames);
    const int16_t* ring = s.ring;
    Peaks peaks;
    if (r >= s.meterReadIndex) {
        peaks = MeasurePeaks(r - s.meterReadIndex, ring + 2 * s.meterReadIndex);
    } else {
        const Peaks tail =
            MeasurePeaks(kRingFrames - s.meterReadIndex, ring + 2 * s.meterReadIndex);
        const Peaks head = MeasurePeaks(r, ring);
        peaks.left = std::max(tail.left, head.left);
        peaks.right = std::max(tail.right, head.right);
    }
    s.peakLeft = peaks.left;
    s.peakRight = peaks.right;
    s.meterReadIndex = r;
}

void UpdatePeakHolds() {
    CaptureSession& s = captureSession;
    s.peakHoldLeft = std::max(s.peakHoldLeft, s.peakLeft);
    s.peakHoldRight = std::max(s.peakHoldRight, s.peakRight);
}

void ZeroSamples(int16_t* samples, int32_t count) {
    for (int32_t i = 0; i < count; ++i) samples[i] = 0;
}

}  // namespace sonocap

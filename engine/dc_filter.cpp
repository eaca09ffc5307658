#include "engine/dc_filter.h"

#include <cfenv>
#include <cmath>

#include "engine/capture_session.h"
#include "engine/program_state.h"

namespace sonocap {

// The results are defined with 64-bit mantissas for p, y and the new state, and ties-to-even
// rounding. On x86-64 (and i386) Linux long double is the x87 extended format and the x87
// precision control already stands at 64 bits, so the results are exact there; on hosts where
// long double is double or a 113-bit format a last bit can differ now and then.

namespace {

inline int16_t FilterSample(int16_t x, double& state) {
    const long double p = static_cast<long double>(x) * kDcFilterGain;
    const long double y = p + state;
    // A whole number far inside double's range, so the double holds it exactly; limited and
    // converted there, it needs no switch of the x87 rounding mode, which a long double to
    // integer conversion costs twice per sample.
    double rounded = static_cast<double>(std::rintl(y));
    if (rounded > 32767.0) rounded = 32767.0;
    if (rounded < -32768.0) rounded = -32768.0;
    // The state is carried from frame to frame as a double.
    state = static_cast<double>(y * kDcFilterPole - p);
    return static_cast<int16_t>(rounded);
}

}  // namespace

void RemoveDC(int16_t* frames, int32_t count) {
    if (count <= 0) return;
    // rintl rounds in the current mode like nearbyintl but without saving the environment at
    // every call; the caller's whole environment (mode and flags) is put back at the end.
    std::fenv_t callerEnvironment;
    std::fegetenv(&callerEnvironment);
    std::fesetround(FE_TONEAREST);
    double left = captureSession.dcStateLeft;
    double right = captureSession.dcStateRight;
    for (int32_t i = 0; i < count; ++i) {
        frames[2 * i] = FilterSample(frames[2 * i], left);
        frames[2 * i + 1] = FilterSample(frames[2 * i + 1], right);
    }
    captureSession.dcStateLeft = left;
    captureSession.dcStateRight = right;
    std::fesetenv(&callerEnvironment);
}

}  // namespace sonocap

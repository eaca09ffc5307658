#include "engine/dc_filter.h"

#include <cfenv>
#include <cmath>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "tests/codec/test_signals.h"

namespace sonocap {
namespace {

class DcFilter : public ::testing::Test {
  protected:
    void SetUp() override {
        captureSession.dcStateLeft = 0.0;
        captureSession.dcStateRight = 0.0;
    }
};

// The filter as its definition states it, one sample at a time.
int16_t ReferenceSample(int16_t x, double& state) {
    const long double p = static_cast<long double>(x) * static_cast<long double>(0.9999);
    const long double y = p + static_cast<long double>(state);
    const long double limited = std::fmin(std::fmax(std::nearbyintl(y), -32768.0L), 32767.0L);
    state = static_cast<double>(y * static_cast<long double>(0.9998) - p);
    return static_cast<int16_t>(limited);
}

TEST_F(DcFilter, ACountOfZeroChangesNothing) {
    captureSession.dcStateLeft = 1.25;
    captureSession.dcStateRight = -3.5;
    std::vector<int16_t> samples = {1000, -1000};
    RemoveDC(samples.data(), 0);
    RemoveDC(samples.data(), -4);
    EXPECT_EQ(samples, (std::vector<int16_t>{1000, -1000}));
    EXPECT_EQ(captureSession.dcStateLeft, 1.25);
    EXPECT_EQ(captureSession.dcStateRight, -3.5);
}

TEST_F(DcFilter, MatchesItsDefinitionBitForBitOnMusic) {
    if (!kDcFilterExactHost) {
        GTEST_SKIP() << "long double has no 64-bit mantissa here; the results are exact only "
                        "on x86 hosts";
    }
    std::vector<int16_t> samples = test::LoadCorpusClip("d3_tracker_music.wav");
    if (samples.empty()) samples = test::MakeSignal(test::SignalKind::Sine, 200000, 9);
    std::vector<int16_t> expected = samples;
    double left = 0.0, right = 0.0;
    for (std::size_t i = 0; i + 1 < expected.size(); i += 2) {
        expected[i] = ReferenceSample(expected[i], left);
        expected[i + 1] = ReferenceSample(expected[i + 1], right);
    }
    const auto frames = static_cast<int32_t>(samples.size() / 2);
    RemoveDC(samples.data(), frames);
    EXPECT_EQ(samples, expected);
    EXPECT_EQ(captureSession.dcStateLeft, left);
    EXPECT_EQ(captureSession.dcStateRight, right);
}

struct RoundingCase {
    double state;
    int16_t expected;
};

void PrintTo(const RoundingCase& c, std::ostream* out) {
    *out << "state " << c.state;
}

class DcFilterRounding : public DcFilter, public ::testing::WithParamInterface<RoundingCase> {};

TEST_P(DcFilterRounding, RoundsHalfwayToEven) {
    captureSession.dcStateLeft = GetParam().state;
    int16_t frame[2] = {0, 0};
    RemoveDC(frame, 1);
    EXPECT_EQ(frame[0], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Halves, DcFilterRounding,
                         ::testing::Values(RoundingCase{0.5, 0}, RoundingCase{1.5, 2},
                                           RoundingCase{2.5, 2}, RoundingCase{-0.5, 0},
                                           RoundingCase{-1.5, -2}, RoundingCase{-2.5, -2},
                                           RoundingCase{0.49, 0}, RoundingCase{0.51, 1}));

TEST_F(DcFilter, LimitsTheSampleButCarriesTheUnlimitedValue) {
    captureSession.dcStateLeft = 40000.0;
    captureSession.dcStateRight = -40000.0;
    int16_t frame[2] = {32767, -32768};
    RemoveDC(frame, 1);
    EXPECT_EQ(frame[0], 32767);
    EXPECT_EQ(frame[1], -32768);
    const long double p = 32767.0L * static_cast<long double>(0.9999);
    const long double y = p + 40000.0L;
    EXPECT_EQ(captureSession.dcStateLeft,
              static_cast<double>(y * static_cast<long double>(0.9998) - p));
    EXPECT_GT(captureSession.dcStateLeft, 30000.0);
}

class DcFilterCallerRounding : public DcFilter, public ::testing::WithParamInterface<int> {};

TEST_P(DcFilterCallerRounding, RoundsToNearestAndRestoresTheCallersMode) {
    ASSERT_EQ(std::fesetround(GetParam()), 0);
    captureSession.dcStateLeft = 1.5;
    captureSession.dcStateRight = 0.75;
    int16_t frame[2] = {0, 0};
    RemoveDC(frame, 1);
    const int after = std::fegetround();
    std::fesetround(FE_TONEAREST);
    EXPECT_EQ(after, GetParam());
    EXPECT_EQ(frame[0], 2);
    EXPECT_EQ(frame[1], 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, DcFilterCallerRounding,
                         ::testing::Values(FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO, FE_TONEAREST));

TEST_F(DcFilter, BuffersFilteredOneByOneEqualOneRun) {
    const std::vector<int16_t> signal = test::MakeSignal(test::SignalKind::FullScaleNoise, 5000, 2);
    std::vector<int16_t> whole = signal;
    RemoveDC(whole.data(), 5000);
    const double left = captureSession.dcStateLeft;
    SetUp();
    std::vector<int16_t> pieces = signal;
    RemoveDC(pieces.data(), 1234);
    RemoveDC(pieces.data() + 2 * 1234, 5000 - 1234);
    EXPECT_EQ(pieces, whole);
    EXPECT_EQ(captureSession.dcStateLeft, left);
}

TEST_F(DcFilter, AConstantOffsetDecaysFromTheFirstSample) {
    std::vector<int16_t> samples(2 * 88200, 10000);
    RemoveDC(samples.data(), 88200);
    EXPECT_EQ(samples[0], 9999);         // 10000 x 0.9999
    EXPECT_LT(samples[2 * 5000], 3700);  // one time constant: 1 / (1 - 0.9998) frames
    EXPECT_EQ(samples[2 * 88199], 0);
    EXPECT_EQ(samples[2 * 88199 + 1], 0);
}

TEST_F(DcFilter, PassesHalfTheSampleRateWithUnitGain) {
    std::vector<int16_t> samples(2 * 1000);
    for (int i = 0; i < 1000; ++i) samples[2 * i] = samples[2 * i + 1] = i % 2 ? -10000 : 10000;
    RemoveDC(samples.data(), 1000);
    EXPECT_NEAR(samples[2 * 999], -10000, 3);
    EXPECT_NEAR(samples[2 * 998], 10000, 3);
}

}  // namespace
}  // namespace sonocap

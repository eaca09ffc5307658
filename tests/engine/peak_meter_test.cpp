#include "engine/peak_meter.h"

#include <ostream>
#include <vector>

#include <gtest/gtest.h>

#include "engine/program_state.h"
#include "settings/program_environment.h"
#include "tests/engine/capture_fixture.h"

namespace sonocap {
namespace {

struct MeasureCase {
    std::vector<int16_t> frames;
    int32_t count;
    int32_t left;
    int32_t right;
};

void PrintTo(const MeasureCase& c, std::ostream* out) {
    *out << c.count << " frames";
}

class PeakMeterMeasure : public ::testing::TestWithParam<MeasureCase> {};

TEST_P(PeakMeterMeasure, FindsTheLargestMagnitudePerChannel) {
    const MeasureCase& c = GetParam();
    const Peaks peaks = MeasurePeaks(c.count, c.frames.data());
    EXPECT_EQ(peaks.left, c.left);
    EXPECT_EQ(peaks.right, c.right);
}

INSTANTIATE_TEST_SUITE_P(Spans, PeakMeterMeasure,
                         ::testing::Values(MeasureCase{{100, 200}, 0, 0, 0},
                                           MeasureCase{{100, 200}, -3, 0, 0},
                                           MeasureCase{{-32768, 5, 7, 32767}, 2, 32768, 32767},
                                           MeasureCase{{-3, 4, 2, -9, 1, 1}, 3, 3, 9},
                                           MeasureCase{{-3, 4, 2, -9, 100, 100}, 2, 3, 9}));

TEST(PeakMeterZero, ClearsExactlyTheGivenSamples) {
    std::vector<int16_t> samples = {1, 2, 3, 4};
    ZeroSamples(samples.data(), 0);
    ZeroSamples(samples.data(), -2);
    EXPECT_EQ(samples, (std::vector<int16_t>{1, 2, 3, 4}));
    ZeroSamples(samples.data(), 3);
    EXPECT_EQ(samples, (std::vector<int16_t>{0, 0, 0, 4}));
}

class PeakMeter : public test::CaptureFixture {
  protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        meterLagFrames = 0;
        ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    }
    void TearDown() override {
        meterLagFrames = kDefaultMeterLagFrames;
        CaptureFixture::TearDown();
    }
    void Put(int32_t frame, int16_t left, int16_t right) {
        captureSession.ring[2 * frame] = left;
        captureSession.ring[2 * frame + 1] = right;
    }
};

TEST_F(PeakMeter, MeasuresFromTheLastReadIndexUpToThePosition) {
    Put(9, 500, -600);
    Put(10, 30000, 30000);  // not arrived yet
    device.SetPosition(10);
    UpdateMeterPeaks();
    EXPECT_EQ(captureSession.peakLeft, 500);
    EXPECT_EQ(captureSession.peakRight, 600);
    EXPECT_EQ(captureSession.meterReadIndex, 10);
}

TEST_F(PeakMeter, NoNewFramesGiveZero) {
    Put(3, 500, 500);
    device.SetPosition(10);
    UpdateMeterPeaks();
    UpdateMeterPeaks();
    EXPECT_EQ(captureSession.peakLeft, 0);
    EXPECT_EQ(captureSession.peakRight, 0);
}

TEST_F(PeakMeter, ASpanRoundTheEndOfTheRingIsMeasuredInTwoPieces) {
    captureSession.meterReadIndex = kRingFrames - 10;
    Put(kRingFrames - 1, 700, 1);
    Put(4, 2, 800);
    Put(5, 9999, 9999);  // beyond the position
    device.SetPosition(kRingFrames + 5);
    UpdateMeterPeaks();
    EXPECT_EQ(captureSession.peakLeft, 700);
    EXPECT_EQ(captureSession.peakRight, 800);
    EXPECT_EQ(captureSession.meterReadIndex, 5);
}

TEST_F(PeakMeter, SubtractsTheLagFromThePosition) {
    meterLagFrames = 3000;
    Put(100, 1000, 1000);
    Put(2000, 2000, 2000);
    device.SetPosition(3000 + 1000);
    UpdateMeterPeaks();
    EXPECT_EQ(captureSession.peakLeft, 1000);
    EXPECT_EQ(captureSession.meterReadIndex, 1000);
}

TEST_F(PeakMeter, ANegativeLaggedPositionKeepsEverything) {
    meterLagFrames = 3000;
    captureSession.peakLeft = 77;
    captureSession.peakRight = 88;
    captureSession.meterReadIndex = 12;
    device.SetPosition(2999);
    UpdateMeterPeaks();
    EXPECT_EQ(captureSession.peakLeft, 77);
    EXPECT_EQ(captureSession.peakRight, 88);
    EXPECT_EQ(captureSession.meterReadIndex, 12);
}

TEST_F(PeakMeter, ReadsFramesTheDeviceDelivered) {
    Capture(test::NumberedFrames(5000, 1));
    UpdateMeterPeaks();
    EXPECT_EQ(captureSession.peakLeft, 5000);
    EXPECT_EQ(captureSession.peakRight, 5000);
}

}  // namespace
}  // namespace sonocap

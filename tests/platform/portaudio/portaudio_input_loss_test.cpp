#include <gtest/gtest.h>

#include "platform/portaudio/portaudio_wave_input.h"

namespace sonocap::platform {
namespace {

constexpr int64_t kCallbackFrames = 512;

// Drives the stream callback as PortAudio does, with the input time of each callback.
class CallbackDriver {
  public:
    void Call(double jitterSeconds = 0.0, bool overflow = false) {
        input.Capture(nullptr, kCallbackFrames, time_ + jitterSeconds, overflow);
        time_ += static_cast<double>(kCallbackFrames) / 44100.0;
    }
    void Skip(double seconds) { time_ += seconds; }

    PortAudioWaveInput input;

  private:
    double time_ = 1000.0;
};

TEST(PortAudioInputLoss, TheInputTimeWanderingWithinItsJitterIsNoLoss) {
    CallbackDriver driver;
    for (double jitter : {0.0, 0.02, -0.02, 0.013, -0.019, 0.0}) driver.Call(jitter);
    EXPECT_EQ(driver.input.Losses().events, 0);
}

TEST(PortAudioInputLoss, AnOverflowFlagIsALossOfUnknownLength) {
    CallbackDriver driver;
    driver.Call();
    driver.Call(0.0, true);
    const InputLoss loss = driver.input.Losses();
    EXPECT_EQ(loss.events, 1);
    EXPECT_EQ(loss.frames, 0);
    EXPECT_EQ(loss.atFrame, kCallbackFrames);
}

TEST(PortAudioInputLoss, AJumpOfTheInputTimeIsALossOfItsLength) {
    CallbackDriver driver;
    driver.Call();
    driver.Call();
    driver.Skip(0.25);
    driver.Call();
    driver.Call();
    const InputLoss loss = driver.input.Losses();
    EXPECT_EQ(loss.events, 1);
    EXPECT_EQ(loss.frames, 11025);
    EXPECT_EQ(loss.atFrame, 2 * kCallbackFrames);
}

}  // namespace
}  // namespace sonocap::platform

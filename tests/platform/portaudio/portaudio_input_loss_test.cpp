#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "platform/portaudio/alsa_output_filter.h"
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

TEST(AlsaOutputFilter, ABurstOfAlsaTracesBecomesOneLogLineAndOtherLinesPassUnchanged) {
    char path[] = "/tmp/sonocap-stderr-XXXXXX";
    const int file = mkstemp(path);
    ASSERT_GE(file, 0);
    const int saved = dup(STDERR_FILENO);
    dup2(file, STDERR_FILENO);
    {
        AlsaOutputFilter filter;
        std::fputs("sonocap: take.wav: recording started (WAV)\n", stderr);
        std::fputs(
            "Expression 'alsa_snd_pcm_poll_descriptors_revents( self->pcm, pfds, "
            "self->nfds, &revents )' failed in 'src/hostapi/alsa/pa_linux_alsa.c', line: "
            "3665\n",
            stderr);
        std::fputs(
            "Expression 'PaAlsaStream_WaitForFrames( stream, &framesAvail, &xrun )' failed "
            "in 'src/hostapi/alsa/pa_linux_alsa.c', line: 4285\n",
            stderr);
        std::fputs("ALSA lib pcm.c:8568:(snd_pcm_recover) overrun occurred\n", stderr);
        std::fflush(stderr);
        usleep(50000);
        std::fputs("sonocap: take.wav: recording stopped\n", stderr);
        std::fflush(stderr);
    }
    std::fputs("after\n", stderr);
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(file);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    unlink(path);
    EXPECT_EQ(
        text.str(),
        "sonocap: take.wav: recording started (WAV)\n"
        "sonocap: the audio system reported: Expression 'alsa_snd_pcm_poll_descriptors_revents"
        "( self->pcm, pfds, self->nfds, &revents )' failed in "
        "'src/hostapi/alsa/pa_linux_alsa.c', line: 3665 (and 2 more lines)\n"
        "sonocap: take.wav: recording stopped\n"
        "after\n");
}

}  // namespace
}  // namespace sonocap::platform

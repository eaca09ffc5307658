#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "platform/portaudio/header_queue.h"
#include "platform/wave_input.h"

namespace sonocap::platform {

// The default input of PortAudio. Its callback runs on the audio server's thread: it copies
// frames into the head of the queued buffers, hands filled buffers back through a lock-free
// queue and wakes the event loop through an eventfd; the notifications themselves are posted
// on the event loop's thread by DeliverNotifications.
class PortAudioWaveInput final : public WaveInput {
  public:
    PortAudioWaveInput();
    ~PortAudioWaveInput() override;
    PortAudioWaveInput(const PortAudioWaveInput&) = delete;
    PortAudioWaveInput& operator=(const PortAudioWaveInput&) = delete;

    WaveResult Open(WindowHandle notificationWindow) override;
    WaveResult PrepareHeader(WaveHeader* header) override;
    WaveResult UnprepareHeader(WaveHeader* header) override;
    WaveResult AddBuffer(WaveHeader* header) override;
    WaveResult Start() override;
    WaveResult Stop() override;
    WaveResult Reset() override;
    WaveResult Close() override;
    int64_t Position() override;
    InputLoss Losses() const override;
    std::string OpenFailure() const override { return openFailure_; }
    int NotificationDescriptor() const override { return wake_; }
    void DeliverNotifications() override;

    // The stream's callback, on the audio thread: no allocation, no lock, and no system call
    // but the wake-up of the event loop when a buffer is full. `input` is nullptr when the
    // stream has no data for the frames. `adcTime` is the stream's input time of the first
    // frame (0 when unknown); `overflow` says that input was dropped before these frames.
    void Capture(const int16_t* input, int64_t frameCount, double adcTime = 0.0,
                 bool overflow = false);

  private:
    void NoteLoss(bool overflow, double adcTime, int64_t frameCount);
    void Complete(WaveHeader* header, uint32_t bytes);
    void PostCompleted();
    void Fail(const std::string& reason);

    void* stream_ = nullptr;  // PaStream
    bool running_ = false;
    WindowHandle window_ = kNoWindow;
    int wake_ = -1;
    std::string openFailure_;

    HeaderQueue queued_;     // user-interface thread -> callback
    HeaderQueue completed_;  // callback -> user-interface thread
    // Owned by the callback while the stream runs, by the user-interface thread otherwise.
    WaveHeader* current_ = nullptr;
    uint32_t currentBytes_ = 0;
    // Published after the frames it counts are in the buffers.
    std::atomic<int64_t> position_{0};
    // Input dropped before the callback; the count of events is published last.
    double nextAdcTime_ = 0.0;  // callback thread only, and Start while no callback runs
    std::atomic<int64_t> lossEvents_{0};
    std::atomic<int64_t> lossFrames_{0};
    std::atomic<int64_t> lossAtFrame_{0};
};

}  // namespace sonocap::platform

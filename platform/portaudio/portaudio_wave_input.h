#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/capture_buffers.h"
#include "platform/portaudio/alsa_output_filter.h"
#include "platform/wave_input.h"

struct PaStreamCallbackTimeInfo;

namespace sonocap::platform {

// The default input of PortAudio. Its callback runs on the audio server's thread: it copies
// frames into the head of the queued buffers, hands filled buffers back through a lock-free
// queue and wakes the event loop through an eventfd; the notifications themselves are posted
// on the event loop's thread by DeliverNotifications.
//
// Starting, stopping and closing the stream happen on a thread of their own: PortAudio's stop
// waits for its ALSA thread, which can hang for many seconds when the sound server behind ALSA
// has gone. The event loop's thread only closes a gate that the callback passes on its way to
// the buffers, so a pause or a stop takes effect at once and the buffers are ours when it
// returns, whatever PortAudio is still doing.
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
    static int StreamCallback(const void* input, void* output, unsigned long frameCount,
                              const ::PaStreamCallbackTimeInfo* time, unsigned long flags,
                              void* self);
    void NoteLoss(bool overflow, double adcTime, int64_t frameCount);
    void Fail(const std::string& reason);
    // Waits for a callback that is inside the gate (it never blocks there), then keeps it out.
    void CloseGate();
    // Has the stream thread bring the stream to `running` (and close it afterwards when
    // `close`); returns at once.
    void Command(bool running, bool close = false);
    void RunStreamThread(void* stream);
    // Waits up to a second for the stream thread to finish; false when it has not.
    bool AwaitStreamThread();

    void* stream_ = nullptr;  // PaStream
    bool running_ = false;
    WindowHandle window_ = kNoWindow;
    int wake_ = -1;
    std::string openFailure_;

    // The callback captures only while the gate is open; kBusy while it does.
    static constexpr int kGateClosed = 0;
    static constexpr int kGateOpen = 1;
    static constexpr int kGateBusy = 2;
    std::atomic<int> gate_{kGateClosed};

    // The stream thread and what it is asked to do.
    std::thread streamThread_;
    std::mutex commandLock_;
    std::condition_variable commandChanged_;
    bool wantRunning_ = false;
    bool wantClose_ = false;
    std::atomic<bool> streamThreadDone_{true};
    // From Open to Close: the ALSA code's traces become one log line.
    std::optional<AlsaOutputFilter> alsaOutput_;

    // Filled by the callback inside the gate.
    CaptureBuffers buffers_;
    // Where the next callback's input time is expected.
    double nextAdcTime_ = 0.0;  // callback thread only, and Start while no callback runs
};

}  // namespace sonocap::platform

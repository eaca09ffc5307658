#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/fake/call_journal.h"
#include "platform/wave_input.h"

namespace sonocap::platform {

// A capture device driven by the test: it delivers the frames the test hands it, fills the
// queued buffers in queue order and posts each filled one to the notification window, the
// way a real device does, but only when the test says so.
class SimulatedWaveInput final : public WaveInput {
  public:
    WaveResult Open(WindowHandle notificationWindow) override;
    WaveResult PrepareHeader(WaveHeader* header) override;
    WaveResult UnprepareHeader(WaveHeader* header) override;
    WaveResult AddBuffer(WaveHeader* header) override;
    WaveResult Start() override;
    WaveResult Stop() override;
    WaveResult Reset() override;
    WaveResult Close() override;
    int64_t Position() override { return position_; }
    InputLoss Losses() const override { return losses_; }
    std::string OpenFailure() const override { return openFailure_; }
    int NotificationDescriptor() const override { return -1; }
    void DeliverNotifications() override {}
    std::string InputFailure() const override { return inputFailure; }
    InputChoice Inputs() const override { return inputs; }
    bool ChooseInput(const std::string& name) override;

    // The audio system ends the input by itself for `reason`: kMmWimInputLost is posted.
    void LoseInputDevice(const std::string& reason);

    // Captures `count` interleaved stereo frames while running: they fill the queued buffers,
    // each full buffer is posted, and the position advances by `count` (frames that found no
    // buffer are lost). Does nothing while the device is stopped. Returns the frames stored.
    int64_t Deliver(const int16_t* frames, int64_t count);
    int64_t Deliver(const std::vector<int16_t>& frames);
    // The position jumps by `count` frames without any buffer being filled.
    void DropFrames(int64_t count) { position_ += count; }
    void SetPosition(int64_t frames) { position_ = frames; }
    // The audio system drops input at the current position: `frames` of it, 0 when it only
    // flags the loss.
    void LoseInput(int64_t frames);
    // Returns the head buffer at once, claiming `bytes` bytes recorded.
    bool ReturnHead(uint32_t bytes);

    // What Open answers and the reason it gives when that is a failure.
    WaveResult openResult = kWaveOk;
    std::string openFailureText = "simulated device failure";
    CallJournal* journal = nullptr;
    // The inputs on offer; no sources: no choice. ChooseInput makes a listed one (or "") the
    // one in use and notes it in `chosen`.
    InputChoice inputs;
    std::vector<std::string> chosen;
    std::string inputFailure;

    bool IsOpen() const { return open_; }
    bool IsRunning() const { return running_; }
    std::size_t QueuedBuffers() const { return queue_.size(); }
    WindowHandle NotificationWindow() const { return window_; }
    // Every header queued with AddBuffer, in order.
    std::vector<WaveHeader*> addedHeaders;
    int openCalls = 0;

  private:
    void Note(const std::string& step);
    void ReturnFront(uint32_t bytes);

    bool open_ = false;
    bool running_ = false;
    WindowHandle window_ = kNoWindow;
    std::deque<WaveHeader*> queue_;
    uint32_t headBytes_ = 0;
    int64_t position_ = 0;
    std::string openFailure_;
    InputLoss losses_;
};

}  // namespace sonocap::platform

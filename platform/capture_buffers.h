#pragma once

#include <atomic>
#include <cstdint>

#include "platform/header_queue.h"
#include "platform/wave_input.h"
#include "platform/window_system.h"

namespace sonocap::platform {

// The buffers a real capture device fills, as both real backends keep them: the queue through
// which the event loop's thread lends buffers, the one through which the audio thread hands
// them back, the buffer being filled, the position and the input lost. One audio thread calls
// Fill and NoteLoss; everything else runs on the event loop's thread while the audio thread
// keeps off (the stream stopped, or the backend's own gate or lock).
class CaptureBuffers {
  public:
    // As after an open: both queues empty, nothing being filled, position and losses 0.
    void Clear();

    static WaveResult Prepare(WaveHeader* header);
    static WaveResult Unprepare(WaveHeader* header);
    WaveResult Add(WaveHeader* header);

    // Audio thread: copies `frameCount` frames into the head buffers (nothing when `input` is
    // nullptr) and advances the position by all of them, stored or not. True when a buffer
    // came back full.
    bool Fill(const int16_t* input, int64_t frameCount);
    // Audio thread: the audio system dropped input at the current position, `frames` of it (0
    // when only the fact is known).
    void NoteLoss(int64_t frames);

    // The buffer being filled comes back with what it holds; when `evenEmpty` is false, only
    // if it holds something.
    void ReturnCurrent(bool evenEmpty);
    // Every buffer still queued comes back empty.
    void ReturnQueued();
    // Posts kMmWimData for each buffer that came back, in order.
    void Post(WindowHandle window);

    bool Filling() const { return current_ != nullptr; }
    int64_t Position() const { return position_.load(std::memory_order_acquire); }
    InputLoss Losses() const;

  private:
    void Complete(WaveHeader* header, uint32_t bytes);

    HeaderQueue queued_;     // event loop -> audio thread
    HeaderQueue completed_;  // audio thread -> event loop
    WaveHeader* current_ = nullptr;
    uint32_t currentBytes_ = 0;
    // Published after the frames it counts are in the buffers.
    std::atomic<int64_t> position_{0};
    // The count of events is published last.
    std::atomic<int64_t> lossEvents_{0};
    std::atomic<int64_t> lossFrames_{0};
    std::atomic<int64_t> lossAtFrame_{0};
};

}  // namespace sonocap::platform

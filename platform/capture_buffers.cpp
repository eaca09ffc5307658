#include "platform/capture_buffers.h"

#include <algorithm>
#include <cstring>

#include "platform/recording_format.h"

namespace sonocap::platform {

void CaptureBuffers::Clear() {
    current_ = nullptr;
    currentBytes_ = 0;
    while (queued_.Pop() != nullptr) {
    }
    while (completed_.Pop() != nullptr) {
    }
    position_.store(0, std::memory_order_relaxed);
    lossFrames_.store(0, std::memory_order_relaxed);
    lossAtFrame_.store(0, std::memory_order_relaxed);
    lossEvents_.store(0, std::memory_order_release);
}

WaveResult CaptureBuffers::Prepare(WaveHeader* header) {
    header->dwFlags |= kWaveHeaderPrepared;
    return kWaveOk;
}

WaveResult CaptureBuffers::Unprepare(WaveHeader* header) {
    if ((header->dwFlags & kWaveHeaderInQueue) != 0) return kWaveStillPlaying;
    header->dwFlags &= ~kWaveHeaderPrepared;
    return kWaveOk;
}

WaveResult CaptureBuffers::Add(WaveHeader* header) {
    header->dwBytesRecorded = 0;
    header->dwFlags = (header->dwFlags | kWaveHeaderInQueue) & ~kWaveHeaderDone;
    if (!queued_.Push(header)) {
        header->dwFlags &= ~kWaveHeaderInQueue;
        return kWaveDeviceFailed;
    }
    return kWaveOk;
}

bool CaptureBuffers::Fill(const int16_t* input, int64_t frameCount) {
    int64_t done = 0;
    bool full = false;
    while (input != nullptr && done < frameCount) {
        if (current_ == nullptr) {
            current_ = queued_.Pop();
            currentBytes_ = 0;
            if (current_ == nullptr) break;
        }
        const int64_t room = (current_->dwBufferLength - currentBytes_) / kBytesPerFrame;
        const int64_t n = std::min(room, frameCount - done);
        std::memcpy(current_->lpData + currentBytes_, input + kChannels * done,
                    static_cast<std::size_t>(n) * kBytesPerFrame);
        currentBytes_ += static_cast<uint32_t>(n) * kBytesPerFrame;
        done += n;
        if (currentBytes_ + kBytesPerFrame > current_->dwBufferLength) {
            Complete(current_, currentBytes_);
            current_ = nullptr;
            full = true;
        }
    }
    position_.store(position_.load(std::memory_order_relaxed) + frameCount,
                    std::memory_order_release);
    return full;
}

void CaptureBuffers::NoteLoss(int64_t frames) {
    lossFrames_.store(lossFrames_.load(std::memory_order_relaxed) + frames,
                      std::memory_order_relaxed);
    lossAtFrame_.store(position_.load(std::memory_order_relaxed), std::memory_order_relaxed);
    lossEvents_.store(lossEvents_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

void CaptureBuffers::Complete(WaveHeader* header, uint32_t bytes) {
    header->dwBytesRecorded = bytes;
    header->dwFlags = (header->dwFlags & ~kWaveHeaderInQueue) | kWaveHeaderDone;
    // Six headers never fill the queue.
    completed_.Push(header);
}

void CaptureBuffers::ReturnCurrent(bool evenEmpty) {
    if (current_ == nullptr || (!evenEmpty && currentBytes_ == 0)) return;
    Complete(current_, currentBytes_);
    current_ = nullptr;
}

void CaptureBuffers::ReturnQueued() {
    while (WaveHeader* header = queued_.Pop()) Complete(header, 0);
}

void CaptureBuffers::Post(WindowHandle window) {
    while (WaveHeader* header = completed_.Pop()) {
        Current<WindowSystem>().PostMessage(window, kMmWimData, 0,
                                            reinterpret_cast<intptr_t>(header));
    }
}

InputLoss CaptureBuffers::Losses() const {
    InputLoss loss;
    loss.events = lossEvents_.load(std::memory_order_acquire);
    loss.frames = lossFrames_.load(std::memory_order_relaxed);
    loss.atFrame = lossAtFrame_.load(std::memory_order_relaxed);
    return loss;
}

}  // namespace sonocap::platform

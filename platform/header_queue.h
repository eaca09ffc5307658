#pragma once

#include <array>
#include <atomic>
#include <cstddef>

#include "platform/wave_input.h"

namespace sonocap::platform {

// A fixed ring of header pointers between exactly one producing and one consuming thread,
// without locks: the capture callback may neither block nor allocate. Either side may change
// threads only while the other is known to be idle (the stream stopped).
class HeaderQueue {
  public:
    static constexpr std::size_t kCapacity = 16;

    // Producer side; false when the queue is full.
    bool Push(WaveHeader* header) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == kCapacity) return false;
        slots_[tail % kCapacity] = header;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    // Consumer side; nullptr when the queue is empty.
    WaveHeader* Pop() {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return nullptr;
        WaveHeader* header = slots_[head % kCapacity];
        head_.store(head + 1, std::memory_order_release);
        return header;
    }

  private:
    std::array<WaveHeader*, kCapacity> slots_{};
    std::atomic<std::size_t> head_{0};  // next slot to pop
    std::atomic<std::size_t> tail_{0};  // next slot to fill
};

}  // namespace sonocap::platform

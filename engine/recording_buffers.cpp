#include "engine/recording_buffers.h"

#include <cstdint>

#include "engine/aligned_pool.h"
#include "engine/capture_session.h"
#include "engine/program_state.h"

namespace sonocap {

void AllocateRecordingBuffers() {
    CaptureSession& s = captureSession;
    s.headers = static_cast<platform::WaveHeader**>(
        PoolAlloc(kBuffersInRing * static_cast<int32_t>(sizeof(platform::WaveHeader*))));
    for (int32_t i = 0; i < kBuffersInRing; ++i) s.headers[i] = nullptr;
    s.buffers =
        static_cast<int16_t**>(PoolAlloc(kBuffersInRing * static_cast<int32_t>(sizeof(int16_t*))));
    for (int32_t i = 0; i < kBuffersInRing; ++i) s.buffers[i] = nullptr;

    // The ring is one block so that metering can read across slot boundaries.
    auto* ring = static_cast<int16_t*>(PoolAlloc(kRingFrames * kBytesPerFrame));
    for (int32_t i = 0; i < kBuffersInRing; ++i) {
        s.buffers[i] = ring + 2 * static_cast<int64_t>(i) * kFramesPerBuffer;
    }
    for (int32_t i = 0; i < kBuffersInRing; ++i) {
        s.headers[i] = static_cast<platform::WaveHeader*>(
            PoolAlloc(static_cast<int32_t>(sizeof(platform::WaveHeader))));
    }
}

void FreeRecordingBuffers() {
    CaptureSession& s = captureSession;
    if (s.buffers != nullptr && s.buffers[0] != nullptr) {
        PoolFree(s.buffers[0]);
        s.buffers[0] = nullptr;
    }
    if (s.headers != nullptr) {
        for (int32_t i = 0; i < kBuffersInRing; ++i) {
            if (s.headers[i] == nullptr) continue;
            PoolFree(s.headers[i]);
            s.headers[i] = nullptr;
        }
        PoolFree(s.headers);
        s.headers = nullptr;
    }
    if (s.buffers != nullptr) {
        PoolFree(s.buffers);
        s.buffers = nullptr;
    }
    s.ring = nullptr;
}

}  // namespace sonocap

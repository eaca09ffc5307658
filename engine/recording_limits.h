#pragma once

#include <cstdint>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_header.h"
#include "codec/sub_block_record.h"
#include "codec/wave_header.h"
#include "engine/capture_session.h"

// How far a recording may grow before a size field of its final header would overflow.

namespace sonocap {

inline constexpr int64_t kLargestSizeField = 0xFFFFFFFF;
// WAV: the RIFF chunk size counts the data and 36 bytes of header.
inline constexpr int64_t kMaxWaveDataBytes = kLargestSizeField - (kWaveHeaderBytes - 8);
// Compaxa: the file size counts the 40-byte header.
inline constexpr int64_t kMaxRecordBytes = kLargestSizeField - kCompressedHeaderBytes;
// The most that one buffer can add to a Compaxa file: eight records of the largest packet.
inline constexpr int64_t kMaxCompressedBufferBytes =
    kSubBlocksPerBuffer * static_cast<int64_t>(RecordBytes(kPacketAreaWords));

// True when one more full buffer still fits the header of a file with these counters.
inline bool NextBufferFits(bool compressed, int64_t bytesWritten, int64_t dataBytes) {
    if (compressed) {
        return bytesWritten + kMaxCompressedBufferBytes <= kMaxRecordBytes &&
               dataBytes + kBytesPerBuffer <= kLargestSizeField;
    }
    return bytesWritten + kBytesPerBuffer <= kMaxWaveDataBytes;
}

// Whole seconds of audio that a recording with these counters can still take before it stops
// at the size limit. A compressed recording is scaled by the ratio reached so far.
inline int64_t SecondsBeforeSizeLimit(bool compressed, int64_t bytesWritten, int64_t dataBytes) {
    const auto wholeBuffers = [](int64_t bytes) { return bytes - bytes % kBytesPerBuffer; };
    if (!compressed) return wholeBuffers(kMaxWaveDataBytes - bytesWritten) / kBytesPerSecond;
    int64_t audioBytes = wholeBuffers(kLargestSizeField - dataBytes);
    if (bytesWritten > 0) {
        const double ratio = static_cast<double>(dataBytes) / static_cast<double>(bytesWritten);
        const auto byFileSize =
            static_cast<int64_t>(static_cast<double>(kMaxRecordBytes - bytesWritten) * ratio);
        if (byFileSize < audioBytes) audioBytes = byFileSize;
    }
    return audioBytes / kBytesPerSecond;
}

}  // namespace sonocap

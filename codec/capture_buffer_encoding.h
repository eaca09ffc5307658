#pragma once

#include <cstdint>

#include "codec/block_encoder.h"
#include "codec/precondition.h"
#include "codec/sub_block_record.h"

// How a filled capture buffer is stored in a Compaxa file: eight records of one eighth of its
// frames each. The frames beyond eight eighths (at most 7, only in a buffer cut short) are not
// stored.

namespace sonocap {

inline constexpr int32_t kFramesPerCaptureBuffer = 16384;
inline constexpr int kSubBlocksPerBuffer = 8;
inline constexpr int32_t kPacketAreaWords =
    MaxPacketWords(kFramesPerCaptureBuffer / kSubBlocksPerBuffer);  // 2177

struct CompressedBufferWrite {
    uint32_t storedBytes = 0;  // bytes of the records stored whole (the growth of bytesWritten)
    uint32_t dataBytes = 0;    // 4 bytes for every frame stored whole (the growth of dataBytes)
    bool shortWrite = false;   // a record was not stored whole; nothing was written after it
    uint32_t tornBytes = 0;    // the bytes of that record that were stored
};

inline int32_t SubBlockFrames(int32_t bufferFrames) {
    return bufferFrames / kSubBlocksPerBuffer;
}

// Encodes `frameCount` (0 .. kFramesPerCaptureBuffer) interleaved stereo frames as eight records
// through `write` (see writeSubBlockRecord), using `packetArea` of kPacketAreaWords words.
// A record that is not stored whole is the last one written: records behind a torn one could
// not be found again.
template <class Write>
CompressedBufferWrite writeCompressedBuffer(const int16_t* frames, int32_t frameCount,
                                            uint32_t* packetArea, Write&& write) {
    Require(frameCount >= 0 && frameCount <= kFramesPerCaptureBuffer,
            "writeCompressedBuffer: frame count outside one capture buffer");
    CompressedBufferWrite result;
    const int32_t m = SubBlockFrames(frameCount);
    for (int s = 0; s < kSubBlocksPerBuffer; ++s) {
        const uint16_t words =
            BlockEncoder::encodeBlock(frames + 2 * s * m, packetArea, static_cast<int16_t>(m));
        const RecordWrite stored = writeSubBlockRecord(write, packetArea, words);
        if (static_cast<uint64_t>(stored.storedBytes()) != RecordBytes(words)) {
            result.shortWrite = true;
            result.tornBytes = static_cast<uint32_t>(stored.storedBytes());
            break;
        }
        result.storedBytes += static_cast<uint32_t>(stored.storedBytes());
        result.dataBytes += static_cast<uint32_t>(4 * m);
    }
    return result;
}

}  // namespace sonocap

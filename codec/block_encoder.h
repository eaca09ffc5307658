#pragma once

#include <cstdint>

// The Compaxa block encoder: one block of stereo frames becomes one packet of 32-bit words.
// Per channel it picks a second- or third-order difference and one code length of 1..15 bits
// (with a 16-bit escape), whichever needs the fewest bits while averaging under 16 bits a sample.

namespace sonocap {

// The largest block a single call accepts: the size of the encoder's working arrays.
inline constexpr int kMaxBlockFrames = 8192;

// Words of the largest packet for n frames: the header word and 17 bits per sample at worst.
constexpr int32_t MaxPacketWords(int32_t frames) {
    return 1 + (34 * frames + 31) / 32;
}

namespace BlockEncoder {

// Encodes `frameCount` interleaved stereo frames (left, right) into `out`, which must hold
// MaxPacketWords(frameCount) words, and returns the number of words written, header included.
// frameCount must lie in 0 .. kMaxBlockFrames. Reads `frames` once and never writes to it.
uint16_t encodeBlock(const int16_t* frames, uint32_t* out, int16_t frameCount);

}  // namespace BlockEncoder

// 2^(k-1) for code lengths 1..15, 0xFFFF for any other length.
uint16_t thresholdForCodeLength(uint16_t codeLength);

}  // namespace sonocap

#pragma once

#include <cstdint>

// Layout of a Compaxa packet's header word (word 0) and the limits of its codes.
//   bits 0-15  frame count of the block
//   bits 16-19 left code length minus one    bits 20-23 right code length minus one
//   bit 24     left channel uses order 3     bit 25     right channel uses order 3
//   bits 26-31 zero
// The bitstream follows from word 1: the left codes, then the right codes, least-significant
// bit first, a code of k bits per residual or an escape of k zero bits and 16 raw bits.

namespace sonocap {

inline constexpr int kMinCodeLength = 1;
inline constexpr int kMaxCodeLength = 15;
inline constexpr int kEscapeBits = 16;

inline constexpr int kFrameCountMask = 0xFFFF;
inline constexpr int kLeftCodeLengthShift = 16;
inline constexpr int kRightCodeLengthShift = 20;
inline constexpr int kLeftOrderShift = 24;
inline constexpr int kRightOrderShift = 25;
inline constexpr uint32_t kReservedHeaderBits = 0xFC000000u;

inline constexpr uint32_t PacketHeaderWord(int frameCount, int leftCodeLength, int rightCodeLength,
                                           int leftOrder, int rightOrder) {
    return (static_cast<uint32_t>(frameCount) & kFrameCountMask) |
           static_cast<uint32_t>(leftCodeLength - 1) << kLeftCodeLengthShift |
           static_cast<uint32_t>(rightCodeLength - 1) << kRightCodeLengthShift |
           static_cast<uint32_t>(leftOrder == 3) << kLeftOrderShift |
           static_cast<uint32_t>(rightOrder == 3) << kRightOrderShift;
}

}  // namespace sonocap

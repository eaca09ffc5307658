#pragma once

#include <cstddef>
#include <cstdint>

// Reads one channel's codes out of a packet's bitstream: `count` residuals, each a code of k bits
// or an escape (k zero bits and the residual's 16 raw bits). The stream is the packet's words as
// little-endian bytes, read least-significant bit first; positions are in bits from its start.

namespace sonocap {

struct CodeStream {
    const uint8_t* bytes;
    size_t byteCount;
};

// At least 57 bits of the stream from `position` on; bits past its end read as zero.
uint64_t PeekCodeBits(CodeStream stream, uint64_t position);

// Reads `count` residuals with code length k (1..15) into `residuals` from `position` on, which
// it advances past them. False when the codes run past the stream's last bit. Never reads outside
// the stream's bytes. Uses the wide vector form where the machine runs it.
bool ReadChannelCodes(CodeStream stream, uint64_t& position, int32_t count, unsigned k,
                      int16_t* residuals);

// The same, in plain scalar code on every machine: the reference that the vector reading must
// match bit for bit.
bool ReadChannelCodesPortable(CodeStream stream, uint64_t& position, int32_t count, unsigned k,
                              int16_t* residuals);

}  // namespace sonocap

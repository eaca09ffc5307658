#pragma once

#include <cstdint>

// The 40-byte header of a Compaxa file. The records follow from byte 40.
//   0  magic 0x05031997            4  file size: 40 + bytes of all records
//   8  uncompressed size: 4 x frames stored
//   12 nominal frames per sub-block (2048)   16 samples per second   20 bits   22 channels
//   24 16 reserved bytes, written as zero and ignored by readers

namespace sonocap {

inline constexpr int kCompressedHeaderBytes = 40;
inline constexpr uint32_t kCompressedMagic = 0x05031997u;
inline constexpr uint32_t kNominalSubBlockFrames = 2048;

// The header with the given size fields. A recording starts with the placeholder (both sizes
// 0), so that a file left without its stop still identifies itself as an unfinished Compaxa file;
// the stop writes the final one with file size 40 + bytes written.
void buildCompressedHeader(uint32_t fileSize, uint32_t uncompressedSize,
                           uint8_t (&out)[kCompressedHeaderBytes]);

inline void buildCompressedPlaceholder(uint8_t (&out)[kCompressedHeaderBytes]) {
    buildCompressedHeader(0, 0, out);
}

}  // namespace sonocap

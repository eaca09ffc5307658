#include "codec/compressed_header.h"

#include <cstring>

#include "codec/little_endian.h"
#include "codec/wave_header.h"

namespace sonocap {

void buildCompressedHeader(uint32_t fileSize, uint32_t uncompressedSize,
                           uint8_t (&out)[kCompressedHeaderBytes]) {
    std::memset(out, 0, sizeof out);
    StoreLE32(out + 0, kCompressedMagic);
    StoreLE32(out + 4, fileSize);
    StoreLE32(out + 8, uncompressedSize);
    StoreLE32(out + 12, kNominalSubBlockFrames);
    StoreLE32(out + 16, kSampleRate);
    StoreLE16(out + 20, kBitsPerSample);
    StoreLE16(out + 22, kChannels);
}

}  // namespace sonocap

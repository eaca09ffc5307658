#include "codec/wave_header.h"

#include <cstring>

#include "codec/little_endian.h"

namespace sonocap {

void buildWaveHeader(uint32_t dataBytes, int32_t sampleRate, int16_t channels,
                     uint8_t (&out)[kWaveHeaderBytes]) {
    const uint16_t blockAlign = static_cast<uint16_t>(channels * 2);
    std::memcpy(out + 0, "RIFF", 4);
    StoreLE32(out + 4, dataBytes + 36);
    std::memcpy(out + 8, "WAVE", 4);
    std::memcpy(out + 12, "fmt ", 4);
    StoreLE32(out + 16, 16);
    StoreLE16(out + 20, 1);  // PCM
    StoreLE16(out + 22, static_cast<uint16_t>(channels));
    StoreLE32(out + 24, static_cast<uint32_t>(sampleRate));
    StoreLE32(out + 28, static_cast<uint32_t>(sampleRate) * blockAlign);
    StoreLE16(out + 32, blockAlign);
    StoreLE16(out + 34, kBitsPerSample);
    std::memcpy(out + 36, "data", 4);
    StoreLE32(out + 40, dataBytes);
}

}  // namespace sonocap

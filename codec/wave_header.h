#pragma once

#include <cstdint>

#include "platform/recording_format.h"

// The canonical 44-byte RIFF/WAVE header of a recording: PCM, 16 bits a sample, the sample data
// directly behind it from byte 44.

namespace sonocap {

inline constexpr int kWaveHeaderBytes = 44;

// Fills `out` with the header for `dataBytes` bytes of samples. The size fields are 32 bits
// unsigned on disk, so the RIFF size (data bytes + 36) wraps as the format does.
void buildWaveHeader(uint32_t dataBytes, int32_t sampleRate, int16_t channels,
                     uint8_t (&out)[kWaveHeaderBytes]);

}  // namespace sonocap

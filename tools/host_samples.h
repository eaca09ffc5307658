#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "codec/little_endian.h"

namespace sonocap {

// Little-endian 16-bit samples from a file image as host integers: in place on little-endian
// hosts, converted into `scratch` (room for `count` samples) elsewhere.
inline const int16_t* HostSamples(const uint8_t* bytes, size_t count, int16_t* scratch) {
    if constexpr (std::endian::native == std::endian::little) {
        return reinterpret_cast<const int16_t*>(bytes);
    } else {
        for (size_t i = 0; i < count; ++i)
            scratch[i] = static_cast<int16_t>(LoadLE16(bytes + 2 * i));
        return scratch;
    }
}

// The same in the other direction, for writing: in place, or converted into `scratch` (which may
// be the samples themselves).
inline const void* LittleEndianSamples(const int16_t* samples, size_t count, uint8_t* scratch) {
    if constexpr (std::endian::native == std::endian::little) {
        return samples;
    } else {
        for (size_t i = 0; i < count; ++i)
            StoreLE16(scratch + 2 * i, static_cast<uint16_t>(samples[i]));
        return scratch;
    }
}

}  // namespace sonocap

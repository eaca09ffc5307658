#pragma once

#include <bit>
#include <cstdint>

#include "codec/little_endian.h"

// A SubBlockRecord frames one packet in a Compaxa file: W (16-bit), the W words, W again, all
// little-endian, 4 + 4W bytes, with no alignment between records.

namespace sonocap {

inline constexpr int kRecordFramingBytes = 4;

inline constexpr uint64_t RecordBytes(uint32_t wordCount) {
    return kRecordFramingBytes + 4 * uint64_t{wordCount};
}

// The bytes stored by each of the three writes of one record.
struct RecordWrite {
    int32_t leadBytes = 0;
    int32_t wordBytes = 0;
    int32_t trailBytes = 0;

    int32_t storedBytes() const { return leadBytes + wordBytes + trailBytes; }
};

// Puts a packet's words into their on-disk byte order, in place. Nothing to do on
// little-endian hosts.
inline void WordsToLittleEndian(uint32_t* words, uint32_t count) {
    if constexpr (std::endian::native != std::endian::little) {
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t w = words[i];
            StoreLE32(reinterpret_cast<uint8_t*>(&words[i]), w);
        }
    }
}

// Writes one record as three writes through write(const void* data, int32_t bytes), which
// returns the bytes it stored (a negative result counts as none). The packet's words are put
// into disk order in place first.
template <class Write>
RecordWrite writeSubBlockRecord(Write&& write, uint32_t* words, uint16_t wordCount) {
    uint8_t count[2];
    StoreLE16(count, wordCount);
    WordsToLittleEndian(words, wordCount);
    const auto stored = [&](const void* data, int32_t bytes) {
        const int32_t n = write(data, bytes);
        return n > 0 ? n : 0;
    };
    RecordWrite result;
    result.leadBytes = stored(count, 2);
    result.wordBytes = stored(words, 4 * int32_t{wordCount});
    result.trailBytes = stored(count, 2);
    return result;
}

}  // namespace sonocap

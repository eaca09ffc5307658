#include "codec/code_reader.h"

#include <array>
#include <bit>

#include "codec/block_encoder.h"
#include "codec/little_endian.h"
#include "codec/packet_format.h"
#include "codec/wide_vectors.h"

namespace sonocap {

namespace {

// Eight bytes can be loaded from any bit position below this one.
uint64_t LoadLimit(CodeStream stream) {
    return stream.byteCount >= 8 ? 8 * uint64_t{stream.byteCount - 7} : 0;
}

// At least 57 bits from `position` on, where eight bytes can be loaded.
inline uint64_t LoadBits(const uint8_t* bytes, uint64_t position) {
    return LoadLE64(bytes + (position >> 3)) >> (position & 7);
}

#ifdef SONOCAP_WIDE_VECTORS

// Where each of eight consecutive codes lies in the 16 bytes loaded from the first one's byte,
// for each code length k and each bit phase of the first code: the bytes that make up its 32-bit
// lane (at most three), and how far its code is shifted up in them. A code's phase advances by k
// whether the code before it is normal or an escape, since an escape adds 16 bits, so the phase
// of a group's first code picks the lanes of the whole group.
struct GroupLanes {
    alignas(32) uint8_t shuffle[32];
    alignas(32) uint32_t shift[8];
};

constexpr auto kGroupLanes = [] {
    std::array<std::array<GroupLanes, 8>, kMaxCodeLength + 1> table{};
    for (unsigned k = kMinCodeLength; k <= kMaxCodeLength; ++k) {
        for (unsigned phase = 0; phase < 8; ++phase) {
            GroupLanes& lanes = table[k][phase];
            for (unsigned j = 0; j < 8; ++j) {
                const unsigned first = phase + j * k;
                const unsigned last = first + k - 1;
                for (unsigned b = 0; b < 4; ++b) {
                    const unsigned byte = first / 8 + b;
                    lanes.shuffle[4 * j + b] = byte <= last / 8 ? static_cast<uint8_t>(byte) : 0x80;
                }
                lanes.shift[j] = first % 8;
            }
        }
    }
    return table;
}();

// Eight codes at a time, guessing that none is an escape, as long as the group and an escape in it
// lie inside the stream; the portable reader takes the rest.
SONOCAP_WIDE bool ReadChannelCodesWide(CodeStream stream, uint64_t& position, int32_t count,
                                       unsigned k, int16_t* residuals) {
    const uint8_t* const bytes = stream.bytes;
    // A group loads 16 bytes from its first code's byte; an escape in it loads 8 bytes from at
    // most 14 bytes further on.
    const uint64_t groupLimit = stream.byteCount >= 22 ? 8 * uint64_t{stream.byteCount - 21} : 0;
    const __m256i mask = _mm256_set1_epi32(static_cast<int>((1u << k) - 1));
    const __m256i threshold = _mm256_set1_epi32(thresholdForCodeLength(static_cast<uint16_t>(k)));
    const __m256i zero = _mm256_setzero_si256();
    const auto& lanesOfPhase = kGroupLanes[k];
    uint64_t at = position;
    int32_t i = 0;
    while (i + 8 <= count && at < groupLimit) {
        const GroupLanes& lanes = lanesOfPhase[at & 7];
        const __m128i loaded = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + (at >> 3)));
        __m256i codes =
            _mm256_shuffle_epi8(_mm256_broadcastsi128_si256(loaded),
                                _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.shuffle)));
        codes = _mm256_srlv_epi32(codes,
                                  _mm256_load_si256(reinterpret_cast<const __m256i*>(lanes.shift)));
        codes = _mm256_and_si256(codes, mask);
        const auto escapes = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(codes, zero))));
        // Normal codes give residuals within +-16383, which the narrowing keeps as they are.
        const __m256i values = _mm256_sub_epi32(codes, threshold);
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(residuals + i),
            _mm_packs_epi32(_mm256_castsi256_si128(values), _mm256_extracti128_si256(values, 1)));
        if (escapes == 0) [[likely]] {
            i += 8;
            at += 8 * k;
            continue;
        }
        // The codes before the first escape stand; the escape's 16 bits hold the residual.
        const int normal = std::countr_zero(escapes);
        i += normal;
        at += static_cast<uint64_t>(normal) * k;
        residuals[i++] = static_cast<int16_t>(LoadBits(bytes, at) >> k);
        at += k + kEscapeBits;
    }
    position = at;
    return ReadChannelCodesPortable(stream, position, count - i, k, residuals + i);
}

#endif

}  // namespace

uint64_t PeekCodeBits(CodeStream stream, uint64_t position) {
    if (position < LoadLimit(stream)) return LoadBits(stream.bytes, position);
    uint64_t v = 0;
    const uint64_t first = position >> 3;
    for (uint64_t at = first; at < stream.byteCount && at < first + 8; ++at) {
        v |= uint64_t{stream.bytes[at]} << (8 * (at - first));
    }
    return v >> (position & 7);
}

bool ReadChannelCodesPortable(CodeStream stream, uint64_t& position, int32_t count, unsigned k,
                              int16_t* residuals) {
    const uint8_t* const bytes = stream.bytes;
    const uint64_t bitCount = 8 * uint64_t{stream.byteCount};
    const uint32_t mask = (1u << k) - 1;
    const auto threshold = static_cast<uint32_t>(thresholdForCodeLength(static_cast<uint16_t>(k)));
    // Far enough from the end that no code can run past it and every load stays inside.
    const uint64_t loadLimit = LoadLimit(stream);
    const uint64_t fastEnd = loadLimit > 3 * k ? loadLimit - 3 * k : 0;
    uint64_t at = position;
    int32_t i = 0;
    // Four codes at a time, guessing that none is an escape: the guess holds for most, and the
    // codes then need no position of their own.
    while (i + 4 <= count && at < fastEnd) {
        const uint64_t low = LoadBits(bytes, at);
        const uint64_t high = LoadBits(bytes, at + 2 * k);
        const uint32_t v0 = static_cast<uint32_t>(low) & mask;
        const uint32_t v1 = static_cast<uint32_t>(low >> k) & mask;
        const uint32_t v2 = static_cast<uint32_t>(high) & mask;
        const uint32_t v3 = static_cast<uint32_t>(high >> k) & mask;
        residuals[i] = static_cast<int16_t>(v0 - threshold);
        residuals[i + 1] = static_cast<int16_t>(v1 - threshold);
        residuals[i + 2] = static_cast<int16_t>(v2 - threshold);
        residuals[i + 3] = static_cast<int16_t>(v3 - threshold);
        if (v0 != 0 && v1 != 0 && v2 != 0 && v3 != 0) [[likely]] {
            i += 4;
            at += 4 * k;
            continue;
        }
        const int normal = v0 == 0 ? 0 : v1 == 0 ? 1 : v2 == 0 ? 2 : 3;
        i += normal;
        at += static_cast<uint64_t>(normal) * k;
        residuals[i++] = static_cast<int16_t>(LoadBits(bytes, at) >> k);
        at += k + kEscapeBits;
    }
    for (; i < count; ++i) {
        if (at + k > bitCount) return false;
        const uint64_t bits = PeekCodeBits(stream, at);
        const uint32_t v = static_cast<uint32_t>(bits) & mask;
        if (v != 0) {
            residuals[i] = static_cast<int16_t>(v - threshold);
            at += k;
            continue;
        }
        if (at + k + kEscapeBits > bitCount) return false;
        residuals[i] = static_cast<int16_t>(bits >> k);
        at += k + kEscapeBits;
    }
    position = at;
    return true;
}

bool ReadChannelCodes(CodeStream stream, uint64_t& position, int32_t count, unsigned k,
                      int16_t* residuals) {
#ifdef SONOCAP_WIDE_VECTORS
    if (HasWideVectors()) return ReadChannelCodesWide(stream, position, count, k, residuals);
#endif
    return ReadChannelCodesPortable(stream, position, count, k, residuals);
}

}  // namespace sonocap

#include "codec/block_decoder.h"

#include <bit>
#include <vector>

#include "codec/block_encoder.h"
#include "codec/little_endian.h"
#include "codec/packet_format.h"

namespace sonocap {

namespace {

// The codes as stored: little-endian words, so the stream is its bytes read least-significant bit
// first. Positions are in bits from the first code.
struct BitStream {
    const uint8_t* bytes;
    uint64_t bitCount;
    // Eight bytes can be loaded from any position below this one.
    uint64_t loadLimit;

    BitStream(const uint8_t* b, size_t byteCount)
        : bytes(b),
          bitCount(8 * uint64_t{byteCount}),
          loadLimit(byteCount >= 8 ? 8 * uint64_t{byteCount - 7} : 0) {}

    // The same bits, bits past the end reading as zero: at least 57 from `position` on.
    uint64_t Peek(uint64_t position) const {
        if (position < loadLimit) return LoadLE64(bytes + (position >> 3)) >> (position & 7);
        uint64_t v = 0;
        const uint64_t first = position >> 3;
        for (uint64_t at = first; at < bitCount / 8 && at < first + 8; ++at) {
            v |= uint64_t{bytes[at]} << (8 * (at - first));
        }
        return v >> (position & 7);
    }
};

// At least 57 bits from `position` on, where eight bytes can be loaded.
inline uint64_t LoadBits(const uint8_t* bytes, uint64_t position) {
    return LoadLE64(bytes + (position >> 3)) >> (position & 7);
}

// Reads `frameCount` residuals coded with `codeLength` from `position` on, which it advances.
// False when the codes run past the last bit.
bool ReadChannel(const BitStream& stream, uint64_t& position, int32_t frameCount,
                 unsigned codeLength, int16_t* residuals) {
    const uint8_t* const bytes = stream.bytes;
    const unsigned k = codeLength;
    const uint32_t mask = (1u << k) - 1;
    const auto threshold = static_cast<uint32_t>(thresholdForCodeLength(static_cast<uint16_t>(k)));
    // Far enough from the end that no code can run past it and every load stays inside.
    const uint64_t fastEnd = stream.loadLimit > 3 * k ? stream.loadLimit - 3 * k : 0;
    uint64_t at = position;
    int32_t i = 0;
    // Four codes at a time, guessing that none is an escape: the guess holds for most, and the
    // codes then need no position of their own.
    while (i + 4 <= frameCount && at < fastEnd) {
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
        // The codes before the first escape stand; the escape's 16 bits hold the residual.
        const int normal = v0 == 0 ? 0 : v1 == 0 ? 1 : v2 == 0 ? 2 : 3;
        i += normal;
        at += static_cast<uint64_t>(normal) * k;
        residuals[i++] = static_cast<int16_t>(LoadBits(bytes, at) >> k);
        at += k + kEscapeBits;
    }
    for (; i < frameCount; ++i) {
        if (at + k > stream.bitCount) return false;
        const uint64_t bits = stream.Peek(at);
        const uint32_t v = static_cast<uint32_t>(bits) & mask;
        if (v != 0) {
            residuals[i] = static_cast<int16_t>(v - threshold);
            at += k;
            continue;
        }
        if (at + k + kEscapeBits > stream.bitCount) return false;
        residuals[i] = static_cast<int16_t>(bits >> k);
        at += k + kEscapeBits;
    }
    position = at;
    return true;
}

// Undoes the difference cascade from each channel's order down to the samples, wrapping to 16
// bits, and interleaves the channels into `out`. Level m is the running sum of level m+1 from
// index m on; below index m the values pass unchanged.
template <int LeftOrder, int RightOrder>
void Integrate(const int16_t* left, const int16_t* right, int32_t frameCount, int16_t* out) {
    // sums[j]: the latest value of level Order-1-j
    uint16_t l[LeftOrder] = {}, r[RightOrder] = {};
    const auto step = [](auto& sums, int order, uint16_t v, int32_t i) {
        for (int j = 0; j < order; ++j) {
            if (i > order - 1 - j) v = static_cast<uint16_t>(v + sums[j]);
            sums[j] = v;
        }
        return v;
    };
    int32_t i = 0;
    for (; i < frameCount && i < 3; ++i) {
        out[2 * i] = static_cast<int16_t>(step(l, LeftOrder, static_cast<uint16_t>(left[i]), i));
        out[2 * i + 1] =
            static_cast<int16_t>(step(r, RightOrder, static_cast<uint16_t>(right[i]), i));
    }
    // From index 3 on every level adds.
    for (; i < frameCount; ++i) {
        uint16_t a = static_cast<uint16_t>(left[i]), b = static_cast<uint16_t>(right[i]);
        for (int j = 0; j < LeftOrder; ++j) l[j] = a = static_cast<uint16_t>(a + l[j]);
        for (int j = 0; j < RightOrder; ++j) r[j] = b = static_cast<uint16_t>(b + r[j]);
        out[2 * i] = static_cast<int16_t>(a);
        out[2 * i + 1] = static_cast<int16_t>(b);
    }
}

void Integrate(const int16_t* left, int leftOrder, const int16_t* right, int rightOrder,
               int32_t frameCount, int16_t* out) {
    if (leftOrder == 3) {
        if (rightOrder == 3) return Integrate<3, 3>(left, right, frameCount, out);
        return Integrate<3, 2>(left, right, frameCount, out);
    }
    if (rightOrder == 3) return Integrate<2, 3>(left, right, frameCount, out);
    Integrate<2, 2>(left, right, frameCount, out);
}

}  // namespace

const char* DecodeStatusText(DecodeStatus status) {
    switch (status) {
        case DecodeStatus::Ok:
            return "ok";
        case DecodeStatus::EmptyPacket:
            return "packet has no header word";
        case DecodeStatus::TooManyFrames:
            return "frame count above 8192";
        case DecodeStatus::BadCodeLength:
            return "code length 16 is not allowed";
        case DecodeStatus::ReservedBitsSet:
            return "reserved header bits are set";
        case DecodeStatus::Truncated:
            return "packet truncated: codes run past its last word";
        case DecodeStatus::TrailingWords:
            return "packet has words beyond its last code";
        case DecodeStatus::NonZeroPadding:
            return "unused bits of the last word are not zero";
    }
    return "unknown decode status";
}

DecodeResult BlockDecoder::decodeStoredBlock(const uint8_t* bytes, size_t wordCount,
                                             int16_t* frames) {
    if (wordCount == 0) return {DecodeStatus::EmptyPacket, 0, 0};
    const uint32_t header = LoadLE32(bytes);
    const int32_t n = static_cast<int32_t>(header & kFrameCountMask);
    const unsigned leftLength = ((header >> kLeftCodeLengthShift) & 0xF) + 1;
    const unsigned rightLength = ((header >> kRightCodeLengthShift) & 0xF) + 1;
    const int leftOrder = 2 + static_cast<int>((header >> kLeftOrderShift) & 1);
    const int rightOrder = 2 + static_cast<int>((header >> kRightOrderShift) & 1);
    if (header & kReservedHeaderBits) return {DecodeStatus::ReservedBitsSet, 0, 1};
    if (n > kMaxBlockFrames) return {DecodeStatus::TooManyFrames, 0, 1};
    if (leftLength > kMaxCodeLength || rightLength > kMaxCodeLength) {
        return {DecodeStatus::BadCodeLength, 0, 1};
    }

    int16_t left[kMaxBlockFrames], right[kMaxBlockFrames];
    const BitStream stream(bytes + 4, 4 * (wordCount - 1));
    uint64_t position = 0;
    const bool complete = ReadChannel(stream, position, n, leftLength, left) &&
                          ReadChannel(stream, position, n, rightLength, right);
    // Codes that run past the end have used every word.
    if (!complete) return {DecodeStatus::Truncated, 0, static_cast<int32_t>(wordCount)};
    const auto wordsUsed = static_cast<int32_t>(1 + (position + 31) / 32);
    if (static_cast<size_t>(wordsUsed) != wordCount) {
        return {DecodeStatus::TrailingWords, 0, wordsUsed};
    }
    // The bits after the last code, up to the end of its word.
    const unsigned padding = (32 - position % 32) % 32;
    if (stream.Peek(position) & ((uint64_t{1} << padding) - 1)) {
        return {DecodeStatus::NonZeroPadding, 0, wordsUsed};
    }

    Integrate(left, leftOrder, right, rightOrder, n, frames);
    return {DecodeStatus::Ok, n, wordsUsed};
}

DecodeResult BlockDecoder::decodeBlock(const uint32_t* words, size_t wordCount, int16_t* frames) {
    if constexpr (std::endian::native == std::endian::little) {
        return decodeStoredBlock(reinterpret_cast<const uint8_t*>(words), wordCount, frames);
    } else {
        std::vector<uint8_t> stored(4 * wordCount);
        for (size_t i = 0; i < wordCount; ++i) StoreLE32(stored.data() + 4 * i, words[i]);
        return decodeStoredBlock(stored.data(), wordCount, frames);
    }
}

}  // namespace sonocap

#include "codec/block_decoder.h"

#include <algorithm>
#include <bit>
#include <vector>

#include "codec/block_encoder.h"
#include "codec/code_reader.h"
#include "codec/little_endian.h"
#include "codec/packet_format.h"
#include "codec/wide_vectors.h"

namespace sonocap {

namespace {

// One channel's frames from..to-1 of the cascade, onto its running values (sums[j], the latest
// value of level order-1-j), interleaved into every other sample of `out`.
void IntegrateChannel(const int16_t* values, int order, uint16_t* sums, int32_t from, int32_t to,
                      int16_t* out) {
    for (int32_t i = from; i < to; ++i) {
        auto v = static_cast<uint16_t>(values[i]);
        for (int j = 0; j < order; ++j) {
            if (i > order - 1 - j) v = static_cast<uint16_t>(v + sums[j]);
            sums[j] = v;
        }
        out[2 * i] = static_cast<int16_t>(v);
    }
}

// Undoes the difference cascade from each channel's order down to the samples, wrapping to 16
// bits, and interleaves the channels into `out`. Level m is the running sum of level m+1 from
// index m on; below index m the values pass unchanged.
template <int LeftOrder, int RightOrder>
void Integrate(const int16_t* left, const int16_t* right, int32_t frameCount, int16_t* out) {
    uint16_t l[LeftOrder] = {}, r[RightOrder] = {};
    const int32_t head = std::min(frameCount, 3);
    IntegrateChannel(left, LeftOrder, l, 0, head, out);
    IntegrateChannel(right, RightOrder, r, 0, head, out + 1);
    // From index 3 on every level adds.
    for (int32_t i = head; i < frameCount; ++i) {
        uint16_t a = static_cast<uint16_t>(left[i]), b = static_cast<uint16_t>(right[i]);
        for (int j = 0; j < LeftOrder; ++j) l[j] = a = static_cast<uint16_t>(a + l[j]);
        for (int j = 0; j < RightOrder; ++j) r[j] = b = static_cast<uint16_t>(b + r[j]);
        out[2 * i] = static_cast<int16_t>(a);
        out[2 * i + 1] = static_cast<int16_t>(b);
    }
}

#ifdef SONOCAP_WIDE_VECTORS

// A left and a right sample as one 32-bit frame.
constexpr int Frame(uint16_t left, uint16_t right) {
    return static_cast<int>(static_cast<uint32_t>(left) | static_cast<uint32_t>(right) << 16);
}

// Running sums over eight frames (32-bit units of a left and a right sample), each channel on
// its own, onto `carry`, the running sums so far in every frame.
SONOCAP_WIDE inline __m256i RunningSums(__m256i v, __m256i carry) {
    v = _mm256_add_epi16(v, _mm256_slli_si256(v, 4));
    v = _mm256_add_epi16(v, _mm256_slli_si256(v, 8));
    // The high half adds the low half's last frame.
    const __m256i last = _mm256_shuffle_epi32(v, 0xFF);
    v = _mm256_add_epi16(v, _mm256_permute2x128_si256(last, last, 0x08));
    return _mm256_add_epi16(v, carry);
}

// The last frame of eight in every frame.
SONOCAP_WIDE inline __m256i LastFrame(__m256i v) {
    return _mm256_permutevar8x32_epi32(v, _mm256_set1_epi32(7));
}

// The same, eight frames at a time from index 3 on, both channels in one vector: a channel of
// order 3 takes a first running sum of its own, then both take two.
SONOCAP_WIDE void IntegrateWide(const int16_t* left, int leftOrder, const int16_t* right,
                                int rightOrder, int32_t frameCount, int16_t* out) {
    uint16_t l[3] = {}, r[3] = {};
    const int32_t head = std::min(frameCount, 3);
    IntegrateChannel(left, leftOrder, l, 0, head, out);
    IntegrateChannel(right, rightOrder, r, 0, head, out + 1);
    // Each level's running values as a frame: the third level is the order-3 channels' alone.
    uint16_t* const lLevels = l + (leftOrder - 2);
    uint16_t* const rLevels = r + (rightOrder - 2);
    __m256i third = _mm256_set1_epi32(Frame(leftOrder == 3 ? l[0] : 0, rightOrder == 3 ? r[0] : 0));
    __m256i second = _mm256_set1_epi32(Frame(lLevels[0], rLevels[0]));
    __m256i first = _mm256_set1_epi32(Frame(lLevels[1], rLevels[1]));
    const __m256i ofOrder3 =
        _mm256_set1_epi32(Frame(leftOrder == 3 ? 0xFFFF : 0, rightOrder == 3 ? 0xFFFF : 0));
    const bool anyOrder3 = leftOrder == 3 || rightOrder == 3;
    int32_t i = head;
    for (; i + 8 <= frameCount; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(left + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(right + i));
        __m256i v = _mm256_set_m128i(_mm_unpackhi_epi16(a, b), _mm_unpacklo_epi16(a, b));
        if (anyOrder3) {
            const __m256i sums = RunningSums(_mm256_and_si256(v, ofOrder3), third);
            third = LastFrame(sums);
            v = _mm256_add_epi16(sums, _mm256_andnot_si256(ofOrder3, v));
        }
        v = RunningSums(v, second);
        second = LastFrame(v);
        v = RunningSums(v, first);
        first = LastFrame(v);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), v);
    }
    // The rest one frame at a time, from the levels' running values (for a channel of order 2,
    // whose first value is its second level, that is set after its third, which it lacks).
    const auto thirdBits = static_cast<uint32_t>(_mm256_cvtsi256_si32(third));
    const auto secondBits = static_cast<uint32_t>(_mm256_cvtsi256_si32(second));
    const auto firstBits = static_cast<uint32_t>(_mm256_cvtsi256_si32(first));
    l[0] = static_cast<uint16_t>(thirdBits);
    r[0] = static_cast<uint16_t>(thirdBits >> 16);
    lLevels[0] = static_cast<uint16_t>(secondBits);
    rLevels[0] = static_cast<uint16_t>(secondBits >> 16);
    lLevels[1] = static_cast<uint16_t>(firstBits);
    rLevels[1] = static_cast<uint16_t>(firstBits >> 16);
    IntegrateChannel(left, leftOrder, l, i, frameCount, out);
    IntegrateChannel(right, rightOrder, r, i, frameCount, out + 1);
}

#endif

void Integrate(const int16_t* left, int leftOrder, const int16_t* right, int rightOrder,
               int32_t frameCount, int16_t* out) {
#ifdef SONOCAP_WIDE_VECTORS
    if (HasWideVectors()) return IntegrateWide(left, leftOrder, right, rightOrder, frameCount, out);
#endif
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
    const CodeStream stream{bytes + 4, 4 * (wordCount - 1)};
    uint64_t position = 0;
    const bool complete = ReadChannelCodes(stream, position, n, leftLength, left) &&
                          ReadChannelCodes(stream, position, n, rightLength, right);
    // Codes that run past the end have used every word.
    if (!complete) return {DecodeStatus::Truncated, 0, static_cast<int32_t>(wordCount)};
    const auto wordsUsed = static_cast<int32_t>(1 + (position + 31) / 32);
    if (static_cast<size_t>(wordsUsed) != wordCount) {
        return {DecodeStatus::TrailingWords, 0, wordsUsed};
    }
    // The bits after the last code, up to the end of its word.
    const unsigned padding = (32 - position % 32) % 32;
    if (PeekCodeBits(stream, position) & ((uint64_t{1} << padding) - 1)) {
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

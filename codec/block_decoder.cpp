#include "codec/block_decoder.h"

#include <bit>
#include <vector>

#include "codec/block_encoder.h"
#include "codec/code_reader.h"
#include "codec/little_endian.h"
#include "codec/packet_format.h"

namespace sonocap {

namespace {

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

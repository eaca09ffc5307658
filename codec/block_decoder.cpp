#include "codec/block_decoder.h"

#include "codec/block_encoder.h"
#include "codec/packet_format.h"

namespace sonocap {

namespace {

// Reads the bitstream least-significant bit first, never past the last given word.
class BitReader {
  public:
    BitReader(const uint32_t* words, size_t wordCount) : next_(words), end_(words + wordCount) {}

    // Reads one residual coded with length k (threshold t). False when the words run out.
    bool ReadResidual(unsigned k, int32_t threshold, int16_t& residual) {
        if (available_ < 32 && next_ != end_) {
            pending_ |= static_cast<uint64_t>(*next_++) << available_;
            available_ += 32;
        }
        if (available_ < k) return false;
        const uint32_t v = static_cast<uint32_t>(pending_) & ((1u << k) - 1);
        if (v != 0) {
            residual = static_cast<int16_t>(static_cast<int32_t>(v) - threshold);
            Consume(k);
            return true;
        }
        // An escape: the next 16 bits hold the residual itself. k + 16 <= 31 bits, and after the
        // refill at least 32 are available unless the words have run out.
        if (available_ < k + kEscapeBits) return false;
        residual = static_cast<int16_t>(static_cast<uint16_t>(pending_ >> k));
        Consume(k + kEscapeBits);
        return true;
    }

    // Words that the codes read so far occupy, whole or in part.
    size_t WordsUsed(const uint32_t* words) const {
        return static_cast<size_t>(next_ - words) - available_ / 32;
    }
    bool PaddingIsZero() const { return pending_ == 0; }

  private:
    void Consume(unsigned bits) {
        pending_ >>= bits;
        available_ -= bits;
    }

    const uint32_t* next_;
    const uint32_t* end_;
    uint64_t pending_ = 0;
    unsigned available_ = 0;
};

bool ReadChannel(BitReader& reader, int32_t frameCount, unsigned codeLength, int16_t* residuals) {
    const int32_t threshold = thresholdForCodeLength(static_cast<uint16_t>(codeLength));
    for (int32_t i = 0; i < frameCount; ++i) {
        if (!reader.ReadResidual(codeLength, threshold, residuals[i])) return false;
    }
    return true;
}

// Undoes the difference cascade from Order down to the samples, wrapping to 16 bits, and
// writes the channel into every second slot of `out`. Level m is the running sum of level m+1
// from index m on; below index m the values pass unchanged.
template <int Order>
void Integrate(const int16_t* residuals, int32_t frameCount, int16_t* out) {
    uint16_t sums[Order] = {};  // sums[j]: the latest value of level Order-1-j
    for (int32_t i = 0; i < frameCount; ++i) {
        uint16_t v = static_cast<uint16_t>(residuals[i]);
        for (int j = 0; j < Order; ++j) {
            const int level = Order - 1 - j;
            if (i > level) v = static_cast<uint16_t>(v + sums[j]);
            sums[j] = v;
        }
        out[2 * i] = static_cast<int16_t>(v);
    }
}

void Integrate(const int16_t* residuals, int32_t frameCount, int order, int16_t* out) {
    if (order == 3) {
        Integrate<3>(residuals, frameCount, out);
    } else {
        Integrate<2>(residuals, frameCount, out);
    }
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

DecodeResult BlockDecoder::decodeBlock(const uint32_t* words, size_t wordCount, int16_t* frames) {
    DecodeResult result;
    if (wordCount == 0) return {DecodeStatus::EmptyPacket, 0, 0};
    const uint32_t header = words[0];
    const int32_t n = static_cast<int32_t>(header & kFrameCountMask);
    const unsigned leftLength = ((header >> kLeftCodeLengthShift) & 0xF) + 1;
    const unsigned rightLength = ((header >> kRightCodeLengthShift) & 0xF) + 1;
    const int leftOrder = 2 + static_cast<int>((header >> kLeftOrderShift) & 1);
    const int rightOrder = 2 + static_cast<int>((header >> kRightOrderShift) & 1);
    result.wordsUsed = 1;
    if (header & kReservedHeaderBits) return {DecodeStatus::ReservedBitsSet, 0, 1};
    if (n > kMaxBlockFrames) return {DecodeStatus::TooManyFrames, 0, 1};
    if (leftLength > kMaxCodeLength || rightLength > kMaxCodeLength) {
        return {DecodeStatus::BadCodeLength, 0, 1};
    }

    int16_t left[kMaxBlockFrames], right[kMaxBlockFrames];
    BitReader reader(words + 1, wordCount - 1);
    const bool complete =
        ReadChannel(reader, n, leftLength, left) && ReadChannel(reader, n, rightLength, right);
    result.wordsUsed = 1 + static_cast<int32_t>(reader.WordsUsed(words + 1));
    if (!complete) return {DecodeStatus::Truncated, 0, result.wordsUsed};
    if (static_cast<size_t>(result.wordsUsed) != wordCount) {
        return {DecodeStatus::TrailingWords, 0, result.wordsUsed};
    }
    if (!reader.PaddingIsZero()) return {DecodeStatus::NonZeroPadding, 0, result.wordsUsed};

    Integrate(left, n, leftOrder, frames);
    Integrate(right, n, rightOrder, frames + 1);
    result.frameCount = n;
    return result;
}

}  // namespace sonocap

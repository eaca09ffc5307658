#include "codec/block_encoder.h"

#include <bit>

#include "codec/packet_format.h"
#include "codec/precondition.h"

namespace sonocap {

namespace {

// Magnitude class of a residual: its bit width, so class m holds 2^(m-1) <= |r| <= 2^m - 1.
// Classes 15 and 16 (|r| >= 16384) take part in no cost: no code length below 16 reaches them.
constexpr int kClassSlots = 17;

struct ChannelHistograms {
    uint32_t order2[kClassSlots];
    uint32_t order3[kClassSlots];
};

struct Choice {
    float bestCost = 1.0f;  // held in single precision: it decides ties for block sizes that are
                            // not powers of two
    int codeLength = 1;
    int order = 2;
};

// Offers the code lengths 1..15 of one order to `choice`. The cost is the channel's size in units
// of 16 bits a sample; each step is rounded to double on its own, without fused multiply-add,
// and a candidate wins unless it costs at least the kept best (so every candidate wins when n = 0).
void OfferCodeLengths(const uint32_t (&classes)[kClassSlots], int32_t frameCount, int order,
                      Choice& choice) {
    const double n = frameCount;
    uint32_t normalCodes = 0;
    for (int k = kMinCodeLength; k <= kMaxCodeLength; ++k) {
        normalCodes += classes[k - 1];
        const double p = normalCodes / n;
        const double escapes = (k + kEscapeBits) * (1.0 - p);
        const double normals = k * p;
        const double cost = (escapes + normals) * 0.0625;
        if (!(cost >= static_cast<double>(choice.bestCost))) {
            choice.bestCost = static_cast<float>(cost);
            choice.codeLength = k;
            choice.order = order;
        }
    }
}

// Appends fixed-length codes to the packet, least-significant bit first.
struct BitPacker {
    uint32_t* word;
    uint64_t pending = 0;
    unsigned pendingBits = 0;

    // Whether a word is full follows the signal closely enough to defeat branch prediction, so
    // every code stores its word: to the packet when the word is full, else to `spill`.
    void Put(uint32_t code, unsigned length, uint32_t* spill) {
        pending |= static_cast<uint64_t>(code) << pendingBits;
        pendingBits += length;
        const unsigned full = pendingBits >> 5;
        *(full ? word : spill) = static_cast<uint32_t>(pending);
        word += full;
        pending >>= 32 * full;
        pendingBits -= 32 * full;
    }

    void Flush() {
        if (pendingBits > 0) *word++ = static_cast<uint32_t>(pending);
    }
};

// Codes one residual at a time for a channel with code length k.
struct ChannelCoder {
    const int16_t* residuals;
    unsigned k;
    uint32_t threshold;

    ChannelCoder(const int16_t* r, int codeLength)
        : residuals(r),
          k(static_cast<unsigned>(codeLength)),
          threshold(thresholdForCodeLength(static_cast<uint16_t>(codeLength))) {}

    void Code(int32_t i, BitPacker& packer, uint32_t* spill) const {
        const int32_t r = residuals[i];
        // |r| < t exactly when r + t - 1 lies in 0 .. 2t - 2.
        const bool normal = static_cast<uint32_t>(r) + threshold - 1 < 2 * threshold - 1;
        // An escape is k zero bits followed by the residual's 16-bit pattern.
        const uint32_t code = normal ? static_cast<uint32_t>(r) + threshold
                                     : static_cast<uint32_t>(static_cast<uint16_t>(r)) << k;
        packer.Put(code, normal ? k : k + kEscapeBits, spill);
    }
};

// Bits of a channel's codes: k for each normal code, k + 16 for each escape.
uint32_t ChannelBits(const uint32_t (&classes)[kClassSlots], int32_t frameCount, int k) {
    uint32_t normalCodes = 0;
    for (int c = 0; c < k; ++c) normalCodes += classes[c];
    return static_cast<uint32_t>(k) * static_cast<uint32_t>(frameCount) +
           kEscapeBits * (static_cast<uint32_t>(frameCount) - normalCodes);
}

// The difference cascade restarts at every block: the first values pass through unchanged,
// so e2 = (x0, x1 - x0, x2 - 2x1 + x0, ...) and e3 agrees with e2 below index 3. All in
// 16-bit arithmetic that wraps.
void Residuals(const uint16_t* x, int32_t n, int16_t* e2, int16_t* e3) {
    for (int32_t i = 0; i < n && i < 3; ++i) {
        const uint16_t d1 = i >= 1 ? static_cast<uint16_t>(x[i] - x[i - 1]) : x[i];
        const uint16_t d1prev = i >= 2 ? static_cast<uint16_t>(x[i - 1] - x[i - 2]) : 0;
        const uint16_t d2 = static_cast<uint16_t>(i >= 2 ? d1 - d1prev : d1);
        e2[i] = e3[i] = static_cast<int16_t>(d2);
    }
    for (int32_t i = 3; i < n; ++i) {
        e2[i] = static_cast<int16_t>(static_cast<uint16_t>(x[i] - 2 * x[i - 1] + x[i - 2]));
        e3[i] = static_cast<int16_t>(
            static_cast<uint16_t>(x[i] - 3 * x[i - 1] + 3 * x[i - 2] - x[i - 3]));
    }
}

void Classify(const int16_t* r, int32_t n, uint32_t (&classes)[kClassSlots]) {
    // The class is the exponent of 2|r| + 1 as a float (exact below 2^24): a form that the
    // compiler turns into vector code, leaving only the counting to scalar code.
    uint8_t cls[kMaxBlockFrames];
    for (int32_t i = 0; i < n; ++i) {
        const int32_t a = r[i] < 0 ? -int32_t{r[i]} : int32_t{r[i]};
        const float f = static_cast<float>(2 * a + 1);
        cls[i] = static_cast<uint8_t>((std::bit_cast<uint32_t>(f) >> 23) - 127);
    }
    // Four tables, so that runs of equal classes do not wait on one counter.
    uint32_t counts[4][kClassSlots] = {};
    int32_t i = 0;
    for (; i + 3 < n; i += 4) {
        ++counts[0][cls[i]];
        ++counts[1][cls[i + 1]];
        ++counts[2][cls[i + 2]];
        ++counts[3][cls[i + 3]];
    }
    for (; i < n; ++i) ++counts[0][cls[i]];
    for (int c = 0; c < kClassSlots; ++c) {
        classes[c] = counts[0][c] + counts[1][c] + counts[2][c] + counts[3][c];
    }
}

}  // namespace

uint16_t thresholdForCodeLength(uint16_t codeLength) {
    if (codeLength < kMinCodeLength || codeLength > kMaxCodeLength) return 0xFFFF;
    return static_cast<uint16_t>(1u << (codeLength - 1));
}

uint16_t BlockEncoder::encodeBlock(const int16_t* frames, uint32_t* out, int16_t frameCount) {
    const int32_t n = frameCount;
    Require(n >= 0 && n <= kMaxBlockFrames, "encodeBlock: frame count outside 0 .. 8192");
    // Samples of each channel, then the order-2 and order-3 residuals of each.
    uint16_t xl[kMaxBlockFrames], xr[kMaxBlockFrames];
    int16_t left2[kMaxBlockFrames], right2[kMaxBlockFrames];
    int16_t left3[kMaxBlockFrames], right3[kMaxBlockFrames];
    for (int32_t i = 0; i < n; ++i) {
        xl[i] = static_cast<uint16_t>(frames[2 * i]);
        xr[i] = static_cast<uint16_t>(frames[2 * i + 1]);
    }
    Residuals(xl, n, left2, left3);
    Residuals(xr, n, right2, right3);

    ChannelHistograms left{}, right{};
    Classify(left2, n, left.order2);
    Classify(right2, n, right.order2);
    Classify(left3, n, left.order3);
    Classify(right3, n, right.order3);

    // Order 3 continues from the order-2 choice, so it wins only where it is cheaper.
    Choice leftChoice, rightChoice;
    OfferCodeLengths(left.order2, n, 2, leftChoice);
    OfferCodeLengths(right.order2, n, 2, rightChoice);
    OfferCodeLengths(left.order3, n, 3, leftChoice);
    OfferCodeLengths(right.order3, n, 3, rightChoice);

    // The right codes start where the left ones end, which the histograms tell in advance, so
    // the two channels are packed side by side; they meet in one shared word.
    const ChannelCoder leftCoder(leftChoice.order == 3 ? left3 : left2, leftChoice.codeLength);
    const ChannelCoder rightCoder(rightChoice.order == 3 ? right3 : right2, rightChoice.codeLength);
    const uint32_t leftBits =
        ChannelBits(leftChoice.order == 3 ? left.order3 : left.order2, n, leftChoice.codeLength);
    uint32_t* const shared = out + 1 + leftBits / 32;
    if (leftBits % 32 != 0) *shared = 0;  // else it may lie beyond the packet
    BitPacker leftPacker{out + 1};
    BitPacker rightPacker{shared, 0, leftBits % 32};
    uint32_t spill[2];
    for (int32_t i = 0; i < n; ++i) {
        leftCoder.Code(i, leftPacker, &spill[0]);
        rightCoder.Code(i, rightPacker, &spill[1]);
    }
    rightPacker.Flush();
    if (leftBits % 32 != 0) *shared |= static_cast<uint32_t>(leftPacker.pending);

    out[0] = PacketHeaderWord(n, leftChoice.codeLength, rightChoice.codeLength, leftChoice.order,
                              rightChoice.order);
    return static_cast<uint16_t>(rightPacker.word - out);
}

}  // namespace sonocap

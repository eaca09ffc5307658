#include "codec/block_encoder.h"

#include <bit>
#include <cstdlib>

#include "codec/packet_format.h"

namespace sonocap {

namespace {

// Magnitude class of a residual: its bit width, so class m holds 2^(m-1) <= |r| <= 2^m - 1.
// Classes 15 and 16 (|r| >= 16384) take part in no cost: no code length below 16 reaches them.
constexpr int kClassSlots = 17;

struct ChannelHistograms {
    // Even and odd frames count into separate tables so that runs of equal classes do not
    // serialise on one counter.
    uint32_t order2[2][kClassSlots];
    uint32_t order3[2][kClassSlots];
};

// bit_width(|r|) without a branch for zero: the highest set bit of 2|r| + 1.
inline unsigned MagnitudeClass(int16_t r) {
    const auto magnitude = static_cast<uint32_t>(std::abs(int32_t{r}));
    return 31u - static_cast<unsigned>(std::countl_zero(2 * magnitude + 1));
}

inline int16_t Wrap(int32_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}

struct Choice {
    float bestCost = 1.0f;  // held in single precision: it decides ties for block sizes that are
                            // not powers of two
    int codeLength = 1;
    int order = 2;
};

// Offers the code lengths 1..15 of one order to `choice`. The cost is the channel's size in units
// of 16 bits a sample; each step is rounded to double on its own, without fused multiply-add,
// and a candidate wins unless it costs at least the kept best (so every candidate wins when n = 0).
void OfferCodeLengths(const uint32_t (&classes)[2][kClassSlots], int32_t frameCount, int order,
                      Choice& choice) {
    const double n = frameCount;
    uint32_t normalCodes = 0;
    for (int k = kMinCodeLength; k <= kMaxCodeLength; ++k) {
        normalCodes += classes[0][k - 1] + classes[1][k - 1];
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

    void Put(uint32_t code, unsigned length) {
        pending |= static_cast<uint64_t>(code) << pendingBits;
        pendingBits += length;
        if (pendingBits >= 32) {
            *word++ = static_cast<uint32_t>(pending);
            pending >>= 32;
            pendingBits -= 32;
        }
    }

    void Flush() {
        if (pendingBits > 0) *word++ = static_cast<uint32_t>(pending);
    }
};

void CodeChannel(const int16_t* residuals, int32_t frameCount, int codeLength, BitPacker& packer) {
    const unsigned k = static_cast<unsigned>(codeLength);
    const int32_t threshold = thresholdForCodeLength(static_cast<uint16_t>(codeLength));
    for (int32_t i = 0; i < frameCount; ++i) {
        const int32_t r = residuals[i];
        const bool escape = std::abs(r) >= threshold;
        // An escape is k zero bits followed by the residual's 16-bit pattern.
        const uint32_t code = escape ? static_cast<uint32_t>(static_cast<uint16_t>(r)) << k
                                     : static_cast<uint32_t>(r + threshold);
        packer.Put(code, escape ? k + kEscapeBits : k);
    }
}

}  // namespace

uint16_t thresholdForCodeLength(uint16_t codeLength) {
    if (codeLength < kMinCodeLength || codeLength > kMaxCodeLength) return 0xFFFF;
    return static_cast<uint16_t>(1u << (codeLength - 1));
}

uint16_t BlockEncoder::encodeBlock(const int16_t* frames, uint32_t* out, int16_t frameCount) {
    // Order-2 residuals of each channel, and the order-3 residuals beside them.
    int16_t left2[kMaxBlockFrames], right2[kMaxBlockFrames];
    int16_t left3[kMaxBlockFrames], right3[kMaxBlockFrames];
    ChannelHistograms left{}, right{};

    const int32_t n = frameCount;
    // The difference cascade restarts at every block: the first values pass through unchanged,
    // so e2 = (x0, x1 - x0, x2 - 2x1 + x0, ...) and e3 agrees with e2 below index 3.
    const auto classify = [&](int32_t i, int16_t l2, int16_t r2, int16_t l3, int16_t r3) {
        left2[i] = l2, right2[i] = r2, left3[i] = l3, right3[i] = r3;
        const unsigned parity = static_cast<unsigned>(i) & 1;
        ++left.order2[parity][MagnitudeClass(l2)];
        ++right.order2[parity][MagnitudeClass(r2)];
        ++left.order3[parity][MagnitudeClass(l3)];
        ++right.order3[parity][MagnitudeClass(r3)];
    };
    int32_t xl = 0, xr = 0;  // previous sample
    int32_t dl = 0, dr = 0;  // previous first difference
    int32_t el = 0, er = 0;  // previous second difference
    for (int32_t i = 0; i < n && i < 3; ++i) {
        const int32_t sl = frames[2 * i], sr = frames[2 * i + 1];
        const int16_t d1l = Wrap(i >= 1 ? sl - xl : sl), d1r = Wrap(i >= 1 ? sr - xr : sr);
        const int16_t d2l = Wrap(i >= 2 ? d1l - dl : d1l), d2r = Wrap(i >= 2 ? d1r - dr : d1r);
        classify(i, d2l, d2r, d2l, d2r);
        xl = sl, xr = sr, dl = d1l, dr = d1r, el = d2l, er = d2r;
    }
    for (int32_t i = 3; i < n; ++i) {
        const int32_t sl = frames[2 * i], sr = frames[2 * i + 1];
        const int16_t d1l = Wrap(sl - xl), d1r = Wrap(sr - xr);
        const int16_t d2l = Wrap(d1l - dl), d2r = Wrap(d1r - dr);
        classify(i, d2l, d2r, Wrap(d2l - el), Wrap(d2r - er));
        xl = sl, xr = sr, dl = d1l, dr = d1r, el = d2l, er = d2r;
    }

    // Order 3 continues from the order-2 choice, so it wins only where it is cheaper.
    Choice leftChoice, rightChoice;
    OfferCodeLengths(left.order2, n, 2, leftChoice);
    OfferCodeLengths(right.order2, n, 2, rightChoice);
    OfferCodeLengths(left.order3, n, 3, leftChoice);
    OfferCodeLengths(right.order3, n, 3, rightChoice);

    BitPacker packer{out + 1};
    CodeChannel(leftChoice.order == 3 ? left3 : left2, n, leftChoice.codeLength, packer);
    CodeChannel(rightChoice.order == 3 ? right3 : right2, n, rightChoice.codeLength, packer);
    packer.Flush();

    out[0] = PacketHeaderWord(n, leftChoice.codeLength, rightChoice.codeLength, leftChoice.order,
                              rightChoice.order);
    return static_cast<uint16_t>(packer.word - out);
}

}  // namespace sonocap

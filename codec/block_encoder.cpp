#include "codec/block_encoder.h"

#include <algorithm>
#include <bit>

#include "codec/packet_format.h"
#include "codec/precondition.h"
#include "codec/wide_vectors.h"

namespace sonocap {

namespace {

// Magnitude class of a residual: its bit width, so class m holds 2^(m-1) <= |r| <= 2^m - 1.
// Class 15 holds every |r| >= 16384, which takes part in no cost: no code length reaches it.
constexpr int kClassSlots = 16;

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

// A channel's codes joined two by two, the first in the low bits: at most 62 bits a pair, so
// that the packing, whose steps depend on each other, takes half as many.
struct CodePairs {
    uint64_t bits[kMaxBlockFrames / 2];
    uint64_t length[kMaxBlockFrames / 2];
};

// Codes a channel with code length k: |r| < 2^(k-1) as r + 2^(k-1) in k bits, anything else as an
// escape, k zero bits followed by the residual's 16-bit pattern. Codes residuals from `from`
// (even) on and returns the number of pairs; an odd last code stands alone.
int32_t PairCodesPortable(const int16_t* residuals, int32_t from, int32_t n, int codeLength,
                          CodePairs& pairs) {
    const auto k = static_cast<unsigned>(codeLength);
    const uint32_t threshold = thresholdForCodeLength(static_cast<uint16_t>(codeLength));
    const auto code = [&](int32_t r, uint32_t& length) {
        // |r| < t exactly when r + t - 1 lies in 0 .. 2t - 2.
        const bool normal = static_cast<uint32_t>(r) + threshold - 1 < 2 * threshold - 1;
        length = normal ? k : k + kEscapeBits;
        return normal ? static_cast<uint32_t>(r) + threshold
                      : static_cast<uint32_t>(static_cast<uint16_t>(r)) << k;
    };
    const int32_t whole = n / 2;
    for (int32_t i = from / 2; i < whole; ++i) {
        uint32_t first = 0, second = 0;
        const uint32_t low = code(residuals[2 * i], first);
        const uint32_t high = code(residuals[2 * i + 1], second);
        pairs.bits[i] = low | uint64_t{high} << first;
        pairs.length[i] = first + second;
    }
    if (n % 2 == 0) return whole;
    uint32_t length = 0;
    pairs.bits[whole] = code(residuals[n - 1], length);
    pairs.length[whole] = length;
    return whole + 1;
}

#ifdef SONOCAP_WIDE_VECTORS

// The same eight codes at a time.
SONOCAP_WIDE int32_t PairCodesWide(const int16_t* residuals, int32_t n, int codeLength,
                                   CodePairs& pairs) {
    const __m256i k = _mm256_set1_epi32(codeLength);
    const __m256i threshold =
        _mm256_set1_epi32(thresholdForCodeLength(static_cast<uint16_t>(codeLength)));
    const __m256i escapeBits = _mm256_set1_epi32(kEscapeBits);
    const __m256i lowHalf = _mm256_set1_epi64x(0xFFFFFFFF);
    const __m256i sixteenBits = _mm256_set1_epi32(0xFFFF);
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i r =
            _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(residuals + i)));
        const __m256i normal = _mm256_cmpgt_epi32(threshold, _mm256_abs_epi32(r));
        const __m256i code =
            _mm256_blendv_epi8(_mm256_sllv_epi32(_mm256_and_si256(r, sixteenBits), k),
                               _mm256_add_epi32(r, threshold), normal);
        const __m256i length = _mm256_add_epi32(k, _mm256_andnot_si256(normal, escapeBits));
        // Each 64-bit lane holds a pair: the first code low, the second above its length.
        const __m256i firstLength = _mm256_and_si256(length, lowHalf);
        const __m256i joined =
            _mm256_or_si256(_mm256_and_si256(code, lowHalf),
                            _mm256_sllv_epi64(_mm256_srli_epi64(code, 32), firstLength));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pairs.bits + i / 2), joined);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pairs.length + i / 2),
                            _mm256_add_epi64(firstLength, _mm256_srli_epi64(length, 32)));
    }
    return PairCodesPortable(residuals, i, n, codeLength, pairs);
}

#endif

int32_t PairCodes(const int16_t* residuals, int32_t n, int codeLength, CodePairs& pairs) {
#ifdef SONOCAP_WIDE_VECTORS
    if (HasWideVectors()) return PairCodesWide(residuals, n, codeLength, pairs);
#endif
    return PairCodesPortable(residuals, 0, n, codeLength, pairs);
}

// Appends codes to the packet, least-significant bit first, 64 bits (two words) at a time.
struct BitPacker {
    uint32_t* unit;  // where the next two words go
    uint64_t pending = 0;
    unsigned pendingBits = 0;

    // Appends the pairs; `end` is one past the packet's last word.
    void PutAll(const CodePairs& pairs, int32_t count, const uint32_t* end) {
        int32_t i = 0;
        // Whether a unit is full follows the signal closely enough to defeat branch prediction,
        // so while a whole unit lies inside the packet every step stores its unit, full or not;
        // one that is not full is stored again when it is.
        for (; i < count && unit + 2 <= end; ++i) {
            const uint64_t bits = pairs.bits[i];
            const auto length = static_cast<unsigned>(pairs.length[i]);
            const uint64_t joined = pending | bits << pendingBits;
            const unsigned total = pendingBits + length;
            unit[0] = static_cast<uint32_t>(joined);
            unit[1] = static_cast<uint32_t>(joined >> 32);
            // In masks rather than conditions, which the compiler would make branches again.
            const uint64_t full = total >> 6;
            const uint64_t notFull = full - 1;
            unit += 2 * full;
            // The bits that did not fit (a full unit means pendingBits > 0: a pair is at most 62).
            const uint64_t carried = (bits >> 1) >> (63 - pendingBits);
            pending = (joined & notFull) | (carried & ~notFull);
            pendingBits = total & 63;
        }
        // In the last unit, which may end inside the packet's last word, only full units go out.
        for (; i < count; ++i) {
            const uint64_t bits = pairs.bits[i];
            const auto length = static_cast<unsigned>(pairs.length[i]);
            const uint64_t joined = pending | bits << pendingBits;
            if (pendingBits + length < 64) {
                pending = joined;
                pendingBits += length;
                continue;
            }
            unit[0] = static_cast<uint32_t>(joined);
            unit[1] = static_cast<uint32_t>(joined >> 32);
            unit += 2;
            pending = (bits >> 1) >> (63 - pendingBits);
            pendingBits = (pendingBits + length) & 63;
        }
    }

    // Stores the words that the pending bits reach into.
    void Flush() {
        for (unsigned done = 0; done < pendingBits; done += 32) {
            *unit++ = static_cast<uint32_t>(pending >> done);
        }
    }
};

// Bits of a channel's codes: k for each normal code, k + 16 for each escape.
uint32_t ChannelBits(const uint32_t (&classes)[kClassSlots], int32_t frameCount, int k) {
    uint32_t normalCodes = 0;
    for (int c = 0; c < k; ++c) normalCodes += classes[c];
    return static_cast<uint32_t>(k) * static_cast<uint32_t>(frameCount) +
           kEscapeBits * (static_cast<uint32_t>(frameCount) - normalCodes);
}

// The samples of each channel, from interleaved frames, from frame `from` on.
void SplitChannelsPortable(const int16_t* frames, int32_t from, int32_t n, uint16_t* left,
                           uint16_t* right) {
    for (int32_t i = from; i < n; ++i) {
        left[i] = static_cast<uint16_t>(frames[2 * i]);
        right[i] = static_cast<uint16_t>(frames[2 * i + 1]);
    }
}

// The difference cascade restarts at every block: the first values pass through unchanged,
// so e2 = (x0, x1 - x0, x2 - 2x1 + x0, ...) and e3 agrees with e2 below index 3. All in
// 16-bit arithmetic that wraps. From index `from` on.
void ResidualsPortable(const uint16_t* x, int32_t from, int32_t n, int16_t* e2, int16_t* e3) {
    for (int32_t i = from; i < n && i < 3; ++i) {
        const uint16_t d1 = i >= 1 ? static_cast<uint16_t>(x[i] - x[i - 1]) : x[i];
        const uint16_t d1prev = i >= 2 ? static_cast<uint16_t>(x[i - 1] - x[i - 2]) : 0;
        const uint16_t d2 = static_cast<uint16_t>(i >= 2 ? d1 - d1prev : d1);
        e2[i] = e3[i] = static_cast<int16_t>(d2);
    }
    for (int32_t i = std::max(from, 3); i < n; ++i) {
        e2[i] = static_cast<int16_t>(static_cast<uint16_t>(x[i] - 2 * x[i - 1] + x[i - 2]));
        e3[i] = static_cast<int16_t>(
            static_cast<uint16_t>(x[i] - 3 * x[i - 1] + 3 * x[i - 2] - x[i - 3]));
    }
}

#ifdef SONOCAP_WIDE_VECTORS

// The same sixteen frames at a time.
SONOCAP_WIDE void SplitChannelsWide(const int16_t* frames, int32_t n, uint16_t* left,
                                    uint16_t* right) {
    // In each 128-bit half: the four left samples, then the four right ones.
    const __m256i gather = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15, 0,
                                            1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const auto* at = reinterpret_cast<const __m256i*>(frames + 2 * i);
        // Frames 0-7 as L0-3 L4-7 R0-3 R4-7, in 64-bit units; frames 8-15 likewise.
        const __m256i low =
            _mm256_permute4x64_epi64(_mm256_shuffle_epi8(_mm256_loadu_si256(at), gather), 0xD8);
        const __m256i high =
            _mm256_permute4x64_epi64(_mm256_shuffle_epi8(_mm256_loadu_si256(at + 1), gather), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(left + i),
                            _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(right + i),
                            _mm256_permute2x128_si256(low, high, 0x31));
    }
    SplitChannelsPortable(frames, i, n, left, right);
}

// The same sixteen samples at a time, from index 3 on.
SONOCAP_WIDE void ResidualsWide(const uint16_t* x, int32_t n, int16_t* e2, int16_t* e3) {
    ResidualsPortable(x, 0, std::min(n, 3), e2, e3);
    int32_t i = 3;
    for (; i + 16 <= n; i += 16) {
        const auto* at = reinterpret_cast<const __m256i*>(x + i);
        const __m256i x0 = _mm256_loadu_si256(at);
        const __m256i x1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i - 1));
        const __m256i x2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i - 2));
        const __m256i x3 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + i - 3));
        // e2 = x0 - 2 x1 + x2, and e3 = e2 less the same one sample back.
        const __m256i second = _mm256_add_epi16(_mm256_sub_epi16(_mm256_sub_epi16(x0, x1), x1), x2);
        const __m256i before = _mm256_add_epi16(_mm256_sub_epi16(_mm256_sub_epi16(x1, x2), x2), x3);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(e2 + i), second);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(e3 + i), _mm256_sub_epi16(second, before));
    }
    ResidualsPortable(x, i, n, e2, e3);
}

#endif

void SplitChannels(const int16_t* frames, int32_t n, uint16_t* left, uint16_t* right) {
#ifdef SONOCAP_WIDE_VECTORS
    if (HasWideVectors()) return SplitChannelsWide(frames, n, left, right);
#endif
    SplitChannelsPortable(frames, 0, n, left, right);
}

void Residuals(const uint16_t* x, int32_t n, int16_t* e2, int16_t* e3) {
#ifdef SONOCAP_WIDE_VECTORS
    if (HasWideVectors()) return ResidualsWide(x, n, e2, e3);
#endif
    ResidualsPortable(x, 0, n, e2, e3);
}

void ClassifyPortable(const int16_t* r, int32_t n, uint32_t (&classes)[kClassSlots]) {
    // The class is the exponent of 2|r| + 1 as a float (exact below 2^24): a form that the
    // compiler turns into vector code, leaving only the counting to scalar code.
    uint8_t cls[kMaxBlockFrames];
    for (int32_t i = 0; i < n; ++i) {
        const int32_t a = r[i] < 0 ? -int32_t{r[i]} : int32_t{r[i]};
        const float f = static_cast<float>(2 * a + 1);
        const uint32_t width = (std::bit_cast<uint32_t>(f) >> 23) - 127;
        cls[i] = static_cast<uint8_t>(width < kClassSlots ? width : kClassSlots - 1);
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

#ifdef SONOCAP_WIDE_VECTORS

// Adds to counts[b] the residuals of r[0 .. n) (a multiple of 32) whose magnitude reaches
// 2^(b+first) for the bounds b < Bounds, from their magnitudes' low bytes (first = 0: bounds 1 to
// 128, magnitudes of 255 and more as 255) or their high bytes (first = 8: bounds 256 to 16384), 32
// residuals at a time in 8-bit counters. Few enough counters to stay in registers.
template <int First, int Bounds>
SONOCAP_WIDE void CountReaching(const int16_t* r, int32_t n, uint32_t* counts) {
    const __m256i largest = _mm256_set1_epi16(0x7FFF);  // |-32768| stays above every bound
    const __m256i sign = _mm256_set1_epi8(static_cast<char>(0x80));
    __m256i bounds[Bounds];
    for (int b = 0; b < Bounds; ++b) {
        // Signed comparisons: the low bytes are moved down by 128 to compare as unsigned.
        const int bound = (1 << b) - 1;
        bounds[b] = _mm256_set1_epi8(static_cast<char>(First == 0 ? bound ^ 0x80 : bound));
    }
    for (int32_t chunk = 0; chunk < n; chunk += 255 * 32) {
        __m256i reaching[Bounds];
        for (__m256i& lanes : reaching) lanes = _mm256_setzero_si256();
        const int32_t end = std::min(n, chunk + 255 * 32);
        for (int32_t i = chunk; i < end; i += 32) {
            const __m256i* at = reinterpret_cast<const __m256i*>(r + i);
            const __m256i a = _mm256_min_epu16(_mm256_abs_epi16(_mm256_loadu_si256(at)), largest);
            const __m256i b =
                _mm256_min_epu16(_mm256_abs_epi16(_mm256_loadu_si256(at + 1)), largest);
            const __m256i bytes =
                First == 0 ? _mm256_xor_si256(_mm256_packus_epi16(a, b), sign)
                           : _mm256_packus_epi16(_mm256_srli_epi16(a, 8), _mm256_srli_epi16(b, 8));
            for (int c = 0; c < Bounds; ++c) {
                reaching[c] = _mm256_sub_epi8(reaching[c], _mm256_cmpgt_epi8(bytes, bounds[c]));
            }
        }
        for (int c = 0; c < Bounds; ++c) {
            alignas(32) uint64_t sums[4];
            _mm256_store_si256(reinterpret_cast<__m256i*>(sums),
                               _mm256_sad_epu8(reaching[c], _mm256_setzero_si256()));
            counts[c] += static_cast<uint32_t>(sums[0] + sums[1] + sums[2] + sums[3]);
        }
    }
}

// The same by counting how many residuals reach each power of two.
SONOCAP_WIDE void ClassifyWide(const int16_t* r, int32_t n, uint32_t (&classes)[kClassSlots]) {
    constexpr int kBounds = kClassSlots - 1;
    // counts[c]: the residuals with |r| >= 2^c.
    uint32_t counts[kBounds] = {};
    const int32_t wide = n - n % 32;
    CountReaching<0, 8>(r, wide, counts);
    CountReaching<8, kBounds - 8>(r, wide, counts + 8);
    for (int32_t i = wide; i < n; ++i) {
        const int32_t a = r[i] < 0 ? -int32_t{r[i]} : int32_t{r[i]};
        for (int c = 0; c < kBounds; ++c) counts[c] += a >= (1 << c);
    }
    classes[0] = static_cast<uint32_t>(n) - counts[0];
    for (int c = 1; c < kBounds; ++c) classes[c] = counts[c - 1] - counts[c];
    classes[kBounds] = counts[kBounds - 1];
}

#endif

void Classify(const int16_t* r, int32_t n, uint32_t (&classes)[kClassSlots]) {
#ifdef SONOCAP_WIDE_VECTORS
    if (HasWideVectors()) return ClassifyWide(r, n, classes);
#endif
    ClassifyPortable(r, n, classes);
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
    SplitChannels(frames, n, xl, xr);
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

    // The histograms tell the packet's length in advance.
    const int16_t* const leftResiduals = leftChoice.order == 3 ? left3 : left2;
    const int16_t* const rightResiduals = rightChoice.order == 3 ? right3 : right2;
    CodePairs leftPairs, rightPairs;
    const int32_t pairCount = PairCodes(leftResiduals, n, leftChoice.codeLength, leftPairs);
    PairCodes(rightResiduals, n, rightChoice.codeLength, rightPairs);
    const uint32_t codeBits =
        ChannelBits(leftChoice.order == 3 ? left.order3 : left.order2, n, leftChoice.codeLength) +
        ChannelBits(rightChoice.order == 3 ? right.order3 : right.order2, n,
                    rightChoice.codeLength);
    const uint32_t words = 1 + (codeBits + 31) / 32;
    BitPacker packer{out + 1};
    packer.PutAll(leftPairs, pairCount, out + words);
    packer.PutAll(rightPairs, pairCount, out + words);
    packer.Flush();

    out[0] = PacketHeaderWord(n, leftChoice.codeLength, rightChoice.codeLength, leftChoice.order,
                              rightChoice.order);
    return static_cast<uint16_t>(words);
}

}  // namespace sonocap

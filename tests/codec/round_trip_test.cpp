#include <gtest/gtest.h>

#include <vector>

#include "codec/block_decoder.h"
#include "codec/block_encoder.h"
#include "tests/codec/test_signals.h"

namespace sonocap {
namespace {

struct RoundTrip {
    std::vector<int16_t> decoded;
    uint16_t words = 0;
    DecodeResult result;
};

RoundTrip EncodeThenDecode(const std::vector<int16_t>& frames) {
    const auto n = static_cast<int32_t>(frames.size() / 2);
    std::vector<uint32_t> packet(MaxPacketWords(n));
    RoundTrip trip;
    trip.words = BlockEncoder::encodeBlock(frames.data(), packet.data(), static_cast<int16_t>(n));
    trip.decoded.assign(2 * kMaxBlockFrames, 0);
    trip.result = BlockDecoder::decodeBlock(packet.data(), trip.words, trip.decoded.data());
    trip.decoded.resize(2 * static_cast<size_t>(trip.result.frameCount));
    return trip;
}

class RoundTripTest : public testing::TestWithParam<std::tuple<test::SignalKind, int32_t>> {};

TEST_P(RoundTripTest, DecodesToTheInput) {
    const auto [kind, frames] = GetParam();
    for (uint32_t seed = 1; seed <= 3; ++seed) {
        const std::vector<int16_t> input = test::MakeSignal(kind, frames, seed);
        const RoundTrip trip = EncodeThenDecode(input);
        ASSERT_EQ(trip.result.status, DecodeStatus::Ok) << DecodeStatusText(trip.result.status);
        EXPECT_LE(trip.words, MaxPacketWords(frames));
        EXPECT_EQ(trip.decoded, input) << "seed " << seed;
    }
}

INSTANTIATE_TEST_SUITE_P(BlockCodec, RoundTripTest,
                         testing::Combine(testing::ValuesIn(test::AllSignalKinds()),
                                          testing::Values(0, 1, 2, 3, 4, 5, 7, 33, 1023, 2047, 2048,
                                                          8191, 8192)),
                         [](const auto& info) {
                             return std::string(test::SignalName(std::get<0>(info.param))) + "_" +
                                    std::to_string(std::get<1>(info.param));
                         });

TEST(BlockCodec, MinimumAfterMaximumRestoresThroughTheWrap) {
    const std::vector<int16_t> input = {32767, -32768, -32768, 32767, 32767, -32768};
    EXPECT_EQ(EncodeThenDecode(input).decoded, input);
}

TEST(BlockCodec, CorpusSubBlocksRoundTrip) {
    for (const std::string& name : test::CorpusClipNames()) {
        const std::vector<int16_t> clip = test::LoadCorpusClip(name);
        ASSERT_FALSE(clip.empty()) << name << " not found; set SONOCAP_CORPUS_DIR";
        // Every 37th sub-block keeps this quick under the sanitizers.
        for (size_t first = 0; first + 2 * 2048 <= clip.size(); first += 37 * 2 * 2048) {
            const std::vector<int16_t> block(clip.begin() + first, clip.begin() + first + 2 * 2048);
            const RoundTrip trip = EncodeThenDecode(block);
            ASSERT_EQ(trip.decoded, block) << name << " at sample " << first;
            ASSERT_LT(trip.words, 2177) << "real music compresses";
        }
    }
}

}  // namespace
}  // namespace sonocap

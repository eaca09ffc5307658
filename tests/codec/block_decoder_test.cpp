#include "codec/block_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "codec/block_encoder.h"
#include "tests/codec/worked_packets.h"

namespace sonocap {
namespace {

class WorkedPacketDecodeTest : public testing::TestWithParam<test::WorkedPacket> {};

TEST_P(WorkedPacketDecodeTest, RestoresTheFrames) {
    const test::WorkedPacket& packet = GetParam();
    std::vector<int16_t> frames(2 * kMaxBlockFrames, 0x5555);
    const DecodeResult result =
        BlockDecoder::decodeBlock(packet.words.data(), packet.words.size(), frames.data());
    ASSERT_EQ(result.status, DecodeStatus::Ok) << DecodeStatusText(result.status);
    ASSERT_EQ(2 * static_cast<size_t>(result.frameCount), packet.frames.size());
    frames.resize(packet.frames.size());
    EXPECT_EQ(frames, packet.frames);
    EXPECT_EQ(static_cast<size_t>(result.wordsUsed), packet.words.size());
}

INSTANTIATE_TEST_SUITE_P(BlockDecoder, WorkedPacketDecodeTest,
                         testing::ValuesIn(test::WorkedPackets()),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadPacket {
    const char* name;
    std::vector<uint32_t> words;
    DecodeStatus status;
};

void PrintTo(const BadPacket& packet, std::ostream* os) {
    *os << packet.name;
}

class BadPacketTest : public testing::TestWithParam<BadPacket> {};

TEST_P(BadPacketTest, IsRejected) {
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    const DecodeResult result =
        BlockDecoder::decodeBlock(GetParam().words.data(), GetParam().words.size(), frames.data());
    EXPECT_EQ(result.status, GetParam().status) << DecodeStatusText(result.status);
    EXPECT_EQ(result.frameCount, 0);
}

std::vector<uint32_t> SilencePacketOf(int frames, int extraWords) {
    std::vector<uint32_t> words(1 + (2 * frames + 31) / 32 + extraWords, 0xFFFFFFFFu);
    words[0] = static_cast<uint32_t>(frames);
    return words;
}

INSTANTIATE_TEST_SUITE_P(
    BlockDecoder, BadPacketTest,
    testing::Values(
        BadPacket{"NoHeaderWord", {}, DecodeStatus::EmptyPacket},
        BadPacket{"FrameCountAboveLimit", SilencePacketOf(8193, 0), DecodeStatus::TooManyFrames},
        BadPacket{"FrameCountAtMaximumField", {0x0000FFFF}, DecodeStatus::TooManyFrames},
        BadPacket{"LeftCodeLength16", {0x000F0000}, DecodeStatus::BadCodeLength},
        BadPacket{"RightCodeLength16", {0x00F00000}, DecodeStatus::BadCodeLength},
        BadPacket{"ReservedBit26", {0x04000000}, DecodeStatus::ReservedBitsSet},
        BadPacket{"ReservedBit31", {0x80000000}, DecodeStatus::ReservedBitsSet},
        BadPacket{"HeaderOnlyWithFrames", {0x00010004}, DecodeStatus::Truncated},
        BadPacket{"EscapeCutShort", {0x00000004, 0x00000000}, DecodeStatus::Truncated},
        BadPacket{"SilenceOneWordShort", SilencePacketOf(2048, -1), DecodeStatus::Truncated},
        BadPacket{"TrailingWord", {0x00010004, 0x00000FAE, 0}, DecodeStatus::TrailingWords},
        BadPacket{"TrailingWordAfterExactEnd", SilencePacketOf(2048, 1),
                  DecodeStatus::TrailingWords},
        BadPacket{"WordsWithNoFrames", {0x03EE0000, 0}, DecodeStatus::TrailingWords},
        BadPacket{"PaddingBitSet", {0x00010004, 0x80000FAE}, DecodeStatus::NonZeroPadding}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockDecoder, RandomWordsNeverReadOutsideThePacket) {
    // Under the sanitizers this shows that no read leaves the given words, whatever they hold.
    std::mt19937 random(12345);
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    int decoded = 0;
    for (int round = 0; round < 20000; ++round) {
        const size_t count = random() % 40;
        std::vector<uint32_t> words(count);
        for (uint32_t& w : words) w = random();
        if (count > 0) words[0] &= 0x03FF000F;  // small frame counts, any lengths and orders
        const DecodeResult result = BlockDecoder::decodeBlock(words.data(), count, frames.data());
        if (result.status == DecodeStatus::Ok) {
            ++decoded;
            EXPECT_EQ(static_cast<size_t>(result.wordsUsed), count);
        } else {
            EXPECT_LE(static_cast<size_t>(result.wordsUsed), std::max<size_t>(count, 1));
        }
    }
    EXPECT_GT(decoded, 0);
}

}  // namespace
}  // namespace sonocap

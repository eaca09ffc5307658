#include "codec/block_encoder.h"

#include <gtest/gtest.h>

#include <vector>

#include "codec/capture_buffer_encoding.h"
#include "tests/codec/test_signals.h"
#include "tests/codec/worked_packets.h"

namespace sonocap {
namespace {

std::vector<uint32_t> Encode(const std::vector<int16_t>& frames) {
    const auto n = static_cast<int32_t>(frames.size() / 2);
    std::vector<uint32_t> out(MaxPacketWords(n) + 1, 0xDEADBEEF);
    const uint16_t words =
        BlockEncoder::encodeBlock(frames.data(), out.data(), static_cast<int16_t>(n));
    EXPECT_EQ(out[MaxPacketWords(n)], 0xDEADBEEF) << "wrote past the size bound";
    out.resize(words);
    return out;
}

class WorkedPacketTest : public testing::TestWithParam<test::WorkedPacket> {};

TEST_P(WorkedPacketTest, EncodesBitForBit) {
    EXPECT_EQ(Encode(GetParam().frames), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(BlockEncoder, WorkedPacketTest, testing::ValuesIn(test::WorkedPackets()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BlockEncoder, FullScaleNoiseFallsBackToOneBitCodesAndFillsTheBound) {
    const std::vector<int16_t> frames = test::NoiseWithoutZeroResiduals(2048, 7);
    const std::vector<uint32_t> words = Encode(frames);
    ASSERT_EQ(words.size(), 2177u);
    EXPECT_EQ(words[0], 0x00000800u);  // k = 1, order 2 on both channels
}

TEST(BlockEncoder, ShortBlocksTakeOrderTwoWhenCostsAreExact) {
    // n = 4 and n = 8: p is exact, so an order-3 twin of equal cost never replaces order 2.
    for (int32_t n : {4, 8}) {
        std::vector<int16_t> frames(2 * n, 0);
        frames[2] = 1;  // left e2 = 0, 1, -1, 0, ...: order 3 is no cheaper
        const std::vector<uint32_t> words = Encode(frames);
        EXPECT_EQ(words[0] >> 24, 0u) << "n = " << n;
    }
}

TEST(BlockEncoder, WrappedDifferenceIsCodedSmall) {
    // 32767 then -32768: e1 = 1 after wrapping, so no escape is needed for the step.
    const std::vector<int16_t> frames = {32767, 0, -32768, 0};
    const std::vector<uint32_t> words = Encode(frames);
    // Left e2 = 32767 (escape), 1: k = 1 costs (17 + 17) / 32, k = 2 wins at (18 + 2) / 32.
    EXPECT_EQ((words[0] >> 16) & 0xF, 1u);
}

TEST(BlockEncoder, NeverWritesToItsInput) {
    const std::vector<int16_t> frames = test::MakeSignal(test::SignalKind::Sine, 2048, 3);
    const std::vector<int16_t> copy = frames;
    Encode(frames);
    EXPECT_EQ(frames, copy);
}

TEST(BlockEncoder, ThresholdsForCodeLengths) {
    struct Case {
        uint16_t codeLength;
        uint16_t threshold;
    };
    const Case cases[] = {{0, 0xFFFF}, {1, 1},      {2, 2},       {3, 4},         {8, 128},
                          {14, 8192},  {15, 16384}, {16, 0xFFFF}, {65535, 0xFFFF}};
    for (const Case& c : cases) {
        EXPECT_EQ(thresholdForCodeLength(c.codeLength), c.threshold) << "k = " << c.codeLength;
    }
}

TEST(BlockEncoder, PacketSizeBound) {
    EXPECT_EQ(MaxPacketWords(0), 1);
    EXPECT_EQ(MaxPacketWords(2048), 2177);
    EXPECT_EQ(MaxPacketWords(8192), 8705);
}

}  // namespace
TEST(BlockEncoderDeathTest, FrameCountsBeyondItsArraysStopTheProgram) {
    std::vector<int16_t> frames(2 * 16385);
    std::vector<uint32_t> out(MaxPacketWords(16385));
    EXPECT_DEATH(BlockEncoder::encodeBlock(frames.data(), out.data(), 8193), "outside 0 .. 8192");
    EXPECT_DEATH(BlockEncoder::encodeBlock(frames.data(), out.data(), -1), "outside 0 .. 8192");
    uint32_t area[kPacketAreaWords];
    const auto discard = [](const void*, int32_t bytes) { return bytes; };
    EXPECT_DEATH(writeCompressedBuffer(frames.data(), 16385, area, discard),
                 "outside one capture buffer");
}

}  // namespace sonocap

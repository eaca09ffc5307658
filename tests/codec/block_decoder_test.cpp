#include "codec/block_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "codec/block_encoder.h"
#include "codec/code_reader.h"
#include "codec/little_endian.h"
#include "codec/packet_format.h"
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

TEST_P(WorkedPacketDecodeTest, StoredBytesDecodeAlikeAtEveryAlignment) {
    const test::WorkedPacket& packet = GetParam();
    for (size_t shift = 0; shift < 8; ++shift) {
        // Exactly the packet's bytes after `shift` others, so that a read beyond shows.
        std::vector<uint8_t> stored(shift + 4 * packet.words.size());
        for (size_t i = 0; i < packet.words.size(); ++i) {
            StoreLE32(stored.data() + shift + 4 * i, packet.words[i]);
        }
        std::vector<int16_t> frames(2 * kMaxBlockFrames);
        const DecodeResult result = BlockDecoder::decodeStoredBlock(
            stored.data() + shift, packet.words.size(), frames.data());
        ASSERT_EQ(result.status, DecodeStatus::Ok) << "shift " << shift;
        frames.resize(packet.frames.size());
        EXPECT_EQ(frames, packet.frames) << "shift " << shift;
    }
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
        // The stored form, one byte off the words' alignment, reads exactly as far and finds
        // the same.
        std::vector<uint8_t> stored(1 + 4 * count);
        for (size_t i = 0; i < count; ++i) StoreLE32(stored.data() + 1 + 4 * i, words[i]);
        const DecodeResult fromBytes =
            BlockDecoder::decodeStoredBlock(stored.data() + 1, count, frames.data());
        EXPECT_EQ(fromBytes.status, result.status);
        EXPECT_EQ(fromBytes.wordsUsed, result.wordsUsed);
        if (result.status == DecodeStatus::Ok) {
            ++decoded;
            EXPECT_EQ(static_cast<size_t>(result.wordsUsed), count);
        } else {
            EXPECT_LE(static_cast<size_t>(result.wordsUsed), std::max<size_t>(count, 1));
        }
    }
    EXPECT_GT(decoded, 0);
}

TEST(BlockDecoder, ChannelCodesReadAlikeOnEveryPath) {
    // Streams of known residuals for every code length, starting at every bit phase, with escapes
    // from never to often: the reader that this machine uses and the portable one must both give
    // them back, and agree on streams cut anywhere.
    std::mt19937 random(4242);
    for (unsigned k = kMinCodeLength; k <= kMaxCodeLength; ++k) {
        for (const unsigned escapesIn : {0u, 3u, 40u}) {
            for (unsigned phase = 0; phase < 8; ++phase) {
                const int32_t count = 64 + static_cast<int32_t>(random() % 300);
                std::vector<uint8_t> bytes(
                    (phase + 31 * uint64_t{static_cast<uint32_t>(count)}) / 8 + 1);
                uint64_t end = phase;
                const auto put = [&](uint32_t value, unsigned bits) {
                    for (unsigned b = 0; b < bits; ++b, ++end)
                        bytes[end / 8] |= static_cast<uint8_t>((value >> b & 1u) << (end % 8));
                };
                std::vector<int16_t> expected(count);
                const int32_t t = 1 << (k - 1);
                for (int16_t& r : expected) {
                    const bool escape = escapesIn != 0 && random() % escapesIn == 0;
                    r = static_cast<int16_t>(escape ? random() : random() % (2 * t - 1) - (t - 1));
                    if (escape) {
                        put(0, k);
                        put(static_cast<uint16_t>(r), 16);
                    } else {
                        put(static_cast<uint32_t>(r + t), k);
                    }
                }
                for (const uint64_t cut : {uint64_t{0}, uint64_t{1}, uint64_t{9}}) {
                    const size_t byteCount = (end + 7) / 8 - std::min<uint64_t>(cut, (end + 7) / 8);
                    const CodeStream stream{bytes.data(), byteCount};
                    std::vector<int16_t> wide(count), portable(count);
                    uint64_t wideEnd = phase, portableEnd = phase;
                    const bool wideOk = ReadChannelCodes(stream, wideEnd, count, k, wide.data());
                    const bool portableOk =
                        ReadChannelCodesPortable(stream, portableEnd, count, k, portable.data());
                    const std::string where = "k " + std::to_string(k) + ", phase " +
                                              std::to_string(phase) + ", cut " +
                                              std::to_string(cut);
                    ASSERT_EQ(wideOk, cut == 0) << where;
                    ASSERT_EQ(portableOk, cut == 0) << where;
                    if (cut != 0) continue;
                    EXPECT_EQ(wideEnd, end) << where;
                    EXPECT_EQ(portableEnd, end) << where;
                    EXPECT_EQ(wide, expected) << where;
                    EXPECT_EQ(portable, expected) << where;
                }
            }
        }
    }
}

// Where the codes of a well-formed header end, read one bit at a time as the format describes
// them; nothing when they run past the words.
std::optional<uint64_t> CodeBitsOneByOne(const std::vector<uint32_t>& words) {
    const uint32_t header = words[0];
    const uint64_t total = 32 * uint64_t{words.size() - 1};
    uint64_t at = 0;
    const auto take = [&](unsigned count) {
        uint32_t v = 0;
        for (unsigned b = 0; b < count; ++b, ++at)
            v |= ((words[1 + at / 32] >> (at % 32)) & 1u) << b;
        return v;
    };
    for (const unsigned k : {((header >> 16) & 0xF) + 1, ((header >> 20) & 0xF) + 1}) {
        for (uint32_t i = 0; i < (header & 0xFFFF); ++i) {
            if (at + k > total) return std::nullopt;
            if (take(k) != 0) continue;
            if (at + 16 > total) return std::nullopt;
            take(16);
        }
    }
    return at;
}

TEST(BlockDecoder, CodesEndWhereABitByBitReadingEndsThem) {
    // Packets long enough for the reader's four-at-a-time path, with escapes everywhere (a code
    // of k random bits is an escape once in 2^k).
    std::mt19937 random(777);
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    int truncated = 0;
    for (int round = 0; round < 5000; ++round) {
        std::vector<uint32_t> words(1 + random() % 300);
        for (uint32_t& w : words) w = random();
        words[0] &= 0x00FF00FF;  // up to 255 frames, order 2, any code lengths but 16
        if ((words[0] >> 16 & 0xF) == 0xF) words[0] &= ~0x000F0000u;
        if ((words[0] >> 20 & 0xF) == 0xF) words[0] &= ~0x00F00000u;
        const DecodeResult result =
            BlockDecoder::decodeBlock(words.data(), words.size(), frames.data());
        const std::optional<uint64_t> end = CodeBitsOneByOne(words);
        if (!end) {
            ++truncated;
            EXPECT_EQ(result.status, DecodeStatus::Truncated) << "round " << round;
            continue;
        }
        EXPECT_NE(result.status, DecodeStatus::Truncated) << "round " << round;
        EXPECT_EQ(static_cast<uint64_t>(result.wordsUsed), 1 + (*end + 31) / 32)
            << "round " << round;
    }
    EXPECT_GT(truncated, 0);
    EXPECT_LT(truncated, 5000);
}

}  // namespace
}  // namespace sonocap

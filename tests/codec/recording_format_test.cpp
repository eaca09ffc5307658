#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_header.h"
#include "codec/sub_block_record.h"
#include "codec/wave_header.h"
#include "tests/codec/test_signals.h"

namespace sonocap {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    return std::vector<uint8_t>(values.begin(), values.end());
}

TEST(WaveHeader, EmptyRecordingHasRiffSize36AndDataSize0) {
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(0, 44100, 2, header);
    const std::vector<uint8_t> expected =
        Bytes({'R',  'I', 'F', 'F', 36, 0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
               ' ',  16,  0,   0,   0,  1, 0,   2,   0,   0x44, 0xAC, 0,   0,   0x10, 0xB1,
               0x02, 0,   4,   0,   16, 0, 'd', 'a', 't', 'a',  0,    0,   0,   0});
    EXPECT_EQ(std::vector<uint8_t>(header, header + kWaveHeaderBytes), expected);
}

TEST(WaveHeader, SizesFollowTheDataBytes) {
    struct Case {
        uint32_t dataBytes;
        uint32_t riffSize;
    };
    for (const Case c : {Case{65536, 65572}, Case{4, 40}, Case{0xFFFFFFD8u, 0xFFFFFFFCu}}) {
        uint8_t header[kWaveHeaderBytes];
        buildWaveHeader(c.dataBytes, 44100, 2, header);
        uint32_t riff, data;
        std::memcpy(&riff, header + 4, 4);
        std::memcpy(&data, header + 40, 4);
        EXPECT_EQ(riff, c.riffSize);
        EXPECT_EQ(data, c.dataBytes);
    }
}

TEST(CompressedHeader, FinalHeaderBytes) {
    uint8_t header[kCompressedHeaderBytes];
    buildCompressedHeader(40 + 4160, 65536, header);
    const std::vector<uint8_t> expected =
        Bytes({0x97, 0x19, 0x03, 0x05, 0x68, 0x10, 0, 0, 0, 0, 1, 0, 0, 8, 0, 0, 0x44, 0xAC, 0, 0,
               16,   0,    2,    0,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,    0,    0, 0});
    EXPECT_EQ(std::vector<uint8_t>(header, header + kCompressedHeaderBytes), expected);
}

TEST(CompressedHeader, PlaceholderNamesTheFormatWithBothSizesZero) {
    uint8_t placeholder[kCompressedHeaderBytes], empty[kCompressedHeaderBytes];
    buildCompressedPlaceholder(placeholder);
    buildCompressedHeader(0, 0, empty);
    EXPECT_EQ(0, std::memcmp(placeholder, empty, kCompressedHeaderBytes));
    EXPECT_EQ(0, std::memcmp(placeholder, "\x97\x19\x03\x05\0\0\0\0\0\0\0\0\0\x08\0\0", 16));
}

// A file image that records every write, optionally storing only part of the n-th one.
struct RecordingWriter {
    std::vector<uint8_t> bytes;
    std::vector<int32_t> requested;
    int shortWriteAt = -1;
    int32_t shortWriteStores = 0;

    int32_t operator()(const void* data, int32_t n) {
        const int index = static_cast<int>(requested.size());
        requested.push_back(n);
        const int32_t stored = index == shortWriteAt ? shortWriteStores : n;
        const uint8_t* p = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + stored);
        return stored;
    }
};

TEST(SubBlockRecord, FramesThePacketWithItsWordCountLittleEndian) {
    uint32_t words[2] = {0x00010004, 0x00000FAE};
    RecordingWriter writer;
    const RecordWrite stored = writeSubBlockRecord(writer, words, 2);
    EXPECT_EQ(writer.requested, (std::vector<int32_t>{2, 8, 2}));
    EXPECT_EQ(writer.bytes, Bytes({2, 0, 0x04, 0, 0x01, 0, 0xAE, 0x0F, 0, 0, 2, 0}));
    EXPECT_EQ(stored.storedBytes(), 12);
}

TEST(SubBlockRecord, NegativeWriteResultCountsAsNothingStored) {
    uint32_t words[1] = {0x03EE0000};
    const RecordWrite stored =
        writeSubBlockRecord([](const void*, int32_t n) { return n == 4 ? -1 : n; }, words, 1);
    EXPECT_EQ(stored.leadBytes, 2);
    EXPECT_EQ(stored.wordBytes, 0);
    EXPECT_EQ(stored.storedBytes(), 4);
}

struct BufferCase {
    const char* name;
    int32_t frames;
    int32_t subBlockFrames;
    uint32_t dataBytes;
};

void PrintTo(const BufferCase& c, std::ostream* os) {
    *os << c.name;
}

class CompressedBufferTest : public testing::TestWithParam<BufferCase> {};

TEST_P(CompressedBufferTest, EightRecordsOfOneEighth) {
    const BufferCase& c = GetParam();
    const std::vector<int16_t> silence(2 * kFramesPerCaptureBuffer, 0);
    uint32_t packetArea[kPacketAreaWords];
    RecordingWriter writer;
    const CompressedBufferWrite result =
        writeCompressedBuffer(silence.data(), c.frames, packetArea, writer);
    EXPECT_EQ(result.dataBytes, c.dataBytes);
    EXPECT_FALSE(result.shortWrite);
    EXPECT_EQ(result.storedBytes, writer.bytes.size());
    ASSERT_EQ(writer.requested.size(), 24u);
    // Walk the eight records: W, the words, W again; each block header names m frames.
    size_t at = 0;
    for (int s = 0; s < 8; ++s) {
        const uint16_t w = static_cast<uint16_t>(writer.bytes[at] | writer.bytes[at + 1] << 8);
        const uint32_t header = writer.bytes[at + 2] | writer.bytes[at + 3] << 8;
        EXPECT_EQ(header, static_cast<uint32_t>(c.subBlockFrames)) << "record " << s;
        at += 2 + 4 * w;
        EXPECT_EQ(writer.bytes[at] | writer.bytes[at + 1] << 8, w);
        at += 2;
    }
    EXPECT_EQ(at, writer.bytes.size());
}

INSTANTIATE_TEST_SUITE_P(CaptureBuffer, CompressedBufferTest,
                         testing::Values(BufferCase{"Full", 16384, 2048, 65536},
                                         BufferCase{"OneShort", 16383, 2047, 65504},
                                         BufferCase{"TenFrames", 10, 1, 32},
                                         BufferCase{"SevenFrames", 7, 0, 0},
                                         BufferCase{"Empty", 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureBuffer, FullBufferOfSilenceGivesEightRecordsOf520Bytes) {
    const std::vector<int16_t> silence(2 * kFramesPerCaptureBuffer, 0);
    uint32_t packetArea[kPacketAreaWords];
    RecordingWriter writer;
    const CompressedBufferWrite result =
        writeCompressedBuffer(silence.data(), kFramesPerCaptureBuffer, packetArea, writer);
    EXPECT_EQ(result.storedBytes, 4160u);
    for (int s = 0; s < 8; ++s) EXPECT_EQ(writer.requested[3 * s + 1], 129 * 4);
}

TEST(CaptureBuffer, FewerThanEightFramesGiveEightEmptyRecords) {
    const std::vector<int16_t> frames = test::MakeSignal(test::SignalKind::Sine, 7, 1);
    uint32_t packetArea[kPacketAreaWords];
    RecordingWriter writer;
    writeCompressedBuffer(frames.data(), 7, packetArea, writer);
    std::vector<uint8_t> expected;
    for (int s = 0; s < 8; ++s) {
        for (int b : {0x01, 0x00, 0x00, 0x00, 0xEE, 0x03, 0x01, 0x00}) expected.push_back(b);
    }
    EXPECT_EQ(writer.bytes, expected);
}

TEST(CaptureBuffer, ATornRecordIsTheLastWrittenAndCountsForNothing) {
    const std::vector<int16_t> silence(2 * kFramesPerCaptureBuffer, 0);
    uint32_t packetArea[kPacketAreaWords];
    RecordingWriter writer;
    writer.shortWriteAt = 2 * 3 + 1;  // the words of the third record
    writer.shortWriteStores = 100;
    const CompressedBufferWrite result =
        writeCompressedBuffer(silence.data(), kFramesPerCaptureBuffer, packetArea, writer);
    EXPECT_TRUE(result.shortWrite);
    EXPECT_EQ(writer.requested.size(), 9u);
    EXPECT_EQ(result.storedBytes, 2 * 520u);
    EXPECT_EQ(result.tornBytes, 2u + 100u + 2u);
    EXPECT_EQ(result.dataBytes, 2 * 8192u);
}

}  // namespace
}  // namespace sonocap

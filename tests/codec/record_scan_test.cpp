#include "codec/record_scan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_file_reader.h"
#include "codec/little_endian.h"
#include "tests/codec/test_signals.h"

namespace sonocap {
namespace {

struct Recording {
    std::vector<uint8_t> bytes;           // header and records
    std::vector<uint64_t> recordOffsets;  // where each record starts
    uint64_t framesPerBuffer = 0;
};

// What the recorder leaves on disk before its stop: the placeholder and whole buffers of records.
Recording MakeUnfinishedRecording(int buffers) {
    Recording rec;
    uint8_t header[kCompressedHeaderBytes];
    buildCompressedPlaceholder(header);
    rec.bytes.assign(header, header + sizeof header);
    int writes = 0;
    const auto write = [&](const void* data, int32_t n) {
        if (writes++ % 3 == 0) rec.recordOffsets.push_back(rec.bytes.size());
        const uint8_t* p = static_cast<const uint8_t*>(data);
        rec.bytes.insert(rec.bytes.end(), p, p + n);
        return n;
    };
    uint32_t packetArea[kPacketAreaWords];
    for (int b = 0; b < buffers; ++b) {
        const std::vector<int16_t> samples = test::MakeSignal(
            test::SignalKind::Sine, kFramesPerCaptureBuffer, static_cast<uint32_t>(b + 1));
        writeCompressedBuffer(samples.data(), kFramesPerCaptureBuffer, packetArea, write);
    }
    rec.framesPerBuffer = kFramesPerCaptureBuffer;
    return rec;
}

void Finish(std::vector<uint8_t>& bytes, uint32_t frames) {
    uint8_t header[kCompressedHeaderBytes];
    buildCompressedHeader(static_cast<uint32_t>(bytes.size()), 4 * frames, header);
    std::memcpy(bytes.data(), header, sizeof header);
}

TEST(ScanRecords, FinishedFileScansToItsEnd) {
    Recording rec = MakeUnfinishedRecording(2);
    Finish(rec.bytes, 2 * kFramesPerCaptureBuffer);
    RecordScan scan;
    ASSERT_FALSE(ScanRecords(rec.bytes.data(), rec.bytes.size(), scan));
    EXPECT_FALSE(scan.stop);
    EXPECT_EQ(scan.validEnd, rec.bytes.size());
    EXPECT_EQ(scan.records, 16u);
    EXPECT_EQ(scan.frames, 2u * kFramesPerCaptureBuffer);
}

TEST(ScanRecords, UnfinishedHeaderIsWalkedToTheEndOfTheBytes) {
    const Recording rec = MakeUnfinishedRecording(3);
    RecordScan scan;
    ASSERT_FALSE(ScanRecords(rec.bytes.data(), rec.bytes.size(), scan));
    EXPECT_FALSE(scan.stop);
    EXPECT_EQ(scan.validEnd, rec.bytes.size());
    EXPECT_EQ(scan.frames, 3u * kFramesPerCaptureBuffer);
}

TEST(ScanRecords, HeaderAloneHoldsNoRecords) {
    const Recording rec = MakeUnfinishedRecording(0);
    RecordScan scan;
    ASSERT_FALSE(ScanRecords(rec.bytes.data(), rec.bytes.size(), scan));
    EXPECT_FALSE(scan.stop);
    EXPECT_EQ(scan.validEnd, 40u);
    EXPECT_EQ(scan.records, 0u);
}

TEST(ScanRecords, RefusesWhatIsNotACompaxaHeader) {
    Recording rec = MakeUnfinishedRecording(1);
    RecordScan scan;
    rec.bytes[0] ^= 1;
    EXPECT_TRUE(ScanRecords(rec.bytes.data(), rec.bytes.size(), scan));
    EXPECT_TRUE(ScanRecords(rec.bytes.data(), 39, scan));
}

TEST(ScanRecords, EveryCutInsideTheLastRecordKeepsTheRecordsBeforeIt) {
    const Recording rec = MakeUnfinishedRecording(1);
    const uint64_t last = rec.recordOffsets.back();
    for (uint64_t cut = last; cut < rec.bytes.size(); ++cut) {
        RecordScan scan;
        ASSERT_FALSE(ScanRecords(rec.bytes.data(), cut, scan));
        EXPECT_EQ(scan.validEnd, last) << "cut at " << cut;
        EXPECT_EQ(scan.records, 7u) << "cut at " << cut;
        EXPECT_EQ(scan.frames, 7u * kFramesPerCaptureBuffer / 8) << "cut at " << cut;
        EXPECT_EQ(scan.stop.has_value(), cut > last) << "cut at " << cut;
        EXPECT_EQ(scan.tornRecord, cut > last) << "cut at " << cut;
    }
}

struct Tail {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> append;
    bool torn;
    uint64_t stopOffsetAfterEnd;  // where the reason was found, from the last valid record's end
    const char* stopMessageStart;
};

void PrintTo(const Tail& t, std::ostream* os) {
    *os << t.name;
}

class TailTest : public testing::TestWithParam<Tail> {};

TEST_P(TailTest, StopsAfterTheLastValidRecord) {
    Recording rec = MakeUnfinishedRecording(1);
    const uint64_t end = rec.bytes.size();
    GetParam().append(rec.bytes);
    RecordScan scan;
    ASSERT_FALSE(ScanRecords(rec.bytes.data(), rec.bytes.size(), scan));
    EXPECT_EQ(scan.validEnd, end);
    EXPECT_EQ(scan.records, 8u);
    ASSERT_TRUE(scan.stop);
    EXPECT_EQ(scan.stop->offset, end + GetParam().stopOffsetAfterEnd);
    EXPECT_EQ(scan.tornRecord, GetParam().torn);
    EXPECT_EQ(scan.stop->message.rfind(GetParam().stopMessageStart, 0), 0u) << scan.stop->message;
}

INSTANTIATE_TEST_SUITE_P(ScanRecords, TailTest,
                         testing::Values(Tail{"OneStrayByte", [](auto& b) { b.push_back(7); }, true,
                                              0, "truncated record"},
                                         Tail{"ZerosOfAnUnwrittenBlock",
                                              [](auto& b) { b.resize(b.size() + 4096); }, false, 0,
                                              "record length 0"},
                                         Tail{"WordCountBeyondAnyPacket",
                                              [](auto& b) {
                                                  b.insert(b.end(), {0xFF, 0xFF, 1, 2, 3, 4});
                                              },
                                              false, 0, "record of 65535 words"},
                                         Tail{"RecordWhoseClosingCountDiffers",
                                              [](auto& b) {
                                                  const uint8_t r[] = {1, 0, 0, 0, 0xEE, 3, 2, 0};
                                                  b.insert(b.end(), r, r + sizeof r);
                                              },
                                              false, 6, "record's closing word count"},
                                         Tail{"RecordThatDoesNotDecode",
                                              [](auto& b) {
                                                  const uint8_t r[] = {
                                                      1,    0,    0, 0,
                                                      0xEE, 0x43, 1, 0};  // reserved header bit set
                                                  b.insert(b.end(), r, r + sizeof r);
                                              },
                                              false, 0, "bad packet"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScanRecords, DamageInTheMiddleStopsTheWalkThere) {
    Recording rec = MakeUnfinishedRecording(2);
    const uint64_t damaged = rec.recordOffsets[5];
    StoreLE16(rec.bytes.data() + damaged, 0);
    RecordScan scan;
    ASSERT_FALSE(ScanRecords(rec.bytes.data(), rec.bytes.size(), scan));
    EXPECT_EQ(scan.validEnd, damaged);
    EXPECT_EQ(scan.records, 5u);
    EXPECT_FALSE(scan.tornRecord);
}

TEST(CompressedFileReader, ReadHeaderToEndIgnoresTheSizeFields) {
    Recording rec = MakeUnfinishedRecording(1);
    StoreLE32(rec.bytes.data() + 4, 12345);
    CompressedFileReader strict(rec.bytes.data(), rec.bytes.size());
    EXPECT_TRUE(strict.ReadHeader());
    CompressedFileReader reader(rec.bytes.data(), rec.bytes.size());
    ASSERT_FALSE(reader.ReadHeaderToEnd());
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    int records = 0;
    while (!reader.AtEnd()) {
        DecodedRecord record;
        ASSERT_FALSE(reader.ReadRecord(frames.data(), record));
        ++records;
    }
    EXPECT_EQ(records, 8);
    EXPECT_EQ(reader.offset(), rec.bytes.size());
}

}  // namespace
}  // namespace sonocap

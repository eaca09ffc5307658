#include "codec/compressed_file_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "codec/capture_buffer_encoding.h"
#include "codec/compressed_header.h"
#include "codec/little_endian.h"
#include "tests/codec/test_signals.h"

namespace sonocap {
namespace {

struct CompressedFile {
    std::vector<uint8_t> bytes;
    std::vector<int16_t> storedSamples;  // what a reader must give back
};

// A file as the recorder writes it: placeholder, records of each buffer, final header.
CompressedFile MakeFile(const std::vector<int32_t>& bufferFrames) {
    CompressedFile file;
    uint8_t header[kCompressedHeaderBytes];
    buildCompressedPlaceholder(header);
    file.bytes.assign(header, header + sizeof header);
    const auto write = [&file](const void* data, int32_t n) {
        const uint8_t* p = static_cast<const uint8_t*>(data);
        file.bytes.insert(file.bytes.end(), p, p + n);
        return n;
    };
    uint32_t packetArea[kPacketAreaWords];
    uint32_t seed = 1, dataBytes = 0;
    for (int32_t frames : bufferFrames) {
        const std::vector<int16_t> samples =
            test::MakeSignal(test::SignalKind::Sine, frames, seed++);
        dataBytes += writeCompressedBuffer(samples.data(), frames, packetArea, write).dataBytes;
        const size_t stored = 2 * 8 * static_cast<size_t>(SubBlockFrames(frames));
        file.storedSamples.insert(file.storedSamples.end(), samples.begin(),
                                  samples.begin() + stored);
    }
    buildCompressedHeader(static_cast<uint32_t>(file.bytes.size()), dataBytes, header);
    std::memcpy(file.bytes.data(), header, sizeof header);
    return file;
}

struct ReadOutcome {
    std::optional<FileError> error;
    std::vector<int16_t> samples;
    int records = 0;
};

ReadOutcome ReadAll(const std::vector<uint8_t>& bytes) {
    ReadOutcome outcome;
    CompressedFileReader reader(bytes.data(), bytes.size());
    if ((outcome.error = reader.ReadHeader())) return outcome;
    std::vector<int16_t> frames(2 * kMaxBlockFrames);
    while (!reader.AtEnd()) {
        DecodedRecord record;
        if ((outcome.error = reader.ReadRecord(frames.data(), record))) return outcome;
        ++outcome.records;
        outcome.samples.insert(outcome.samples.end(), frames.begin(),
                               frames.begin() + 2 * record.frameCount);
    }
    outcome.error = reader.Finish();
    return outcome;
}

TEST(CompressedFileReader, ReadsBackEveryStoredFrame) {
    const CompressedFile file = MakeFile({16384, 16384, 16383, 10, 3});
    const ReadOutcome outcome = ReadAll(file.bytes);
    ASSERT_FALSE(outcome.error) << outcome.error->message;
    EXPECT_EQ(outcome.records, 5 * 8);
    EXPECT_EQ(outcome.samples, file.storedSamples);
}

TEST(CompressedFileReader, HeaderAloneIsAnEmptyRecording) {
    const ReadOutcome outcome = ReadAll(MakeFile({}).bytes);
    ASSERT_FALSE(outcome.error) << outcome.error->message;
    EXPECT_EQ(outcome.records, 0);
}

struct Corruption {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    uint64_t offset;
    const char* messageStart;
};

void PrintTo(const Corruption& c, std::ostream* os) {
    *os << c.name;
}

class CorruptFileTest : public testing::TestWithParam<Corruption> {};

TEST_P(CorruptFileTest, IsRejectedWithTheOffset) {
    std::vector<uint8_t> bytes = MakeFile({16384, 16384}).bytes;
    GetParam().damage(bytes);
    const ReadOutcome outcome = ReadAll(bytes);
    ASSERT_TRUE(outcome.error);
    EXPECT_EQ(outcome.error->offset, GetParam().offset) << outcome.error->message;
    EXPECT_EQ(outcome.error->message.rfind(GetParam().messageStart, 0), 0u)
        << outcome.error->message;
}

uint16_t FirstW(const std::vector<uint8_t>& b) {
    return LoadLE16(b.data() + 40);
}
void SetSizeField(std::vector<uint8_t>& b) {
    StoreLE32(b.data() + 4, static_cast<uint32_t>(b.size()));
}

INSTANTIATE_TEST_SUITE_P(
    CompressedFileReader, CorruptFileTest,
    testing::Values(
        Corruption{"ShorterThanHeader", [](auto& b) { b.resize(39); }, 0, "file of 39 bytes"},
        Corruption{"ByteSwappedMagic", [](auto& b) { StoreLE32(b.data(), 0x97190305); }, 0,
                   "magic 0x97190305"},
        Corruption{"WrongSubBlockFrames", [](auto& b) { b[13] = 4; }, 12, "frames per sub-block"},
        Corruption{"WrongRate", [](auto& b) { StoreLE32(b.data() + 16, 48000); }, 16,
                   "sample rate"},
        Corruption{"WrongBits", [](auto& b) { b[20] = 24; }, 20, "bits per sample"},
        Corruption{"WrongChannels", [](auto& b) { b[22] = 1; }, 22, "channels"},
        Corruption{"SizeFieldLarger", [](auto& b) { StoreLE32(b.data() + 4, b.size() + 1); }, 4,
                   "file size field"},
        Corruption{"SizeFieldSmaller", [](auto& b) { StoreLE32(b.data() + 4, b.size() - 1); }, 4,
                   "file size field"},
        Corruption{"FileCutShort", [](auto& b) { b.resize(b.size() - 3); }, 4, "file size field"},
        Corruption{"NeverFinished", [](auto& b) { std::memset(b.data() + 4, 0, 8); }, 4,
                   "file size field is 0"},
        Corruption{"RecordLengthZero", [](auto& b) { StoreLE16(b.data() + 40, 0); }, 40,
                   "record length 0"},
        Corruption{"RecordLength65535", [](auto& b) { StoreLE16(b.data() + 40, 65535); }, 40,
                   "record of 65535 words is longer"},
        Corruption{"ReservedPacketBit", [](auto& b) { b[45] |= 0x80; }, 40,
                   "bad packet: reserved header bits"},
        Corruption{"UncompressedSizeWrong", [](auto& b) { b[9] ^= 1; }, 8,
                   "uncompressed size field"},
        Corruption{"RecordsCutAtABoundary",
                   [](auto& b) {
                       b.resize(40 + 4 + 4 * FirstW(b));
                       SetSizeField(b);
                   },
                   8, "uncompressed size field"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CompressedFileReader, FaultsNameTheRecordTheyAreIn) {
    // The offsets that depend on the first record's size, checked by walking the records.
    std::vector<uint8_t> bytes = MakeFile({16384, 16384}).bytes;
    const uint16_t w = FirstW(bytes);
    bytes[40 + 2 + 4 * w] ^= 1;
    EXPECT_EQ(ReadAll(bytes).error->offset, 40u + 2 + 4 * w);

    bytes = MakeFile({16384, 16384}).bytes;
    uint64_t last = 40;
    while (last + 4 + 4 * uint64_t{LoadLE16(bytes.data() + last)} < bytes.size()) {
        last += 4 + 4 * uint64_t{LoadLE16(bytes.data() + last)};
    }
    bytes.resize(bytes.size() - 5);
    SetSizeField(bytes);
    EXPECT_EQ(ReadAll(bytes).error->offset, last);
}

TEST(CompressedFileReader, RandomDamageNeverReadsOutsideTheFile) {
    const std::vector<uint8_t> good = MakeFile({16384, 100}).bytes;
    std::mt19937 random(99);
    int rejected = 0;
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> bytes = good;
        for (int flips = 1 + random() % 4; flips > 0; --flips) {
            bytes[random() % bytes.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
        }
        if (random() % 4 == 0) bytes.resize(random() % bytes.size());
        const ReadOutcome outcome = ReadAll(bytes);
        if (outcome.error) {
            ++rejected;
            EXPECT_LE(outcome.error->offset, good.size());
            EXPECT_FALSE(outcome.error->message.empty());
        }
    }
    EXPECT_GT(rejected,
              50);  // every cut and most header damage; flipped code bits may still decode
}

}  // namespace
}  // namespace sonocap

#include "codec/wave_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "codec/little_endian.h"
#include "codec/wave_header.h"

namespace sonocap {
namespace {

// Builds RIFF images chunk by chunk.
struct RiffImage {
    std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};

    RiffImage& Chunk(const char* id, std::vector<uint8_t> body, bool pad = true) {
        const size_t at = bytes.size();
        bytes.resize(at + 8);
        std::memcpy(bytes.data() + at, id, 4);
        StoreLE32(bytes.data() + at + 4, static_cast<uint32_t>(body.size()));
        bytes.insert(bytes.end(), body.begin(), body.end());
        if (pad && body.size() % 2) bytes.push_back(0);
        StoreLE32(bytes.data() + 4, static_cast<uint32_t>(bytes.size() - 8));
        return *this;
    }
    RiffImage& Format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
        std::vector<uint8_t> f(16);
        StoreLE16(&f[0], tag);
        StoreLE16(&f[2], channels);
        StoreLE32(&f[4], rate);
        StoreLE32(&f[8], rate * channels * bits / 8);
        StoreLE16(&f[12], static_cast<uint16_t>(channels * bits / 8));
        StoreLE16(&f[14], bits);
        return Chunk("fmt ", f);
    }
    RiffImage& Data(size_t bytesOfSamples) {
        return Chunk("data", std::vector<uint8_t>(bytesOfSamples, 7));
    }
};

TEST(WaveReader, CanonicalHeaderOfTheRecorder) {
    std::vector<uint8_t> file(kWaveHeaderBytes + 16, 0);
    uint8_t header[kWaveHeaderBytes];
    buildWaveHeader(16, 44100, 2, header);
    std::memcpy(file.data(), header, sizeof header);
    WaveLayout layout;
    ASSERT_FALSE(ReadWaveLayout(file.data(), file.size(), layout));
    EXPECT_TRUE(IsRecordingFormat(layout));
    EXPECT_EQ(layout.dataOffset, 44u);
    EXPECT_EQ(layout.declaredDataBytes, 16u);
    EXPECT_EQ(layout.presentDataBytes, 16u);
}

TEST(WaveReader, SkipsUnknownChunksAndHonoursPadBytes) {
    RiffImage image;
    image.Chunk("LIST", std::vector<uint8_t>(5, 'x')).Format(1, 2, 44100, 16);
    image.Chunk("odd ", std::vector<uint8_t>(3, 'y')).Data(8);
    WaveLayout layout;
    ASSERT_FALSE(ReadWaveLayout(image.bytes.data(), image.bytes.size(), layout));
    EXPECT_TRUE(IsRecordingFormat(layout));
    EXPECT_EQ(layout.dataOffset, 12u + 14 + 24 + 12 + 8);
    EXPECT_EQ(layout.presentDataBytes, 8u);
}

TEST(WaveReader, FindsTheFormatAfterTheData) {
    RiffImage image;
    image.Data(8).Format(1, 2, 44100, 16);
    WaveLayout layout;
    ASSERT_FALSE(ReadWaveLayout(image.bytes.data(), image.bytes.size(), layout));
    EXPECT_TRUE(IsRecordingFormat(layout));
    EXPECT_EQ(layout.dataOffset, 20u);
}

TEST(WaveReader, ExtensibleHeaderWithPcmSubFormat) {
    std::vector<uint8_t> f(40, 0);
    StoreLE16(&f[0], kWaveFormatExtensible);
    StoreLE16(&f[2], 2);
    StoreLE32(&f[4], 44100);
    StoreLE16(&f[12], 4);
    StoreLE16(&f[14], 16);
    StoreLE16(&f[24], kWaveFormatPcm);
    RiffImage image;
    image.Chunk("fmt ", f).Data(4);
    WaveLayout layout;
    ASSERT_FALSE(ReadWaveLayout(image.bytes.data(), image.bytes.size(), layout));
    EXPECT_TRUE(IsRecordingFormat(layout));
}

TEST(WaveReader, DescribesFormatsItCannotTake) {
    struct Case {
        uint16_t tag, channels;
        uint32_t rate;
        uint16_t bits;
        const char* description;
    };
    const Case cases[] = {{3, 2, 44100, 32, "IEEE float, 2 channels, 44100 Hz, 32 bits"},
                          {1, 1, 44100, 16, "PCM, 1 channel, 44100 Hz, 16 bits"},
                          {1, 2, 48000, 16, "PCM, 2 channels, 48000 Hz, 16 bits"},
                          {1, 2, 44100, 24, "PCM, 2 channels, 44100 Hz, 24 bits"},
                          {85, 2, 44100, 0, "format tag 85, 2 channels, 44100 Hz, 0 bits"}};
    for (const Case& c : cases) {
        RiffImage image;
        image.Format(c.tag, c.channels, c.rate, c.bits).Data(4);
        WaveLayout layout;
        ASSERT_FALSE(ReadWaveLayout(image.bytes.data(), image.bytes.size(), layout));
        EXPECT_FALSE(IsRecordingFormat(layout));
        EXPECT_EQ(DescribeWaveFormat(layout), c.description);
    }
}

TEST(WaveReader, DataRunningPastTheEndIsReportedAsPresentBytes) {
    RiffImage image;
    image.Format(1, 2, 44100, 16).Data(16);
    StoreLE32(image.bytes.data() + 36 + 4, 1000);  // the data chunk claims more than there is
    WaveLayout layout;
    ASSERT_FALSE(ReadWaveLayout(image.bytes.data(), image.bytes.size(), layout));
    EXPECT_EQ(layout.declaredDataBytes, 1000u);
    EXPECT_EQ(layout.presentDataBytes, 16u);
}

struct BadFile {
    const char* name;
    std::vector<uint8_t> bytes;
    uint64_t offset;
    const char* message;
};

std::vector<uint8_t> Truncated(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

void PrintTo(const BadFile& file, std::ostream* os) {
    *os << file.name;
}

class BadWaveTest : public testing::TestWithParam<BadFile> {};

TEST_P(BadWaveTest, IsRejectedWithItsOffset) {
    WaveLayout layout;
    const auto error = ReadWaveLayout(GetParam().bytes.data(), GetParam().bytes.size(), layout);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->offset, GetParam().offset);
    EXPECT_EQ(error->message, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    WaveReader, BadWaveTest,
    testing::Values(
        BadFile{"Empty", {}, 0, "not a RIFF/WAVE file"},
        BadFile{"NotRiff", std::vector<uint8_t>(64, 'A'), 0, "not a RIFF/WAVE file"},
        BadFile{"BigEndianRiff",
                {'R', 'I', 'F', 'X', 0, 0, 0, 4, 'W', 'A', 'V', 'E'},
                0,
                "RIFX files are not supported, only little-endian RIFF/WAVE"},
        BadFile{"NoChunks", RiffImage().bytes, 12, "no format chunk"},
        BadFile{"NoData", RiffImage().Format(1, 2, 44100, 16).bytes, 12, "no data chunk"},
        BadFile{"ChunkHeaderCut", Truncated(RiffImage().Format(1, 2, 44100, 16).bytes, 16), 12,
                "truncated chunk header"},
        BadFile{"FormatCut", Truncated(RiffImage().Format(1, 2, 44100, 16).bytes, 30), 12,
                "chunk 'fmt ' of 16 bytes runs past the end of the file"},
        BadFile{"ShortFormat", RiffImage().Chunk("fmt ", {1, 0, 2, 0}).Data(4).bytes, 12,
                "format chunk of 4 bytes is too short"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sonocap

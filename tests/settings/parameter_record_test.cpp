#include "settings/parameter_record.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "settings/program_values.h"
#include "tests/settings/parameter_images.h"

namespace sonocap {
namespace {

ParameterRecord MakeRecord(const char* lastDirectory, int32_t compression, int32_t dcFilter) {
    ParameterRecord record{};
    record.magic = kParameterMagic;
    std::strcpy(record.lastDirectory, lastDirectory);
    record.compression = compression;
    record.dcFilter = dcFilter;
    return record;
}

testing::Bytes ToBytes(const ParameterImage& image) {
    return {image.begin(), image.end()};
}

TEST(ParameterRecord, EncodesToTheHandBuiltImage) {
    const ParameterRecord record = MakeRecord("/home/rec/takes", 7, 1);
    EXPECT_EQ(ToBytes(EncodeParameterRecord(record)),
              testing::ValidParameterImage("/home/rec/takes", 7, 1));
}

TEST(ParameterRecord, NegativeSwitchesAreStoredLittleEndianTwosComplement) {
    const ParameterImage image = EncodeParameterRecord(MakeRecord("", -2, -1));
    EXPECT_EQ(ToBytes(image), testing::ValidParameterImage("", 0xfffffffe, 0xffffffff));
}

TEST(ParameterRecord, DecodesTheHandBuiltImage) {
    const testing::Bytes bytes = testing::ValidParameterImage("/mnt/music", 0x01020304, 0xfffffffe);
    ParameterImage image;
    std::copy(bytes.begin(), bytes.end(), image.begin());
    ParameterRecord record{};
    DecodeParameterRecord(image, record);
    EXPECT_EQ(record.magic, 0x23041967u);
    EXPECT_STREQ(record.lastDirectory, "/mnt/music");
    EXPECT_EQ(record.compression, 0x01020304);
    EXPECT_EQ(record.dcFilter, -2);
}

TEST(ParameterRecord, EveryByteSurvivesDecodeAndEncode) {
    ParameterImage image;
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);
    ParameterRecord record{};
    DecodeParameterRecord(image, record);
    EXPECT_EQ(EncodeParameterRecord(record), image);
}

TEST(ParameterRecord, DefaultsSetOnlyTheFourPositionsThatMatter) {
    ParameterRecord record = MakeRecord("/a/longer/old/directory", 7, 9);
    record.magic = 0x67190423;
    SetDefaultParameters(record);
    EXPECT_EQ(record.magic, kParameterMagic);
    EXPECT_STREQ(record.lastDirectory, "");
    EXPECT_EQ(std::string(record.lastDirectory + 1), "a/longer/old/directory");
    EXPECT_EQ(record.compression, 0);
    EXPECT_EQ(record.dcFilter, 0);
}

// Copied during static initialisation, before any test has touched the record.
const ParameterRecord recordAtProcessStart = parameterRecord;

TEST(ParameterRecord, TheProgramsRecordStartsAllZero) {
    const ParameterRecord zero{};
    EXPECT_EQ(std::memcmp(&recordAtProcessStart, &zero, sizeof zero), 0);
}

}  // namespace
}  // namespace sonocap

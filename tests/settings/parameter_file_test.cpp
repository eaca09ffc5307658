#include "settings/parameter_file.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "platform/fake/fake_file_io.h"
#include "platform/fake/fake_system_info.h"
#include "settings/parameter_record.h"
#include "settings/program_environment.h"
#include "settings/program_values.h"
#include "tests/platform/temp_directory.h"
#include "tests/settings/parameter_images.h"

namespace sonocap {
namespace {

using testing::Bytes;
using testing::ReadBytes;
using testing::ValidParameterImage;
using testing::WriteBytes;

class ParameterFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetProgramValues();
        programDirectory = dir_.path().string() + "/";
        platform::Install<platform::FileIo>(&files_);
        platform::Install<platform::SystemInfo>(&system_);
    }
    void TearDown() override {
        platform::Install<platform::FileIo>(nullptr);
        platform::Install<platform::SystemInfo>(nullptr);
    }

    std::string filePath() const { return dir_.file("sonocap.par"); }

    void SetRecord(const std::string& lastDirectory, int32_t compression, int32_t dcFilter) {
        parameterRecord.magic = kParameterMagic;
        std::memset(parameterRecord.lastDirectory, 0, kLastDirectoryBytes);
        std::memcpy(parameterRecord.lastDirectory, lastDirectory.c_str(), lastDirectory.size() + 1);
        parameterRecord.compression = compression;
        parameterRecord.dcFilter = dcFilter;
    }

    testing::TempDirectory dir_;
    platform::FakeFileIo files_;
    // An empty environment: no folder of the user's own, the settings beside the program.
    platform::FakeSystemInfo system_;
};

TEST_F(ParameterFileTest, FileLiesInTheProgramDirectory) {
    LoadParameterFile();
    SaveParameterFile();
    ASSERT_EQ(files_.openedPaths.size(), 1u);
    ASSERT_EQ(files_.createdPaths.size(), 1u);
    EXPECT_EQ(files_.openedPaths[0], programDirectory + "sonocap.par");
    EXPECT_EQ(files_.createdPaths[0], programDirectory + "sonocap.par");
}

TEST_F(ParameterFileTest, SavedFileIsByteForByteTheHandBuiltImage) {
    SetRecord("/home/rec/takes", 7, 1);
    ASSERT_TRUE(SaveParameterFile());
    EXPECT_EQ(ReadBytes(filePath()), ValidParameterImage("/home/rec/takes", 7, 1));
    EXPECT_EQ(files_.openFiles, 0);
}

TEST_F(ParameterFileTest, ValidFileIsLoadedIntoTheRecord) {
    WriteBytes(filePath(), ValidParameterImage("/srv/audio", 0, 1));
    ASSERT_TRUE(LoadParameterFile());
    EXPECT_EQ(parameterRecord.magic, kParameterMagic);
    EXPECT_STREQ(parameterRecord.lastDirectory, "/srv/audio");
    EXPECT_EQ(parameterRecord.compression, 0);
    EXPECT_EQ(parameterRecord.dcFilter, 1);
    EXPECT_EQ(files_.openFiles, 0);
}

TEST_F(ParameterFileTest, MissingFileIsInvalidAndLeavesTheRecordUntouched) {
    SetRecord("/kept", 3, 4);
    const ParameterRecord before = parameterRecord;
    EXPECT_FALSE(LoadParameterFile());
    EXPECT_EQ(std::memcmp(&parameterRecord, &before, sizeof before), 0);
}

class InvalidParameterFile : public ParameterFileTest,
                             public ::testing::WithParamInterface<testing::InvalidFileCase> {};

TEST_P(InvalidParameterFile, IsRejected) {
    WriteBytes(filePath(), GetParam().bytes);
    EXPECT_FALSE(LoadParameterFile());
    EXPECT_EQ(files_.openFiles, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, InvalidParameterFile,
                         ::testing::ValuesIn(testing::InvalidParameterFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ParameterFileTest, FileOfWrongLengthLeavesTheRecordUntouched) {
    SetRecord("/kept", 3, 4);
    const ParameterRecord before = parameterRecord;
    for (std::size_t length : {std::size_t{0}, std::size_t{271}, std::size_t{273}}) {
        Bytes bytes = ValidParameterImage("/other", 1, 1);
        bytes.resize(length, 0);
        WriteBytes(filePath(), bytes);
        EXPECT_FALSE(LoadParameterFile()) << length;
        EXPECT_EQ(std::memcmp(&parameterRecord, &before, sizeof before), 0) << length;
    }
}

TEST_F(ParameterFileTest, WrongMagicOfRightLengthHasBeenReadWhenRejected) {
    Bytes bytes = ValidParameterImage("/from/the/file", 5, 6);
    std::swap(bytes[0], bytes[3]);
    std::swap(bytes[1], bytes[2]);
    WriteBytes(filePath(), bytes);
    EXPECT_FALSE(LoadParameterFile());
    EXPECT_EQ(parameterRecord.magic, 0x67190423u);
    EXPECT_STREQ(parameterRecord.lastDirectory, "/from/the/file");
}

TEST_F(ParameterFileTest, ShortReadIsInvalid) {
    WriteBytes(filePath(), ValidParameterImage("/x", 0, 0));
    files_.readLimitBytes = 271;
    EXPECT_FALSE(LoadParameterFile());
    EXPECT_EQ(files_.openFiles, 0);
}

TEST_F(ParameterFileTest, FileThatCannotBeOpenedIsInvalid) {
    WriteBytes(filePath(), ValidParameterImage("/x", 0, 0));
    files_.refuseOpen = true;
    EXPECT_FALSE(LoadParameterFile());
}

TEST_F(ParameterFileTest, CompressionSevenIsAcceptedAndWrittenBackUnchanged) {
    const Bytes original = ValidParameterImage("/takes", 7, 0);
    WriteBytes(filePath(), original);
    ASSERT_TRUE(LoadParameterFile());
    EXPECT_EQ(parameterRecord.compression, 7);
    ASSERT_TRUE(SaveParameterFile());
    EXPECT_EQ(ReadBytes(filePath()), original);
}

TEST_F(ParameterFileTest, DirectoryOf259CharactersFillsTheFieldAndSurvives) {
    std::string longest = "/";
    while (longest.size() < 259) longest += (longest.size() % 10 == 0) ? '/' : 'x';
    SetRecord(longest, 1, 0);
    ASSERT_TRUE(SaveParameterFile());
    const Bytes saved = ReadBytes(filePath());
    ASSERT_EQ(saved.size(), 272u);
    EXPECT_EQ(saved[4 + 258], 'x');
    EXPECT_EQ(saved[4 + 259], 0);

    std::memset(&parameterRecord, 0, sizeof parameterRecord);
    ASSERT_TRUE(LoadParameterFile());
    EXPECT_EQ(std::string(parameterRecord.lastDirectory), longest);
    EXPECT_EQ(parameterRecord.compression, 1);
}

TEST_F(ParameterFileTest, BytesAfterTheTerminatorAreWrittenBackAsTheyStand) {
    // "/new" written over an older "/newer/longer/old/one".
    Bytes bytes = ValidParameterImage("/newer/longer/old/one", 0, 0);
    bytes[4 + 4] = 0;
    WriteBytes(filePath(), bytes);
    ASSERT_TRUE(LoadParameterFile());
    EXPECT_STREQ(parameterRecord.lastDirectory, "/new");
    ASSERT_TRUE(SaveParameterFile());
    EXPECT_EQ(ReadBytes(filePath()), bytes);
}

TEST_F(ParameterFileTest, SaveReplacesALongerFile) {
    WriteBytes(filePath(), Bytes(1000, 0xee));
    SetRecord("", 0, 0);
    ASSERT_TRUE(SaveParameterFile());
    EXPECT_EQ(ReadBytes(filePath()), ValidParameterImage("", 0, 0));
}

TEST_F(ParameterFileTest, SaveFailsWhenTheFileCannotBeCreated) {
    files_.refuseCreate = true;
    SetRecord("/x", 1, 1);
    EXPECT_FALSE(SaveParameterFile());
}

TEST_F(ParameterFileTest, ShortWriteFailsAndLeavesTheShorterFile) {
    files_.diskSpaceBytes = 100;
    SetRecord("/x", 1, 1);
    EXPECT_FALSE(SaveParameterFile());
    const Bytes saved = ReadBytes(filePath());
    EXPECT_EQ(saved.size(), 100u);
    EXPECT_EQ(files_.openFiles, 0);
    files_.diskSpaceBytes.reset();
    EXPECT_FALSE(LoadParameterFile());
}

TEST_F(ParameterFileTest, FailedCloseFailsTheSave) {
    files_.closeFails = true;
    SetRecord("/x", 1, 1);
    EXPECT_FALSE(SaveParameterFile());
}

}  // namespace
}  // namespace sonocap

#include "engine/recording_file_choice.h"

#include <cstring>

#include <gtest/gtest.h>

#include "engine/program_state.h"
#include "tests/engine/capture_fixture.h"

namespace sonocap {
namespace {

using RecordingFileChoice = test::CaptureFixture;

struct FilterCase {
    int32_t compression;
    const char* description;
    const char* pattern;
    const char* title;
    const char* extension;
};

void PrintTo(const FilterCase& c, std::ostream* out) {
    *out << "compression " << c.compression;
}

class RecordingFileChoiceFilter : public test::CaptureFixture,
                                  public ::testing::WithParamInterface<FilterCase> {};

TEST_P(RecordingFileChoiceFilter, AsksWithTheFormatsFilterTitleAndExtension) {
    const FilterCase c = GetParam();
    parameterRecord.compression = c.compression;
    std::strcpy(parameterRecord.lastDirectory, "/srv/takes");
    ownerWindow = 7;
    EXPECT_EQ(ChooseRecordingFile(), 0);
    ASSERT_EQ(saveDialog.requests.size(), 1u);
    const platform::SaveFileRequest& r = saveDialog.requests[0];
    EXPECT_EQ(r.filterDescription, c.description);
    EXPECT_EQ(r.filterPattern, c.pattern);
    EXPECT_EQ(r.title, c.title);
    EXPECT_EQ(r.defaultExtension, c.extension);
    EXPECT_EQ(r.initialDirectory, "/srv/takes");
    EXPECT_EQ(r.owner, 7u);
}

INSTANTIATE_TEST_SUITE_P(Formats, RecordingFileChoiceFilter,
                         ::testing::Values(FilterCase{0, "Wave File(*.WAV)", "*.wav",
                                                      "Select recording wave file", "wav"},
                                           FilterCase{1, "Compaxa File(*.CX)", "*.cx",
                                                      "Select recording Compaxa file", "cx"},
                                           FilterCase{-5, "Compaxa File(*.CX)", "*.cx",
                                                      "Select recording Compaxa file", "cx"}));

struct CutCase {
    const char* path;
    const char* lastDirectory;
};

void PrintTo(const CutCase& c, std::ostream* out) {
    *out << c.path;
}

class RecordingFileChoiceCut : public test::CaptureFixture,
                               public ::testing::WithParamInterface<CutCase> {};

TEST_P(RecordingFileChoiceCut, RemembersTheDirectoryOfTheChosenFile) {
    saveDialog.answers.push_back(std::string(GetParam().path));
    ASSERT_NE(ChooseRecordingFile(), 0);
    EXPECT_STREQ(captureSession.filePath, GetParam().path);
    EXPECT_STREQ(parameterRecord.lastDirectory, GetParam().lastDirectory);
}

INSTANTIATE_TEST_SUITE_P(Paths, RecordingFileChoiceCut,
                         ::testing::Values(CutCase{"/rec/take1.wav", "/rec"},
                                           CutCase{"/a/b/c.cx", "/a/b"}, CutCase{"/take1.wav", "/"},
                                           CutCase{"take1.wav", "take1.wav"},
                                           CutCase{"/rec/", "/rec"}));

TEST_F(RecordingFileChoice, CancelEmptiesThePathAndKeepsTheDirectory) {
    std::strcpy(captureSession.filePath, "/old/path.wav");
    std::strcpy(parameterRecord.lastDirectory, "/old");
    EXPECT_EQ(ChooseRecordingFile(), 0);
    EXPECT_STREQ(captureSession.filePath, "");
    EXPECT_STREQ(parameterRecord.lastDirectory, "/old");
}

TEST_F(RecordingFileChoice, AcceptsAPathOf259Bytes) {
    const std::string path = "/" + std::string(258, 'a');
    saveDialog.answers.push_back(path);
    EXPECT_NE(ChooseRecordingFile(), 0);
    EXPECT_EQ(std::string(captureSession.filePath), path);
}

TEST_F(RecordingFileChoice, RefusesAPathTooLongForTheField) {
    std::strcpy(parameterRecord.lastDirectory, "/old");
    saveDialog.answers.push_back("/" + std::string(259, 'a'));
    EXPECT_EQ(ChooseRecordingFile(), kPathTooLong);
    EXPECT_STREQ(captureSession.filePath, "");
    EXPECT_STREQ(parameterRecord.lastDirectory, "/old");
}

TEST_F(RecordingFileChoice, ATooLongPathFailsTheStartWithItsReason) {
    saveDialog.answers.push_back(directory.file(std::string(300, 'a')));
    EXPECT_EQ(StartRecording(), kPathTooLong);
    EXPECT_TRUE(files.createdPaths.empty());
}

}  // namespace
}  // namespace sonocap

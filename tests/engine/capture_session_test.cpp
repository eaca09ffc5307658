#include "engine/capture_session.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "engine/aligned_pool.h"
#include "engine/program_state.h"
#include "engine/recording_buffers.h"
#include "engine/recording_log.h"
#include "engine/recording_results.h"
#include "platform/allocator.h"
#include "platform/fake/fake_allocator.h"
#include "tests/engine/capture_fixture.h"
#include "tests/engine/recording_files.h"

namespace sonocap {
namespace {

using test::CaptureFixture;
using test::NumberedFrames;

using CaptureSessionStart = CaptureFixture;
using CaptureSessionStop = CaptureFixture;
using CaptureSessionFailure = CaptureFixture;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

TEST_F(CaptureSessionStart, ResettingTheProgramStateEmptiesThePoolTable) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    ASSERT_GT(PoolCount(), 0);
    std::vector<void*> blocks;
    for (int32_t i = 0; i < PoolCount(); ++i) blocks.push_back(PoolEntryAt(i).raw);
    const platform::FileHandle file = captureSession.file;
    ResetProgramState();
    EXPECT_EQ(PoolCount(), 0);
    EXPECT_EQ(PoolEntryAt(0).raw, nullptr);
    EXPECT_EQ(captureSession.device, nullptr);
    // The blocks and the file are forgotten, not released: the test gives them back itself.
    for (void* block : blocks) heap.Release(block);
    files.Close(file);
}

TEST_F(CaptureSessionStart, QueuesSixBuffersOverTheRingAndStarts) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    ASSERT_EQ(device.addedHeaders.size(), 6u);
    for (int i = 0; i < kBuffersInRing; ++i) {
        const platform::WaveHeader* header = device.addedHeaders[static_cast<std::size_t>(i)];
        EXPECT_EQ(header, captureSession.headers[i]);
        EXPECT_EQ(header->lpData,
                  reinterpret_cast<char*>(captureSession.ring) + i * kBytesPerBuffer);
        EXPECT_EQ(header->dwBufferLength, 65536u);
        EXPECT_EQ(header->dwLoops, 1u);
        EXPECT_EQ(header->dwUser, 0u);
    }
    EXPECT_EQ(captureSession.buffers[0], captureSession.ring);
    EXPECT_TRUE(device.IsRunning());
    EXPECT_EQ(PoolCount(), 9);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(captureSession.ring) % 32, 0u);
}

TEST_F(CaptureSessionStart, TakesItsStepsInOrder) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    std::vector<std::string> expected = {"file create", "file write 44", "folder sync requested",
                                         "window create", "wave open"};
    for (int i = 0; i < kBuffersInRing; ++i) {
        expected.push_back("wave prepare");
        expected.push_back("wave add");
    }
    expected.push_back("wave start");
    EXPECT_EQ(journal.steps, expected);
    EXPECT_EQ(windows.lastClassName, "WAVEClass");
    EXPECT_EQ(device.NotificationWindow(), captureSession.callbackWindow);
}

TEST_F(CaptureSessionStart, ClearsTheRingAndResetsCountersButNotThePeaks) {
    captureSession.totalFrames = 7;
    captureSession.bytesWritten = 7;
    captureSession.dataBytes = 7;
    captureSession.ringIndex = 16384;
    captureSession.failed = 1;
    captureSession.stopRequested = 1;
    captureSession.meterReadIndex = 5;
    captureSession.peakLeft = 1234;
    captureSession.peakRight = 4321;
    captureSession.peakHoldLeft = 99;
    captureSession.peakHoldRight = 98;
    captureSession.dcStateLeft = 0.5;
    captureSession.dcStateRight = -0.5;
    platform::FakeAllocator dirty;
    const platform::LayerGuard<platform::Allocator> dirtyGuard(dirty);
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    for (int32_t i = 0; i < kRingSamples; ++i) ASSERT_EQ(captureSession.ring[i], 0) << i;
    const CaptureSession& s = captureSession;
    EXPECT_EQ(s.totalFrames + s.bytesWritten + s.dataBytes + s.ringIndex, 0);
    EXPECT_EQ(s.failed + s.stopRequested + s.meterReadIndex + s.peakHoldLeft + s.peakHoldRight, 0);
    EXPECT_EQ(s.dcStateLeft, 0.0);
    EXPECT_EQ(s.dcStateRight, 0.0);
    EXPECT_EQ(s.peakLeft, 1234);
    EXPECT_EQ(s.peakRight, 4321);
    StopRecording();
}

TEST_F(CaptureSessionStart, DriveRootIsTheFilesDirectory) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    EXPECT_EQ(captureSession.driveRoot, directory.path().string());
}

TEST_F(CaptureSessionStart, WhilePausedQueuesButCapturesNothingUntilResumed) {
    paused = 1;
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    EXPECT_EQ(journal.Count("wave start"), 0);
    EXPECT_EQ(device.QueuedBuffers(), 6u);
    Capture(NumberedFrames(kFramesPerBuffer));
    EXPECT_EQ(captureSession.totalFrames, 0);
    EXPECT_EQ(device.Position(), 0);

    device.Start();
    Capture(NumberedFrames(kFramesPerBuffer));
    EXPECT_EQ(captureSession.totalFrames, kFramesPerBuffer);
}

TEST_F(CaptureSessionStart, ASecondRecordingWorksLikeTheFirst) {
    ASSERT_EQ(StartInto("one.wav"), kRecordingStarted);
    StopRecording();
    ASSERT_EQ(StartInto("two.wav"), kRecordingStarted);
    Capture(NumberedFrames(kFramesPerBuffer));
    StopRecording();
    const test::ReadBack file = test::ReadWaveRecording(PathOf("two.wav"));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.samples, NumberedFrames(kFramesPerBuffer));
}

TEST_F(CaptureSessionStart, CancelledDialogReturnsMinusOneAndCreatesNothing) {
    EXPECT_EQ(StartRecording(), kRecordingCancelled);
    EXPECT_TRUE(journal.steps.empty());
    EXPECT_EQ(captureSession.device, nullptr);
}

TEST_F(CaptureSessionStart, OverwriteCancelThenDialogCancelLeavesTheFileUntouched) {
    WriteText(PathOf("old.wav"), "keep me");
    saveDialog.answers = {PathOf("old.wav"), std::nullopt};
    messages.answers = {platform::MessageAnswer::Cancel};
    EXPECT_EQ(StartRecording(), kRecordingCancelled);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].title, " Sonocap: File exist");
    EXPECT_EQ(messages.messages[0].text, " File exist, do you want to overwrite it ? \n");
    EXPECT_EQ(messages.messages[0].buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(saveDialog.requests.size(), 2u);
    EXPECT_EQ(test::ReadFileBytes(PathOf("old.wav")).size(), 7u);
    EXPECT_TRUE(files.createdPaths.empty());
}

TEST_F(CaptureSessionStart, OverwriteOkTruncatesTheFile) {
    WriteText(PathOf("old.wav"), std::string(1000, 'x'));
    saveDialog.answers = {PathOf("old.wav")};
    messages.answers = {platform::MessageAnswer::Ok};
    ASSERT_EQ(StartRecording(), kRecordingStarted);
    StopRecording();
    const test::ReadBack file = test::ReadWaveRecording(PathOf("old.wav"));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.fileBytes, 44u);
}

TEST_F(CaptureSessionStart, OverwriteCancelOffersTheDialogAgain) {
    WriteText(PathOf("old.wav"), "keep me");
    saveDialog.answers = {PathOf("old.wav"), PathOf("new.wav")};
    messages.answers = {platform::MessageAnswer::Cancel};
    ASSERT_EQ(StartRecording(), kRecordingStarted);
    EXPECT_EQ(files.createdPaths, std::vector<std::string>{PathOf("new.wav")});
    EXPECT_EQ(test::ReadFileBytes(PathOf("old.wav")).size(), 7u);
}

TEST_F(CaptureSessionStop, TakesItsStepsInOrder) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    journal.steps.clear();
    StopRecording();
    std::vector<std::string> expected = {"wave stop", "wave reset"};
    for (int i = 0; i < kBuffersInRing; ++i) expected.push_back("wave unprepare");
    for (const char* step : {"wave close", "file write at 0 44", "file sync", "window send 16",
                             "window destroy", "file close"}) {
        expected.push_back(step);
    }
    EXPECT_EQ(journal.steps, expected);
    EXPECT_EQ(PoolCount(), 0);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(captureSession.device, nullptr);
}

struct EmptyRecordingCase {
    bool compressed;
    uint64_t fileBytes;
    uint32_t sizeField;
};

void PrintTo(const EmptyRecordingCase& c, std::ostream* out) {
    *out << (c.compressed ? "Compaxa" : "Wave");
}

class CaptureSessionEmptyRecording : public CaptureFixture,
                                     public ::testing::WithParamInterface<EmptyRecordingCase> {};

TEST_P(CaptureSessionEmptyRecording, StoppedBeforeAnyInputIsTheHeaderAlone) {
    const EmptyRecordingCase c = GetParam();
    UseFormat(c.compressed);
    ASSERT_EQ(StartInto("take"), kRecordingStarted);
    StopRecording();
    const test::ReadBack file = test::ReadBackRecording(c.compressed, PathOf("take"));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.fileBytes, c.fileBytes);
    EXPECT_EQ(file.sizeField, c.sizeField);
    EXPECT_EQ(file.dataField, 0u);
    EXPECT_TRUE(file.samples.empty());
    if (!c.compressed) {
        const test::ReadBack sox = test::ReadWaveWithSox(PathOf("take"));
        ASSERT_TRUE(sox.ok) << sox.error;
        EXPECT_TRUE(sox.samples.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CaptureSessionEmptyRecording,
                         ::testing::Values(EmptyRecordingCase{false, 44, 36},
                                           EmptyRecordingCase{true, 40, 40}));

struct KeptAtStopCase {
    const char* name;
    bool compressed;
    int32_t captured;  // frames delivered before the stop
    int32_t waiting;   // full buffers whose notifications wait at the stop
    int32_t stored;    // frames in the file
};

void PrintTo(const KeptAtStopCase& c, std::ostream* out) {
    *out << c.name;
}

class CaptureSessionKeptAtStop : public CaptureFixture,
                                 public ::testing::WithParamInterface<KeptAtStopCase> {};

// Everything captured up to the stop is stored, in order; in the Compaxa format the last
// buffer follows the rule of eight equal sub-blocks.
TEST_P(CaptureSessionKeptAtStop, StoresEveryFrameCapturedUpToTheStop) {
    const KeptAtStopCase c = GetParam();
    UseFormat(c.compressed);
    const std::string name = c.compressed ? "take.cx" : "take.wav";
    ASSERT_EQ(StartInto(name), kRecordingStarted);
    const int32_t processed =
        c.captured - c.captured % kFramesPerBuffer - c.waiting * kFramesPerBuffer;
    for (int32_t at = 0; at < processed; at += kFramesPerBuffer) {
        Capture(NumberedFrames(kFramesPerBuffer, at));
    }
    device.Deliver(NumberedFrames(c.captured - processed, processed));
    ASSERT_EQ(windows.PendingMessages(), static_cast<std::size_t>(c.waiting));
    StopRecording();
    EXPECT_EQ(Pump(), 0u);
    EXPECT_EQ(captureSession.totalFrames, c.captured);
    const test::ReadBack file = test::ReadBackRecording(c.compressed, PathOf(name));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.samples, NumberedFrames(c.stored));
    EXPECT_EQ(log.lines.back(), "sonocap: " + PathOf(name) + ": recording stopped after " +
                                    TakeTimeText(c.stored) + " (" + std::to_string(c.stored) +
                                    " frames stored of " + std::to_string(c.captured) +
                                    " captured)");
}

INSTANTIATE_TEST_SUITE_P(
    Takes, CaptureSessionKeptAtStop,
    ::testing::Values(KeptAtStopCase{"WaveOf0_3s", false, 13230, 0, 13230},
                      KeptAtStopCase{"CompaxaOf0_3s", true, 13230, 0, 13224},
                      KeptAtStopCase{"WaveOf2_6s", false, 114660, 0, 114660},
                      KeptAtStopCase{"CompaxaOf2_6s", true, 114660, 0, 114660 - 4},
                      KeptAtStopCase{"WaveWithTwoNotificationsWaiting", false,
                                     2 * kFramesPerBuffer + 500, 2, 2 * kFramesPerBuffer + 500}),
    [](const ::testing::TestParamInfo<KeptAtStopCase>& info) { return info.param.name; });

TEST_F(CaptureSessionStop, WhilePausedKeepsTheBufferThePauseCutShort) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    Capture(NumberedFrames(1000));
    device.Stop();
    paused = 1;
    StopRecording();
    const test::ReadBack file = test::ReadWaveRecording(PathOf("take.wav"));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.samples, NumberedFrames(1000));
}

TEST_F(CaptureSessionFailure, FileNotCreatedReturnsMinusFive) {
    files.refuseCreate = true;
    EXPECT_EQ(StartInto("take.wav"), kFileNotCreated);
    EXPECT_EQ(journal.steps, std::vector<std::string>{"file create"});
    EXPECT_EQ(PoolCount(), 0);
}

struct StartFailureCase {
    const char* name;
    int32_t result;
    const char* logLine;  // after "sonocap: <chosen path>: recording not started: "
};

void PrintTo(const StartFailureCase& c, std::ostream* out) {
    *out << c.name;
}

class CaptureSessionStartFailure : public CaptureFixture,
                                   public ::testing::WithParamInterface<StartFailureCase> {
  protected:
    // Sets up the fault of the case; returns the path the save dialog chooses.
    std::string Arrange(int32_t result) {
        switch (result) {
            case kFileNotCreated:
                files.refuseCreate = true;
                break;
            case kHeaderNotWritten:
                files.diskSpaceBytes = 10;
                break;
            case kDeviceNotOpened:
                device.openResult = platform::kWaveNoDevice;
                device.openFailureText = "no audio input device";
                break;
            case kPathTooLong:
                return directory.file(std::string(300, 'a'));
            default:
                break;
        }
        return PathOf("take.wav");
    }
};

// Every failure but the user's own cancel is told in one line, with the system's reason.
TEST_P(CaptureSessionStartFailure, IsToldInOneLogLine) {
    const StartFailureCase c = GetParam();
    const std::string chosen = Arrange(c.result);
    saveDialog.answers.push_back(chosen);
    EXPECT_EQ(StartRecording(), c.result);
    EXPECT_EQ(log.lines, std::vector<std::string>{"sonocap: " + chosen +
                                                  ": recording not started: " + c.logLine});
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CaptureSessionStartFailure,
    ::testing::Values(
        StartFailureCase{"FolderNotWritable", kFileNotCreated,
                         "the file could not be created: Permission denied"},
        StartFailureCase{"DiskFullAtTheHeader", kHeaderNotWritten,
                         "the file's header could not be written: No space left on device"},
        StartFailureCase{"NoDevice", kDeviceNotOpened,
                         "the input device could not be opened: no audio input device"},
        StartFailureCase{"PathTooLong", kPathTooLong,
                         "the file's path is too long (259 bytes at most)"}),
    [](const ::testing::TestParamInfo<StartFailureCase>& info) { return info.param.name; });

TEST_F(CaptureSessionFailure, AFileAnotherCopyIsRecordingIsRefusedAndKeepsItsBytes) {
    WriteText(PathOf("busy.wav"), "another take");
    const int other = open(PathOf("busy.wav").c_str(), O_RDWR);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    saveDialog.answers = {PathOf("busy.wav")};
    EXPECT_EQ(StartRecording(), kFileInUse);
    // Refused before the overwrite question: there is nothing to decide.
    EXPECT_TRUE(messages.messages.empty());
    close(other);
    EXPECT_EQ(test::ReadFileBytes(PathOf("busy.wav")).size(), 12u);
    EXPECT_EQ(log.lines.back(), "sonocap: " + PathOf("busy.wav") +
                                    ": recording not started: another program holds this file "
                                    "locked (another copy of Sonocap recording into it?)");
    // Once the other copy has let go, the file may be recorded again.
    saveDialog.answers = {PathOf("busy.wav")};
    messages.answers = {platform::MessageAnswer::Ok};
    EXPECT_EQ(StartRecording(), kRecordingStarted);
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(CaptureSessionStart, AnExistingFileThatCannotBeWrittenIsRefusedBeforeTheQuestion) {
    WriteText(PathOf("locked.wav"), "keep me");
    files.refuseOpen = true;
    saveDialog.answers = {PathOf("locked.wav")};
    EXPECT_EQ(StartRecording(), kFileNotCreated);
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(captureSession.failureError, EACCES);
    EXPECT_EQ(test::ReadFileBytes(PathOf("locked.wav")).size(), 7u);
}

TEST_F(CaptureSessionStart, AStartWhoseWindowClosedDuringTheFileChoiceCreatesNothing) {
    saveDialog.answers = {PathOf("late.wav")};
    closingRequested = 1;
    EXPECT_EQ(StartRecording(), kRecordingCancelled);
    EXPECT_TRUE(files.createdPaths.empty());
    EXPECT_TRUE(log.lines.empty());
}

TEST(RecordingResults, EveryResultAndReasonHasItsOwnText) {
    std::set<std::string> texts;
    for (int32_t result = kHeaderNotWritten; result <= kRecordingStarted; ++result) {
        if (result == 0) continue;
        const std::string text = StartResultText(static_cast<StartResult>(result));
        EXPECT_NE(text, "unknown result") << result;
        texts.insert(text);
    }
    for (int32_t reason = kFileSizeLimit; reason <= kWriteFailed; ++reason) {
        const std::string text = EndReasonText(static_cast<EndReason>(reason));
        EXPECT_NE(text, "unknown reason") << reason;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 12u);
    EXPECT_STREQ(StartResultText(static_cast<StartResult>(0)), "unknown result");
}

TEST(RecordingLog, TakeTimesHaveHoursMinutesSecondsAndTenthsRounded) {
    EXPECT_EQ(TakeTimeText(0), "0:00:00.0");
    EXPECT_EQ(TakeTimeText(13230), "0:00:00.3");
    EXPECT_EQ(TakeTimeText(12304), "0:00:00.3");   // 0.279 s
    EXPECT_EQ(TakeTimeText(696339), "0:00:15.8");  // 15.79 s
    EXPECT_EQ(TakeTimeText(int64_t{44100} * 3723 + 22050), "1:02:03.5");
    EXPECT_EQ(TakeTimeText(int64_t{44100} * 3600 - 2000), "1:00:00.0");
}

struct ForUserCase {
    const char* name;
    int32_t code;  // a StartResult or an EndReason
    bool start;
    int systemError;
    const char* detail;
    int64_t storedFrames;
    const char* told;
};

void PrintTo(const ForUserCase& c, std::ostream* out) {
    *out << c.name;
}

class RecordingResultsForUser : public ::testing::TestWithParam<ForUserCase> {};

// The window's words for every refusal and every end nobody asked for, with the file's time
// rounded to tenths.
TEST_P(RecordingResultsForUser, AreTwoShortSentencesWithTheFilesTime) {
    const ForUserCase c = GetParam();
    const std::string told =
        c.start
            ? StartRefusalForUser(static_cast<StartResult>(c.code), c.systemError, c.detail)
            : EndForUser(static_cast<EndReason>(c.code), c.systemError, c.detail, c.storedFrames);
    EXPECT_EQ(told, c.told);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RecordingResultsForUser,
    ::testing::Values(
        ForUserCase{"DiskFull", kWriteFailed, false, ENOSPC, "No space left on device", 519498,
                    "Stopped after 0:11.8: the disk is full. Everything up to then is saved."},
        ForUserCase{"RoundedUp", kWriteFailed, false, EIO, "", 12304,
                    "Stopped after 0:00.3: the disk reported an error. Everything up to then is "
                    "saved."},
        ForUserCase{"FileOf15_79s", kOverrunStop, false, 0, "", 696339,
                    "Stopped after 0:15.8: the computer could not keep up with the input. "
                    "Everything up to then is saved."},
        ForUserCase{"OverAnHour", kDeviceStopped, false, 0, "", int64_t{44100} * 3723 + 4410,
                    "Stopped after 1:02:03.1: the input stopped sending sound. Everything up to "
                    "then is saved."},
        ForUserCase{"SizeLimit", kFileSizeLimit, false, 0, "", 44100 * 60,
                    "Stopped after 1:00.0: the file is as long as its format allows. Everything "
                    "up to then is saved."},
        ForUserCase{"Unplugged", kInputLost, false, 0, "the input 'Second' was unplugged", 4410,
                    "Stopped after 0:00.1: the input 'Second' was unplugged. Everything up to "
                    "then is saved."},
        ForUserCase{"NeverStarted", kInputNeverStarted, false, 0, "", 0,
                    "Stopped: the input sent no sound. The file holds no sound."},
        ForUserCase{"InUse", kFileInUse, true, 0, "", 0,
                    "Not recorded: another copy of Sonocap is recording into this file."},
        ForUserCase{"ReadOnlyDisk", kFileNotCreated, true, EROFS, "Read-only file system", 0,
                    "Not recorded: the disk is read-only."},
        ForUserCase{"FolderNotWritable", kFileNotCreated, true, EACCES, "Permission denied", 0,
                    "Not recorded: you may not write there."},
        ForUserCase{"DiskFullAtTheHeader", kHeaderNotWritten, true, ENOSPC,
                    "No space left on device", 0, "Not recorded: the disk is full."},
        ForUserCase{"OddFileError", kFileNotCreated, true, EMFILE, "Too many open files", 0,
                    "Not recorded: the file could not be created."},
        ForUserCase{"NoDevice", kDeviceNotOpened, true, 0, "no sound server answered", 0,
                    "Not recorded: no sound server answered."},
        ForUserCase{"NoMemory", kNoMemoryForBuffers, true, 0, "", 0,
                    "Not recorded: there is not enough memory."},
        ForUserCase{"PathTooLong", kPathTooLong, true, 0, "", 0,
                    "Not recorded: the file's name and folder are too long."}),
    [](const ::testing::TestParamInfo<ForUserCase>& info) { return info.param.name; });

TEST(RecordingResults, InputLossIsToldWithHowOftenAndHowMuch) {
    EXPECT_EQ(InputLossForUser(0, 0), "");
    EXPECT_EQ(InputLossForUser(1, 4410), "Input was lost once (0.1 s).");
    EXPECT_EQ(InputLossForUser(2, 100), "Input was lost twice (under 0.1 s in all).");
    EXPECT_EQ(InputLossForUser(3, 17640), "Input was lost 3 times (0.4 s in all).");
    EXPECT_EQ(InputLossForUser(4, 0), "Input was lost 4 times.");
}

TEST_F(CaptureSessionFailure, ShortHeaderReturnsMinusSevenAndRemovesTheFileItCreated) {
    files.diskSpaceBytes = 10;
    EXPECT_EQ(StartInto("take.wav"), kHeaderNotWritten);
    EXPECT_EQ(journal.steps,
              (std::vector<std::string>{"file create", "file write 44", "file close"}));
    EXPECT_FALSE(std::filesystem::exists(PathOf("take.wav")));
    EXPECT_EQ(PoolCount(), 0);
}

// A file the user agreed to replace is not removed: the log says what is left of it.
TEST_F(CaptureSessionFailure, AReplacedFileThatDidNotStartStaysAndTheLogSaysWhatItHolds) {
    WriteText(PathOf("old.wav"), std::string(1000, 'x'));
    device.openResult = platform::kWaveNoDevice;
    saveDialog.answers = {PathOf("old.wav")};
    messages.answers = {platform::MessageAnswer::Ok};
    EXPECT_EQ(StartRecording(), kDeviceNotOpened);
    EXPECT_EQ(test::ReadFileBytes(PathOf("old.wav")).size(), 44u);
    EXPECT_EQ(log.lines.back(), "sonocap: " + PathOf("old.wav") +
                                    ": the file was emptied for a take that did not start: it "
                                    "now holds 44 bytes, no sound");
}

TEST_F(CaptureSessionFailure, DeviceThatDoesNotOpenReturnsMinusTwoAndReleasesEverything) {
    UseFormat(true);
    device.openResult = platform::kWaveNoDevice;
    device.openFailureText = "no audio input device";
    EXPECT_EQ(StartInto("take.cx"), kDeviceNotOpened);
    const int open = journal.Find("wave open");
    ASSERT_GE(open, 0);
    EXPECT_EQ(journal.Find("file close", open), open + 1);
    EXPECT_EQ(journal.Find("window send 16", open), open + 2);
    EXPECT_EQ(journal.Find("window destroy", open), open + 3);
    EXPECT_EQ(captureSession.device, nullptr);
    EXPECT_EQ(platform::Current<platform::WaveInput>().OpenFailure(), "no audio input device");
    EXPECT_EQ(PoolCount(), 0);
    EXPECT_EQ(windows.PendingMessages(), 0u);
    EXPECT_FALSE(std::filesystem::exists(PathOf("take.cx")));
}

class CaptureSessionPoolFailure : public CaptureFixture,
                                  public ::testing::WithParamInterface<int> {};

TEST_P(CaptureSessionPoolFailure, OutOfMemoryLeavesTheEngineIdleWithNothingTaken) {
    platform::FakeAllocator allocator;
    allocator.allocationsBeforeFailure = GetParam();
    platform::Install<platform::Allocator>(&allocator);
    EXPECT_EQ(StartInto("take.wav"), kNoMemoryForBuffers);
    EXPECT_EQ(PoolCount(), 0);
    EXPECT_EQ(allocator.LiveBlocks(), 0u);
    EXPECT_EQ(captureSession.headers, nullptr);
    EXPECT_EQ(captureSession.buffers, nullptr);
    EXPECT_EQ(captureSession.device, nullptr);
    EXPECT_EQ(journal.Count("window create"), 0);
    EXPECT_EQ(journal.Count("wave open"), 0);
    EXPECT_EQ(journal.steps.back(), "file close");
    EXPECT_FALSE(std::filesystem::exists(PathOf("take.wav")));
    platform::Install<platform::Allocator>(&heap);
    // Nothing is left over for the next recording.
    ASSERT_EQ(StartInto("next.wav"), kRecordingStarted);
    EXPECT_EQ(PoolCount(), 9);
}

// The recording takes nine blocks; each of them in turn is the one that fails.
INSTANTIATE_TEST_SUITE_P(EveryBlock, CaptureSessionPoolFailure, ::testing::Range(0, 9));

TEST(CaptureSessionWindowProcedure, AnswersOtherMessagesWithTheDefault) {
    platform::QueuedWindowSystem windows;
    const platform::LayerGuard<platform::WindowSystem> installed(windows);
    EXPECT_EQ(WAVEWndProc(platform::kNoWindow, 0x0001, 0, 0), 0);
}

TEST_F(CaptureSessionStop, CloseMessageDestroysTheWindowAndAnswersOne) {
    CreateCallbackWindow();
    const platform::WindowHandle window = captureSession.callbackWindow;
    ASSERT_TRUE(windows.IsWindow(window));
    EXPECT_EQ(windows.SendMessage(window, platform::kWmClose, 0, 0), 1);
    EXPECT_FALSE(windows.IsWindow(window));
}

}  // namespace
}  // namespace sonocap

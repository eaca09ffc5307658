#include "engine/capture_session.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/aligned_pool.h"
#include "engine/program_state.h"
#include "engine/recording_buffers.h"
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
    std::vector<std::string> expected = {"file create", "file write 44", "window create",
                                         "wave open"};
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
    std::vector<std::string> expected = {"wave reset"};
    for (int i = 0; i < kBuffersInRing; ++i) expected.push_back("wave unprepare");
    for (const char* step : {"wave close", "file seek 0", "file write 44", "window send 16",
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

TEST_P(CaptureSessionEmptyRecording, StoppedBeforeTheFirstBufferIsTheHeaderAlone) {
    const EmptyRecordingCase c = GetParam();
    UseFormat(c.compressed);
    ASSERT_EQ(StartInto("take"), kRecordingStarted);
    Capture(NumberedFrames(1000));
    StopRecording();
    const test::ReadBack file = c.compressed ? test::ReadCompressedRecording(PathOf("take"))
                                             : test::ReadWaveRecording(PathOf("take"));
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

TEST_F(CaptureSessionStop, DiscardsTheBufferBeingFilledAndTheResetNotifications) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    Capture(NumberedFrames(kFramesPerBuffer + 1000));
    StopRecording();
    EXPECT_EQ(windows.PendingMessages(), 0u);
    EXPECT_EQ(Pump(), 0u);
    EXPECT_EQ(captureSession.totalFrames, kFramesPerBuffer);
    const test::ReadBack file = test::ReadWaveRecording(PathOf("take.wav"));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.samples, NumberedFrames(kFramesPerBuffer));
}

TEST_F(CaptureSessionStop, NotificationsWaitingAtTheStopAreNotStored) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    device.Deliver(NumberedFrames(2 * kFramesPerBuffer));
    ASSERT_EQ(windows.PendingMessages(), 2u);
    StopRecording();
    EXPECT_EQ(Pump(), 0u);
    EXPECT_EQ(captureSession.totalFrames, 0);
    EXPECT_EQ(test::ReadFileBytes(PathOf("take.wav")).size(), 44u);
}

TEST_F(CaptureSessionFailure, FileNotCreatedReturnsMinusFive) {
    files.refuseCreate = true;
    EXPECT_EQ(StartInto("take.wav"), kFileNotCreated);
    EXPECT_EQ(journal.steps, std::vector<std::string>{"file create"});
    EXPECT_EQ(PoolCount(), 0);
}

TEST_F(CaptureSessionFailure, ShortHeaderReturnsMinusSevenAndKeepsThePartialFile) {
    files.diskSpaceBytes = 10;
    EXPECT_EQ(StartInto("take.wav"), kHeaderNotWritten);
    EXPECT_EQ(journal.steps,
              (std::vector<std::string>{"file create", "file write 44", "file close"}));
    EXPECT_EQ(test::ReadFileBytes(PathOf("take.wav")).size(), 10u);
    EXPECT_EQ(PoolCount(), 0);
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
    // The file stays with its placeholder header: magic, both sizes 0.
    const std::vector<uint8_t> bytes = test::ReadFileBytes(PathOf("take.cx"));
    ASSERT_EQ(bytes.size(), 40u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12),
              (std::vector<uint8_t>{0x97, 0x19, 0x03, 0x05, 0, 0, 0, 0, 0, 0, 0, 0}));
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
    EXPECT_EQ(test::ReadFileBytes(PathOf("take.wav")).size(), 44u);
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

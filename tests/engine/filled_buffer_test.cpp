#include "engine/filled_buffer.h"

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "engine/dc_filter.h"
#include "engine/program_state.h"
#include "engine/recording_limits.h"
#include "engine/recording_log.h"
#include "engine/take_file.h"
#include "platform/fake/counting_file_io.h"
#include "platform/file_io.h"
#include "settings/program_environment.h"
#include "tests/codec/test_signals.h"
#include "tests/engine/capture_fixture.h"
#include "tests/engine/recording_files.h"

namespace sonocap {
namespace {

using test::CaptureFixture;
using test::NumberedFrames;

using FilledBuffer = CaptureFixture;

std::vector<int16_t> Frames(const std::vector<int16_t>& samples, int64_t first, int64_t count) {
    return {samples.begin() + 2 * first, samples.begin() + 2 * (first + count)};
}

class FilledBufferFormat : public CaptureFixture, public ::testing::WithParamInterface<bool> {
  protected:
    bool compressed() const { return GetParam(); }
    std::string name() const { return compressed() ? "take.cx" : "take.wav"; }
};

TEST_P(FilledBufferFormat, SixFullBuffersAreStoredWhole) {
    UseFormat(compressed());
    const std::vector<int16_t> signal =
        test::MakeSignal(test::SignalKind::Sine, 6 * kFramesPerBuffer, 3);
    ASSERT_EQ(StartInto(name()), kRecordingStarted);
    for (int i = 0; i < kBuffersInRing; ++i) {
        Capture(Frames(signal, int64_t{i} * kFramesPerBuffer, kFramesPerBuffer));
        EXPECT_EQ(captureSession.dataBytes, 65536 * int64_t{i + 1});
        EXPECT_EQ(captureSession.totalFrames, int64_t{kFramesPerBuffer} * (i + 1));
    }
    const int64_t bytesWritten = captureSession.bytesWritten;
    StopRecording();
    const test::ReadBack file = test::ReadBackRecording(compressed(), PathOf(name()));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.samples, signal);
    if (compressed()) {
        EXPECT_EQ(file.records, 48);
        EXPECT_TRUE(std::all_of(file.recordFrames.begin(), file.recordFrames.end(),
                                [](int32_t m) { return m == 2048; }));
        EXPECT_EQ(file.fileBytes, 40u + static_cast<uint64_t>(bytesWritten));
    } else {
        EXPECT_EQ(bytesWritten, 6 * 65536);
        const test::ReadBack sox = test::ReadWaveWithSox(PathOf(name()));
        ASSERT_TRUE(sox.ok) << sox.error;
        EXPECT_EQ(sox.samples, signal);
    }
}

// A take killed at any moment plays up to its last stored buffer: the header follows each
// buffer, written behind its data; every kBuffersPerWriteBack buffers the write-back of those
// buffers starts, and every kBuffersPerSync buffers the data is made durable.
TEST_P(FilledBufferFormat, TheHeaderFollowsEveryBufferAndTheDataIsSyncedAtAPace) {
    UseFormat(compressed());
    const int buffers = kBuffersPerSync + 1;
    const std::vector<int16_t> signal =
        test::MakeSignal(test::SignalKind::Sine, buffers * kFramesPerBuffer, 5);
    ASSERT_EQ(StartInto(name()), kRecordingStarted);
    const std::string header = compressed() ? "file write at 0 40" : "file write at 0 44";
    int64_t writeBackFrom = 0;
    for (int i = 0; i < buffers; ++i) {
        journal.steps.clear();
        Capture(Frames(signal, int64_t{i} * kFramesPerBuffer, kFramesPerBuffer));
        const auto at = [&](const std::string& step) {
            return std::find_if(journal.steps.begin(), journal.steps.end(),
                                [&](const std::string& s) { return s.rfind(step, 0) == 0; }) -
                   journal.steps.begin();
        };
        const auto count = [&](const std::string& step) {
            return std::count_if(journal.steps.begin(), journal.steps.end(),
                                 [&](const std::string& s) { return s.rfind(step, 0) == 0; });
        };
        const bool startsWriteBack = (i + 1) % kBuffersPerWriteBack == 0;
        EXPECT_LT(at("file write "), at(header)) << i;
        EXPECT_EQ(count("file write-back "), startsWriteBack ? 1 : 0) << i;
        if (startsWriteBack) {
            // What was stored since the last start (the first from the file's start), behind
            // the data and in front of the header.
            const int64_t end = (compressed() ? 40 : 44) + captureSession.bytesWritten;
            EXPECT_EQ(journal.Count("file write-back " + std::to_string(end - writeBackFrom)), 1)
                << i;
            EXPECT_LT(at("file write "), at("file write-back ")) << i;
            EXPECT_LT(at("file write-back "), at(header)) << i;
            writeBackFrom = end;
        }
        EXPECT_EQ(journal.Count(header), 1);
        EXPECT_EQ(journal.Count("file sync requested"), i + 1 == kBuffersPerSync ? 1 : 0) << i;
        const test::ReadBack file = test::ReadBackRecording(compressed(), PathOf(name()));
        ASSERT_TRUE(file.ok) << i << ": " << file.error;
        EXPECT_EQ(file.samples, Frames(signal, 0, int64_t{i + 1} * kFramesPerBuffer));
    }
}

TEST_P(FilledBufferFormat, APauseBufferOfTenFramesIsStoredAsFarAsTheFormatAllows) {
    UseFormat(compressed());
    ASSERT_EQ(StartInto(name()), kRecordingStarted);
    device.Deliver(NumberedFrames(10, 1));
    device.Stop();
    Pump();
    EXPECT_EQ(captureSession.totalFrames, 10);
    EXPECT_EQ(captureSession.ringIndex, kFramesPerBuffer);
    StopRecording();
    const test::ReadBack file = test::ReadBackRecording(compressed(), PathOf(name()));
    ASSERT_TRUE(file.ok) << file.error;
    if (compressed()) {
        // Eight records of one frame; the last two frames are not stored.
        EXPECT_EQ(file.records, 8);
        EXPECT_EQ(file.dataField, 32u);
        EXPECT_EQ(file.samples, NumberedFrames(8, 1));
    } else {
        EXPECT_EQ(file.dataField, 40u);
        EXPECT_EQ(file.samples, NumberedFrames(10, 1));
    }
}

TEST_P(FilledBufferFormat, ABufferUnderFourBytesAddsNoFrames) {
    UseFormat(compressed());
    ASSERT_EQ(StartInto(name()), kRecordingStarted);
    ASSERT_TRUE(device.ReturnHead(3));
    Pump();
    EXPECT_EQ(captureSession.totalFrames, 0);
    EXPECT_EQ(captureSession.dataBytes, 0);
    EXPECT_EQ(captureSession.ringIndex, kFramesPerBuffer);
    StopRecording();
    const std::vector<uint8_t> bytes = test::ReadFileBytes(PathOf(name()));
    if (compressed()) {
        // Eight empty records: W = 1, the header word of an empty block, W again.
        ASSERT_EQ(bytes.size(), 40u + 8 * 8);
        for (int r = 0; r < 8; ++r) {
            const std::vector<uint8_t> record(bytes.begin() + 40 + 8 * r,
                                              bytes.begin() + 48 + 8 * r);
            EXPECT_EQ(record, (std::vector<uint8_t>{1, 0, 0, 0, 0xEE, 0x03, 1, 0})) << r;
        }
    } else {
        EXPECT_EQ(bytes.size(), 44u);
    }
    EXPECT_TRUE(test::ReadBackRecording(compressed(), PathOf(name())).ok);
}

TEST_P(FilledBufferFormat, ABufferOf16383FramesLosesOnlyWhatEighthsCannotHold) {
    UseFormat(compressed());
    const std::vector<int16_t> signal = NumberedFrames(kFramesPerBuffer - 1, 5);
    ASSERT_EQ(StartInto(name()), kRecordingStarted);
    device.Deliver(signal);
    ASSERT_TRUE(device.ReturnHead((kFramesPerBuffer - 1) * 4));
    Pump();
    EXPECT_EQ(captureSession.totalFrames, kFramesPerBuffer - 1);
    StopRecording();
    const test::ReadBack file = test::ReadBackRecording(compressed(), PathOf(name()));
    ASSERT_TRUE(file.ok) << file.error;
    if (compressed()) {
        EXPECT_EQ(file.dataField, 65504u);
        EXPECT_EQ(file.recordFrames, std::vector<int32_t>(8, 2047));
        EXPECT_EQ(file.samples, NumberedFrames(8 * 2047, 5));
    } else {
        EXPECT_EQ(file.samples, signal);
    }
}

TEST_P(FilledBufferFormat, TheFilterRunsAsOneFilterAcrossBuffers) {
    UseFormat(compressed(), true);
    const std::vector<int16_t> signal =
        test::MakeSignal(test::SignalKind::DcOffset, 3 * kFramesPerBuffer, 11);
    std::vector<int16_t> expected = signal;
    RemoveDC(expected.data(), 3 * kFramesPerBuffer);
    ASSERT_EQ(StartInto(name()), kRecordingStarted);
    Capture(signal);
    StopRecording();
    const test::ReadBack file = test::ReadBackRecording(compressed(), PathOf(name()));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.samples, expected);
    EXPECT_NE(file.samples, signal);
}

INSTANTIATE_TEST_SUITE_P(Formats, FilledBufferFormat, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Compaxa" : "Wave"; });

struct OverrunCase {
    int64_t ahead;
    int32_t stopRequested;
};

void PrintTo(const OverrunCase& c, std::ostream* out) {
    *out << c.ahead << " frames ahead";
}

class FilledBufferOverrun : public CaptureFixture,
                            public ::testing::WithParamInterface<OverrunCase> {};

TEST_P(FilledBufferOverrun, ADeviceAWholeRingAheadRequestsTheStop) {
    meterLagFrames = 3000;  // plays no part in the test
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    Capture(NumberedFrames(kFramesPerBuffer));
    device.Deliver(NumberedFrames(kFramesPerBuffer));
    device.SetPosition(captureSession.totalFrames + GetParam().ahead);
    Pump();
    EXPECT_EQ(captureSession.stopRequested, GetParam().stopRequested);
    EXPECT_EQ(captureSession.endReason, GetParam().stopRequested != 0 ? kOverrunStop : 0);
    // The buffer is stored either way.
    EXPECT_EQ(captureSession.totalFrames, 2 * kFramesPerBuffer);
}

INSTANTIATE_TEST_SUITE_P(Boundary, FilledBufferOverrun,
                         ::testing::Values(OverrunCase{98303, 0}, OverrunCase{98304, 1}));

TEST_F(FilledBuffer, FramesLostWhileNothingIsQueuedShowAsAnOverrun) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    device.Deliver(NumberedFrames(kRingFrames));
    device.DropFrames(16384);
    EXPECT_EQ(device.Deliver(NumberedFrames(100)), 0);
    Pump();
    EXPECT_EQ(captureSession.stopRequested, 1);
    EXPECT_EQ(captureSession.totalFrames, kRingFrames);
}

TEST_F(FilledBuffer, TheRingIndexCyclesThroughTheSixSlots) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    std::vector<int32_t> seen;
    for (int i = 0; i < 8; ++i) {
        Capture(NumberedFrames(kFramesPerBuffer));
        seen.push_back(captureSession.ringIndex);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{16384, 32768, 49152, 65536, 81920, 0, 16384, 32768}));
}

TEST_F(FilledBuffer, ABufferIsQueuedAgainAfterProcessing) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    platform::WaveHeader* first = captureSession.headers[0];
    Capture(NumberedFrames(kFramesPerBuffer));
    EXPECT_EQ(device.QueuedBuffers(), 6u);
    EXPECT_EQ(device.addedHeaders.back(), first);
}

// A file-size limit makes the kernel store writes short, as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        signal(SIGXFSZ, previousHandler_);
    }

  private:
    rlimit previous_{};
    sighandler_t previousHandler_;
};

TEST_P(FilledBufferFormat, AShortWriteStopsStoringAndTheHeaderStillMatchesTheFile) {
    UseFormat(compressed());
    platform::PosixFileIo realFiles;
    const platform::LayerGuard<platform::FileIo> real(realFiles);
    const std::vector<int16_t> signal =
        test::MakeSignal(test::SignalKind::FullScaleNoise, 4 * kFramesPerBuffer, 5);
    ASSERT_EQ(StartInto(name()), kRecordingStarted);
    {
        const FileSizeLimit limit(44 + 65536 + 30000);
        Capture(Frames(signal, 0, kFramesPerBuffer));
        EXPECT_EQ(captureSession.failed, 0);
        Capture(Frames(signal, kFramesPerBuffer, kFramesPerBuffer));
        EXPECT_EQ(captureSession.failed, 1);
        const int64_t stored = captureSession.bytesWritten;
        // Later buffers are neither stored nor queued again.
        Capture(Frames(signal, 2 * kFramesPerBuffer, kFramesPerBuffer));
        EXPECT_EQ(captureSession.bytesWritten, stored);
        EXPECT_EQ(device.QueuedBuffers(), 5u);
        EXPECT_EQ(captureSession.totalFrames, 2 * kFramesPerBuffer);
    }
    StopRecording();
    const std::vector<uint8_t> bytes = test::ReadFileBytes(PathOf(name()));
    if (compressed()) {
        const test::ReadBack file = test::ReadCompressedRecording(PathOf(name()));
        EXPECT_EQ(file.sizeField, bytes.size());
    } else {
        const test::ReadBack file = test::ReadWaveRecording(PathOf(name()));
        ASSERT_TRUE(file.ok) << file.error;
        EXPECT_GT(file.samples.size(), 2u * kFramesPerBuffer);
        EXPECT_TRUE(std::equal(file.samples.begin(), file.samples.end(), signal.begin()));
        const test::ReadBack sox = test::ReadWaveWithSox(PathOf(name()));
        ASSERT_TRUE(sox.ok) << sox.error;
        EXPECT_EQ(sox.samples, file.samples);
    }
}

TEST_F(FilledBuffer, AWaveRecordingStopsBeforeItsHeaderWouldOverflow) {
    platform::CountingFileIo bigFiles;
    const platform::LayerGuard<platform::FileIo> big(bigFiles);
    ASSERT_EQ(StartInto("long.wav"), kRecordingStarted);
    const std::vector<int16_t> buffer = NumberedFrames(kFramesPerBuffer);
    int64_t buffers = 0;
    while (captureSession.stopRequested == 0 && buffers < 70000) {
        Capture(buffer);
        ++buffers;
    }
    // 65 535 buffers are 4 294 901 760 bytes; one more would pass 0xFFFFFFFF - 36.
    EXPECT_EQ(buffers, 65535);
    EXPECT_EQ(captureSession.endReason, kFileSizeLimit);
    EXPECT_EQ(captureSession.bytesWritten, 65535 * int64_t{65536});
    // A buffer that comes back before the stop is not stored.
    Capture(buffer);
    EXPECT_EQ(captureSession.bytesWritten, 65535 * int64_t{65536});
    StopRecording();
    const std::vector<uint8_t>& head = bigFiles.HeadOf(PathOf("long.wav"));
    ASSERT_GE(head.size(), 44u);
    const auto le32 = [&](int at) {
        return head[at] | head[at + 1] << 8 | head[at + 2] << 16 |
               static_cast<uint32_t>(head[at + 3]) << 24;
    };
    const int64_t length = bigFiles.LengthOf(PathOf("long.wav"));
    EXPECT_EQ(le32(4), length - 8);
    EXPECT_EQ(le32(40), length - 44);
    EXPECT_EQ(PoolCount(), 0);
}

TEST_F(FilledBuffer, ACompressedRecordingStopsBeforeItsUncompressedSizeWouldOverflow) {
    UseFormat(true);
    ASSERT_EQ(StartInto("long.cx"), kRecordingStarted);
    // The counters stand as after 65 533 buffers of silence.
    captureSession.dataBytes = 65533 * int64_t{65536};
    captureSession.bytesWritten = 65533 * int64_t{4160};
    Capture(NumberedFrames(kFramesPerBuffer));
    EXPECT_EQ(captureSession.stopRequested, 0);
    Capture(NumberedFrames(kFramesPerBuffer));
    EXPECT_EQ(captureSession.dataBytes, 65536 * int64_t{65536} - 65536);
    EXPECT_EQ(captureSession.stopRequested, 1);
    const int64_t bytesWritten = captureSession.bytesWritten;
    Capture(NumberedFrames(kFramesPerBuffer));
    EXPECT_EQ(captureSession.bytesWritten, bytesWritten);
    EXPECT_LE(captureSession.dataBytes, kLargestSizeField);
}

struct FaultCase {
    const char* name;
    bool compressed;
    int failingWrite;    // 0: none
    int64_t spareBytes;  // room left on the disk after the first buffer; -1: unlimited
    const char* systemText;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

class FilledBufferFault : public CaptureFixture, public ::testing::WithParamInterface<FaultCase> {};

// A write that fails ends the take at once; the file keeps every whole frame or record before
// the fault, the header counts exactly those, and the log says why.
TEST_P(FilledBufferFault, EndsTheTakeWithAFileThatHoldsEverythingWholeBeforeIt) {
    const FaultCase c = GetParam();
    UseFormat(c.compressed);
    const std::string name = c.compressed ? "take.cx" : "take.wav";
    const int64_t headerBytes = c.compressed ? 40 : 44;
    ASSERT_EQ(StartInto(name), kRecordingStarted);
    Capture(NumberedFrames(kFramesPerBuffer));
    if (c.failingWrite > 0) files.failingWrite = c.failingWrite;
    if (c.spareBytes >= 0) {
        files.diskSpaceBytes = headerBytes + captureSession.bytesWritten + c.spareBytes;
    }
    Capture(NumberedFrames(kFramesPerBuffer, kFramesPerBuffer));
    EXPECT_EQ(captureSession.failed, 1);
    EXPECT_EQ(captureSession.stopRequested, 1);
    EXPECT_EQ(captureSession.endReason, kWriteFailed);
    const int64_t kept = captureSession.bytesWritten;
    Capture(NumberedFrames(kFramesPerBuffer, 2 * kFramesPerBuffer));
    EXPECT_EQ(captureSession.bytesWritten, kept);
    StopRecording();

    const int64_t storedFrames = captureSession.dataBytes / 4;
    EXPECT_GE(storedFrames, kFramesPerBuffer);
    EXPECT_LT(storedFrames, 2 * kFramesPerBuffer);
    const test::ReadBack file = test::ReadBackRecording(c.compressed, PathOf(name));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(static_cast<int64_t>(file.fileBytes), headerBytes + kept);
    EXPECT_EQ(file.samples, NumberedFrames(static_cast<int32_t>(storedFrames)));
    EXPECT_EQ(log.lines.back(), "sonocap: " + PathOf(name) + ": recording stopped after " +
                                    TakeTimeText(storedFrames) + " (" +
                                    std::to_string(storedFrames) + " frames stored of " +
                                    std::to_string(3 * kFramesPerBuffer) +
                                    " captured): the file could not be written: " + c.systemText +
                                    "; the file holds everything up to then");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, FilledBufferFault,
    ::testing::Values(FaultCase{"WaveNthWriteFails", false, 3, -1, "Input/output error"},
                      // The header, the first buffer's records, then the second buffer's.
                      FaultCase{"CompaxaNthWriteFails", true, 3, -1, "Input/output error"},
                      FaultCase{"WaveDiskFillsInAFrame", false, 0, 1001, "No space left on device"},
                      FaultCase{"CompaxaDiskFillsInARecord", true, 0, 3001,
                                "No space left on device"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

TEST_F(FilledBuffer, ADeviceThatStopsDeliveringEndsTheTakeAfterThreeSeconds) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    WatchDevice(1000);
    Capture(NumberedFrames(kFramesPerBuffer));
    WatchDevice(1500);
    WatchDevice(1500 + kDeviceSilenceMs - 1);
    EXPECT_EQ(captureSession.stopRequested, 0);
    // A pause is no silence of the device.
    paused = 1;
    WatchDevice(10000);
    EXPECT_EQ(captureSession.stopRequested, 0);
    paused = 0;
    WatchDevice(10001);
    WatchDevice(10001 + kDeviceSilenceMs);
    EXPECT_EQ(captureSession.stopRequested, 1);
    EXPECT_EQ(captureSession.endReason, kDeviceStopped);
    // What came before the device went quiet is kept; the device is reset, not stopped, since
    // a stop would wait for input that never comes.
    device.Deliver(NumberedFrames(1000, kFramesPerBuffer));
    journal.steps.clear();
    StopRecording();
    EXPECT_EQ(journal.Count("wave stop"), 0);
    const test::ReadBack file = test::ReadWaveRecording(PathOf("take.wav"));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.samples, NumberedFrames(kFramesPerBuffer + 1000));
    EXPECT_NE(log.lines.back().find(": the input device stopped delivering audio; the file "
                                    "holds everything up to then"),
              std::string::npos);
}

TEST_F(FilledBuffer, AnInputThatNeverStartsGetsTenSecondsBeforeTheTakeEnds) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    WatchDevice(1000);
    WatchDevice(1000 + kDeviceStartMs - 1);
    EXPECT_EQ(captureSession.stopRequested, 0);
    WatchDevice(1000 + kDeviceStartMs);
    EXPECT_EQ(captureSession.endReason, kInputNeverStarted);
    StopRecording();
    EXPECT_NE(log.lines.back().find(": the input did not start delivering audio; the file holds "
                                    "everything up to then"),
              std::string::npos);
}

TEST_F(FilledBuffer, AnInputLostByItselfEndsTheTakeAtOnceWithTheDevicesReason) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    Capture(NumberedFrames(kFramesPerBuffer));
    device.LoseInputDevice("the input 'USB microphone' was unplugged");
    EXPECT_EQ(captureSession.stopRequested, 0);
    Pump();
    EXPECT_EQ(captureSession.stopRequested, 1);
    EXPECT_EQ(captureSession.endReason, kInputLost);
    // Not stopped: a stop could wait for a server that is gone.
    journal.steps.clear();
    StopRecording();
    EXPECT_EQ(journal.Count("wave stop"), 0);
    const test::ReadBack file = test::ReadWaveRecording(PathOf("take.wav"));
    ASSERT_TRUE(file.ok) << file.error;
    EXPECT_EQ(file.samples, NumberedFrames(kFramesPerBuffer));
    const std::string tail =
        ": the input was lost: the input 'USB microphone' was unplugged; the file holds "
        "everything up to then";
    EXPECT_EQ(log.lines.back().substr(log.lines.back().size() - tail.size()), tail);
}

TEST_F(FilledBuffer, LostInputIsReportedWithItsPlaceAndTheTakeGoesOn) {
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    Capture(NumberedFrames(13230));
    device.LoseInput(1764);
    Capture(NumberedFrames(kFramesPerBuffer - 13230));
    EXPECT_EQ(log.lines.back(),
              "sonocap: " + PathOf("take.wav") + ": input lost at 0:00:00.3 (about 40 ms)");
    // Reported once; an overflow flag without a measurable length says so.
    const std::size_t lines = log.lines.size();
    Capture(NumberedFrames(kFramesPerBuffer));
    EXPECT_EQ(log.lines.size(), lines);
    device.LoseInput(0);
    device.LoseInput(0);
    Capture(NumberedFrames(kFramesPerBuffer));
    EXPECT_EQ(log.lines.back(), "sonocap: " + PathOf("take.wav") +
                                    ": input lost 2 times, the last at 0:00:00.7 (length unknown)");
    EXPECT_EQ(captureSession.stopRequested, 0);
    EXPECT_EQ(captureSession.totalFrames, 3 * kFramesPerBuffer);
}

TEST(RecordingLimits, ACompressedFileStopsWhenItsFileSizeWouldOverflow) {
    EXPECT_TRUE(NextBufferFits(true, kMaxRecordBytes - kMaxCompressedBufferBytes, 0));
    EXPECT_FALSE(NextBufferFits(true, kMaxRecordBytes - kMaxCompressedBufferBytes + 1, 0));
    EXPECT_EQ(kMaxCompressedBufferBytes, 8 * (4 + 4 * 2177));
}

}  // namespace
}  // namespace sonocap

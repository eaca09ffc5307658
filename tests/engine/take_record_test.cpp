#include "engine/take_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "engine/take_file.h"
#include "tests/engine/capture_fixture.h"
#include "tests/engine/recording_files.h"

namespace sonocap {
namespace {

using test::CaptureFixture;
using test::NumberedFrames;

enum class Spoil { None, RecordDamaged, FileGone, FileReplaced, FileShorter, FileLocked, NoLocks };

struct InterruptedCase {
    const char* name;
    bool compressed;
    Spoil spoil;
    const char* told;  // what the log line says after "sonocap: <path>: "
    bool finished;     // the file was finished
    bool recordKept;   // the record is still there afterwards
};

void PrintTo(const InterruptedCase& c, std::ostream* out) {
    *out << c.name;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

constexpr int64_t kOldTimeNs = int64_t{1600000000} * 1000000000 + 123456789;

class InterruptedTake : public CaptureFixture,
                        public ::testing::WithParamInterface<InterruptedCase> {
  protected:
    void SetUp() override {
        CaptureFixture::SetUp();
        takeRecordFolder = directory.file("state/sonocap");
    }

    std::vector<std::string> Records() const {
        std::vector<std::string> names;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator(takeRecordFolder, ignored)) {
            names.push_back(entry.path().string());
        }
        return names;
    }

    // What a take looks like after the program was killed: whole buffers stored and the
    // header behind them, three bytes of a torn write, and its record.
    void Interrupt(const std::string& path) {
        ASSERT_EQ(StartInto("take"), kRecordingStarted);
        for (int32_t i = 0; i < kBuffersPerSync; ++i) {
            Capture(NumberedFrames(kFramesPerBuffer, i * kFramesPerBuffer));
        }
        Capture(NumberedFrames(100, kBuffersPerSync * kFramesPerBuffer));
        device.Stop();  // a pause: the 100 frames are stored, and a kill finds them so
        Pump();
        const std::vector<std::string> records = Records();
        ASSERT_EQ(records.size(), 1u);
        std::vector<uint8_t> take = test::ReadFileBytes(path);
        const std::vector<uint8_t> record = test::ReadFileBytes(records[0]);
        StopRecording();
        take.insert(take.end(), {1, 2, 3});
        WriteBytes(path, take);  // the same inode
        WriteBytes(records[0], record);
        const struct timespec times[2] = {{0, UTIME_OMIT},
                                          {kOldTimeNs / 1000000000, kOldTimeNs % 1000000000}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        log.lines.clear();
    }
};

TEST_P(InterruptedTake, IsFinishedAtTheNextStartOrLeftAloneWithAReason) {
    const InterruptedCase c = GetParam();
    UseFormat(c.compressed);
    const std::string path = PathOf("take");
    Interrupt(path);
    const std::vector<uint8_t> before = test::ReadFileBytes(path);
    int holder = -1;
    switch (c.spoil) {
        case Spoil::None:
            break;
        case Spoil::RecordDamaged:
            WriteBytes(Records()[0], {'x'});
            break;
        case Spoil::FileGone:
            std::filesystem::remove(path);
            break;
        case Spoil::FileReplaced:
            // Written beside it and renamed over: another inode.
            WriteBytes(path + ".copy", before);
            std::filesystem::rename(path + ".copy", path);
            break;
        case Spoil::FileShorter:
            std::filesystem::resize_file(path, 1000);
            break;
        case Spoil::FileLocked:
            holder = open(path.c_str(), O_RDWR);
            ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
            break;
        case Spoil::NoLocks:
            files.noLocks = true;
            break;
    }
    const std::vector<uint8_t> spoiled = test::ReadFileBytes(path);

    const std::vector<FinishedTake> told = FinishInterruptedTakes();
    // Only a take that another program still records keeps its record.
    for (const FinishedTake& take : told) EXPECT_EQ(take.stillRecorded, c.recordKept);
    ASSERT_EQ(log.lines.size(), 1u);
    EXPECT_NE(log.lines[0].find(c.told), std::string::npos) << log.lines[0];
    EXPECT_EQ(Records().size(), c.recordKept ? 1u : 0u);
    if (holder >= 0) close(holder);
    if (!c.finished) {
        EXPECT_EQ(test::ReadFileBytes(path), spoiled);
        return;
    }
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].plain, "The take take was interrupted. It is finished now and holds 0:03.0.");
    const test::ReadBack back = test::ReadBackRecording(c.compressed, path);
    ASSERT_TRUE(back.ok) << back.error;
    const int32_t frames = kBuffersPerSync * kFramesPerBuffer + (c.compressed ? 96 : 100);
    EXPECT_EQ(back.samples, NumberedFrames(frames));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec * int64_t{1000000000} + st.st_mtim.tv_nsec, kOldTimeNs);
    // A second start has nothing more to do.
    log.lines.clear();
    EXPECT_TRUE(FinishInterruptedTakes().empty());
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(st.st_size, static_cast<off_t>(test::ReadFileBytes(path).size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InterruptedTake,
    ::testing::Values(
        InterruptedCase{"Wave", false, Spoil::None,
                        "the take was interrupted at 0:00:03.0 (the program ended without "
                        "stopping it); it has been finished and holds 0:00:03.0",
                        true, false},
        InterruptedCase{"Compaxa", true, Spoil::None, "it has been finished and holds 0:00:03.0",
                        true, false},
        InterruptedCase{"RecordDamaged", false, Spoil::RecordDamaged,
                        "the record of an interrupted take is damaged: removed, no file was "
                        "touched",
                        false, false},
        InterruptedCase{"FileGone", false, Spoil::FileGone,
                        "cannot be finished: No such file or directory", false, false},
        InterruptedCase{"FileReplaced", true, Spoil::FileReplaced,
                        "another file now has the name of a take that was interrupted: left "
                        "untouched",
                        false, false},
        InterruptedCase{"FileShorter", false, Spoil::FileShorter,
                        "is shorter (1000 bytes) than it was when last recorded", false, false},
        InterruptedCase{"FileLockedByARunningCopy", true, Spoil::FileLocked,
                        "still locked by a running program", false, true},
        InterruptedCase{"FileSystemWithoutLocks", false, Spoil::NoLocks,
                        "on a file system without locks (Operation not supported), so it may "
                        "still be recorded: left untouched",
                        false, false}),
    [](const ::testing::TestParamInfo<InterruptedCase>& info) { return info.param.name; });

using TakeRecordKeeping = CaptureFixture;

TEST_F(TakeRecordKeeping, ATakeThatStopsLeavesNoRecord) {
    takeRecordFolder = directory.file("state/sonocap");
    ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
    EXPECT_EQ(std::filesystem::exists(takeRecordFolder), true);
    EXPECT_FALSE(std::filesystem::is_empty(takeRecordFolder));
    StopRecording();
    EXPECT_TRUE(std::filesystem::is_empty(takeRecordFolder));
}

TEST_F(TakeRecordKeeping, AStateFolderThatCannotBeWrittenIsToldOnceAndTheTakeGoesOn) {
    takeRecordFolder = directory.file("state/sonocap");
    files.refuseReplace = true;
    for (int take = 0; take < 2; ++take) {
        ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
        Capture(NumberedFrames(kFramesPerBuffer));
        StopRecording();
        ASSERT_TRUE(test::ReadWaveRecording(PathOf("take.wav")).ok);
    }
    int told = 0;
    for (const std::string& line : log.lines) {
        told += line.find("no record of the take can be kept here (Permission denied)") !=
                std::string::npos;
    }
    EXPECT_EQ(told, 1);
}

TEST_F(TakeRecordKeeping, AFileSystemWithoutLocksRecordsUnlockedAndSaysSoOnce) {
    files.noLocks = true;
    for (int take = 0; take < 2; ++take) {
        ASSERT_EQ(StartInto("take.wav"), kRecordingStarted);
        StopRecording();
    }
    ASSERT_EQ(log.lines.size(), 5u);
    EXPECT_EQ(log.lines[0], "sonocap: " + PathOf("take.wav") +
                                ": the file system cannot lock files, so the file is recorded "
                                "without a lock (another program could write it at the same "
                                "time): Operation not supported");
}

}  // namespace
}  // namespace sonocap

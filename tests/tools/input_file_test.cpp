#include "tools/input_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/lined_up.h"

namespace sonocap {
namespace {

// A file of `bytes` bytes in a private temporary folder.
class TemporaryFile {
  public:
    explicit TemporaryFile(size_t bytes) {
        char name[] = "/tmp/input-file-test-XXXXXX";
        const int fd = mkstemp(name);
        path_ = name;
        const std::string data(bytes, 'x');
        EXPECT_EQ(write(fd, data.data(), data.size()), static_cast<ssize_t>(bytes));
        close(fd);
    }
    ~TemporaryFile() { unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A file larger than the window is read through it to its last byte.
TEST(InputFile, IsReadThroughAWindowSmallerThanIt) {
    TemporaryFile file(100000);
    InputFile in;
    ASSERT_FALSE(in.Open(file.path()));
    ByteWindow window(in, 4096);
    EXPECT_EQ(window.Reach(99990, 20), 10u);
    EXPECT_EQ(*window.At(99999), 'x');
    EXPECT_EQ(window.Length(), 100000u);
    EXPECT_FALSE(window.Error());
}

// Moving forward by steps of every size, over kept bytes and past them, the window shows each
// byte where the file has it, in step with its offset (which keeps the kernel's copies fast).
TEST(InputFile, WindowBytesStayTrueAndInStepWithTheirOffsets) {
    char name[] = "/tmp/input-file-test-XXXXXX";
    const int fd = mkstemp(name);
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i % 251);
    ASSERT_EQ(write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    close(fd);
    InputFile in;
    ASSERT_FALSE(in.Open(name));
    ByteWindow window(in, 4096);
    uint64_t at = 0;
    for (const uint64_t step : {0, 1, 7, 63, 64, 1000, 4095, 3, 9000, 5000, 100000, 17}) {
        at += step;
        ASSERT_EQ(window.Reach(at, 1000), 1000u) << "at " << at;
        for (const uint64_t o : {at, at + 1, at + 999}) {
            EXPECT_EQ(*window.At(o), static_cast<uint8_t>(o % 251)) << "offset " << o;
            EXPECT_TRUE(InStep(window.At(o), o)) << "offset " << o;
        }
    }
    unlink(name);
}

// Someone else cuts or extends the file between its opening and its reading.
TEST(InputFile, AFileThatChangesSizeWhileReadIsAnError) {
    for (const off_t newSize : {off_t{5000}, off_t{200000}}) {
        TemporaryFile file(100000);
        InputFile in;
        ASSERT_FALSE(in.Open(file.path()));
        ASSERT_EQ(truncate(file.path().c_str(), newSize), 0);
        ByteWindow window(in, 4096);
        window.Reach(99000, 2000);
        ASSERT_TRUE(window.Error()) << newSize;
        EXPECT_EQ(*window.Error(), kInputChanged);
    }
}

TEST(InputFile, AStreamedFileCutShortIsAnError) {
    TemporaryFile file(100000);
    InputFile in;
    ASSERT_FALSE(in.Open(file.path()));
    uint8_t buffer[60000];
    size_t got = 0;
    ASSERT_FALSE(in.Read(buffer, sizeof buffer, got));
    ASSERT_EQ(truncate(file.path().c_str(), 70000), 0);
    const Outcome failure = in.Read(buffer, sizeof buffer, got);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->error, kInputChanged);
    EXPECT_EQ(failure->subject, file.path());
}

// The workers of encode read their buffers where they lie; the reader then moves past them.
TEST(InputFile, ReadsAtAnOffsetAndSkipsOnlyWhatTheFileHolds) {
    TemporaryFile file(100000);
    InputFile in;
    ASSERT_FALSE(in.Open(file.path()));
    FILE* f = std::fopen(file.path().c_str(), "r+");
    ASSERT_TRUE(f != nullptr);
    std::fseek(f, 50000, SEEK_SET);
    std::fputs("abc", f);
    std::fclose(f);
    uint8_t bytes[3] = {};
    ASSERT_FALSE(in.ReadAt(50000, bytes, 3));
    EXPECT_EQ(std::string(bytes, bytes + 3), "abc");
    EXPECT_FALSE(in.Skip(60000));
    const Outcome pastTheEnd = in.Skip(50000);
    ASSERT_TRUE(pastTheEnd);
    EXPECT_EQ(pastTheEnd->error, kInputChanged);
    ASSERT_EQ(truncate(file.path().c_str(), 40000), 0);
    const Outcome cut = in.ReadAt(50000, bytes, 3);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->error, kInputChanged);
}

TEST(InputFile, ADirectoryIsRefused) {
    InputFile in;
    const Outcome failure = in.Open("/tmp");
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->error, "Is a directory");
    EXPECT_EQ(failure->status, kExitBadInput);
}

}  // namespace
}  // namespace sonocap

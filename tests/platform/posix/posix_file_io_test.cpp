#include "platform/posix/posix_file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/platform/temp_directory.h"

namespace sonocap::platform {
namespace {

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(PosixFileIo, OpeningAMissingFileFails) {
    testing::TempDirectory dir;
    PosixFileIo files;
    EXPECT_EQ(files.OpenForReading(dir.file("missing")), kNoFile);
}

TEST(PosixFileIo, ReadsAWholeFileAndReportsItsLength) {
    testing::TempDirectory dir;
    WriteFile(dir.file("a"), std::string("ab\0\ncd", 6));
    PosixFileIo files;
    const FileHandle file = files.OpenForReading(dir.file("a"));
    ASSERT_NE(file, kNoFile);
    EXPECT_EQ(files.Length(file), 6);
    std::vector<char> data(10, 'x');
    EXPECT_EQ(files.Read(file, data.data(), data.size()), 6u);
    EXPECT_EQ(std::string(data.data(), 6), std::string("ab\0\ncd", 6));
    EXPECT_TRUE(files.Close(file));
}

TEST(PosixFileIo, ADirectoryHasNoLength) {
    testing::TempDirectory dir;
    PosixFileIo files;
    const FileHandle file = files.OpenForReading(dir.path().string());
    ASSERT_NE(file, kNoFile);
    EXPECT_EQ(files.Length(file), -1);
    files.Close(file);
}

TEST(PosixFileIo, OpeningAFifoDoesNotWaitForAWriter) {
    testing::TempDirectory dir;
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    PosixFileIo files;
    const FileHandle file = files.OpenForReading(dir.file("fifo"));
    ASSERT_NE(file, kNoFile);
    EXPECT_EQ(files.Length(file), -1);
    files.Close(file);
}

TEST(PosixFileIo, CreatingTruncatesAnExistingFile) {
    testing::TempDirectory dir;
    WriteFile(dir.file("a"), "a much longer old content");
    PosixFileIo files;
    const FileHandle file = files.CreateForWriting(dir.file("a"));
    ASSERT_NE(file, kNoFile);
    EXPECT_EQ(files.Write(file, "new", 3), 3u);
    EXPECT_TRUE(files.Close(file));
    EXPECT_EQ(ReadFile(dir.file("a")), "new");
}

TEST(PosixFileIo, CreatedFileIsNotReadOnly) {
    testing::TempDirectory dir;
    PosixFileIo files;
    const FileHandle file = files.CreateForWriting(dir.file("a"));
    ASSERT_NE(file, kNoFile);
    files.Close(file);
    struct stat status {};
    ASSERT_EQ(stat(dir.file("a").c_str(), &status), 0);
    EXPECT_NE(status.st_mode & S_IWUSR, 0u);
}

TEST(PosixFileIo, CreatingInAMissingDirectoryFails) {
    testing::TempDirectory dir;
    PosixFileIo files;
    EXPECT_EQ(files.CreateForWriting(dir.file("no/such/file")), kNoFile);
}

}  // namespace
}  // namespace sonocap::platform

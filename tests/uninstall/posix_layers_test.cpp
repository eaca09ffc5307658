#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "uninstall/posix_file_operations.h"
#include "uninstall/posix_program_starter.h"

namespace sonocap::uninstall {
namespace {

namespace fs = std::filesystem;

class PosixLayersTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sonocap-layers-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& content,
                      bool executable = false) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        if (executable) chmod(path.c_str(), 0755);
        return path;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    // Waits up to five seconds for a file that a started program writes.
    static bool AppearsSoon(const std::string& path) {
        for (int i = 0; i < 500; ++i) {
            if (fs::exists(path) && fs::file_size(path) > 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    std::string dir_;
    PosixFileOperations files;
    PosixProgramStarter starter;
};

TEST_F(PosixLayersTest, ReadsBytesInOrderThenNothing) {
    const int handle = files.OpenShared(Write("marker", "\x01\x02"));
    ASSERT_GE(handle, 0);
    EXPECT_EQ(files.ReadByte(handle), 1);
    EXPECT_EQ(files.ReadByte(handle), 2);
    EXPECT_EQ(files.ReadByte(handle), std::nullopt);
    files.Close(handle);
}

TEST_F(PosixLayersTest, EmptyFileGivesNoByte) {
    const int handle = files.OpenShared(Write("marker", ""));
    ASSERT_GE(handle, 0);
    EXPECT_EQ(files.ReadByte(handle), std::nullopt);
    files.Close(handle);
}

TEST_F(PosixLayersTest, FileOpenForWritingCanBeOpened) {
    const std::string path = dir_ + "/marker";
    std::ofstream writer(path, std::ios::binary);
    writer << '\x01' << std::flush;
    const int handle = files.OpenShared(path);
    ASSERT_GE(handle, 0);
    EXPECT_EQ(files.ReadByte(handle), 1);
    files.Close(handle);
}

TEST_F(PosixLayersTest, OnlyRegularFilesOpen) {
    const std::string fifo = dir_ + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string link = dir_ + "/link";
    ASSERT_EQ(symlink(Write("target", "\x01").c_str(), link.c_str()), 0);
    EXPECT_EQ(files.OpenShared(dir_ + "/absent"), -1);
    EXPECT_EQ(files.OpenShared(dir_), -1);
    EXPECT_EQ(files.OpenShared(fifo), -1);
    EXPECT_EQ(files.OpenShared(link), -1);
}

TEST_F(PosixLayersTest, DeleteFileRemovesTheLinkNotItsTarget) {
    const std::string target = Write("target", "x");
    const std::string link = dir_ + "/link";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_TRUE(files.DeleteFile(link));
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_TRUE(fs::exists(target));
}

TEST_F(PosixLayersTest, RemoveDirectoryLeavesNonEmptyDirectory) {
    fs::create_directories(dir_ + "/full");
    Write("full/take.wav", "RIFF");
    fs::create_directories(dir_ + "/empty");
    EXPECT_FALSE(files.RemoveDirectory(dir_ + "/full"));
    EXPECT_TRUE(fs::exists(dir_ + "/full/take.wav"));
    EXPECT_TRUE(files.RemoveDirectory(dir_ + "/empty"));
    EXPECT_FALSE(fs::exists(dir_ + "/empty"));
}

TEST_F(PosixLayersTest, InspectDoesNotFollowLinks) {
    const std::string link = dir_ + "/link";
    ASSERT_EQ(symlink(dir_.c_str(), link.c_str()), 0);
    const std::string fifo = dir_ + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(files.Inspect(dir_), PathKind::Directory);
    EXPECT_EQ(files.Inspect(Write("file", "x")), PathKind::RegularFile);
    EXPECT_EQ(files.Inspect(link), PathKind::SymbolicLink);
    EXPECT_EQ(files.Inspect(fifo), PathKind::Other);
    EXPECT_EQ(files.Inspect(dir_ + "/absent"), PathKind::Missing);
}

TEST_F(PosixLayersTest, StartPassesTheArgumentWithoutAShell) {
    // A shell would split this name and run the part after the semicolon.
    fs::create_directories(dir_ + "/my dir");
    const std::string program = Write(
        "my dir/set up;touch x", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > \"$0.out\"\n", true);
    EXPECT_GE(starter.Start(program, "2"), kStartSucceeded);
    ASSERT_TRUE(AppearsSoon(program + ".out"));
    EXPECT_EQ(Read(program + ".out"), "1|2");
    EXPECT_FALSE(fs::exists(dir_ + "/my dir/x"));
}

TEST_F(PosixLayersTest, StartDoesNotWait) {
    const std::string program = Write("slow", "#!/bin/sh\nsleep 3\n", true);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_GE(starter.Start(program, "2"), kStartSucceeded);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    EXPECT_FALSE(starter.Ended());
}

TEST_F(PosixLayersTest, FinishedProgramLeavesNoZombie) {
    const std::string program = Write("quick", "#!/bin/sh\necho done > \"$0.out\"\n", true);
    ASSERT_GE(starter.Start(program, "2"), kStartSucceeded);
    ASSERT_TRUE(AppearsSoon(program + ".out"));
    // The system reaps it: once it has ended there is no child left to wait for.
    pid_t reaped = 0;
    for (int i = 0; i < 500; ++i) {
        reaped = waitpid(-1, nullptr, WNOHANG);
        if (reaped != 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(reaped, -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_TRUE(starter.Ended());
}

TEST_F(PosixLayersTest, StartedProgramDoesNotInheritTheIgnoredChildSignal) {
    const std::string program =
        Write("signals", "#!/bin/sh\ngrep SigIgn /proc/$$/status | cut -f2 > \"$0.out\"\n", true);
    ASSERT_GE(starter.Start(program, "2"), kStartSucceeded);
    ASSERT_TRUE(AppearsSoon(program + ".out"));
    const unsigned long long ignored = std::stoull(Read(program + ".out"), nullptr, 16);
    EXPECT_EQ(ignored & (1ull << (SIGCHLD - 1)), 0u);
}

struct FailureCase {
    const char* name;
    const char* program;  // relative to the test directory
    std::uint32_t expected;
};

std::ostream& operator<<(std::ostream& out, const FailureCase& c) {
    return out << c.name;
}

class StartFailure : public PosixLayersTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(StartFailure, GivesAResultBelowThirtyTwo) {
    Write("plain", "not a program");
    Write("noformat", "\x01\x02garbage", true);
    EXPECT_EQ(starter.Start(dir_ + "/" + GetParam().program, "2"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartFailure,
    testing::Values(FailureCase{"Missing", "setup.exe", kStartFileNotFound},
                    FailureCase{"MissingDirectory", "gone/setup.exe", kStartFileNotFound},
                    FailureCase{"ThroughAFile", "plain/setup.exe", kStartPathNotFound},
                    FailureCase{"NotExecutable", "plain", kStartAccessDenied},
                    FailureCase{"Directory", "", kStartAccessDenied},
                    FailureCase{"UnknownFormat", "noformat", kStartBadFormat}));

}  // namespace
}  // namespace sonocap::uninstall

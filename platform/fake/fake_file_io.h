#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/fake/call_journal.h"
#include "platform/posix/posix_file_io.h"

namespace sonocap::platform {

// Real files with failures on demand: a directory that refuses new files, a file that
// cannot be opened, a disk that fills up after a number of bytes, a read cut short.
class FakeFileIo final : public FileIo {
  public:
    FileHandle OpenForReading(const std::string& path) override;
    bool Exists(const std::string& path) override { return real_.Exists(path); }
    FileHandle CreateForWriting(const std::string& path) override;
    int64_t Length(FileHandle file) override;
    std::size_t Read(FileHandle file, void* data, std::size_t bytes) override;
    std::size_t Write(FileHandle file, const void* data, std::size_t bytes) override;
    bool Truncate(FileHandle file, int64_t length) override;
    int64_t Seek(FileHandle file, int64_t offset) override;
    bool Close(FileHandle file) override;
    int LastError() const override { return lastError_ != 0 ? lastError_ : real_.LastError(); }

    bool refuseOpen = false;
    bool refuseCreate = false;  // as a folder without write permission (EACCES)
    // How long the created file may grow; the rest of a write is lost (ENOSPC). Rewriting
    // bytes it already has takes no room.
    std::optional<std::size_t> diskSpaceBytes;
    // The write with this number (1 = the first after a create) stores nothing (EIO).
    std::optional<int> failingWrite;
    // Bytes that one read delivers at most.
    std::optional<std::size_t> readLimitBytes;
    bool closeFails = false;

    std::vector<std::string> openedPaths;
    std::vector<std::string> createdPaths;
    int openFiles = 0;
    // When set, every create, write, truncate, seek and close is noted here ("file write 44").
    CallJournal* journal = nullptr;

  private:
    PosixFileIo real_;
    std::size_t offset_ = 0;
    int writes_ = 0;
    int lastError_ = 0;
};

}  // namespace sonocap::platform

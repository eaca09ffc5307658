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
    FileHandle CreateForWriting(const std::string& path) override;
    int64_t Length(FileHandle file) override;
    std::size_t Read(FileHandle file, void* data, std::size_t bytes) override;
    std::size_t Write(FileHandle file, const void* data, std::size_t bytes) override;
    int64_t Seek(FileHandle file, int64_t offset) override;
    bool Close(FileHandle file) override;

    bool refuseOpen = false;
    bool refuseCreate = false;
    // Bytes that fit on the disk per created file; the rest of a write is lost.
    std::optional<std::size_t> diskSpaceBytes;
    // Bytes that one read delivers at most.
    std::optional<std::size_t> readLimitBytes;
    bool closeFails = false;

    std::vector<std::string> openedPaths;
    std::vector<std::string> createdPaths;
    int openFiles = 0;
    // When set, every create, write, seek and close is noted here ("file write 44").
    CallJournal* journal = nullptr;

  private:
    PosixFileIo real_;
    std::size_t writtenBytes_ = 0;
};

}  // namespace sonocap::platform

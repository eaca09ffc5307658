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
    FileHandle OpenForUpdate(const std::string& path) override;
    int LockFailure() const override { return noLocks ? EOPNOTSUPP : real_.LockFailure(); }
    int64_t Length(FileHandle file) override;
    std::size_t Read(FileHandle file, void* data, std::size_t bytes) override;
    std::size_t Write(FileHandle file, const void* data, std::size_t bytes) override;
    std::size_t WriteAt(FileHandle file, int64_t offset, const void* data,
                        std::size_t bytes) override;
    std::size_t ReadAt(FileHandle file, int64_t offset, void* data, std::size_t bytes) override {
        return real_.ReadAt(file, offset, data, bytes);
    }
    void StartWriteBack(FileHandle file, int64_t offset, int64_t bytes) override;
    void RequestDataSync(FileHandle file) override;
    bool SyncData(FileHandle file) override;
    void RequestDirectorySync(const std::string& path) override;
    bool Status(FileHandle file, FileStatus& status) override { return real_.Status(file, status); }
    bool SetModifiedTime(FileHandle file, int64_t modifiedNs) override {
        return real_.SetModifiedTime(file, modifiedNs);
    }
    bool Truncate(FileHandle file, int64_t length) override;
    int64_t Seek(FileHandle file, int64_t offset) override;
    bool Close(FileHandle file) override;
    int LastError() const override { return lastError_ != 0 ? lastError_ : real_.LastError(); }
    bool ReplaceContents(const std::string& path, const std::string& contents) override;
    bool ReadContents(const std::string& path, std::string& contents, std::size_t limit) override {
        return real_.ReadContents(path, contents, limit);
    }
    bool Remove(const std::string& path) override { return real_.Remove(path); }
    bool MakeDirectories(const std::string& path) override { return real_.MakeDirectories(path); }
    std::vector<std::string> ListDirectory(const std::string& path) override {
        return real_.ListDirectory(path);
    }

    bool refuseOpen = false;    // reading and updating alike (EACCES)
    bool refuseCreate = false;  // as a folder without write permission (EACCES)
    // How long the created file may grow; the rest of a write is lost (ENOSPC). Rewriting
    // bytes it already has takes no room.
    std::optional<std::size_t> diskSpaceBytes;
    // The write with this number (1 = the first after a create) stores nothing (EIO).
    std::optional<int> failingWrite;
    // Bytes that one read delivers at most.
    std::optional<std::size_t> readLimitBytes;
    bool closeFails = false;
    // As a file system without locks (EOPNOTSUPP): files are created and written unlocked.
    bool noLocks = false;
    // As a state folder that cannot be written (EACCES).
    bool refuseReplace = false;

    std::vector<std::string> openedPaths;
    std::vector<std::string> createdPaths;
    int openFiles = 0;
    // When set, every create, write, truncate, seek, sync and close is noted here
    // ("file write 44", "file write at 0 44", "file sync").
    CallJournal* journal = nullptr;

  private:
    PosixFileIo real_;
    std::size_t offset_ = 0;
    int writes_ = 0;
    int lastError_ = 0;
};

}  // namespace sonocap::platform

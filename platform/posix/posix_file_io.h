#pragma once

#include <memory>

#include "platform/file_io.h"

namespace sonocap::platform {

class BackgroundSync;

class PosixFileIo final : public FileIo {
  public:
    PosixFileIo();
    ~PosixFileIo() override;

    FileHandle OpenForReading(const std::string& path) override;
    bool Exists(const std::string& path) override;
    FileHandle CreateForWriting(const std::string& path) override;
    FileHandle OpenForUpdate(const std::string& path) override;
    int LockFailure() const override { return lockFailure_; }
    int64_t Length(FileHandle file) override;
    std::size_t Read(FileHandle file, void* data, std::size_t bytes) override;
    std::size_t Write(FileHandle file, const void* data, std::size_t bytes) override;
    std::size_t WriteAt(FileHandle file, int64_t offset, const void* data,
                        std::size_t bytes) override;
    std::size_t ReadAt(FileHandle file, int64_t offset, void* data, std::size_t bytes) override;
    void StartWriteBack(FileHandle file, int64_t offset, int64_t bytes) override;
    void RequestDataSync(FileHandle file) override;
    bool SyncData(FileHandle file) override;
    bool SyncDirectory(const std::string& path) override;
    bool Status(FileHandle file, FileStatus& status) override;
    bool SetModifiedTime(FileHandle file, int64_t modifiedNs) override;
    bool Truncate(FileHandle file, int64_t length) override;
    int64_t Seek(FileHandle file, int64_t offset) override;
    bool Close(FileHandle file) override;
    int LastError() const override { return lastError_; }
    bool ReplaceContents(const std::string& path, const std::string& contents) override;
    bool ReadContents(const std::string& path, std::string& contents, std::size_t limit) override;
    bool Remove(const std::string& path) override;
    bool MakeDirectories(const std::string& path) override;
    std::vector<std::string> ListDirectory(const std::string& path) override;

  private:
    // Locks `fd` for this writer alone; false (fd closed) when another holds it.
    bool LockOrNote(int fd);

    int lastError_ = 0;
    int lockFailure_ = 0;
    std::unique_ptr<BackgroundSync> background_;
};

}  // namespace sonocap::platform

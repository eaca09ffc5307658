#pragma once

#include "platform/file_io.h"

namespace sonocap::platform {

class PosixFileIo final : public FileIo {
  public:
    FileHandle OpenForReading(const std::string& path) override;
    bool Exists(const std::string& path) override;
    FileHandle CreateForWriting(const std::string& path) override;
    int64_t Length(FileHandle file) override;
    std::size_t Read(FileHandle file, void* data, std::size_t bytes) override;
    std::size_t Write(FileHandle file, const void* data, std::size_t bytes) override;
    bool Truncate(FileHandle file, int64_t length) override;
    int64_t Seek(FileHandle file, int64_t offset) override;
    bool Close(FileHandle file) override;
    int LastError() const override { return lastError_; }

  private:
    int lastError_ = 0;
};

}  // namespace sonocap::platform

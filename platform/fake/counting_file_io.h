#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/file_io.h"

namespace sonocap::platform {

// Files that live in memory, keep only their first kKeptBytes bytes and count the rest, so a
// test can write gigabytes without a disk. Lengths and offsets are those of the whole file.
class CountingFileIo final : public FileIo {
  public:
    static constexpr std::size_t kKeptBytes = 64;

    FileHandle OpenForReading(const std::string& path) override;
    bool Exists(const std::string& path) override { return files_.count(path) != 0; }
    FileHandle CreateForWriting(const std::string& path) override;
    FileHandle OpenForUpdate(const std::string& path) override { return OpenForReading(path); }
    int LockFailure() const override { return 0; }
    int64_t Length(FileHandle file) override;
    std::size_t Read(FileHandle file, void* data, std::size_t bytes) override;
    std::size_t Write(FileHandle file, const void* data, std::size_t bytes) override;
    std::size_t WriteAt(FileHandle file, int64_t offset, const void* data,
                        std::size_t bytes) override;
    std::size_t ReadAt(FileHandle, int64_t, void*, std::size_t) override { return 0; }
    void StartWriteBack(FileHandle, int64_t, int64_t) override {}
    void RequestDataSync(FileHandle) override {}
    bool SyncData(FileHandle) override { return true; }
    bool SyncDirectory(const std::string&) override { return true; }
    bool Status(FileHandle, FileStatus&) override { return false; }
    bool SetModifiedTime(FileHandle, int64_t) override { return false; }
    bool Truncate(FileHandle file, int64_t length) override;
    int64_t Seek(FileHandle file, int64_t offset) override;
    bool Close(FileHandle file) override;
    int LastError() const override { return 0; }
    // Nothing is kept of the program's own small files.
    bool ReplaceContents(const std::string&, const std::string&) override { return true; }
    bool ReadContents(const std::string&, std::string&, std::size_t) override { return false; }
    bool Remove(const std::string&) override { return false; }
    bool MakeDirectories(const std::string&) override { return true; }
    std::vector<std::string> ListDirectory(const std::string&) override { return {}; }

    // The kept head and the whole length of a file that was written, by path.
    const std::vector<uint8_t>& HeadOf(const std::string& path) const;
    int64_t LengthOf(const std::string& path) const;
    int openFiles = 0;

  private:
    struct Contents {
        std::vector<uint8_t> head;
        int64_t length = 0;
    };
    struct Open {
        std::string path;
        int64_t offset = 0;
    };
    std::map<std::string, Contents> files_;
    std::map<FileHandle, Open> open_;
    FileHandle next_ = 100;
};

}  // namespace sonocap::platform

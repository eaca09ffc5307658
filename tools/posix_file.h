#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "codec/unfinished_recording.h"

// The small POSIX helpers that the commands share.

namespace sonocap {

// A descriptor closed when it goes.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { Reset(); }
    void Reset(int fd = -1) {
        if (fd_ >= 0) close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// The directory that holds `path`: "." for a bare name, "/" for a name in the root.
inline std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Flushes the directory entry of `path` to the disk, as far as the file system allows.
inline void SyncDirectoryOf(const std::string& path) {
    const FileDescriptor fd(open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) fsync(fd.get());
}

// write(2) of all `bytes`, for pipes as for files; false with errno set.
inline bool WriteAll(int fd, const void* data, size_t bytes) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (bytes > 0) {
        const ssize_t n = write(fd, p, bytes);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        bytes -= static_cast<size_t>(n);
    }
    return true;
}

// pwrite(2) of all `bytes`; false with errno set.
inline bool WriteAllAt(int fd, const void* data, size_t bytes, uint64_t offset) {
    const auto* p = static_cast<const uint8_t*>(data);
    while (bytes > 0) {
        const ssize_t n = pwrite(fd, p, bytes, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        bytes -= static_cast<size_t>(n);
        offset += static_cast<uint64_t>(n);
    }
    return true;
}

// pread(2) of up to `bytes`: how many were read, fewer at the end of the file or on an error.
inline size_t ReadAt(int fd, void* data, size_t bytes, uint64_t offset) {
    auto* p = static_cast<uint8_t*>(data);
    size_t got = 0;
    while (got < bytes) {
        const ssize_t n = pread(fd, p + got, bytes - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    return got;
}

// An open file as the finisher of unfinished recordings reads and writes it.
class DescriptorFile : public PositionalFile {
  public:
    explicit DescriptorFile(int fd) : fd_(fd) {}
    int64_t Length() override {
        struct stat st {};
        return fstat(fd_, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    }
    size_t ReadAt(uint64_t offset, void* data, size_t bytes) override {
        return sonocap::ReadAt(fd_, data, bytes, offset);
    }
    bool WriteAt(uint64_t offset, const void* data, size_t bytes) override {
        return WriteAllAt(fd_, data, bytes, offset);
    }
    bool Truncate(uint64_t length) override {
        return ftruncate(fd_, static_cast<off_t>(length)) == 0;
    }

  private:
    int fd_;
};

}  // namespace sonocap

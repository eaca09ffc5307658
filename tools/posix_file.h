#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

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

}  // namespace sonocap

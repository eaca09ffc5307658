#include "platform/posix/posix_file_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace sonocap::platform {

FileHandle PosixFileIo::OpenForReading(const std::string& path) {
    // Non-blocking so that a FIFO in the file's place cannot hang the caller; it has no
    // effect on regular files.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) lastError_ = errno;
    return fd < 0 ? kNoFile : fd;
}

bool PosixFileIo::Exists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

FileHandle PosixFileIo::CreateForWriting(const std::string& path) {
    // Locked before it is emptied, so that a file another copy is writing keeps its bytes.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        lastError_ = errno;
        return kNoFile;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ftruncate(fd, 0) != 0) {
        lastError_ = errno == EAGAIN ? kFileLockedError : errno;
        close(fd);
        return kNoFile;
    }
    return fd;
}

int64_t PosixFileIo::Length(FileHandle file) {
    struct stat status {};
    if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    return static_cast<int64_t>(status.st_size);
}

std::size_t PosixFileIo::Read(FileHandle file, void* data, std::size_t bytes) {
    auto* next = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = read(file, next + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t PosixFileIo::Write(FileHandle file, const void* data, std::size_t bytes) {
    const auto* next = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = write(file, next + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            lastError_ = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

bool PosixFileIo::Truncate(FileHandle file, int64_t length) {
    if (ftruncate(file, static_cast<off_t>(length)) == 0) return true;
    lastError_ = errno;
    return false;
}

int64_t PosixFileIo::Seek(FileHandle file, int64_t offset) {
    const off_t result = lseek(file, static_cast<off_t>(offset), SEEK_SET);
    if (result < 0) lastError_ = errno;
    return result < 0 ? -1 : static_cast<int64_t>(result);
}

bool PosixFileIo::Close(FileHandle file) {
    if (close(file) == 0) return true;
    lastError_ = errno;
    return false;
}

}  // namespace sonocap::platform

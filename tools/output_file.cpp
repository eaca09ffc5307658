#include "tools/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sonocap {

namespace {

// Small enough to stay in cache and to cost few page faults at start; large enough that the
// system calls do not matter.
constexpr size_t kBufferBytes = 64 << 10;

bool WriteAll(int fd, const uint8_t* p, size_t bytes) {
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

}  // namespace

OutputFile::~OutputFile() {
    if (fd_ >= 0) {
        close(fd_);
        unlink(tempPath_.c_str());
    }
}

bool OutputFile::Fail() {
    if (error_.empty()) error_ = std::strerror(errno);
    return false;
}

bool OutputFile::Create(const std::string& path) {
    path_ = path;
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".partial-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) return Fail();
    tempPath_ = name.data();
    // mkostemp creates the file private; give it the permissions a new file would get.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
    buffer_.reserve(kBufferBytes);
    return true;
}

bool OutputFile::Write(const void* data, size_t bytes) {
    if (fd_ < 0 || !error_.empty()) return false;
    const uint8_t* p = static_cast<const uint8_t*>(data);
    if (buffer_.size() + bytes > kBufferBytes) {
        if (!Flush()) return false;
        if (bytes >= kBufferBytes) return WriteAll(fd_, p, bytes) || Fail();
    }
    buffer_.insert(buffer_.end(), p, p + bytes);
    return true;
}

bool OutputFile::Flush() {
    if (!WriteAll(fd_, buffer_.data(), buffer_.size())) return Fail();
    buffer_.clear();
    return true;
}

bool OutputFile::WriteAt(uint64_t offset, const void* data, size_t bytes) {
    if (fd_ < 0 || !error_.empty() || !Flush()) return false;
    const ssize_t n = pwrite(fd_, data, bytes, static_cast<off_t>(offset));
    if (n != static_cast<ssize_t>(bytes)) return n < 0 ? Fail() : (error_ = "short write", false);
    return true;
}

bool OutputFile::Commit() {
    if (fd_ < 0 || !error_.empty() || !Flush()) return false;
    if (close(fd_) != 0) {
        fd_ = -1;
        Fail();
        unlink(tempPath_.c_str());
        return false;
    }
    fd_ = -1;
    if (rename(tempPath_.c_str(), path_.c_str()) != 0) {
        Fail();
        unlink(tempPath_.c_str());
        return false;
    }
    return true;
}

}  // namespace sonocap

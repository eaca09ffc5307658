#include "tools/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tools/posix_file.h"
#include "tools/prefault.h"

namespace sonocap {

InputFile::~InputFile() {
    if (ownsFd_ && fd_ >= 0) close(fd_);
}

Outcome InputFile::Open(const std::string& path) {
    path_ = path;
    if (path == "-") {
        fd_ = STDIN_FILENO;
    } else {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) return BadInput(path_, std::strerror(errno));
        ownsFd_ = true;
    }
    struct stat st {};
    if (fstat(fd_, &st) != 0) return BadInput(path_, std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return BadInput(path_, std::strerror(EISDIR));
    device_ = st.st_dev;
    inode_ = st.st_ino;
    regular_ = S_ISREG(st.st_mode);
    if (regular_) {
        fileSizeAtOpen_ = st.st_size;
        // Standard input redirected from a file may start anywhere in it.
        const off_t at = lseek(fd_, 0, SEEK_CUR);
        startAtOpen_ = at > 0 && at <= st.st_size ? static_cast<uint64_t>(at) : 0;
        lengthAtOpen_ = static_cast<uint64_t>(st.st_size) - startAtOpen_;
    }
    return std::nullopt;
}

Outcome InputFile::Read(uint8_t* into, size_t bytes, size_t& got) {
    got = 0;
    while (got < bytes) {
        const ssize_t n = read(fd_, into + got, bytes - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return BadInput(path_, std::strerror(errno));
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    consumed_ += got;
    if (regular_ && (consumed_ > lengthAtOpen_ || (got < bytes && consumed_ < lengthAtOpen_))) {
        return BadInput(path_, kInputChanged);
    }
    return std::nullopt;
}

Outcome InputFile::ReadAt(uint64_t offset, uint8_t* into, size_t bytes) const {
    errno = 0;
    if (sonocap::ReadAt(fd_, into, bytes, startAtOpen_ + offset) == bytes) return std::nullopt;
    return BadInput(path_, errno != 0 ? std::strerror(errno) : kInputChanged);
}

Outcome InputFile::Skip(uint64_t bytes) {
    if (consumed_ + bytes > lengthAtOpen_) return BadInput(path_, kInputChanged);
    if (lseek(fd_, static_cast<off_t>(bytes), SEEK_CUR) < 0) {
        return BadInput(path_, std::strerror(errno));
    }
    consumed_ += bytes;
    return std::nullopt;
}

Outcome InputFile::CheckUnchanged() const {
    if (!regular_) return std::nullopt;
    struct stat st {};
    if (fstat(fd_, &st) != 0) return BadInput(path_, std::strerror(errno));
    if (st.st_size != fileSizeAtOpen_) return BadInput(path_, kInputChanged);
    return std::nullopt;
}

std::optional<std::string> InputFile::ReadSome(uint8_t* into, size_t bytes, size_t& got) {
    Outcome failure = Read(into, bytes, got);
    if (!failure && got < bytes) failure = CheckUnchanged();
    if (failure) return failure->error;
    return std::nullopt;
}

std::optional<uint64_t> InputFile::KnownLength() const {
    if (!regular_) return std::nullopt;
    return lengthAtOpen_;
}

void InputFile::PrepareBuffer(uint8_t* buffer, size_t bytes) {
    Prefault(buffer, bytes);
}

}  // namespace sonocap

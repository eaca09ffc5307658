#include "tools/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sonocap {

InputFile::~InputFile() {
    if (ownsFd_ && fd_ >= 0) close(fd_);
}

bool InputFile::Open(const std::string& path, std::string& error) {
    if (path == "-") {
        fd_ = STDIN_FILENO;
    } else {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            error = std::strerror(errno);
            return false;
        }
        ownsFd_ = true;
    }
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(st.st_mode)) {
        error = std::strerror(EISDIR);
        return false;
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    regular_ = S_ISREG(st.st_mode);
    if (regular_) {
        fileSizeAtOpen_ = st.st_size;
        // Standard input redirected from a file may start anywhere in it.
        const off_t at = lseek(fd_, 0, SEEK_CUR);
        lengthAtOpen_ = static_cast<uint64_t>(st.st_size) -
                        (at > 0 && at <= st.st_size ? static_cast<uint64_t>(at) : 0);
    }
    return true;
}

bool InputFile::Read(uint8_t* into, size_t bytes, size_t& got, std::string& error) {
    got = 0;
    while (got < bytes) {
        const ssize_t n = read(fd_, into + got, bytes - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    consumed_ += got;
    if (regular_ && (consumed_ > lengthAtOpen_ || (got < bytes && consumed_ < lengthAtOpen_))) {
        error = kInputChanged;
        return false;
    }
    return true;
}

bool InputFile::CheckUnchanged(std::string& error) const {
    if (!regular_) return true;
    struct stat st {};
    if (fstat(fd_, &st) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (st.st_size != fileSizeAtOpen_) {
        error = kInputChanged;
        return false;
    }
    return true;
}

std::optional<std::string> InputFile::ReadSome(uint8_t* into, size_t bytes, size_t& got) {
    std::string error;
    if (!Read(into, bytes, got, error)) return error;
    if (got < bytes && !CheckUnchanged(error)) return error;
    return std::nullopt;
}

std::optional<uint64_t> InputFile::KnownLength() const {
    if (!regular_) return std::nullopt;
    return lengthAtOpen_;
}

}  // namespace sonocap

#include "tools/input_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace sonocap {

namespace {

// Memory for a whole input, its pages in place at once: one call costs far less than a fault
// for every page as the bytes come in.
uint8_t* PopulatedMemory(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    return static_cast<uint8_t*>(p);
}

}  // namespace

void InputMemoryRelease::operator()(uint8_t* p) const {
    munmap(p, bytes);
}

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

bool InputFile::LoadUpTo(uint64_t bytes, std::string& error) {
    // One allocation with one byte to spare, which shows a file that grew.
    if (!data_) {
        const size_t capacity = static_cast<size_t>(lengthAtOpen_) + 1;
        data_ = std::unique_ptr<uint8_t, InputMemoryRelease>(PopulatedMemory(capacity),
                                                             InputMemoryRelease{capacity});
    }
    const uint64_t want = std::min(bytes, lengthAtOpen_);
    if (complete_ || (size_ >= want && want < lengthAtOpen_)) return true;
    size_t got = 0;
    if (!Read(data_.get() + size_, want - size_, got, error)) return false;
    size_ += got;
    if (size_ < lengthAtOpen_) return true;
    if (!Read(data_.get() + size_, 1, got, error)) return false;
    complete_ = true;
    return CheckUnchanged(error);
}

bool InputFile::Load(std::string& error) {
    if (regular_) return LoadUpTo(lengthAtOpen_, error);
    // A pipe grows its buffer as the bytes come.
    size_t capacity = size_t{1} << 20;
    data_ = std::unique_ptr<uint8_t, InputMemoryRelease>(PopulatedMemory(capacity),
                                                         InputMemoryRelease{capacity});
    size_ = 0;
    for (;;) {
        size_t got = 0;
        if (!Read(data_.get() + size_, capacity - size_, got, error)) return false;
        size_ += got;
        if (size_ < capacity) break;
        std::unique_ptr<uint8_t, InputMemoryRelease> larger(PopulatedMemory(2 * capacity),
                                                            InputMemoryRelease{2 * capacity});
        std::memcpy(larger.get(), data_.get(), size_);
        data_ = std::move(larger);
        capacity *= 2;
    }
    return CheckUnchanged(error);
}

}  // namespace sonocap

#include "tools/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sonocap {

MappedFile::~MappedFile() {
    if (mapping_ != nullptr) munmap(mapping_, size_);
}

bool MappedFile::Open(const std::string& path, std::string& error) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        error = std::strerror(errno);
        close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
        close(fd);
        return false;
    }
    size_ = static_cast<size_t>(st.st_size);
    if (size_ > 0) {
        // Populated at once: one pass over the page cache costs far less than a fault per page.
        void* p = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (p == MAP_FAILED) {
            error = std::strerror(errno);
            close(fd);
            size_ = 0;
            return false;
        }
        madvise(p, size_, MADV_SEQUENTIAL);
        mapping_ = p;
        data_ = static_cast<const uint8_t*>(p);
    }
    close(fd);
    return true;
}

}  // namespace sonocap

#include "uninstall/posix_file_operations.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "uninstall/ownership.h"

namespace sonocap::uninstall {

int PosixFileOperations::OpenShared(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::optional<unsigned char> PosixFileOperations::ReadByte(int handle) {
    unsigned char byte = 0;
    ssize_t got;
    do {
        got = ::read(handle, &byte, 1);
    } while (got < 0 && errno == EINTR);
    if (got != 1) return std::nullopt;
    return byte;
}

void PosixFileOperations::Close(int handle) {
    ::close(handle);
}

bool PosixFileOperations::DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

bool PosixFileOperations::RemoveDirectory(const std::string& path) {
    return ::rmdir(path.c_str()) == 0;
}

PathKind PosixFileOperations::Inspect(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return PathKind::Missing;
    if (S_ISLNK(info.st_mode)) return PathKind::SymbolicLink;
    if (S_ISDIR(info.st_mode)) return PathKind::Directory;
    if (S_ISREG(info.st_mode)) return PathKind::RegularFile;
    return PathKind::Other;
}

std::string PosixFileOperations::WhyNotTrusted(const std::string& path) {
    return uninstall::WhyNotTrusted(path, ::geteuid());
}

}  // namespace sonocap::uninstall

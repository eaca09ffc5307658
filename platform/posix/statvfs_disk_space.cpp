#include "platform/posix/statvfs_disk_space.h"

#include <sys/statvfs.h>

namespace sonocap::platform {

std::optional<uint64_t> StatvfsDiskSpace::FreeBytes(const std::string& directory) {
    struct statvfs info {};
    if (directory.empty() || statvfs(directory.c_str(), &info) != 0) return std::nullopt;
    return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
}

}  // namespace sonocap::platform

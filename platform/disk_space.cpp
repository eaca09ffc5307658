#include "platform/disk_space.h"

#include "platform/posix/statvfs_disk_space.h"

namespace sonocap::platform {

namespace {
DiskSpace* installedDiskSpace = nullptr;
}

DiskSpace& CurrentDiskSpace() {
    static StatvfsDiskSpace real;
    return installedDiskSpace != nullptr ? *installedDiskSpace : real;
}

void InstallDiskSpace(DiskSpace* space) {
    installedDiskSpace = space;
}

}  // namespace sonocap::platform

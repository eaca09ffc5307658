#include "platform/fake/fake_disk_space.h"

namespace sonocap::platform {

std::optional<uint64_t> FakeDiskSpace::FreeBytes(const std::string& directory) {
    asked.push_back(directory);
    return freeBytes;
}

}  // namespace sonocap::platform

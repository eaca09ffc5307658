#pragma once

#include "platform/disk_space.h"

namespace sonocap::platform {

// statvfs: the blocks available to unprivileged users times the fragment size.
class StatvfsDiskSpace final : public DiskSpace {
  public:
    std::optional<uint64_t> FreeBytes(const std::string& directory) override;
};

}  // namespace sonocap::platform

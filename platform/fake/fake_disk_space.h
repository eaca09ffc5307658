#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/disk_space.h"

namespace sonocap::platform {

// Reports the free space the test sets, for any directory, and keeps the directories asked.
class FakeDiskSpace final : public DiskSpace {
  public:
    std::optional<uint64_t> FreeBytes(const std::string& directory) override;

    std::optional<uint64_t> freeBytes = 0;
    std::vector<std::string> asked;
};

}  // namespace sonocap::platform

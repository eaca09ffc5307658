#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/layer.h"

// How much room is left on the file system that holds a directory.

namespace sonocap::platform {

class DiskSpace {
  public:
    virtual ~DiskSpace() = default;

    // Bytes that an ordinary user may still write below `directory`; nothing when the file
    // system cannot be asked.
    virtual std::optional<uint64_t> FreeBytes(const std::string& directory) = 0;
};

template <>
inline constexpr const char* kLayerName<DiskSpace> = "disk space";

}  // namespace sonocap::platform

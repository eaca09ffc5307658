#pragma once

#include <cstdint>
#include <optional>
#include <string>

// How much room is left on the file system that holds a directory.

namespace sonocap::platform {

class DiskSpace {
  public:
    virtual ~DiskSpace() = default;

    // Bytes that an ordinary user may still write below `directory`; nothing when the file
    // system cannot be asked.
    virtual std::optional<uint64_t> FreeBytes(const std::string& directory) = 0;
};

// The layer in use: the real file system unless a test installed another one.
DiskSpace& CurrentDiskSpace();

// Makes `space` the layer in use; nullptr goes back to the real file system.
void InstallDiskSpace(DiskSpace* space);

}  // namespace sonocap::platform

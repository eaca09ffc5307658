#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/layer.h"

// What the program asks of the system about itself: the file it was started from, the class of
// the operating system it runs on, its environment and whether it may write in a folder.

namespace sonocap::platform {

// The one character that separates directories in a path on this platform.
inline constexpr char kPathSeparator = '/';

// Platform identifiers of the operating-system class.
inline constexpr uint32_t kPlatformWin32s = 0;
inline constexpr uint32_t kPlatformWindows = 1;
inline constexpr uint32_t kPlatformNt = 2;

// Whether this process may create files in a folder.
enum class FolderAccess {
    kWritable,
    kNotWritable,  // no permission, or a read-only file system
    kMissing,      // no such folder, or no answer
};

struct OsVersionInfo {
    uint32_t platformId = 0;
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
};

class SystemInfo {
  public:
    virtual ~SystemInfo() = default;

    // Full path of the running executable; empty when it cannot be read.
    virtual std::string ExecutablePath() = 0;

    // Fills `info` and returns true; on failure returns false and leaves `info` as it was.
    virtual bool QueryOsVersion(OsVersionInfo& info) = 0;

    // The value of the environment variable `name`; nothing when it is not set.
    virtual std::optional<std::string> EnvironmentValue(const std::string& name) = 0;

    virtual FolderAccess WriteAccess(const std::string& directory) = 0;
};

template <>
inline constexpr const char* kLayerName<SystemInfo> = "system information";

}  // namespace sonocap::platform

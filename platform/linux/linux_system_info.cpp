#include "platform/linux/linux_system_info.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace sonocap::platform {

std::string LinuxSystemInfo::ExecutablePath() {
    // The kernel's link names the executable with every symbolic link already resolved.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        if (static_cast<size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<size_t>(length));
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool LinuxSystemInfo::QueryOsVersion(OsVersionInfo& info) {
    // The audio layer publishes a device position only after its frames are in the buffer,
    // which is what the NT family from version 4 on stands for: metering needs no lag here.
    info.platformId = kPlatformNt;
    info.majorVersion = 4;
    info.minorVersion = 0;
    return true;
}

std::optional<std::string> LinuxSystemInfo::EnvironmentValue(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

FolderAccess LinuxSystemInfo::WriteAccess(const std::string& directory) {
    if (access(directory.c_str(), W_OK) == 0) return FolderAccess::kWritable;
    return errno == EACCES || errno == EROFS ? FolderAccess::kNotWritable : FolderAccess::kMissing;
}

}  // namespace sonocap::platform

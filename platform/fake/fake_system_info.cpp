#include "platform/fake/fake_system_info.h"

namespace sonocap::platform {

std::string FakeSystemInfo::ExecutablePath() {
    return executablePath;
}

bool FakeSystemInfo::QueryOsVersion(OsVersionInfo& info) {
    ++queryCount;
    if (queryFails) return false;
    info = osVersion;
    return true;
}

std::optional<std::string> FakeSystemInfo::EnvironmentValue(const std::string& name) {
    const auto found = environment.find(name);
    if (found == environment.end()) return std::nullopt;
    return found->second;
}

FolderAccess FakeSystemInfo::WriteAccess(const std::string& directory) {
    const auto found = folderAccess.find(directory);
    return found == folderAccess.end() ? FolderAccess::kWritable : found->second;
}

}  // namespace sonocap::platform

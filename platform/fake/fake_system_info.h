#pragma once

#include <map>

#include "platform/system_info.h"

namespace sonocap::platform {

// A system whose executable path, version answer, environment and folder access are set by
// the test.
class FakeSystemInfo final : public SystemInfo {
  public:
    std::string ExecutablePath() override;
    bool QueryOsVersion(OsVersionInfo& info) override;
    std::optional<std::string> EnvironmentValue(const std::string& name) override;
    FolderAccess WriteAccess(const std::string& directory) override;

    std::string executablePath;
    OsVersionInfo osVersion;
    // When set, the version query fails and leaves the caller's structure untouched.
    bool queryFails = false;
    int queryCount = 0;
    std::map<std::string, std::string> environment;
    // Every folder answers this; empty: a folder is writable.
    std::map<std::string, FolderAccess> folderAccess;
};

}  // namespace sonocap::platform

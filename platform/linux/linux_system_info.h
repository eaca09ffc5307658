#pragma once

#include "platform/system_info.h"

namespace sonocap::platform {

class LinuxSystemInfo final : public SystemInfo {
  public:
    std::string ExecutablePath() override;
    bool QueryOsVersion(OsVersionInfo& info) override;
    std::optional<std::string> EnvironmentValue(const std::string& name) override;
    FolderAccess WriteAccess(const std::string& directory) override;
};

}  // namespace sonocap::platform

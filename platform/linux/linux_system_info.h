#pragma once

#include "platform/system_info.h"

namespace sonocap::platform {

class LinuxSystemInfo final : public SystemInfo {
  public:
    std::string ExecutablePath() override;
    bool QueryOsVersion(OsVersionInfo& info) override;
};

}  // namespace sonocap::platform

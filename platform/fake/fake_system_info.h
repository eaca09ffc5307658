#pragma once

#include "platform/system_info.h"

namespace sonocap::platform {

// A system whose executable path and version answer are set by the test.
class FakeSystemInfo final : public SystemInfo {
  public:
    std::string ExecutablePath() override;
    bool QueryOsVersion(OsVersionInfo& info) override;

    std::string executablePath;
    OsVersionInfo osVersion;
    // When set, the version query fails and leaves the caller's structure untouched.
    bool queryFails = false;
    int queryCount = 0;
};

}  // namespace sonocap::platform

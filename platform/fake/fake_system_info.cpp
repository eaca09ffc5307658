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

}  // namespace sonocap::platform

#include "platform/system_info.h"

#include "platform/linux/linux_system_info.h"

namespace sonocap::platform {

namespace {
SystemInfo* installedSystemInfo = nullptr;
}

SystemInfo& CurrentSystemInfo() {
    static LinuxSystemInfo real;
    return installedSystemInfo != nullptr ? *installedSystemInfo : real;
}

void InstallSystemInfo(SystemInfo* info) {
    installedSystemInfo = info;
}

}  // namespace sonocap::platform

#include "settings/program_environment.h"

#include "platform/system_info.h"
#include "settings/program_values.h"

namespace sonocap {

namespace {
// From this major version on, the NT family needs no metering lag.
constexpr uint32_t kFirstNtWithoutLag = 4;

int32_t ClassifyOs(const platform::OsVersionInfo& info) {
    switch (info.platformId) {
        case platform::kPlatformWin32s:
            return kOsWin32s;
        case platform::kPlatformWindows:
            return kOsWindows;
        case platform::kPlatformNt:
            return info.majorVersion >= kFirstNtWithoutLag ? kOsNt : kOsOther;
        default:
            return kOsOther;
    }
}
}  // namespace

void FindProgramDirectory() {
    const std::string path = platform::Current<platform::SystemInfo>().ExecutablePath();
    const std::size_t separator = path.rfind(platform::kPathSeparator);
    programDirectory =
        separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

void CheckOsVersion() {
    // A failed query leaves the zeroed structure, which classifies as the oldest system.
    platform::OsVersionInfo info;
    platform::Current<platform::SystemInfo>().QueryOsVersion(info);
    osPlatform = ClassifyOs(info);
}

void ApplyMeterLag() {
    if (osPlatform == kOsNt) meterLagFrames = 0;
}

}  // namespace sonocap

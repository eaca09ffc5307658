#include "platform/linux/linux_system_info.h"

#include <filesystem>

#include <gtest/gtest.h>

namespace sonocap::platform {
namespace {

TEST(LinuxSystemInfo, ExecutablePathIsThisTestProgram) {
    LinuxSystemInfo system;
    const std::filesystem::path path = system.ExecutablePath();
    EXPECT_TRUE(path.is_absolute());
    EXPECT_EQ(path.filename(), "platform_layers_test");
    EXPECT_TRUE(std::filesystem::equivalent(path, "/proc/self/exe"));
}

TEST(LinuxSystemInfo, ExecutablePathHasNoSymbolicLinkLeft) {
    LinuxSystemInfo system;
    const std::filesystem::path path = system.ExecutablePath();
    EXPECT_EQ(path, std::filesystem::canonical(path));
}

TEST(LinuxSystemInfo, ReportsTheClassWhoseDevicePositionFollowsTheData) {
    LinuxSystemInfo system;
    OsVersionInfo info;
    EXPECT_TRUE(system.QueryOsVersion(info));
    EXPECT_EQ(info.platformId, kPlatformNt);
    EXPECT_GE(info.majorVersion, 4u);
}

}  // namespace
}  // namespace sonocap::platform

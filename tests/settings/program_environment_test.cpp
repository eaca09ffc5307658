#include "settings/program_environment.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/fake/fake_system_info.h"
#include "platform/linux/linux_system_info.h"
#include "settings/program_values.h"

namespace sonocap {
namespace {

class ProgramEnvironmentTest : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::Install<platform::SystemInfo>(&system_);
        ResetProgramValues();
    }
    void TearDown() override { platform::Install<platform::SystemInfo>(nullptr); }

    platform::FakeSystemInfo system_;
};

struct DirectoryCase {
    const char* name;
    std::string executable;
    std::string directory;
};

class ProgramDirectoryCases : public ProgramEnvironmentTest,
                              public ::testing::WithParamInterface<DirectoryCase> {};

TEST_P(ProgramDirectoryCases, IsTheExecutablesDirectoryWithItsSeparator) {
    system_.executablePath = GetParam().executable;
    FindProgramDirectory();
    EXPECT_EQ(programDirectory, GetParam().directory);
}

const std::string kDeepDirectory = "/" + std::string(300, 'd') + "/";

INSTANTIATE_TEST_SUITE_P(
    Paths, ProgramDirectoryCases,
    ::testing::Values(
        DirectoryCase{"Nested", "/A/B/rec", "/A/B/"}, DirectoryCase{"Root", "/rec", "/"},
        DirectoryCase{"BlanksAndDots", "/opt/my rec.d/bin/sonocap", "/opt/my rec.d/bin/"},
        DirectoryCase{"LongerThanAWindowsPath", kDeepDirectory + "sonocap", kDeepDirectory},
        DirectoryCase{"NoSeparator", "sonocap", ""}, DirectoryCase{"Unknown", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct OsCase {
    uint32_t platformId;
    uint32_t majorVersion;
    int32_t osPlatform;
    int32_t meterLagFrames;
};

class OsClassification : public ProgramEnvironmentTest,
                         public ::testing::WithParamInterface<OsCase> {};

TEST_P(OsClassification, GivesTheClassAndItsMeterLag) {
    system_.osVersion.platformId = GetParam().platformId;
    system_.osVersion.majorVersion = GetParam().majorVersion;
    CheckOsVersion();
    ApplyMeterLag();
    EXPECT_EQ(osPlatform, GetParam().osPlatform);
    EXPECT_EQ(meterLagFrames, GetParam().meterLagFrames);
}

INSTANTIATE_TEST_SUITE_P(Systems, OsClassification,
                         ::testing::Values(
                             // Win32s on a 16-bit system, whatever its version.
                             OsCase{0, 0, 0, 3000}, OsCase{0, 3, 0, 3000}, OsCase{0, 4, 0, 3000},
                             OsCase{0, 10, 0, 3000},
                             // The Windows 95/98 family.
                             OsCase{1, 0, 1, 3000}, OsCase{1, 3, 1, 3000}, OsCase{1, 4, 1, 3000},
                             OsCase{1, 10, 1, 3000},
                             // The NT family: only from version 4 on.
                             OsCase{2, 0, -1, 3000}, OsCase{2, 3, -1, 3000}, OsCase{2, 4, 2, 0},
                             OsCase{2, 5, 2, 0}, OsCase{2, 10, 2, 0}, OsCase{2, 0xffffffff, 2, 0},
                             // Any other platform identifier.
                             OsCase{3, 0, -1, 3000}, OsCase{3, 4, -1, 3000}, OsCase{4, 5, -1, 3000},
                             OsCase{0xffffffff, 4, -1, 3000}));

TEST_F(ProgramEnvironmentTest, FailedVersionQueryCountsAsTheOldestSystem) {
    system_.queryFails = true;
    system_.osVersion.platformId = 2;
    system_.osVersion.majorVersion = 5;
    osPlatform = 7;
    CheckOsVersion();
    ApplyMeterLag();
    EXPECT_EQ(system_.queryCount, 1);
    EXPECT_EQ(osPlatform, 0);
    EXPECT_EQ(meterLagFrames, 3000);
}

// Read during static initialisation, before any test has touched the values.
const int32_t lagAtProcessStart = meterLagFrames;
const int32_t osPlatformAtProcessStart = osPlatform;

TEST(ProgramEnvironmentAtStart, MeterLagIsThreeThousandFramesAndClassZero) {
    EXPECT_EQ(lagAtProcessStart, 3000);
    EXPECT_EQ(osPlatformAtProcessStart, 0);
}

TEST(ProgramEnvironmentOnThisSystem, DirectoryHoldsThisProgramAndLagIsZero) {
    platform::LinuxSystemInfo system;
    const platform::LayerGuard<platform::SystemInfo> real(system);
    FindProgramDirectory();
    CheckOsVersion();
    meterLagFrames = 3000;
    ApplyMeterLag();
    ASSERT_FALSE(programDirectory.empty());
    EXPECT_EQ(programDirectory.back(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(programDirectory + "settings_program_environment_test",
                                            "/proc/self/exe"));
    EXPECT_EQ(osPlatform, 2);
    EXPECT_EQ(meterLagFrames, 0);
}

}  // namespace
}  // namespace sonocap

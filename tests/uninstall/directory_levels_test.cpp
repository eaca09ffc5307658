#include "uninstall/directory_levels.h"

#include <gtest/gtest.h>

#include "tests/uninstall/fake_uninstall_platform.h"

namespace sonocap::uninstall {
namespace {

struct LevelsCase {
    const char* name;
    std::vector<std::string> directories;
    std::vector<std::string> files;
    std::vector<std::string> symbolicLinks;
    std::string path;
    std::int64_t levels;
    std::vector<std::string> expectedCalls;
    std::set<std::string> expectedDirectories;
};

std::ostream& operator<<(std::ostream& out, const LevelsCase& c) {
    return out << c.name;
}

class RemoveDirectoryLevelsTest : public testing::TestWithParam<LevelsCase> {};

TEST_P(RemoveDirectoryLevelsTest, RemovesDeepestFirst) {
    const LevelsCase& c = GetParam();
    FakeUninstallPlatform platform;
    for (const auto& d : c.directories) platform.AddDirectory(d);
    for (const auto& f : c.files) platform.AddFile(f, "x");
    for (const auto& l : c.symbolicLinks) platform.AddSymbolicLink(l);
    RemoveDirectoryLevels(platform, c.path, c.levels);
    EXPECT_EQ(platform.log, c.expectedCalls);
    EXPECT_EQ(platform.directories, c.expectedDirectories);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemoveDirectoryLevelsTest,
    testing::Values(LevelsCase{"TwoOfFour",
                               {"/Apps/Audio/Rec"},
                               {},
                               {},
                               "/Apps/Audio/Rec",
                               2,
                               {"rmdir /Apps/Audio/Rec", "rmdir /Apps/Audio"},
                               {"/Apps"}},
                    LevelsCase{"ZeroLevels", {"/a/b"}, {}, {}, "/a/b", 0, {}, {"/a", "/a/b"}},
                    LevelsCase{"NegativeLevels", {"/a/b"}, {}, {}, "/a/b", -3, {}, {"/a", "/a/b"}},
                    LevelsCase{"NonEmptyDirectoryStaysWithItsParents",
                               {"/Apps/Audio/Rec"},
                               {"/Apps/Audio/Rec/take.wav"},
                               {},
                               "/Apps/Audio/Rec",
                               3,
                               {"rmdir /Apps/Audio/Rec", "rmdir /Apps/Audio", "rmdir /Apps"},
                               {"/Apps", "/Apps/Audio", "/Apps/Audio/Rec"}},
                    LevelsCase{"NonEmptyParentStaysWithItsParents",
                               {"/Apps/Audio/Rec", "/Apps/Audio/Other"},
                               {},
                               {},
                               "/Apps/Audio/Rec",
                               3,
                               {"rmdir /Apps/Audio/Rec", "rmdir /Apps/Audio", "rmdir /Apps"},
                               {"/Apps", "/Apps/Audio", "/Apps/Audio/Other"}},
                    LevelsCase{
                        "StopsWhenThePathRunsOut", {"/a"}, {}, {}, "/a", 5, {"rmdir /a"}, {}},
                    LevelsCase{"PathWithoutSeparator", {}, {}, {}, "a", 2, {"rmdir a"}, {}},
                    LevelsCase{"SymbolicLinkAmongTheLevelsStopsAll",
                               {"/a", "/a/link/b"},
                               {},
                               {"/a/link"},
                               "/a/link/b",
                               2,
                               {},
                               {"/a", "/a/link", "/a/link/b"}},
                    LevelsCase{"SymbolicLinkAboveTheLevelsIsAllowed",
                               {"/l/b/c"},
                               {},
                               {"/l"},
                               "/l/b/c",
                               2,
                               {"rmdir /l/b/c", "rmdir /l/b"},
                               {"/l"}}));

}  // namespace
}  // namespace sonocap::uninstall

#include "uninstall/install_location.h"

#include <gtest/gtest.h>

#include "tests/uninstall/fake_uninstall_platform.h"

namespace sonocap::uninstall {
namespace {

struct CutCase {
    const char* name;
    std::string path;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const CutCase& c) {
    return out << c.name;
}

class CutAtLastSeparatorTest : public testing::TestWithParam<CutCase> {};

TEST_P(CutAtLastSeparatorTest, KeepsTheDirectory) {
    std::string path = GetParam().path;
    CutAtLastSeparator(path);
    EXPECT_EQ(path, GetParam().expected);
}

// The first three positions are never searched: what once kept a drive letter keeps two
// characters of a file in the root directory here ("/prog" gives "/p").
INSTANTIATE_TEST_SUITE_P(Cases, CutAtLastSeparatorTest,
                         testing::Values(CutCase{"Nested", "/a/b/prog", "/a/b"},
                                         CutCase{"FileInRootKeepsTwoCharacters", "/prog", "/p"},
                                         CutCase{"Empty", "", ""},
                                         CutCase{"SeparatorAtPositionTwoIsNotSearched", "/a/prog",
                                                 "/a"},
                                         CutCase{"SeparatorAtPositionThree", "/ab/prog", "/ab"},
                                         CutCase{"TwoCharactersStay", "/x", "/x"},
                                         CutCase{"OneCharacterStays", "/", "/"},
                                         CutCase{"NoSeparatorCutsAtTwo", "prog", "pr"},
                                         CutCase{"TrailingSeparator", "/a/b/", "/a/b"},
                                         CutCase{"OnlyTheLastSeparatorGoes", "/a//prog", "/a/"}));

RegistryKey AppPathsKey(std::optional<RegistryValue> executable,
                        std::optional<RegistryValue> npath) {
    RegistryKey key;
    auto set = [&](std::string_view name, const RegistryValue& value) {
        std::visit([&](const auto& v) { key.SetValue(name, v); }, value);
    };
    if (executable) set(kDefaultValueName, *executable);
    if (npath) set(kNpathValueName, *npath);
    return key;
}

TEST(ReadInstallLocation, OpensTheAppPathsKeyOfSonocap) {
    FakeRegistry registry;
    std::string directory;
    std::optional<std::uint32_t> npath;
    ReadInstallLocation(registry, directory, npath);
    ASSERT_EQ(registry.openedNames.size(), 1u);
    EXPECT_EQ(registry.openedNames[0],
              "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS\\Sonocap.exe");
}

TEST(ReadInstallLocation, FillsDirectoryAndNpath) {
    FakeRegistry registry;
    registry.SetKey(kAppPathsKey, AppPathsKey(std::string("/opt/son/prog"), 2u));
    std::string directory;
    std::optional<std::uint32_t> npath;
    std::string executable;
    ReadInstallLocation(registry, directory, npath, &executable);
    EXPECT_EQ(directory, "/opt/son");
    EXPECT_EQ(npath, 2u);
    EXPECT_EQ(executable, "/opt/son/prog");
}

TEST(ReadInstallLocation, MissingKeyLeavesBothUntouched) {
    FakeRegistry registry;
    std::string directory = "/before";
    std::optional<std::uint32_t> npath = 7u;
    ReadInstallLocation(registry, directory, npath);
    EXPECT_EQ(directory, "/before");
    EXPECT_EQ(npath, 7u);
}

struct ValueCase {
    const char* name;
    std::optional<RegistryValue> executable;
    std::optional<RegistryValue> npath;
    std::string expectedDirectory;
    std::optional<std::uint32_t> expectedNpath;
};

std::ostream& operator<<(std::ostream& out, const ValueCase& c) {
    return out << c.name;
}

class ReadInstallLocationValues : public testing::TestWithParam<ValueCase> {};

TEST_P(ReadInstallLocationValues, TakesOnlyValuesOfTheRightType) {
    const ValueCase& c = GetParam();
    FakeRegistry registry;
    registry.SetKey(kAppPathsKey, AppPathsKey(c.executable, c.npath));
    std::string directory;
    std::optional<std::uint32_t> npath;
    ReadInstallLocation(registry, directory, npath);
    EXPECT_EQ(directory, c.expectedDirectory);
    EXPECT_EQ(npath, c.expectedNpath);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadInstallLocationValues,
    testing::Values(ValueCase{"NoNpath", std::string("/a/b/prog"), std::nullopt, "/a/b",
                              std::nullopt},
                    ValueCase{"NoDefaultValue", std::nullopt, 3u, "", 3u},
                    ValueCase{"EmptyDefaultValue", std::string(""), 1u, "", 1u},
                    ValueCase{"NpathAsString", std::string("/a/b/prog"), std::string("2"), "/a/b",
                              std::nullopt},
                    ValueCase{"DefaultValueAsNumber", RegistryValue(5u), 1u, "", 1u},
                    ValueCase{"ExecutableInRoot", std::string("/prog"), 1u, "/p", 1u}));

struct DirectoryOfCase {
    const char* name;
    std::string directory;
    std::string executable;
    bool expected;
};

std::ostream& operator<<(std::ostream& out, const DirectoryOfCase& c) {
    return out << c.name;
}

class IsDirectoryOfTest : public testing::TestWithParam<DirectoryOfCase> {};

TEST_P(IsDirectoryOfTest, NeedsTheFileDirectlyInside) {
    EXPECT_EQ(IsDirectoryOf(GetParam().directory, GetParam().executable), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IsDirectoryOfTest,
    testing::Values(DirectoryOfCase{"Nested", "/a/b", "/a/b/prog", true},
                    DirectoryOfCase{"OneLetterDirectory", "/x", "/x/prog", true},
                    DirectoryOfCase{"RootFileCutToTwoCharacters", "/p", "/prog", false},
                    DirectoryOfCase{"NoFileName", "/a/b", "/a/b/", false},
                    DirectoryOfCase{"DeeperFile", "/a", "/a/b/prog", false},
                    DirectoryOfCase{"Empty", "", "", false},
                    DirectoryOfCase{"OtherDirectory", "/a/c", "/a/b/prog", false}));

}  // namespace
}  // namespace sonocap::uninstall

#include "uninstall/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "uninstall/install_location.h"

namespace sonocap::uninstall {
namespace {

const std::string kSection =
    "[SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS\\Sonocap.exe]";

struct ParseCase {
    const char* name;
    std::string text;
    std::optional<std::string> executable;
    std::optional<std::uint32_t> npath;
};

std::ostream& operator<<(std::ostream& out, const ParseCase& c) {
    return out << c.name;
}

class RegistryStoreParse : public testing::TestWithParam<ParseCase> {};

TEST_P(RegistryStoreParse, GivesTheAppPathsValues) {
    const ParseCase& c = GetParam();
    const RegistryStore store = ParseRegistryStore(c.text);
    auto it = store.find(FoldRegistryName(kAppPathsKey));
    if (it == store.end()) {
        EXPECT_FALSE(c.executable.has_value());
        EXPECT_FALSE(c.npath.has_value());
        return;
    }
    EXPECT_EQ(it->second.QueryString(""), c.executable);
    EXPECT_EQ(it->second.QueryDword("npath"), c.npath);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryStoreParse,
    testing::Values(
        ParseCase{"WellFormed", kSection + "\n@=\"/opt/son/prog\"\n\"npath\"=dword:00000002\n",
                  "/opt/son/prog", 2u},
        ParseCase{"EmptyText", "", std::nullopt, std::nullopt},
        ParseCase{"SectionNameIgnoresCase",
                  "[software\\microsoft\\windows\\currentversion\\app paths\\SONOCAP.EXE]\n"
                  "@=\"/a/p\"\n",
                  "/a/p", std::nullopt},
        ParseCase{"ValueNameIgnoresCase", kSection + "\n\"NPath\"=dword:7\n", std::nullopt, 7u},
        ParseCase{"CrLfLines", kSection + "\r\n@=\"/a/p\"\r\n\"npath\"=dword:1\r\n", "/a/p", 1u},
        ParseCase{"CommentsAndBlankLines",
                  "; made by the installer\n# second comment\n\n" + kSection +
                      "\n  \n  @ = \"/a/p\"  \n\t\"npath\" = dword:3\n",
                  "/a/p", 3u},
        ParseCase{"EscapedQuoteAndBackslash", kSection + "\n@=\"/a/\\\"q\\\\/p\"\n", "/a/\"q\\/p",
                  std::nullopt},
        ParseCase{"UnknownEscapeIsMissing", kSection + "\n@=\"/a\\n/p\"\n", std::nullopt,
                  std::nullopt},
        ParseCase{"UnterminatedStringIsMissing", kSection + "\n@=\"/a/p\n\"npath\"=dword:1\n",
                  std::nullopt, 1u},
        ParseCase{"TextAfterStringIsMissing", kSection + "\n@=\"/a/p\" x\n", std::nullopt,
                  std::nullopt},
        ParseCase{"UnquotedStringIsMissing", kSection + "\n@=/a/p\n", std::nullopt, std::nullopt},
        ParseCase{"MissingEqualsIsMissing", kSection + "\n@\"/a/p\"\n", std::nullopt, std::nullopt},
        ParseCase{"UpperCaseDword", kSection + "\n\"npath\"=DWORD:0000000A\n", std::nullopt, 10u},
        ParseCase{"LargestDword", kSection + "\n\"npath\"=dword:ffffffff\n", std::nullopt,
                  0xFFFFFFFFu},
        ParseCase{"NineHexDigitsIsMissing", kSection + "\n\"npath\"=dword:100000000\n",
                  std::nullopt, std::nullopt},
        ParseCase{"NonHexDigitIsMissing", kSection + "\n\"npath\"=dword:12g\n", std::nullopt,
                  std::nullopt},
        ParseCase{"NoDigitsIsMissing", kSection + "\n\"npath\"=dword:\n", std::nullopt,
                  std::nullopt},
        ParseCase{"SignedNumberIsMissing", kSection + "\n\"npath\"=dword:-1\n", std::nullopt,
                  std::nullopt},
        ParseCase{"NumberAsStringIsNoNumber", kSection + "\n\"npath\"=\"2\"\n", std::nullopt,
                  std::nullopt},
        ParseCase{"NumberAsDefaultIsNoString", kSection + "\n@=dword:2\n", std::nullopt,
                  std::nullopt},
        ParseCase{"ValuesBeforeAnySectionBelongNowhere",
                  "@=\"/x/p\"\n\"npath\"=dword:1\n" + kSection + "\n", std::nullopt, std::nullopt},
        ParseCase{"ValuesAfterMalformedSectionBelongNowhere",
                  kSection + "\n@=\"/a/p\"\n[broken\n\"npath\"=dword:1\n", "/a/p", std::nullopt},
        ParseCase{"OtherKeysStaySeparate",
                  "[SOFTWARE\\Other]\n@=\"/o/p\"\n" + kSection + "\n\"npath\"=dword:2\n",
                  std::nullopt, 2u},
        ParseCase{"LaterLineReplacesEarlier",
                  kSection + "\n@=\"/a/p\"\n\"npath\"=dword:1\n@=\"/b/q\"\n\"npath\"=dword:4\n",
                  "/b/q", 4u},
        ParseCase{"RepeatedSectionAddsToKey",
                  kSection + "\n@=\"/a/p\"\n[Other]\n" + kSection + "\n\"npath\"=dword:2\n", "/a/p",
                  2u},
        ParseCase{"NulByteSpoilsItsLine",
                  kSection + "\n@=\"/a" + std::string(1, '\0') + "/p\"\n\"npath\"=dword:1\n",
                  std::nullopt, 1u},
        ParseCase{"BinaryGarbage", std::string("\xff\xfe[\x00]\n\"\\", 8) + kSection, std::nullopt,
                  std::nullopt}));

TEST(RegistryStore, EmptySectionNameIsMalformed) {
    const RegistryStore store = ParseRegistryStore("[]\n@=\"/a/p\"\n");
    EXPECT_TRUE(store.empty());
}

class FileRegistryTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/sonocap-registry-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string dir_;
};

TEST_F(FileRegistryTest, ReadsTheKeyFromTheFile) {
    const FileRegistry registry(Write("registry", kSection + "\n@=\"/a/p\"\n\"npath\"=dword:2\n"));
    const auto key = registry.OpenKey(kAppPathsKey);
    ASSERT_TRUE(key.has_value());
    EXPECT_EQ(key->QueryString(""), "/a/p");
    EXPECT_EQ(key->QueryDword("npath"), 2u);
}

TEST_F(FileRegistryTest, KeyNotInTheFileCannotBeOpened) {
    const FileRegistry registry(Write("registry", "[SOFTWARE\\Other]\n@=\"/a/p\"\n"));
    EXPECT_FALSE(registry.OpenKey(kAppPathsKey).has_value());
}

TEST_F(FileRegistryTest, UsersStoreComesBeforeTheMachinesAndEachKeyComesWhole) {
    const FileRegistry user(Write("user", "[SOFTWARE\\Other]\n@=\"/u\"\n"));
    const FileRegistry machine(
        Write("machine", kSection + "\n@=\"/m/p\"\n[SOFTWARE\\Other]\n\"x\"=dword:1\n"));
    const LayeredRegistry registry(user, machine);
    EXPECT_EQ(registry.OpenKey(kAppPathsKey)->QueryString(kDefaultValueName), "/m/p");
    const auto other = registry.OpenKey("SOFTWARE\\Other");
    EXPECT_EQ(other->QueryString(kDefaultValueName), "/u");
    EXPECT_FALSE(other->QueryDword("x").has_value());
    std::filesystem::remove(dir_ + "/machine");
    EXPECT_FALSE(registry.OpenKey(kAppPathsKey).has_value());
}

TEST_F(FileRegistryTest, MissingFileHasNoKeys) {
    const FileRegistry registry(dir_ + "/absent");
    EXPECT_FALSE(registry.OpenKey(kAppPathsKey).has_value());
}

TEST_F(FileRegistryTest, NoLocationHasNoKeys) {
    const FileRegistry registry(std::nullopt);
    EXPECT_FALSE(registry.OpenKey(kAppPathsKey).has_value());
}

TEST_F(FileRegistryTest, DirectoryHasNoKeys) {
    const FileRegistry registry(dir_);
    EXPECT_FALSE(registry.OpenKey(kAppPathsKey).has_value());
}

TEST_F(FileRegistryTest, FifoHasNoKeysAndDoesNotBlock) {
    const std::string path = dir_ + "/fifo";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const FileRegistry registry(path);
    EXPECT_FALSE(registry.OpenKey(kAppPathsKey).has_value());
}

TEST_F(FileRegistryTest, OversizedFileHasNoKeys) {
    const std::string entry = kSection + "\n@=\"/a/p\"\n";
    const std::string padding(kMaxRegistryStoreBytes + 1 - entry.size(), '\n');
    const FileRegistry registry(Write("registry", entry + padding));
    EXPECT_FALSE(registry.OpenKey(kAppPathsKey).has_value());
}

TEST_F(FileRegistryTest, FileOfTheLargestSizeIsRead) {
    const std::string entry = kSection + "\n@=\"/a/p\"\n";
    const std::string padding(kMaxRegistryStoreBytes - entry.size(), '\n');
    const FileRegistry registry(Write("registry", entry + padding));
    EXPECT_TRUE(registry.OpenKey(kAppPathsKey).has_value());
}

struct LocationCase {
    const char* name;
    const char* explicitPath;
    const char* configHome;
    const char* home;
    std::optional<std::string> expected;
    uid_t user = 1000;
};

std::ostream& operator<<(std::ostream& out, const LocationCase& c) {
    return out << c.name;
}

class RegistryStoreLocation : public testing::TestWithParam<LocationCase> {
  protected:
    void SetUp() override {
        for (const char* name : kVariables) {
            const char* value = std::getenv(name);
            if (value != nullptr) saved_[name] = value;
        }
    }
    void TearDown() override {
        for (const char* name : kVariables) {
            auto it = saved_.find(name);
            if (it == saved_.end()) {
                unsetenv(name);
            } else {
                setenv(name, it->second.c_str(), 1);
            }
        }
    }
    static void Put(const char* name, const char* value) {
        if (value == nullptr) {
            unsetenv(name);
        } else {
            setenv(name, value, 1);
        }
    }
    static constexpr const char* kVariables[] = {"SONOCAP_REGISTRY", "XDG_CONFIG_HOME", "HOME"};
    std::map<std::string, std::string> saved_;
};

TEST_P(RegistryStoreLocation, FollowsTheEnvironment) {
    const LocationCase& c = GetParam();
    Put("SONOCAP_REGISTRY", c.explicitPath);
    Put("XDG_CONFIG_HOME", c.configHome);
    Put("HOME", c.home);
    EXPECT_EQ(RegistryStorePath(c.user), c.expected);
    // A store named for the test shuts the machine's out.
    const bool named = c.explicitPath != nullptr && c.explicitPath[0] != '\0';
    EXPECT_EQ(MachineRegistryStorePath(),
              named ? std::nullopt : std::optional<std::string>(kMachineRegistryStore));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryStoreLocation,
    testing::Values(LocationCase{"ExplicitPathWins", "/t/store", "/c", "/h", "/t/store"},
                    LocationCase{"ConfigHome", nullptr, "/c", "/h", "/c/sonocap/registry"},
                    LocationCase{"EmptyExplicitPathIsUnset", "", "/c", "/h", "/c/sonocap/registry"},
                    LocationCase{"RelativeConfigHomeIsIgnored", nullptr, "rel", "/h",
                                 "/h/.config/sonocap/registry"},
                    LocationCase{"Home", nullptr, nullptr, "/h", "/h/.config/sonocap/registry"},
                    LocationCase{"NothingUsable", nullptr, nullptr, nullptr, std::nullopt},
                    LocationCase{"RelativeHomeIsIgnored", nullptr, "", "h", std::nullopt},
                    // Root with another user's HOME kept (sudo -E) writes only the machine's.
                    LocationCase{"RootUsesTheMachineStore", nullptr, "/c", "/home/ann",
                                 kMachineRegistryStore, 0},
                    LocationCase{"RootWithANamedStore", "/t/store", "/c", "/h", "/t/store", 0}));

}  // namespace
}  // namespace sonocap::uninstall

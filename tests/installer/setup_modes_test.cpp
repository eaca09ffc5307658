#include "installer/setup_modes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "installer/app_paths_entry.h"
#include "tests/platform/temp_directory.h"
#include "uninstall/install_location.h"
#include "uninstall/registry_store.h"

namespace sonocap::installer {
namespace {

namespace fs = std::filesystem;

void WriteText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string kOtherKey = "[SOFTWARE\\Other]\n@=\"kept\"\n";

// An installation under prefix/ as the install rules make it: the program's folder
// prefix/lib/sonocap, a link in prefix/bin, a file in prefix/share/applications. The install
// made lib/, lib/sonocap/, bin/ and share/applications/; share/ was there and holds a file of
// the user's.
class InstallationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        prefix_ = root_.path() / "prefix";
        program_ = (prefix_ / "lib/sonocap").string();
        store_ = root_.file("registry");
        WriteText(prefix_ / "share/user-notes.txt", "mine");
        for (const char* name : {"sonocap", "setup.exe", "sonocap.par"}) {
            WriteText(fs::path(program_) / name, name);
        }
        WriteText(prefix_ / "share/applications/sonocap.desktop", "[Desktop Entry]\n");
        fs::create_directories(prefix_ / "bin");
        fs::create_symlink("../lib/sonocap/sonocap", prefix_ / "bin/sonocap");
        files_ = {program_ + "/sonocap",
                  program_ + "/setup.exe",
                  program_ + "/sonocap.par",
                  (prefix_ / "bin/sonocap").string(),
                  (prefix_ / "share/applications/sonocap.desktop").string(),
                  program_ + "/sonocap.manifest"};
    }

    void WriteManifest(const std::string& extra = "") {
        std::string text = "npath 3\n" + extra;
        for (const auto& file : files_) text += "file " + file + "\n";
        for (const char* folder : {"lib/sonocap", "lib", "bin", "share/applications"}) {
            text += "directory " + (prefix_ / folder).string() + "\n";
        }
        WriteText(fs::path(program_) / "sonocap.manifest", text);
    }

    std::optional<unsigned char> Marker() const {
        const std::string text = ReadText(fs::path(program_) / "$$$67352.tmp");
        if (text.size() != 1) return std::nullopt;
        return static_cast<unsigned char>(text[0]);
    }

    sonocap::testing::TempDirectory root_;
    fs::path prefix_;
    std::string program_;
    std::string store_;
    std::vector<std::string> files_;
};

TEST_F(InstallationTest, RegisteringWritesTheEntryTheHelperReads) {
    WriteManifest();
    WriteText(store_, kOtherKey);
    EXPECT_EQ(RegisterInstallation(program_, store_), "");

    uninstall::FileRegistry registry(store_);
    std::string directory;
    std::optional<std::uint32_t> npath;
    uninstall::ReadInstallLocation(registry, directory, npath);
    EXPECT_EQ(directory, program_);
    EXPECT_EQ(npath, 3u);
    EXPECT_TRUE(registry.OpenKey("SOFTWARE\\Other").has_value());
}

TEST_F(InstallationTest, PackagedInstallationIsNotRegistered) {
    WriteText(fs::path(program_) / "sonocap.manifest", "packaged\n");
    EXPECT_NE(RegisterInstallation(program_, store_), "");
    EXPECT_FALSE(fs::exists(store_));
}

TEST_F(InstallationTest, UninstallRemovesWhatTheInstallMadeAndAnswersOne) {
    WriteManifest();
    ASSERT_EQ(RegisterInstallation(program_, store_), "");
    const UninstallAnswer answer = UninstallInstallation(program_, store_);
    EXPECT_EQ(answer.marker, 1);
    EXPECT_EQ(answer.message, "");
    EXPECT_EQ(Marker(), 1);

    // Left: the installer and the marker for the helper, in the folders the helper removes;
    // the user's file and the folder it was in.
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(prefix_)) {
        left.push_back(fs::relative(entry.path(), prefix_).string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left,
              (std::vector<std::string>{"lib", "lib/sonocap", "lib/sonocap/$$$67352.tmp",
                                        "lib/sonocap/setup.exe", "share", "share/user-notes.txt"}));
    EXPECT_FALSE(uninstall::FileRegistry(store_).OpenKey(uninstall::kAppPathsKey).has_value());
}

TEST_F(InstallationTest, EntryOfAnotherInstallationStays) {
    WriteManifest();
    WriteText(store_, WithAppPathsEntry(kOtherKey, "/elsewhere/sonocap", 2));
    EXPECT_EQ(UninstallInstallation(program_, store_).marker, 1);
    EXPECT_TRUE(uninstall::FileRegistry(store_).OpenKey(uninstall::kAppPathsKey).has_value());
}

TEST_F(InstallationTest, PackagedInstallationIsLeftToThePackageManager) {
    WriteText(fs::path(program_) / "sonocap.manifest", "packaged\n");
    const UninstallAnswer answer = UninstallInstallation(program_, store_);
    EXPECT_EQ(answer.marker, 0);
    EXPECT_NE(answer.message.find("package manager"), std::string::npos);
    EXPECT_EQ(Marker(), 0);
    for (const auto& file : files_) {
        if (!file.ends_with("sonocap.manifest")) {
            EXPECT_TRUE(fs::exists(file)) << file;
        }
    }
}

TEST_F(InstallationTest, WithoutManifestNothingIsRemoved) {
    const UninstallAnswer answer = UninstallInstallation(program_, store_);
    EXPECT_EQ(answer.marker, 0);
    EXPECT_NE(answer.message.find("nothing was removed"), std::string::npos);
    EXPECT_TRUE(fs::exists(program_ + "/sonocap"));
}

TEST_F(InstallationTest, FileThatCannotBeRemovedKeepsTheInstallationRegistered) {
    // A folder now stands where the install put a file.
    files_.push_back((prefix_ / "share/applications/taken").string());
    fs::create_directories(prefix_ / "share/applications/taken");
    WriteManifest();
    ASSERT_EQ(RegisterInstallation(program_, store_), "");
    const UninstallAnswer answer = UninstallInstallation(program_, store_);
    EXPECT_EQ(answer.marker, 0);
    EXPECT_NE(answer.message.find("share/applications/taken"), std::string::npos);
    EXPECT_TRUE(uninstall::FileRegistry(store_).OpenKey(uninstall::kAppPathsKey).has_value());
}

TEST(AppPathsEntry, QuotesAPathWithBackslashesAndQuotes) {
    const std::string executable = "/odd \"name\\\"/sonocap";
    const auto store = uninstall::ParseRegistryStore(WithAppPathsEntry("", executable, 2));
    const auto key = store.find(uninstall::FoldRegistryName(uninstall::kAppPathsKey));
    ASSERT_NE(key, store.end());
    EXPECT_EQ(key->second.QueryString(uninstall::kDefaultValueName), executable);
}

TEST(AppPathsEntry, RemovingKeepsEveryOtherKeyAndReplacingLeavesOneEntry) {
    const std::string old = kOtherKey +
                            "[software\\microsoft\\windows\\currentversion\\app paths\\"
                            "SONOCAP.EXE]\n@=\"/old/sonocap\"\n; note\n[SOFTWARE\\Last]\n";
    EXPECT_EQ(WithoutAppPathsEntry(old), kOtherKey + "[SOFTWARE\\Last]\n");
    const std::string replaced = WithAppPathsEntry(old, "/new/sonocap", 2);
    EXPECT_EQ(replaced.find("/old/"), std::string::npos);
    EXPECT_EQ(uninstall::ParseRegistryStore(replaced).size(), 3u);
}

}  // namespace
}  // namespace sonocap::installer

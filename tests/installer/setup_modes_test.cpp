#include "installer/setup_modes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "installer/app_paths_entry.h"
#include "tests/platform/temp_directory.h"
#include "uninstall/install_location.h"
#include "uninstall/registry_store.h"

namespace sonocap::installer {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kOtherUser = 65534;

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

std::string Sha256(const std::string& text) {
    return QCryptographicHash::hash(QByteArrayView(text.data(), text.size()),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

// Everything below root, byte for byte: a file's content, a link's target, a folder.
using Tree = std::map<std::string, std::string>;

Tree Snapshot(const fs::path& root) {
    Tree tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
         ++it) {
        const std::string name = it->path().lexically_relative(root).string();
        if (it->is_symlink()) {
            tree[name] = "link " + fs::read_symlink(it->path()).string();
        } else if (it->is_directory()) {
            tree[name] = "folder";
        } else if (it->is_regular_file()) {
            tree[name] = "file " + ReadText(it->path());
        } else {
            tree[name] = "other";
        }
    }
    return tree;
}

const std::string kOtherKey = "[SOFTWARE\\Other]\n@=\"kept\"\n";

// An installation under root/prefix as the install rules make it: the program's folder
// lib/sonocap with the recorder, the helper, setup.exe and the settings; links in bin/; a file
// in share/applications. The install made lib/, lib/sonocap/, bin/ and share/applications/;
// share/ was there and holds a file of the user's. Outside the prefix: the user's thesis.
class Scene {
  public:
    Scene() {
        store = root.file("registry");
        WriteText(Path("prefix/share/user-notes.txt"), "mine");
        WriteText(Path("victim/thesis.txt"), "chapter 1");
        MakeInstallation("prefix");
    }

    fs::path Path(const std::string& relative) const { return root.path() / relative; }

    void MakeInstallation(const std::string& prefix) {
        const fs::path base = Path(prefix);
        for (const char* name : {"sonocap", "sonocap-uninstall", "setup.exe", "sonocap.par"}) {
            WriteText(base / "lib/sonocap" / name, std::string(name) + " of " + prefix);
        }
        WriteText(base / "share/applications/sonocap.desktop", "[Desktop Entry]\n");
        fs::create_directories(base / "bin");
        fs::create_symlink("../lib/sonocap/sonocap", base / "bin/sonocap");
        fs::create_symlink("../lib/sonocap/sonocap-uninstall", base / "bin/sonocap-uninstall");
        WriteManifest(prefix);
    }

    // The manifest of what MakeInstallation put in place, with `extra` lines.
    void WriteManifest(const std::string& prefix, const std::string& extra = "") {
        const fs::path base = Path(prefix);
        std::string text = "program lib/sonocap\n" + extra;
        for (const char* name :
             {"lib/sonocap/sonocap", "lib/sonocap/sonocap-uninstall", "lib/sonocap/setup.exe",
              "lib/sonocap/sonocap.par", "share/applications/sonocap.desktop"}) {
            const std::string content = ReadText(base / name);
            text += "file " + std::string(name) + " " + std::to_string(content.size()) + " " +
                    Sha256(content) + "\n";
        }
        text +=
            "link bin/sonocap ../lib/sonocap/sonocap\n"
            "link bin/sonocap-uninstall ../lib/sonocap/sonocap-uninstall\n";
        for (const char* folder : {"lib/sonocap", "lib", "bin", "share/applications"}) {
            text += "directory " + std::string(folder) + "\n";
        }
        WriteText(base / "lib/sonocap/sonocap.manifest", text);
    }

    RunningInstaller Installer(const std::string& prefix = "prefix") const {
        return *InstallerAt(Path(prefix + "/lib/sonocap/setup.exe").string());
    }

    std::optional<std::string> Entry(std::string_view key) const {
        const auto found = uninstall::FileRegistry(store).OpenKey(key);
        if (!found) return std::nullopt;
        return found->QueryString(uninstall::kDefaultValueName);
    }

    sonocap::testing::TempDirectory root;
    std::string store;
};

const std::string kProgram = "prefix/lib/sonocap/";
const std::string kMarker = kProgram + "$$$67352.tmp";

// What an uninstall of the whole scene's installation removes: all but setup.exe, which the
// helper deletes, and the folders that still hold something.
const std::set<std::string> kWholeInstallation = {kProgram + "sonocap",
                                                  kProgram + "sonocap-uninstall",
                                                  kProgram + "sonocap.par",
                                                  kProgram + "sonocap.manifest",
                                                  "prefix/bin",
                                                  "prefix/bin/sonocap",
                                                  "prefix/bin/sonocap-uninstall",
                                                  "prefix/share/applications",
                                                  "prefix/share/applications/sonocap.desktop"};

struct UninstallCase {
    const char* name;
    void (*arrange)(Scene&);
    std::string installer;  // the setup.exe that runs, relative to the scene's root
    bool asRoot;            // arranged with files of another user: needs root
    unsigned char marker;   // the answer; 2: no marker written at all
    std::string message;    // a part of the message; empty: none
    std::set<std::string> removed;
    bool stillRegistered;
};

std::ostream& operator<<(std::ostream& out, const UninstallCase& c) {
    return out << c.name;
}

class Uninstall : public ::testing::TestWithParam<UninstallCase> {};

// Each case states exactly what goes: everything else below the scene's root, inside and
// outside the prefix, is still there byte for byte.
TEST_P(Uninstall, RemovesExactlyWhatItSays) {
    const UninstallCase& c = GetParam();
    if (c.asRoot && ::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to another user";
    Scene scene;
    ASSERT_EQ(RegisterInstallation(scene.Installer(), scene.store).error, "");
    c.arrange(scene);
    const auto registered = uninstall::ReadRegistryStoreText(scene.store);
    const Tree before = Snapshot(scene.root.path());

    const auto self = InstallerAt(scene.Path(c.installer).string());
    ASSERT_TRUE(self.has_value());
    const UninstallAnswer answer = UninstallInstallation(*self, scene.store);

    EXPECT_EQ(answer.marker, c.marker == 2 ? 0 : c.marker);
    if (c.message.empty()) {
        EXPECT_EQ(answer.message, "");
    } else {
        EXPECT_NE(answer.message.find(c.message), std::string::npos) << answer.message;
    }
    Tree expected = before;
    for (const auto& path : c.removed) EXPECT_EQ(expected.erase(path), 1u) << path;
    const std::string marker =
        fs::path(self->path).parent_path().lexically_relative(scene.root.path()).string() +
        "/$$$67352.tmp";
    if (c.marker != 2) expected[marker] = "file " + std::string(1, static_cast<char>(c.marker));
    Tree after = Snapshot(scene.root.path());
    after.erase("registry");
    expected.erase("registry");
    EXPECT_EQ(after, expected);
    if (c.stillRegistered) {
        EXPECT_EQ(uninstall::ReadRegistryStoreText(scene.store), registered);
    } else {
        EXPECT_EQ(scene.Entry(uninstall::kAppPathsKey), std::nullopt);
        EXPECT_EQ(scene.Entry(uninstall::InstallationKey(scene.Path("prefix/lib/sonocap"))),
                  std::nullopt);
    }
}

void Nothing(Scene&) {}

std::set<std::string> Without(std::set<std::string> paths, const std::string& path) {
    paths.erase(path);
    return paths;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Uninstall,
    ::testing::Values(
        UninstallCase{"Ordinary", Nothing, kProgram + "setup.exe", false, 1, "", kWholeInstallation,
                      false},
        // Lines naming a file outside the prefix, by "..", by an absolute path: the manifest is
        // refused before anything is removed.
        UninstallCase{"EntryOutsideThePrefix",
                      [](Scene& s) { s.WriteManifest("prefix", "pending ../victim/thesis.txt\n"); },
                      kProgram + "setup.exe",
                      false,
                      0,
                      "is no entry: pending ../victim",
                      {},
                      true},
        UninstallCase{"AbsoluteEntry",
                      [](Scene& s) {
                          s.WriteManifest("prefix",
                                          "directory " + s.Path("victim").string() + "\n");
                      },
                      kProgram + "setup.exe",
                      false,
                      0,
                      "is no entry: directory /",
                      {},
                      true},
        // A copy of the program's folder elsewhere acts on the copy only: the original stays
        // installed and registered.
        UninstallCase{"CopiedInstallation",
                      [](Scene& s) {
                          fs::create_directories(s.Path("copy"));
                          fs::copy(s.Path("prefix/lib"), s.Path("copy/lib"),
                                   fs::copy_options::recursive);
                      },
                      "copy/lib/sonocap/setup.exe",
                      false,
                      1,
                      "",
                      {"copy/lib/sonocap/sonocap", "copy/lib/sonocap/sonocap-uninstall",
                       "copy/lib/sonocap/sonocap.par", "copy/lib/sonocap/sonocap.manifest"},
                      true},
        // share/applications leads to the user's own folder: nothing is removed.
        UninstallCase{"LinkInTheMiddleOfAnEntry",
                      [](Scene& s) {
                          WriteText(s.Path("victim/sonocap.desktop"), "[Desktop Entry]\n");
                          fs::rename(s.Path("prefix/share/applications"), s.Path("moved"));
                          fs::create_symlink(s.Path("victim"), s.Path("prefix/share/applications"));
                      },
                      kProgram + "setup.exe",
                      false,
                      0,
                      "share/applications is a symbolic link: nothing was removed",
                      {},
                      true},
        // The installer started through a link above the prefix acts as through the real path
        // and keeps itself for the helper.
        UninstallCase{"LinkInThePrefix",
                      [](Scene& s) { fs::create_symlink(s.Path("prefix"), s.Path("alias")); },
                      "alias/lib/sonocap/setup.exe", false, 1, "", kWholeInstallation, false},
        // Root meets an installation that another user can change: nothing is touched, not
        // even a marker is written into it.
        UninstallCase{"AnotherUsersInstallationRunByRoot",
                      [](Scene& s) {
                          for (const auto& entry :
                               fs::recursive_directory_iterator(s.Path("prefix"))) {
                              ASSERT_EQ(::lchown(entry.path().c_str(), kOtherUser, kOtherUser), 0);
                          }
                      },
                      kProgram + "setup.exe",
                      true,
                      2,
                      "belongs to",
                      {},
                      true},
        UninstallCase{"GroupWritableFolderOnTheWay",
                      [](Scene& s) {
                          fs::permissions(s.Path("prefix/share"), fs::perms::group_write,
                                          fs::perm_options::add);
                      },
                      kProgram + "setup.exe",
                      false,
                      0,
                      "share may be changed by other users: nothing was removed",
                      {},
                      true},
        // Changed or foreign files are kept and named; the rest goes.
        UninstallCase{"ChangedAndForeignFilesAreKept",
                      [](Scene& s) {
                          WriteText(s.Path(kProgram + "sonocap.par"), "changed settings");
                          fs::remove(s.Path("prefix/bin/sonocap"));
                          WriteText(s.Path("prefix/bin/sonocap"), "the user's script");
                      },
                      kProgram + "setup.exe", false, 1, "Kept, as they are not what was installed:",
                      Without(Without(Without(kWholeInstallation, kProgram + "sonocap.par"),
                                      "prefix/bin/sonocap"),
                              "prefix/bin"),
                      false},
        // An install that stopped after its first files: pending entries go as they are.
        UninstallCase{
            "InterruptedInstall",
            [](Scene& s) {
                fs::remove(s.Path("prefix/bin/sonocap-uninstall"));
                WriteText(s.Path(kProgram + "sonocap.manifest"),
                          "program lib/sonocap\npending lib/sonocap/setup.exe\n"
                          "pending lib/sonocap/sonocap-uninstall\npending "
                          "lib/sonocap/sonocap\npending bin/sonocap-uninstall\n"
                          "directory lib/sonocap\ndirectory lib\ndirectory bin\n");
            },
            kProgram + "setup.exe",
            false,
            1,
            "",
            {kProgram + "sonocap", kProgram + "sonocap-uninstall", kProgram + "sonocap.manifest"},
            false},
        // The store is a FIFO: refused at once, nothing removed.
        UninstallCase{"FifoStore",
                      [](Scene& s) {
                          fs::remove(s.store);
                          ASSERT_EQ(::mkfifo(s.store.c_str(), 0600), 0);
                      },
                      kProgram + "setup.exe",
                      false,
                      0,
                      "is not a registry store",
                      {},
                      true},
        // The store could not be rewritten (its folder is another user's): found out before
        // anything is removed, so the installation stays whole and registered.
        UninstallCase{
            "StoreInAFolderOfAnotherUser",
            [](Scene& s) { ASSERT_EQ(::chown(s.root.path().c_str(), kOtherUser, kOtherUser), 0); },
            kProgram + "setup.exe",
            true,
            0,
            "belongs to nobody",
            {},
            true},
        UninstallCase{"ManifestLinkedToDevZero",
                      [](Scene& s) {
                          fs::remove(s.Path(kProgram + "sonocap.manifest"));
                          fs::create_symlink("/dev/zero", s.Path(kProgram + "sonocap.manifest"));
                      },
                      kProgram + "setup.exe",
                      false,
                      0,
                      "symbolic link",
                      {},
                      true},
        UninstallCase{"OversizedManifest",
                      [](Scene& s) {
                          WriteText(s.Path(kProgram + "sonocap.manifest"),
                                    std::string(kMaxManifestBytes + 1, '#'));
                      },
                      kProgram + "setup.exe",
                      false,
                      0,
                      "is larger than",
                      {},
                      true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Registration, WritesBothKeysWithNpathOfTheFoldersThatExistedBefore) {
    Scene scene;
    WriteText(scene.store, kOtherKey);
    EXPECT_EQ(RegisterInstallation(scene.Installer(), scene.store).error, "");
    const std::string program = scene.Path("prefix/lib/sonocap").string();
    for (const std::string& key :
         {std::string(uninstall::kAppPathsKey), uninstall::InstallationKey(program)}) {
        uninstall::FileRegistry registry(scene.store);
        std::string directory;
        std::optional<std::uint32_t> npath;
        uninstall::ReadInstallLocation(registry, directory, npath, nullptr, key);
        EXPECT_EQ(directory, program);
        // lib and lib/sonocap were made: the components up to the prefix stay.
        EXPECT_EQ(npath,
                  static_cast<std::uint32_t>(std::count(program.begin(), program.end(), '/') - 1));
    }
    EXPECT_TRUE(uninstall::FileRegistry(scene.store).OpenKey("SOFTWARE\\Other").has_value());
}

// Installed in A, then in B: each helper finds its own installation's key; removing A leaves
// B installed byte for byte and named by the App Paths entry.
TEST(Registration, TwoInstallationsKeepTheirOwnEntries) {
    Scene scene;
    scene.MakeInstallation("second");
    const std::string a = scene.Path("prefix/lib/sonocap").string();
    const std::string b = scene.Path("second/lib/sonocap").string();
    ASSERT_EQ(RegisterInstallation(scene.Installer(), scene.store).error, "");
    const RegisterResult second = RegisterInstallation(scene.Installer("second"), scene.store);
    EXPECT_EQ(second.error, "");
    EXPECT_NE(second.note.find("also installed in " + a), std::string::npos) << second.note;
    EXPECT_EQ(scene.Entry(uninstall::kAppPathsKey), b + "/sonocap");
    EXPECT_EQ(scene.Entry(uninstall::InstallationKey(a)), a + "/sonocap");

    const Tree secondBefore = Snapshot(scene.Path("second"));
    EXPECT_EQ(UninstallInstallation(scene.Installer(), scene.store).marker, 1);
    EXPECT_EQ(Snapshot(scene.Path("second")), secondBefore);
    EXPECT_EQ(scene.Entry(uninstall::InstallationKey(a)), std::nullopt);
    EXPECT_EQ(scene.Entry(uninstall::kAppPathsKey), b + "/sonocap");
    EXPECT_EQ(scene.Entry(uninstall::InstallationKey(b)), b + "/sonocap");

    // B removed in turn: the store keeps only what was not ours.
    EXPECT_EQ(UninstallInstallation(scene.Installer("second"), scene.store).marker, 1);
    EXPECT_EQ(scene.Entry(uninstall::kAppPathsKey), std::nullopt);
}

TEST(Registration, RemovingTheNewestNamesTheOneBeforeIt) {
    const std::string store = WithInstallation(
        WithInstallation(kOtherKey, "/a/sonocap", 2, nullptr), "/b/sonocap", 2, nullptr);
    const auto keys = uninstall::ParseRegistryStore(WithoutInstallation(store, "/b"));
    EXPECT_EQ(keys.at(uninstall::FoldRegistryName(uninstall::kAppPathsKey))
                  .QueryString(uninstall::kDefaultValueName),
              "/a/sonocap");
    EXPECT_EQ(keys.size(), 3u);
}

struct RegisterCase {
    const char* name;
    void (*arrange)(Scene&);
    bool asRoot;
    std::string error;  // a part of it
    std::string prefix = "prefix";
};

const std::string kLongPrefix = "long/" + std::string(200, 'p') + "/" + std::string(30, 'q');

std::ostream& operator<<(std::ostream& out, const RegisterCase& c) {
    return out << c.name;
}

class RefusedRegistration : public ::testing::TestWithParam<RegisterCase> {};

// Nothing is written anywhere: the scene is unchanged byte for byte, and a file a link in the
// store's place leads to keeps its content.
TEST_P(RefusedRegistration, WritesNothing) {
    const RegisterCase& c = GetParam();
    if (c.asRoot && ::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to another user";
    Scene scene;
    c.arrange(scene);
    const Tree before = Snapshot(scene.root.path());
    const RegisterResult result = RegisterInstallation(scene.Installer(c.prefix), scene.store);
    EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
    EXPECT_EQ(Snapshot(scene.root.path()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedRegistration,
    ::testing::Values(
        RegisterCase{
            "PackagedInstallation",
            [](Scene& s) { WriteText(s.Path(kProgram + "sonocap.manifest"), "packaged\n"); }, false,
            "package manager"},
        // The program's folder must fit the helper's 260-byte paths with the marker's name.
        RegisterCase{"LongPrefix", [](Scene& s) { s.MakeInstallation(kLongPrefix); }, false,
                     "the uninstall program handles folders of at most 246", kLongPrefix},
        RegisterCase{"FifoStore", [](Scene& s) { ASSERT_EQ(::mkfifo(s.store.c_str(), 0600), 0); },
                     false, "is not a registry store"},
        // Root with the HOME of another user (sudo -E): the store under that home is not
        // written, no folder is made there, and a link planted in its place leads nowhere.
        RegisterCase{"StoreInAnotherUsersHome",
                     [](Scene& s) {
                         fs::create_directories(s.Path("home/.config"));
                         ASSERT_EQ(::chown(s.Path("home").c_str(), kOtherUser, kOtherUser), 0);
                         ASSERT_EQ(::chown(s.Path("home/.config").c_str(), kOtherUser, kOtherUser),
                                   0);
                         s.store = s.Path("home/.config/sonocap/registry").string();
                     },
                     true, "no folder is made in"},
        RegisterCase{"LinkPlantedAsTheStore",
                     [](Scene& s) {
                         WriteText(s.Path("shadow"), "root only");
                         fs::create_symlink(s.Path("shadow"), s.store);
                     },
                     false, "is not a registry store"}),
    [](const auto& info) { return std::string(info.param.name); });

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

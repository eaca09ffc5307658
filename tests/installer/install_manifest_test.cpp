#include "installer/install_manifest.h"

#include <gtest/gtest.h>

namespace sonocap::installer {
namespace {

const std::string kHash(64, 'a');

TEST(InstallManifest, ReadsEveryKindOfEntryInOrder) {
    const auto manifest = ParseInstallManifest(
        "# made by the install\n"
        "program lib/sonocap\n"
        "file lib/sonocap/sonocap 12 " +
        kHash +
        "\n"
        "link bin/sonocap ../lib/sonocap/sonocap\n"
        "\n"
        "pending share/doc/sonocap/copyright\n"
        "directory lib/sonocap\n");
    ASSERT_TRUE(manifest.has_value());
    EXPECT_FALSE(manifest->packaged);
    EXPECT_EQ(manifest->program, "lib/sonocap");
    ASSERT_EQ(manifest->entries.size(), 4u);
    EXPECT_EQ(manifest->entries[0].kind, ManifestEntry::Kind::File);
    EXPECT_EQ(manifest->entries[0].size, 12u);
    EXPECT_EQ(manifest->entries[0].sha256, kHash);
    EXPECT_EQ(manifest->entries[1].kind, ManifestEntry::Kind::Link);
    EXPECT_EQ(manifest->entries[1].target, "../lib/sonocap/sonocap");
    EXPECT_EQ(manifest->entries[2].kind, ManifestEntry::Kind::Pending);
    EXPECT_EQ(manifest->entries[3].kind, ManifestEntry::Kind::Directory);
    EXPECT_EQ(manifest->entries[3].path, "lib/sonocap");
}

TEST(InstallManifest, PackagedInstallationSaysSo) {
    const auto manifest = ParseInstallManifest("# comment\npackaged\n");
    ASSERT_TRUE(manifest.has_value());
    EXPECT_TRUE(manifest->packaged);
    EXPECT_TRUE(manifest->entries.empty());
}

struct BadManifest {
    const char* name;
    std::string text;
};

std::ostream& operator<<(std::ostream& out, const BadManifest& c) {
    return out << c.name;
}

class RejectedManifest : public ::testing::TestWithParam<BadManifest> {};

// A manifest that names anything but clean paths inside the prefix could make the uninstall
// remove something the install never put there: it is not used at all.
TEST_P(RejectedManifest, IsNotAManifest) {
    std::string error;
    EXPECT_FALSE(ParseInstallManifest("program lib/sonocap\n" + GetParam().text, &error));
    EXPECT_NE(error, "");
}

INSTANTIATE_TEST_SUITE_P(
    Lines, RejectedManifest,
    testing::Values(BadManifest{"AbsolutePath", "pending /home/ann/.bashrc\n"},
                    BadManifest{"ParentComponent", "directory ../victim\n"},
                    BadManifest{"ParentInside", "file lib/../../etc/passwd 1 " + kHash + "\n"},
                    BadManifest{"DotComponent", "directory lib/./sonocap\n"},
                    BadManifest{"EmptyComponent", "pending lib//sonocap\n"},
                    BadManifest{"TrailingSeparator", "directory lib/\n"},
                    BadManifest{"FileWithoutHash", "file lib/sonocap/sonocap 12\n"},
                    BadManifest{"ShortHash", "file lib/sonocap/sonocap 12 abc\n"},
                    BadManifest{"SizeNotANumber", "file lib/sonocap/sonocap x " + kHash + "\n"},
                    BadManifest{"LinkWithoutTarget", "link bin/sonocap\n"},
                    BadManifest{"UnknownWord", "remove lib\n"},
                    BadManifest{"NoProgramFolder", "packaged extra\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InstallManifest, WithoutProgramFolderIsNoManifest) {
    EXPECT_FALSE(ParseInstallManifest("pending lib/sonocap/sonocap\n").has_value());
}

}  // namespace
}  // namespace sonocap::installer

#include "installer/install_manifest.h"

#include <gtest/gtest.h>

namespace sonocap::installer {
namespace {

TEST(InstallManifest, ReadsEveryKindOfEntryInOrder) {
    const auto manifest = ParseInstallManifest(
        "# made by the install\n"
        "npath 4\n"
        "file /p/lib/sonocap/sonocap\n"
        "file /p/bin/sonocap\n"
        "\n"
        "directory /p/lib/sonocap\n");
    ASSERT_TRUE(manifest.has_value());
    EXPECT_FALSE(manifest->packaged);
    EXPECT_EQ(manifest->npath, 4u);
    EXPECT_EQ(manifest->files,
              (std::vector<std::string>{"/p/lib/sonocap/sonocap", "/p/bin/sonocap"}));
    EXPECT_EQ(manifest->directories, std::vector<std::string>{"/p/lib/sonocap"});
}

TEST(InstallManifest, PackagedInstallationSaysSo) {
    const auto manifest = ParseInstallManifest("# comment\npackaged\n");
    ASSERT_TRUE(manifest.has_value());
    EXPECT_TRUE(manifest->packaged);
    EXPECT_TRUE(manifest->files.empty());
}

struct BadManifest {
    const char* name;
    const char* text;
};

std::ostream& operator<<(std::ostream& out, const BadManifest& c) {
    return out << c.name;
}

class RejectedManifest : public ::testing::TestWithParam<BadManifest> {};

// A manifest that names anything but clean absolute paths could make the uninstall remove
// something the install never put there: it is not used at all.
TEST_P(RejectedManifest, IsNotAManifest) {
    EXPECT_FALSE(ParseInstallManifest(GetParam().text).has_value());
}

INSTANTIATE_TEST_SUITE_P(Lines, RejectedManifest,
                         testing::Values(BadManifest{"RelativePath", "file lib/sonocap\n"},
                                         BadManifest{"ParentComponent", "file /p/../etc/passwd\n"},
                                         BadManifest{"DotComponent", "directory /p/./lib\n"},
                                         BadManifest{"EmptyComponent", "file /p//bin\n"},
                                         BadManifest{"TrailingSeparator", "directory /p/lib/\n"},
                                         BadManifest{"Root", "directory /\n"},
                                         BadManifest{"UnknownWord", "remove /p\n"},
                                         BadManifest{"NpathNotANumber", "npath four\n"},
                                         BadManifest{"NpathWithTail", "npath 4x\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace sonocap::installer

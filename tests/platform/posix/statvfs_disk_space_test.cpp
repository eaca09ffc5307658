#include "platform/posix/statvfs_disk_space.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include "tests/platform/temp_directory.h"

namespace sonocap::platform {
namespace {

TEST(StatvfsDiskSpace, FreeBytesAreAvailableBlocksTimesFragmentSize) {
    testing::TempDirectory directory;
    struct statvfs info {};
    ASSERT_EQ(statvfs(directory.path().c_str(), &info), 0);
    StatvfsDiskSpace space;
    const std::optional<uint64_t> free = space.FreeBytes(directory.path().string());
    ASSERT_TRUE(free.has_value());
    EXPECT_EQ(*free % info.f_frsize, 0u);
    // Other processes write meanwhile; the figure is the same within a few megabytes.
    const uint64_t expected = static_cast<uint64_t>(info.f_bavail) * info.f_frsize;
    EXPECT_NEAR(static_cast<double>(*free), static_cast<double>(expected), 64.0 * 1024 * 1024);
}

TEST(StatvfsDiskSpace, MissingDirectoryHasNoFigure) {
    StatvfsDiskSpace space;
    EXPECT_FALSE(space.FreeBytes("/nonexistent/sonocap/directory").has_value());
    EXPECT_FALSE(space.FreeBytes("").has_value());
}

}  // namespace
}  // namespace sonocap::platform

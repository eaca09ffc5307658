#include "uninstall/uninstall_flow.h"

#include <gtest/gtest.h>

#include "tests/uninstall/fake_uninstall_platform.h"
#include "uninstall/information_message.h"
#include "uninstall/install_location.h"

namespace sonocap::uninstall {
namespace {

using Log = std::vector<std::string>;
constexpr std::uint64_t kNever = UINT64_MAX;

// An installation of Sonocap in `directory`, with its installer and the program's own file.
class UninstallFlowTest : public testing::Test {
  protected:
    void Install(const std::string& directory, std::optional<std::uint32_t> npath) {
        RegistryKey key;
        key.SetValue(kDefaultValueName, directory + "/sonocap");
        if (npath) key.SetValue(kNpathValueName, *npath);
        registry.SetKey(kAppPathsKey, key);
        platform.AddDirectory(directory);
        platform.AddFile(directory + "/setup.exe", "installer");
    }
    // The installer answers with `content` in the marker, atMs after it was started.
    void AnswerAt(const std::string& directory, const std::string& content, std::uint64_t atMs) {
        platform.AddFileAt(directory + "/$$$67352.tmp", content, atMs);
    }
    UninstallOutcome Run(const std::string& ownInstallation = "") {
        UninstallLayers layers{registry, platform, platform, platform, platform, ownInstallation};
        return RunUninstall(layers);
    }
    Log Sleeps() const {
        Log sleeps;
        for (const auto& entry : platform.log) {
            if (entry.starts_with("sleep ")) sleeps.push_back(entry);
        }
        return sleeps;
    }
    int Opens() const {
        return static_cast<int>(
            std::count_if(platform.log.begin(), platform.log.end(),
                          [](const auto& e) { return e.starts_with("open "); }));
    }

    FakeRegistry registry;
    FakeUninstallPlatform platform;
};

TEST_F(UninstallFlowTest, RemovalAskedForRunsEveryStepInOrder) {
    Install("/Apps/Audio/Rec", 2u);
    AnswerAt("/Apps/Audio/Rec", "\x01", 0);
    EXPECT_EQ(Run(), UninstallOutcome::InstallerRemoved);
    const Log expected = {
        "start /Apps/Audio/Rec/setup.exe 2",
        "sleep 5000",
        "open /Apps/Audio/Rec/$$$67352.tmp",
        "sleep 500",
        "read",
        "close",
        "delete /Apps/Audio/Rec/$$$67352.tmp",
        "delete /Apps/Audio/Rec/setup.exe",
        "rmdir /Apps/Audio/Rec",
        "rmdir /Apps/Audio",
    };
    EXPECT_EQ(platform.log, expected);
    EXPECT_EQ(platform.directories, std::set<std::string>{"/Apps"});
    EXPECT_TRUE(platform.openHandles.empty());
}

TEST_F(UninstallFlowTest, MarkerPresentBeforehandIsFoundAtTheFirstAttemptAfterFiveSeconds) {
    Install("/X", 2u);
    AnswerAt("/X", "\x01", 0);
    Run();
    EXPECT_EQ(platform.openTimesMs, std::vector<std::uint64_t>{5000});
}

TEST_F(UninstallFlowTest, MarkerLookedForOnceASecondAndReadHalfASecondAfterOpening) {
    Install("/X", 2u);
    AnswerAt("/X", "\x01", 7300);
    EXPECT_EQ(Run(), UninstallOutcome::InstallerRemoved);
    EXPECT_EQ(platform.openTimesMs, (std::vector<std::uint64_t>{5000, 6000, 7000, 8000}));
    EXPECT_EQ(Sleeps(), (Log{"sleep 5000", "sleep 1000", "sleep 1000", "sleep 1000", "sleep 500"}));
    EXPECT_EQ(platform.nowMs, 8500u);
}

TEST_F(UninstallFlowTest, NoMarkerGivesUpSilentlyAfterSixtyTwoAttempts) {
    Install("/Apps/Audio/Rec", 2u);
    EXPECT_EQ(Run(), UninstallOutcome::MarkerNotFound);
    EXPECT_EQ(Opens(), 62);
    Log expectedSleeps{"sleep 5000"};
    expectedSleeps.insert(expectedSleeps.end(), 62, "sleep 1000");
    EXPECT_EQ(Sleeps(), expectedSleeps);
    EXPECT_EQ(platform.log.back(), "sleep 1000");
    EXPECT_EQ(platform.nowMs, 67000u);
    EXPECT_TRUE(platform.shownMessages.empty());
    EXPECT_TRUE(platform.Exists("/Apps/Audio/Rec/setup.exe"));
    EXPECT_TRUE(platform.Exists("/Apps/Audio/Rec"));
}

struct LateMarkerCase {
    const char* name;
    std::uint64_t answerAtMs;
    UninstallOutcome expected;
    int expectedOpens;
    std::uint64_t installerEndsAtMs = kNever;
};

std::ostream& operator<<(std::ostream& out, const LateMarkerCase& c) {
    return out << c.name;
}

class LateMarker : public UninstallFlowTest, public testing::WithParamInterface<LateMarkerCase> {};

TEST_P(LateMarker, CountsAttempts) {
    Install("/X", 2u);
    AnswerAt("/X", "\x01", GetParam().answerAtMs);
    platform.installerEndsAtMs = GetParam().installerEndsAtMs;
    EXPECT_EQ(Run(), GetParam().expected);
    EXPECT_EQ(Opens(), GetParam().expectedOpens);
}

// The 62nd attempt comes 5 s + 61 s after the start. An installer that has ended without an
// answer is looked for once more, no longer.
INSTANTIATE_TEST_SUITE_P(
    Cases, LateMarker,
    testing::Values(LateMarkerCase{"SecondAttempt", 5001, UninstallOutcome::InstallerRemoved, 2},
                    LateMarkerCase{"LastAttempt", 66000, UninstallOutcome::InstallerRemoved, 62},
                    LateMarkerCase{"JustTooLate", 66001, UninstallOutcome::MarkerNotFound, 62},
                    LateMarkerCase{"InstallerEndedAtOnceWithout", kNever,
                                   UninstallOutcome::MarkerNotFound, 1, 100},
                    LateMarkerCase{"InstallerEndedLaterWithout", kNever,
                                   UninstallOutcome::MarkerNotFound, 4, 7500},
                    LateMarkerCase{"AnswerAsTheInstallerEnds", 6000,
                                   UninstallOutcome::InstallerRemoved, 2, 6000}));

struct AnswerCase {
    const char* name;
    std::string content;
};

std::ostream& operator<<(std::ostream& out, const AnswerCase& c) {
    return out << c.name;
}

class AnswerOtherThanOne : public UninstallFlowTest,
                           public testing::WithParamInterface<AnswerCase> {};

TEST_P(AnswerOtherThanOne, DeletesOnlyTheMarker) {
    Install("/Apps/Audio/Rec", 2u);
    AnswerAt("/Apps/Audio/Rec", GetParam().content, 0);
    EXPECT_EQ(Run(), UninstallOutcome::InstallerKept);
    EXPECT_EQ(platform.log.back(), "delete /Apps/Audio/Rec/$$$67352.tmp");
    EXPECT_FALSE(platform.Exists("/Apps/Audio/Rec/$$$67352.tmp"));
    EXPECT_TRUE(platform.Exists("/Apps/Audio/Rec/setup.exe"));
    EXPECT_EQ(platform.directories,
              (std::set<std::string>{"/Apps", "/Apps/Audio", "/Apps/Audio/Rec"}));
}

INSTANTIATE_TEST_SUITE_P(Cases, AnswerOtherThanOne,
                         testing::Values(AnswerCase{"ByteZero", std::string(1, '\0')},
                                         AnswerCase{"ByteTwo", "\x02"},
                                         AnswerCase{"ByteOneNotFirst", "\x02\x01"},
                                         AnswerCase{"EmptyMarker", ""}));

TEST_F(UninstallFlowTest, ExtraBytesAfterTheFirstDoNotMatter) {
    Install("/X", 1u);
    AnswerAt("/X", "\x01\x00\x07", 0);
    EXPECT_EQ(Run(), UninstallOutcome::InstallerRemoved);
}

struct NpathCase {
    const char* name;
    std::string directory;
    std::optional<std::uint32_t> npath;
    std::vector<std::string> expectedRemovals;
};

std::ostream& operator<<(std::ostream& out, const NpathCase& c) {
    return out << c.name;
}

class NpathLevels : public UninstallFlowTest, public testing::WithParamInterface<NpathCase> {};

TEST_P(NpathLevels, LeavesTheFirstNpathComponents) {
    const NpathCase& c = GetParam();
    Install(c.directory, c.npath);
    AnswerAt(c.directory, "\x01", 0);
    EXPECT_EQ(Run(), UninstallOutcome::InstallerRemoved);
    Log removals;
    for (const auto& entry : platform.log) {
        if (entry.starts_with("rmdir ")) removals.push_back(entry.substr(6));
    }
    EXPECT_EQ(removals, c.expectedRemovals);
    // The installer goes whenever removal is asked for, whatever npath says.
    EXPECT_FALSE(platform.Exists(c.directory + "/setup.exe"));
}

// A directory /X has one separator and two components, the root counting as the first.
INSTANTIATE_TEST_SUITE_P(
    Cases, NpathLevels,
    testing::Values(
        NpathCase{"OneComponentKept", "/X", 1u, {"/X"}},
        NpathCase{"BothComponentsKept", "/X", 2u, {}},
        NpathCase{"MoreThanTheComponents", "/X", 3u, {}},
        NpathCase{"ZeroWouldReachTheRoot", "/X", 0u, {}},
        NpathCase{"LargestNumber", "/X", 0xFFFFFFFFu, {}},
        NpathCase{"Missing", "/X", std::nullopt, {}},
        NpathCase{"TwoOfFour", "/Apps/Audio/Rec", 2u, {"/Apps/Audio/Rec", "/Apps/Audio"}},
        NpathCase{"AllButRoot", "/Apps/Audio/Rec", 1u, {"/Apps/Audio/Rec", "/Apps/Audio", "/Apps"}},
        NpathCase{"AllKept", "/Apps/Audio/Rec", 4u, {}}));

TEST_F(UninstallFlowTest, NonEmptyDirectorySurvivesWithItsParents) {
    Install("/Apps/Audio/Rec", 1u);
    platform.AddFile("/Apps/Audio/Rec/take.wav", "RIFF");
    AnswerAt("/Apps/Audio/Rec", "\x01", 0);
    EXPECT_EQ(Run(), UninstallOutcome::InstallerRemoved);
    EXPECT_FALSE(platform.Exists("/Apps/Audio/Rec/setup.exe"));
    EXPECT_TRUE(platform.Exists("/Apps/Audio/Rec/take.wav"));
    EXPECT_EQ(platform.directories,
              (std::set<std::string>{"/Apps", "/Apps/Audio", "/Apps/Audio/Rec"}));
}

TEST_F(UninstallFlowTest, SymbolicLinkInTheInstallationIsNotFollowed) {
    Install("/Apps/link/Rec", 2u);
    platform.AddSymbolicLink("/Apps/link");
    AnswerAt("/Apps/link/Rec", "\x01", 0);
    EXPECT_EQ(Run(), UninstallOutcome::InstallerRemoved);
    EXPECT_EQ(std::count_if(platform.log.begin(), platform.log.end(),
                            [](const auto& e) { return e.starts_with("rmdir "); }),
              0);
}

// The helper of installation A, while the App Paths entry names a later installation B: it
// reads A's own key and starts A's installer only.
TEST_F(UninstallFlowTest, HelperOfAnInstallationActsOnItsOwnOnly) {
    Install("/b/lib/sonocap", 3u);
    RegistryKey own;
    own.SetValue(kDefaultValueName, "/a/lib/sonocap/sonocap");
    own.SetValue(kNpathValueName, 2u);
    registry.SetKey(InstallationKey("/a/lib/sonocap"), own);
    platform.AddFile("/a/lib/sonocap/setup.exe", "installer");
    AnswerAt("/a/lib/sonocap", "\x01", 0);
    EXPECT_EQ(Run("/a/lib/sonocap"), UninstallOutcome::InstallerRemoved);
    EXPECT_EQ(platform.log.front(), "start /a/lib/sonocap/setup.exe 2");
    EXPECT_TRUE(platform.Exists("/b/lib/sonocap/setup.exe"));
}

// Without a key of its own, the installation is gone: the entry of another is not used.
TEST_F(UninstallFlowTest, HelperWithoutItsOwnKeyStartsNothing) {
    Install("/b/lib/sonocap", 3u);
    EXPECT_EQ(Run("/a/lib/sonocap"), UninstallOutcome::NoKnownInstallation);
    EXPECT_EQ(platform.log, Log{"message Information:"});
}

struct TrustCase {
    const char* name;
    std::string path;
};

std::ostream& operator<<(std::ostream& out, const TrustCase& c) {
    return out << c.name;
}

class NotTrusted : public UninstallFlowTest, public testing::WithParamInterface<TrustCase> {};

// Root is never made to run a program that another user could have put there.
TEST_P(NotTrusted, SaysWhoseItIsAndStartsNothing) {
    Install("/home/ann/opt/lib/sonocap", 5u);
    platform.untrusted[GetParam().path] = GetParam().path + " belongs to ann (uid 1000)";
    EXPECT_EQ(Run(), UninstallOutcome::NotTrusted);
    ASSERT_EQ(platform.shownMessages.size(), 1u);
    EXPECT_EQ(platform.shownMessages[0].first, kRefusalTitle);
    EXPECT_NE(platform.shownMessages[0].second.find(GetParam().path + " belongs to ann"),
              std::string::npos);
    EXPECT_EQ(platform.log.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, NotTrusted,
                         testing::Values(TrustCase{"Folder", "/home/ann/opt/lib/sonocap"},
                                         TrustCase{"Installer",
                                                   "/home/ann/opt/lib/sonocap/setup.exe"}));

// A manifest of someone else's beside the installer is refused as the installer would be.
TEST_F(UninstallFlowTest, ManifestOfAnotherUserStartsNothing) {
    Install("/home/ann/opt/lib/sonocap", 5u);
    platform.AddFile("/home/ann/opt/lib/sonocap/sonocap.manifest", "program lib/sonocap\n");
    platform.untrusted["/home/ann/opt/lib/sonocap/sonocap.manifest"] = "it belongs to ann";
    EXPECT_EQ(Run(), UninstallOutcome::NotTrusted);
    EXPECT_EQ(platform.log, Log{"message Sonocap uninstall:"});
}

struct StartCase {
    const char* name;
    std::uint32_t result;
    bool started;
};

std::ostream& operator<<(std::ostream& out, const StartCase& c) {
    return out << c.name;
}

class StartResult : public UninstallFlowTest, public testing::WithParamInterface<StartCase> {};

TEST_P(StartResult, BelowThirtyTwoShowsTheMessageAndEnds) {
    Install("/X", 2u);
    platform.startResult = GetParam().result;
    const UninstallOutcome outcome = Run();
    if (GetParam().started) {
        EXPECT_EQ(outcome, UninstallOutcome::MarkerNotFound);
        EXPECT_TRUE(platform.shownMessages.empty());
    } else {
        EXPECT_EQ(outcome, UninstallOutcome::InstallerNotStarted);
        EXPECT_EQ(platform.log, (Log{"start /X/setup.exe 2", "message Information:"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StartResult,
                         testing::Values(StartCase{"OutOfResources", 0, false},
                                         StartCase{"FileNotFound", 2, false},
                                         StartCase{"ThirtyOne", 31, false},
                                         StartCase{"ThirtyTwo", 32, true},
                                         StartCase{"Large", 0xFFFFFFFFu, true}));

TEST_F(UninstallFlowTest, MessageHasTheInformationTitleAndText) {
    platform.startResult = kStartFileNotFound;
    Install("/X", 2u);
    Run();
    ASSERT_EQ(platform.shownMessages.size(), 1u);
    EXPECT_EQ(platform.shownMessages[0].first, kInformationTitle);
    EXPECT_EQ(platform.shownMessages[0].second, kInformationText);
}

TEST_F(UninstallFlowTest, MissingKeyShowsTheMessageAndStartsNothing) {
    EXPECT_EQ(Run(), UninstallOutcome::NoKnownInstallation);
    EXPECT_EQ(platform.log, Log{"message Information:"});
}

struct RefusedCase {
    const char* name;
    std::string executable;
};

std::ostream& operator<<(std::ostream& out, const RefusedCase& c) {
    return out << c.name;
}

class RefusedDirectory : public UninstallFlowTest,
                         public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedDirectory, ShowsTheMessageAndStartsNothing) {
    RegistryKey key;
    key.SetValue(kDefaultValueName, GetParam().executable);
    key.SetValue(kNpathValueName, 1u);
    registry.SetKey(kAppPathsKey, key);
    EXPECT_EQ(Run(), UninstallOutcome::NoKnownInstallation);
    EXPECT_EQ(platform.log, Log{"message Information:"});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedDirectory,
    testing::Values(RefusedCase{"EmptyValue", ""}, RefusedCase{"ExecutableInRoot", "/prog"},
                    RefusedCase{"Relative", "apps/son/prog"},
                    RefusedCase{"ParentComponent", "/a/../b/prog"},
                    RefusedCase{"DotComponent", "/a/./prog"},
                    RefusedCase{"EmptyComponent", "/a//b/prog"},
                    RefusedCase{"DirectoryOneByteTooLong", "/" + std::string(246, 'd') + "/prog"}));

TEST_F(UninstallFlowTest, LongestDirectoryIsAccepted) {
    const std::string directory = "/" + std::string(245, 'd');
    ASSERT_EQ(directory.size(), kMaxInstallDirectoryBytes);
    Install(directory, 2u);
    AnswerAt(directory, "\x01", 0);
    EXPECT_EQ(Run(), UninstallOutcome::InstallerRemoved);
    EXPECT_EQ(platform.log.front(), "start " + directory + "/setup.exe 2");
}

struct UsableCase {
    const char* name;
    std::string directory;
    bool expected;
};

std::ostream& operator<<(std::ostream& out, const UsableCase& c) {
    return out << c.name;
}

class UsableDirectory : public testing::TestWithParam<UsableCase> {};

TEST_P(UsableDirectory, AbsoluteAndPlain) {
    EXPECT_EQ(IsUsableInstallDirectory(GetParam().directory), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UsableDirectory,
    testing::Values(UsableCase{"Nested", "/a/b", true}, UsableCase{"OneComponent", "/x", true},
                    UsableCase{"Empty", "", false}, UsableCase{"Root", "/", false},
                    UsableCase{"Relative", "a/b", false},
                    UsableCase{"TrailingSeparator", "/a/", false}, UsableCase{"Dot", "/a/.", false},
                    UsableCase{"DotDot", "/../a", false},
                    UsableCase{"DotsInName", "/a/..b/c.", true},
                    UsableCase{"NulByte", std::string("/a\0b", 4), false},
                    UsableCase{"LongestAllowed", "/" + std::string(245, 'd'), true},
                    UsableCase{"OneTooLong", "/" + std::string(246, 'd'), false}));

}  // namespace
}  // namespace sonocap::uninstall

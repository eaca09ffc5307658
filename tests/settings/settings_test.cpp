#include "settings/settings.h"

#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "platform/fake/fake_file_io.h"
#include "platform/fake/fake_system_info.h"
#include "platform/fake/recording_message_sink.h"
#include "platform/linux/linux_system_info.h"
#include "settings/parameter_record.h"
#include "settings/program_environment.h"
#include "settings/program_values.h"
#include "settings/settings_location.h"
#include "tests/platform/temp_directory.h"
#include "tests/settings/child_process.h"
#include "tests/settings/parameter_images.h"

namespace sonocap {
namespace {

using testing::Bytes;
using testing::ReadBytes;
using testing::ValidParameterImage;
using testing::WriteBytes;

const std::string kFileErrorTitle = " File error:";
const std::string kFileErrorText = "\n" + std::string(6, ' ') +
                                   "The parameter File could not be saved." + std::string(5, ' ') +
                                   "\n\n" + std::string(32, ' ') + "Disk full ?.";
const std::string kParameterFileErrorTitle = " Parameter file error:";
const std::string kParameterFileErrorText = "\n" + std::string(4, ' ') +
                                            "The parameter File is invalid. The program" +
                                            std::string(3, ' ') + "\n" + std::string(6, ' ') +
                                            "will start with a set of default parameter.";

bool IsMessage(const platform::MessageRequest& request, const std::string& title,
               const std::string& text) {
    return request.title == title && request.text == text &&
           request.buttons == platform::MessageButtons::Ok && request.systemModal;
}

// Exit codes of a child that saved the settings.
constexpr int kOneFileErrorMessage = 0;
constexpr int kNoMessage = 10;
constexpr int kOtherMessages = 11;
constexpr int kChildSetupFailed = 12;

int SaveAndReport(platform::RecordingMessageSink& sink) {
    SaveSettings();
    if (sink.messages.empty()) return kNoMessage;
    if (sink.messages.size() != 1 ||
        !IsMessage(sink.messages[0], kFileErrorTitle, kFileErrorText)) {
        return kOtherMessages;
    }
    return kOneFileErrorMessage;
}

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetProgramValues();
        programDirectory = dir_.path().string() + "/";
        platform::Install<platform::MessageSink>(&sink_);
        platform::Install<platform::FileIo>(&realFiles_);
        platform::Install<platform::SystemInfo>(&realSystem_);
    }
    void TearDown() override {
        platform::Install<platform::MessageSink>(nullptr);
        platform::Install<platform::FileIo>(nullptr);
        platform::Install<platform::SystemInfo>(nullptr);
    }

    std::string filePath() const { return dir_.file("sonocap.par"); }

    void ExpectDefaults() const {
        EXPECT_EQ(parameterRecord.magic, kParameterMagic);
        EXPECT_EQ(parameterRecord.lastDirectory[0], '\0');
        EXPECT_EQ(parameterRecord.compression, 0);
        EXPECT_EQ(parameterRecord.dcFilter, 0);
    }

    testing::TempDirectory dir_;
    platform::RecordingMessageSink sink_;
    platform::PosixFileIo realFiles_;
    platform::LinuxSystemInfo realSystem_;
};

TEST_F(SettingsTest, StartWithoutFileShowsOneMessageAndUsesTheDefaults) {
    LoadSettings();
    ASSERT_EQ(sink_.messages.size(), 1u);
    EXPECT_TRUE(IsMessage(sink_.messages[0], kParameterFileErrorTitle, kParameterFileErrorText));
    ExpectDefaults();
    EXPECT_FALSE(std::filesystem::exists(filePath()));
}

TEST_F(SettingsTest, AfterAStartWithoutFileTheNextStartShowsNoMessage) {
    LoadSettings();
    parameterRecord.dcFilter = 1;
    SaveSettings();
    EXPECT_EQ(sink_.messages.size(), 1u);
    EXPECT_EQ(ReadBytes(filePath()), ValidParameterImage("", 0, 1));

    std::memset(&parameterRecord, 0, sizeof parameterRecord);
    sink_.messages.clear();
    LoadSettings();
    EXPECT_TRUE(sink_.messages.empty());
    EXPECT_EQ(parameterRecord.dcFilter, 1);
}

TEST_F(SettingsTest, ValidFileShowsNoMessageAndKeepsItsValues) {
    WriteBytes(filePath(), ValidParameterImage("/home/rec", 7, 1));
    LoadSettings();
    EXPECT_TRUE(sink_.messages.empty());
    EXPECT_STREQ(parameterRecord.lastDirectory, "/home/rec");
    EXPECT_EQ(parameterRecord.compression, 7);
    EXPECT_EQ(parameterRecord.dcFilter, 1);
}

class InvalidSettingsFile : public SettingsTest,
                            public ::testing::WithParamInterface<testing::InvalidFileCase> {};

TEST_P(InvalidSettingsFile, ShowsOneMessageAndUsesTheDefaults) {
    WriteBytes(filePath(), GetParam().bytes);
    LoadSettings();
    ASSERT_EQ(sink_.messages.size(), 1u);
    EXPECT_TRUE(IsMessage(sink_.messages[0], kParameterFileErrorTitle, kParameterFileErrorText));
    ExpectDefaults();
    // Nothing is written until the program ends.
    EXPECT_EQ(ReadBytes(filePath()), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Files, InvalidSettingsFile,
                         ::testing::ValuesIn(testing::InvalidParameterFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, SuccessfulSaveShowsNoMessage) {
    SetDefaultParameters(parameterRecord);
    SaveSettings();
    EXPECT_TRUE(sink_.messages.empty());
    EXPECT_EQ(ReadBytes(filePath()), ValidParameterImage("", 0, 0));
}

TEST_F(SettingsTest, FileThatCannotBeCreatedShowsTheFileErrorMessage) {
    platform::FakeFileIo files;
    files.refuseCreate = true;
    platform::Install<platform::FileIo>(&files);
    SetDefaultParameters(parameterRecord);
    EXPECT_EQ(SaveAndReport(sink_), kOneFileErrorMessage);
}

TEST_F(SettingsTest, ShortWriteShowsTheFileErrorMessageAndTheNextStartRejectsTheFile) {
    platform::FakeFileIo files;
    files.diskSpaceBytes = 271;
    platform::Install<platform::FileIo>(&files);
    SetDefaultParameters(parameterRecord);
    EXPECT_EQ(SaveAndReport(sink_), kOneFileErrorMessage);
    EXPECT_EQ(ReadBytes(filePath()).size(), 271u);

    platform::Install<platform::FileIo>(&realFiles_);
    sink_.messages.clear();
    parameterRecord.compression = 1;
    LoadSettings();
    ASSERT_EQ(sink_.messages.size(), 1u);
    EXPECT_EQ(sink_.messages[0].title, kParameterFileErrorTitle);
    ExpectDefaults();
}

// Becomes an unprivileged user, for whom permissions hold even when the tests run as root.
bool DropPrivileges() {
    if (geteuid() != 0) return true;
    const gid_t nobodyGroup = 65534;
    const uid_t nobodyUser = 65534;
    return setgroups(0, nullptr) == 0 && setgid(nobodyGroup) == 0 && setuid(nobodyUser) == 0;
}

int SaveWithoutPrivileges(platform::RecordingMessageSink& sink) {
    if (!DropPrivileges()) return kChildSetupFailed;
    return SaveAndReport(sink);
}

void MakeReadOnly(const std::filesystem::path& directory) {
    using std::filesystem::perms;
    std::filesystem::permissions(directory, perms::owner_read | perms::owner_exec |
                                                perms::group_read | perms::group_exec |
                                                perms::others_read | perms::others_exec);
}

// A folder that the unprivileged user may write.
void OpenToEveryone(const std::filesystem::path& directory) {
    std::filesystem::permissions(directory, std::filesystem::perms::all);
}

// A shared installation: the program's folder holds valid defaults and cannot be written; each
// user's settings live under their configuration home.
class SharedInstallationTest : public SettingsTest {
  protected:
    void SetUp() override {
        SettingsTest::SetUp();
        WriteBytes(filePath(), ValidParameterImage("", 0, 0));
        MakeReadOnly(dir_.path());
        OpenToEveryone(config_.path());
        setenv("XDG_CONFIG_HOME", config_.path().c_str(), 1);
    }
    void TearDown() override {
        unsetenv("XDG_CONFIG_HOME");
        SettingsTest::TearDown();
    }
    std::string userFile() const { return config_.file("sonocap/sonocap.par"); }

    testing::TempDirectory config_;
};

TEST_F(SharedInstallationTest, FirstStartReadsTheInstalledDefaultsAndSavesUnderTheUsersFolder) {
    const int result = testing::RunInChildProcess([&] {
        if (!DropPrivileges()) return kChildSetupFailed;
        LoadSettings();
        if (!sink_.messages.empty()) return kOtherMessages;
        parameterRecord.compression = 1;
        return SaveAndReport(sink_);
    });
    EXPECT_EQ(result, kNoMessage);
    EXPECT_EQ(ReadBytes(userFile()), ValidParameterImage("", 1, 0));
    // The installation is never written.
    EXPECT_EQ(ReadBytes(filePath()), ValidParameterImage("", 0, 0));
}

TEST_F(SharedInstallationTest, UsersOwnFileIsReadInsteadOfTheInstalledOne) {
    std::filesystem::create_directories(config_.path() / "sonocap");
    WriteBytes(userFile(), ValidParameterImage("/home/rec", 1, 1));
    const int result = testing::RunInChildProcess([&] {
        if (!DropPrivileges()) return kChildSetupFailed;
        LoadSettings();
        const bool own = std::string(parameterRecord.lastDirectory) == "/home/rec" &&
                         parameterRecord.dcFilter == 1;
        return sink_.messages.empty() && own ? kNoMessage : kOtherMessages;
    });
    EXPECT_EQ(result, kNoMessage);
}

TEST_F(SharedInstallationTest, ConfigurationFolderThatIsNotWritableShowsTheFileErrorMessage) {
    MakeReadOnly(config_.path());
    SetDefaultParameters(parameterRecord);
    EXPECT_EQ(testing::RunInChildProcess([&] { return SaveWithoutPrivileges(sink_); }),
              kOneFileErrorMessage);
    EXPECT_FALSE(std::filesystem::exists(userFile()));
}

// The table of choices: a writable program folder keeps the file beside the executable.
struct LocationCase {
    const char* name;
    SettingsSituation situation;
    SettingsLocation expected;
};

std::ostream& operator<<(std::ostream& out, const LocationCase& c) {
    return out << c.name;
}

class SettingsLocationChoice : public ::testing::TestWithParam<LocationCase> {};

TEST_P(SettingsLocationChoice, ReadsAndWritesWhereTheSituationAsks) {
    const SettingsLocation location = ChooseSettingsLocation(GetParam().situation);
    EXPECT_EQ(location.readPath, GetParam().expected.readPath);
    EXPECT_EQ(location.writePath, GetParam().expected.writePath);
}

INSTANTIATE_TEST_SUITE_P(
    Situations, SettingsLocationChoice,
    ::testing::Values(LocationCase{"PortableCopy",
                                   {"/p/", false, "/c/sonocap/", true},
                                   {"/p/sonocap.par", "/p/sonocap.par"}},
                      LocationCase{"InstallationFirstStart",
                                   {"/p/", true, "/c/sonocap/", false},
                                   {"/p/sonocap.par", "/c/sonocap/sonocap.par"}},
                      LocationCase{"InstallationLaterStart",
                                   {"/p/", true, "/c/sonocap/", true},
                                   {"/c/sonocap/sonocap.par", "/c/sonocap/sonocap.par"}},
                      LocationCase{"InstallationWithoutConfigurationHome",
                                   {"/p/", true, "", false},
                                   {"/p/sonocap.par", ""}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserSettingsDirectory, ConfigurationHomeFirstThenHome) {
    platform::FakeSystemInfo system;
    const platform::LayerGuard<platform::SystemInfo> guard(system);
    system.environment = {{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}};
    EXPECT_EQ(UserSettingsDirectory(), "/cfg/sonocap/");
    system.environment["XDG_CONFIG_HOME"] = "relative";
    EXPECT_EQ(UserSettingsDirectory(), "/home/u/.config/sonocap/");
    system.environment.clear();
    EXPECT_EQ(UserSettingsDirectory(), "");
}

TEST_F(SettingsTest, FolderMarkedAsAnInstallationIsNeverWritten) {
    testing::TempDirectory config;
    setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
    WriteBytes(dir_.file(kManifestName), {});
    SetDefaultParameters(parameterRecord);
    SaveSettings();
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_TRUE(sink_.messages.empty());
    EXPECT_FALSE(std::filesystem::exists(filePath()));
    EXPECT_EQ(ReadBytes(config.file("sonocap/sonocap.par")), ValidParameterImage("", 0, 0));
}

TEST_F(SettingsTest, ReadOnlyFileShowsTheFileErrorMessageAndStaysAsItWas) {
    const Bytes old = ValidParameterImage("/old", 1, 1);
    WriteBytes(filePath(), old);
    std::filesystem::permissions(filePath(), std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::group_read |
                                                 std::filesystem::perms::others_read);
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::all);
    SetDefaultParameters(parameterRecord);
    EXPECT_EQ(testing::RunInChildProcess([&] { return SaveWithoutPrivileges(sink_); }),
              kOneFileErrorMessage);
    EXPECT_EQ(ReadBytes(filePath()), old);
}

TEST_F(SettingsTest, FullDiskShowsTheFileErrorMessageAndLeavesTheShorterFile) {
    SetDefaultParameters(parameterRecord);
    constexpr rlim_t kRoomOnDisk = 100;
    const int result = testing::RunInChildProcess([&] {
        // The file-size limit stands in for a full disk: writes past it come up short.
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = kRoomOnDisk;
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return kChildSetupFailed;
        return SaveAndReport(sink_);
    });
    EXPECT_EQ(result, kOneFileErrorMessage);
    EXPECT_EQ(ReadBytes(filePath()).size(), kRoomOnDisk);
}

}  // namespace
}  // namespace sonocap

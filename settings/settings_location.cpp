#include "settings/settings_location.h"

#include "platform/file_io.h"
#include "platform/system_info.h"
#include "settings/parameter_file.h"
#include "settings/program_values.h"

namespace sonocap {

SettingsLocation ChooseSettingsLocation(const SettingsSituation& situation) {
    const std::string besideProgram = situation.programDirectory + kParameterFileName;
    if (!situation.sharedInstallation) return {besideProgram, besideProgram};
    // Without a folder of the user's own there is nowhere to write; the save then fails and
    // says so, as it does for any folder that cannot be written.
    if (situation.userDirectory.empty()) return {besideProgram, std::string()};
    const std::string own = situation.userDirectory + kParameterFileName;
    // The installed file holds valid defaults, so a user's first start asks nothing.
    return {situation.userFileExists ? own : besideProgram, own};
}

std::string UserSettingsDirectory() {
    platform::SystemInfo& system = platform::Current<platform::SystemInfo>();
    const std::optional<std::string> configHome = system.EnvironmentValue("XDG_CONFIG_HOME");
    std::string base;
    if (configHome && !configHome->empty() && configHome->front() == '/') {
        base = *configHome;
    } else {
        const std::optional<std::string> home = system.EnvironmentValue("HOME");
        if (!home || home->empty() || home->front() != '/') return std::string();
        base = *home + "/.config";
    }
    return base + "/" + kUserSettingsFolder + "/";
}

SettingsLocation FindSettingsLocation() {
    platform::FileIo& files = platform::Current<platform::FileIo>();
    SettingsSituation situation;
    situation.programDirectory = programDirectory;
    const std::string directory = programDirectory.empty() ? "." : programDirectory;
    // A folder that is missing is no installation: the file is simply not found there.
    const bool writable = platform::Current<platform::SystemInfo>().WriteAccess(directory) !=
                          platform::FolderAccess::kNotWritable;
    situation.sharedInstallation = files.Exists(programDirectory + kManifestName) || !writable;
    situation.userDirectory = UserSettingsDirectory();
    situation.userFileExists = !situation.userDirectory.empty() &&
                               files.Exists(situation.userDirectory + kParameterFileName);
    return ChooseSettingsLocation(situation);
}

}  // namespace sonocap

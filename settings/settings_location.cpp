#include "settings/settings_location.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

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
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (configHome != nullptr && configHome[0] == '/') {
        base = configHome;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] != '/') return std::string();
        base = std::string(home) + "/.config";
    }
    return base + "/" + kUserSettingsFolder + "/";
}

SettingsLocation FindSettingsLocation() {
    SettingsSituation situation;
    situation.programDirectory = programDirectory;
    const std::string directory = programDirectory.empty() ? "." : programDirectory;
    // A folder that is missing is no installation: the file is simply not found there.
    const bool writable =
        ::access(directory.c_str(), W_OK) == 0 || (errno != EACCES && errno != EROFS);
    situation.sharedInstallation =
        ::access((programDirectory + kManifestName).c_str(), F_OK) == 0 || !writable;
    situation.userDirectory = UserSettingsDirectory();
    situation.userFileExists =
        !situation.userDirectory.empty() &&
        ::access((situation.userDirectory + kParameterFileName).c_str(), F_OK) == 0;
    return ChooseSettingsLocation(situation);
}

}  // namespace sonocap

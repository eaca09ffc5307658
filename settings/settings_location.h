#pragma once

#include <string>

// Where the parameter file is read from and written to. A folder of the program that its user
// can write is a portable copy and keeps the file beside the executable. An installation (a
// folder holding the installation's manifest, or one the user cannot write) is shared: it is
// never written, and each user's file lives in their own configuration folder.

namespace sonocap {

// The installation's manifest beside the executable, written by the install and read by the
// installer (also named in cmake/SonocapInstallSteps.cmake, which writes it).
inline constexpr char kManifestName[] = "sonocap.manifest";

// The user's folder below the configuration home.
inline constexpr char kUserSettingsFolder[] = "sonocap";

struct SettingsLocation {
    std::string readPath;
    std::string writePath;
};

// What the choice rests on.
struct SettingsSituation {
    std::string programDirectory;  // ends with the path separator
    bool sharedInstallation = false;
    std::string userDirectory;  // the user's settings folder, ending with the separator; empty
                                // when the environment names none
    bool userFileExists = false;
};

SettingsLocation ChooseSettingsLocation(const SettingsSituation& situation);

// The user's settings folder: $XDG_CONFIG_HOME/sonocap/, or $HOME/.config/sonocap/ when that
// variable is not an absolute path; empty when neither is usable.
std::string UserSettingsDirectory();

// The situation of programDirectory on this system, then the choice.
SettingsLocation FindSettingsLocation();

}  // namespace sonocap

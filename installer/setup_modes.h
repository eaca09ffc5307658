#pragma once

#include <optional>
#include <string>
#include <string_view>

// What setup.exe does: "1" registers the installation it lies in, "2" takes it away again
// and answers the uninstall helper.

namespace sonocap::installer {

inline constexpr std::string_view kRegisterArgument = "1";
inline constexpr std::string_view kProgramName = "sonocap";  // the recorder, beside setup.exe

// Writes the App Paths entry for the recorder in programDirectory with the manifest's npath.
// Empty on success, else what went wrong.
std::string RegisterInstallation(const std::string& programDirectory,
                                 const std::optional<std::string>& storePath);

struct UninstallAnswer {
    unsigned char marker = 0;  // 1: the helper may delete setup.exe and the folders
    std::string message;       // for the user; empty when all went well
};

// Removes what the manifest lists and the App Paths entry when it names this installation,
// then writes the marker. An installation of the package manager, or one without a manifest,
// is left as it is.
UninstallAnswer UninstallInstallation(const std::string& programDirectory,
                                      const std::optional<std::string>& storePath);

}  // namespace sonocap::installer

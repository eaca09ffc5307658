#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <string_view>

#include "installer/installation_removal.h"

// What setup.exe does: "1" registers the installation it lies in, "2" takes it away again
// and answers the uninstall helper. Both act only on the installation of the running installer
// and only for the user it belongs to.

namespace sonocap::installer {

inline constexpr std::string_view kRegisterArgument = "1";
inline constexpr std::string_view kProgramName = "sonocap";  // the recorder, beside setup.exe

struct RegisterResult {
    std::string error;  // empty on success
    std::string note;   // for the user: another installation that stays registered
};

// Writes the installation's keys for the recorder beside `self`, with npath keeping every
// folder that existed before the install.
RegisterResult RegisterInstallation(const RunningInstaller& self,
                                    const std::optional<std::string>& storePath,
                                    uid_t user = ::geteuid());

struct UninstallAnswer {
    unsigned char marker = 0;  // 1: the helper may delete setup.exe and the folders
    std::string message;       // for the user; empty when all went well
};

// Removes what the manifest lists, as far as it is unchanged, the uninstall helper and the
// manifest last, then the installation's keys, then writes the marker. An installation of the
// package manager, another user's, one without a usable manifest or one whose entries are
// reached through a symbolic link is left exactly as it is.
UninstallAnswer UninstallInstallation(const RunningInstaller& self,
                                      const std::optional<std::string>& storePath,
                                      uid_t user = ::geteuid());

}  // namespace sonocap::installer

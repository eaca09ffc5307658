#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "uninstall/file_operations.h"
#include "uninstall/message_box.h"
#include "uninstall/program_starter.h"
#include "uninstall/registry.h"
#include "uninstall/sleeper.h"

// One run of the uninstall helper: start the installer of Sonocap's installation in its
// uninstall mode, wait for its answer in the marker file, and when it asks for it delete the
// installer and remove the emptied directories.

namespace sonocap::uninstall {

// The names and the argument are the protocol with the installer.
inline constexpr std::string_view kInstallerName = "setup.exe";
inline constexpr std::string_view kUninstallArgument = "2";
inline constexpr std::string_view kMarkerName = "$$$67352.tmp";
inline constexpr unsigned char kRemoveRequested = 1;  // the marker byte that asks for removal
// The list of what an install put in place, beside the program; a folder holding it is an
// installation (the same name as the settings' kManifestName, which this program cannot see).
inline constexpr std::string_view kInstallationManifestName = "sonocap.manifest";

// Said instead of starting an installer that someone else could have changed.
inline constexpr std::string_view kRefusalTitle = " Sonocap uninstall:";

// The installer needs a moment before it can answer; after that the marker is looked for once a
// second, and read a little after it appears so the installer has finished writing it.
inline constexpr std::uint32_t kInitialWaitMs = 5000;
inline constexpr std::uint32_t kRetryWaitMs = 1000;
inline constexpr std::uint32_t kReadDelayMs = 500;
inline constexpr int kMaxMarkerAttempts = 62;

// Paths are bounded as the installer's own buffers are: the directory with the longest name
// added, the marker's, and a terminating zero must fit in 260 bytes.
inline constexpr std::size_t kPathBufferBytes = 260;
inline constexpr std::size_t kMaxInstallDirectoryBytes =
    kPathBufferBytes - 1 - 1 - kMarkerName.size();

enum class UninstallOutcome {
    NoKnownInstallation,  // no usable directory: the information message was shown
    InstallerNotStarted,  // the information message was shown
    NotTrusted,           // the installation is another user's or others may change it: said so
    MarkerNotFound,       // gave up silently: 62 attempts, or the installer ended without one
    InstallerKept,        // the marker did not ask for removal; only the marker was deleted
    InstallerRemoved,     // setup.exe deleted, emptied directories removed as far as allowed
};

struct UninstallLayers {
    const Registry& registry;
    ProgramStarter& starter;
    MessageBox& messages;
    Sleeper& sleeper;
    FileOperations& files;
    // The program folder of the installation this helper lies in, found from its own
    // executable; empty when it lies in none. Such a helper acts on its own installation only,
    // through the installation's own key, whatever the App Paths entry names.
    std::string ownInstallation = std::string();
};

// An absolute path without empty, "." or ".." components, short enough for the path buffers.
bool IsUsableInstallDirectory(const std::string& directory);

// Directories to remove below installDirectory's first npath components; 0 when npath is
// missing or outside 1 .. separator count + 1.
std::int64_t RemovalLevels(const std::string& installDirectory,
                           const std::optional<std::uint32_t>& npath);

UninstallOutcome RunUninstall(UninstallLayers& layers);

}  // namespace sonocap::uninstall

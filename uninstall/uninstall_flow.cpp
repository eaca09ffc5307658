#include "uninstall/uninstall_flow.h"

#include <algorithm>

#include "uninstall/directory_levels.h"
#include "uninstall/information_message.h"
#include "uninstall/install_location.h"

namespace sonocap::uninstall {

namespace {

std::string InDirectory(const std::string& directory, std::string_view name) {
    std::string path = directory;
    path.push_back(kPathSeparator);
    path.append(name);
    return path;
}

void ShowInformation(MessageBox& messages) {
    messages.Show(std::string(kInformationTitle), std::string(kInformationText));
}

}  // namespace

bool IsUsableInstallDirectory(const std::string& directory) {
    if (directory.size() < 2 || directory.size() > kMaxInstallDirectoryBytes) return false;
    if (directory.front() != kPathSeparator) return false;
    if (directory.find('\0') != std::string::npos) return false;
    std::size_t start = 1;
    for (;;) {
        const auto end = std::min(directory.find(kPathSeparator, start), directory.size());
        const std::string_view component(directory.data() + start, end - start);
        if (component.empty() || component == "." || component == "..") return false;
        if (end == directory.size()) return true;
        start = end + 1;
    }
}

std::int64_t RemovalLevels(const std::string& installDirectory,
                           const std::optional<std::uint32_t>& npath) {
    const auto separators = static_cast<std::int64_t>(
        std::count(installDirectory.begin(), installDirectory.end(), kPathSeparator));
    if (!npath || *npath < 1 || *npath > separators + 1) return 0;
    return separators - static_cast<std::int64_t>(*npath) + 1;
}

UninstallOutcome RunUninstall(UninstallLayers& layers) {
    std::string installDirectory;
    std::optional<std::uint32_t> npath;
    std::string executable;
    const std::string& own = layers.ownInstallation;
    ReadInstallLocation(layers.registry, installDirectory, npath, &executable,
                        own.empty() ? std::string(kAppPathsKey) : InstallationKey(own));

    // Without a usable directory the command would name an installer outside any installation.
    // The cut keeps two characters of an executable in the root directory ("/prog" gives "/p"),
    // so the directory must also be the one that holds the executable.
    if (!IsUsableInstallDirectory(installDirectory) ||
        !IsDirectoryOf(installDirectory, executable) || (!own.empty() && installDirectory != own)) {
        ShowInformation(layers.messages);
        return UninstallOutcome::NoKnownInstallation;
    }

    // Nothing is started from a folder that another user owns or can change, nor for a manifest
    // of someone else's.
    const std::string installer = InDirectory(installDirectory, kInstallerName);
    const std::string manifest = InDirectory(installDirectory, kInstallationManifestName);
    for (const std::string& path : {installDirectory, installer, manifest}) {
        if (path == manifest && layers.files.Inspect(path) == PathKind::Missing) continue;
        if (const std::string why = layers.files.WhyNotTrusted(path); !why.empty()) {
            layers.messages.Show(std::string(kRefusalTitle),
                                 why +
                                     ".\nNothing was started: only the user it belongs to can "
                                     "remove this installation of Sonocap (one of the "
                                     "system's package manager with it: apt remove "
                                     "sonocap).");
            return UninstallOutcome::NotTrusted;
        }
    }
    if (layers.starter.Start(installer, std::string(kUninstallArgument)) < kStartSucceeded) {
        ShowInformation(layers.messages);
        return UninstallOutcome::InstallerNotStarted;
    }

    layers.sleeper.Sleep(kInitialWaitMs);
    const std::string marker = InDirectory(installDirectory, kMarkerName);
    int handle = -1;
    for (int attempt = 1;; ++attempt) {
        // An installer that has ended without answering (one that could not write into its
        // folder) never will. Asked before the look, so that an answer written as it ended counts.
        const bool installerEnded = layers.starter.Ended();
        handle = layers.files.OpenShared(marker);
        if (handle >= 0) break;
        if (installerEnded) return UninstallOutcome::MarkerNotFound;
        layers.sleeper.Sleep(kRetryWaitMs);
        if (attempt == kMaxMarkerAttempts) return UninstallOutcome::MarkerNotFound;
    }

    layers.sleeper.Sleep(kReadDelayMs);
    const auto answer = layers.files.ReadByte(handle);
    layers.files.Close(handle);
    layers.files.DeleteFile(marker);

    // An empty marker asks for nothing.
    if (answer != kRemoveRequested) return UninstallOutcome::InstallerKept;
    layers.files.DeleteFile(installer);
    RemoveDirectoryLevels(layers.files, installDirectory, RemovalLevels(installDirectory, npath));
    return UninstallOutcome::InstallerRemoved;
}

}  // namespace sonocap::uninstall

#include "installer/setup_modes.h"

#include "installer/app_paths_entry.h"
#include "installer/install_manifest.h"
#include "installer/installation_removal.h"
#include "uninstall/install_location.h"
#include "uninstall/registry_store.h"
#include "uninstall/uninstall_flow.h"

namespace sonocap::installer {

namespace {

std::string InDirectory(const std::string& directory, std::string_view name) {
    return directory + "/" + std::string(name);
}

std::optional<InstallManifest> ReadManifest(const std::string& programDirectory) {
    const auto text = ReadStore(InDirectory(programDirectory, kManifestName));
    if (!text || text->empty()) return std::nullopt;
    return ParseInstallManifest(*text);
}

// Whether the store's entry names the recorder of this installation.
bool EntryNamesThisInstallation(const std::string& store, const std::string& executable) {
    const auto keys = uninstall::ParseRegistryStore(store);
    const auto key = keys.find(uninstall::FoldRegistryName(uninstall::kAppPathsKey));
    if (key == keys.end()) return false;
    return key->second.QueryString(uninstall::kDefaultValueName) == executable;
}

}  // namespace

std::string RegisterInstallation(const std::string& programDirectory,
                                 const std::optional<std::string>& storePath) {
    const std::string manifestPath = InDirectory(programDirectory, kManifestName);
    const auto manifest = ReadManifest(programDirectory);
    if (!manifest) return manifestPath + ": missing or not an installation manifest";
    if (manifest->packaged) return manifestPath + ": the package manager owns this installation";
    if (!storePath) return "no registry store: neither XDG_CONFIG_HOME nor HOME is set";
    const auto store = ReadStore(*storePath);
    if (!store) return *storePath + ": cannot be read";
    const std::string executable = InDirectory(programDirectory, kProgramName);
    if (!WriteStore(*storePath, WithAppPathsEntry(*store, executable, manifest->npath))) {
        return *storePath + ": cannot be written";
    }
    return std::string();
}

UninstallAnswer UninstallInstallation(const std::string& programDirectory,
                                      const std::optional<std::string>& storePath) {
    UninstallAnswer answer;
    const auto manifest = ReadManifest(programDirectory);
    if (!manifest) {
        answer.message = "This installation of Sonocap has no list of its files (" +
                         InDirectory(programDirectory, kManifestName) +
                         "), so nothing was removed.";
    } else if (manifest->packaged) {
        answer.message =
            "Sonocap was installed by the system's package manager and nothing was removed.\n"
            "Remove it with the package manager, for example: apt remove sonocap";
    } else {
        const std::string installer = InDirectory(programDirectory, uninstall::kInstallerName);
        const auto failures = RemoveInstallation(*manifest, programDirectory, installer);
        if (failures.empty()) {
            // A later installation elsewhere keeps its entry.
            const auto store = storePath ? ReadStore(*storePath) : std::nullopt;
            if (store &&
                EntryNamesThisInstallation(*store, InDirectory(programDirectory, kProgramName))) {
                WriteStore(*storePath, WithoutAppPathsEntry(*store));
            }
            answer.marker = uninstall::kRemoveRequested;
        } else {
            answer.message = std::to_string(failures.size()) +
                             " files of Sonocap could not be removed, the first " +
                             failures.front().path + " (" + failures.front().reason +
                             ").\nThe installation stays registered: run sonocap-uninstall "
                             "again once they can be removed.";
        }
    }
    if (!WriteMarker(programDirectory, answer.marker) && answer.message.empty()) {
        answer.message = "The answer for the uninstall program could not be written in " +
                         programDirectory + ".";
    }
    return answer;
}

}  // namespace sonocap::installer

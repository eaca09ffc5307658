#include "installer/setup_modes.h"

#include <algorithm>

#include "installer/app_paths_entry.h"
#include "uninstall/install_location.h"
#include "uninstall/registry_store.h"
#include "uninstall/uninstall_flow.h"

namespace sonocap::installer {

namespace {

// npath: the leading components of the program's folder ("/" counting as the first) that
// existed before the install; the folders the install made below them are listed.
std::uint32_t Npath(const Installation& installation) {
    const std::string& directory = installation.directory;
    std::uint32_t components =
        static_cast<std::uint32_t>(std::count(directory.begin(), directory.end(), '/')) + 1;
    std::string made = installation.manifest.program;
    for (;;) {
        const auto& entries = installation.manifest.entries;
        const bool listed = std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
            return entry.kind == ManifestEntry::Kind::Directory && entry.path == made;
        });
        if (!listed) break;
        --components;
        const std::size_t slash = made.rfind('/');
        if (slash == std::string::npos) break;
        made.resize(slash);
    }
    return components;
}

std::string List(const std::vector<std::string>& paths) {
    std::string text;
    for (const auto& path : paths) text += "\n  " + path;
    return text;
}

}  // namespace

RegisterResult RegisterInstallation(const RunningInstaller& self,
                                    const std::optional<std::string>& storePath, uid_t user) {
    RegisterResult result;
    const auto installation = OpenInstallation(self, user, result.error);
    if (!installation || !result.error.empty()) return result;
    const std::string& directory = installation->directory;
    if (installation->manifest.packaged) {
        result.error = directory + ": the package manager owns this installation";
    } else if (!installation->notOwn.empty()) {
        result.error = installation->notOwn + ": not registered";
    } else if (!uninstall::IsUsableInstallDirectory(directory) ||
               directory.find_first_of("\n\r") != std::string::npos) {
        result.error = directory + " is " + std::to_string(directory.size()) +
                       " bytes long; the uninstall program handles folders of at most " +
                       std::to_string(uninstall::kMaxInstallDirectoryBytes) + " plain bytes";
    } else if (!storePath) {
        result.error = "no registry store: neither XDG_CONFIG_HOME nor HOME is set";
    } else if (const auto store = uninstall::ReadRegistryStoreText(*storePath); !store) {
        result.error = *storePath + " is not a registry store (not a readable regular file)";
    } else {
        std::string earlier;
        const std::string text = WithInstallation(
            *store, directory + "/" + std::string(kProgramName), Npath(*installation), &earlier);
        result.error = WriteStore(*storePath, text, user);
        if (result.error.empty() && !earlier.empty()) {
            result.note = "Sonocap is also installed in " + earlier +
                          "; it stays installed, and its own sonocap-uninstall removes it.";
        }
    }
    return result;
}

UninstallAnswer UninstallInstallation(const RunningInstaller& self,
                                      const std::optional<std::string>& storePath, uid_t user) {
    UninstallAnswer answer;
    std::string error;
    const auto installation = OpenInstallation(self, user, error);
    if (!installation || !error.empty()) {
        answer.message = error.ends_with('.') ? error : error + ": nothing was removed.";
        if (installation && installation->notOwn.empty()) WriteMarker(*installation, 0);
        return answer;
    }
    if (installation->manifest.packaged) {
        answer.message =
            "Sonocap was installed by the system's package manager and nothing was removed.\n"
            "Remove it with the package manager, for example: apt remove sonocap";
        WriteMarker(*installation, answer.marker);
        return answer;
    }
    if (!installation->notOwn.empty()) {
        // Not even the marker: nothing is written into a folder of someone else's.
        answer.message = installation->notOwn +
                         ": setup.exe removes only an installation of the user running it, and "
                         "nothing was removed.";
        return answer;
    }

    // Everything that could stop the removal half-way is looked at before anything goes.
    const std::string& directory = installation->directory;
    std::optional<std::string> store;
    std::string storeRefused;
    if (storePath) {
        store = uninstall::ReadRegistryStoreText(*storePath);
        if (!store) {
            storeRefused = *storePath + " is not a registry store (not a readable regular file)";
        } else if (WithoutInstallation(*store, directory) != *store) {
            storeRefused = WhyStoreNotWritable(*storePath, user);
        }
    }
    if (std::string why = CheckEntries(*installation, user); !why.empty()) {
        answer.message = installation->prefix + "/" + why + ": nothing was removed.";
    } else if (!storeRefused.empty()) {
        answer.message = storeRefused + ": nothing was removed.";
    } else {
        RemovalReport report;
        RemoveFiles(*installation, user, false, report);
        std::string unregistered;
        if (report.failures.empty() && store) {
            const std::string text = WithoutInstallation(*store, directory);
            if (text != *store) unregistered = WriteStore(*storePath, text, user);
            if (!unregistered.empty()) report.failures.push_back(unregistered);
        }
        if (report.failures.empty()) {
            // The helper and the manifest go last: until here a second run can finish the job.
            RemoveFiles(*installation, user, true, report);
            ::unlinkat(installation->folder.get(), kManifestName, 0);
            RemoveFolders(*installation, user);
            answer.marker = uninstall::kRemoveRequested;
        } else {
            answer.message = std::to_string(report.failures.size()) +
                             " files of Sonocap could not be removed:" + List(report.failures) +
                             "\nThe installation stays registered: run sonocap-uninstall "
                             "again once they can be removed.";
        }
        if (!report.kept.empty()) {
            answer.message += (answer.message.empty() ? "" : "\n") +
                              std::string("Kept, as they are not what was installed:") +
                              List(report.kept);
        }
    }
    if (!WriteMarker(*installation, answer.marker) && answer.message.empty()) {
        answer.message =
            "The answer for the uninstall program could not be written in " + directory + ".";
    }
    return answer;
}

}  // namespace sonocap::installer

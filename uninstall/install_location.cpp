#include "uninstall/install_location.h"

namespace sonocap::uninstall {

void CutAtLastSeparator(std::string& path) {
    for (std::size_t i = path.size(); i-- > 3;) {
        if (path[i] == kPathSeparator) {
            path.resize(i);
            return;
        }
    }
    if (path.size() > 2) path.resize(2);
}

std::string InstallationKey(const std::string& installDirectory) {
    return std::string(kInstallationsKeyPrefix) + installDirectory;
}

void ReadInstallLocation(const Registry& registry, std::string& installDirectory,
                         std::optional<std::uint32_t>& npath, std::string* executable,
                         std::string_view keyName) {
    const auto key = registry.OpenKey(keyName);
    if (!key) return;
    if (auto levels = key->QueryDword(kNpathValueName)) npath = *levels;
    if (auto path = key->QueryString(kDefaultValueName)) {
        installDirectory = *path;
        CutAtLastSeparator(installDirectory);
        if (executable != nullptr) *executable = std::move(*path);
    }
}

bool IsDirectoryOf(const std::string& directory, const std::string& executable) {
    const std::size_t nameStart = directory.size() + 1;
    return executable.size() > nameStart && executable.starts_with(directory) &&
           executable[directory.size()] == kPathSeparator &&
           executable.find(kPathSeparator, nameStart) == std::string::npos;
}

}  // namespace sonocap::uninstall

#include "uninstall/directory_levels.h"

#include <vector>

#include "uninstall/install_location.h"

namespace sonocap::uninstall {

void RemoveDirectoryLevels(FileOperations& files, const std::string& path, std::int64_t levels) {
    std::vector<std::string> directories;  // deepest first
    std::string buffer = path;
    for (std::int64_t level = 0; level < levels && !buffer.empty(); ++level) {
        directories.push_back(buffer);
        const auto separator = buffer.rfind(kPathSeparator);
        if (separator == std::string::npos) break;
        buffer.resize(separator);
    }
    for (const auto& directory : directories) {
        if (files.Inspect(directory) == PathKind::SymbolicLink) return;
    }
    for (const auto& directory : directories) files.RemoveDirectory(directory);
}

}  // namespace sonocap::uninstall

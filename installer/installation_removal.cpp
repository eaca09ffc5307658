#include "installer/installation_removal.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "uninstall/uninstall_flow.h"

namespace sonocap::installer {

namespace {

std::size_t Depth(const std::string& path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

bool IsSameOrParentOf(const std::string& directory, const std::string& path) {
    return path == directory || (path.starts_with(directory) && path[directory.size()] == '/');
}

}  // namespace

std::vector<RemovalFailure> RemoveInstallation(const InstallManifest& manifest,
                                               const std::string& programDirectory,
                                               const std::string& keep) {
    std::vector<RemovalFailure> failures;
    for (const std::string& file : manifest.files) {
        if (file == keep) continue;
        struct stat info {};
        if (::lstat(file.c_str(), &info) != 0 && errno == ENOENT) continue;
        // A folder where the install put a file is the user's now.
        if (S_ISDIR(info.st_mode)) {
            failures.push_back({file, "is a directory"});
        } else if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
            failures.push_back({file, std::strerror(errno)});
        }
    }
    std::vector<std::string> directories = manifest.directories;
    std::stable_sort(directories.begin(), directories.end(),
                     [](const auto& a, const auto& b) { return Depth(a) > Depth(b); });
    for (const std::string& directory : directories) {
        if (IsSameOrParentOf(directory, programDirectory)) continue;
        ::rmdir(directory.c_str());  // one that holds anything of the user's stays
    }
    return failures;
}

bool WriteMarker(const std::string& directory, unsigned char answer) {
    const std::string marker = directory + "/" + std::string(uninstall::kMarkerName);
    const std::string part = marker + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.put(static_cast<char>(answer));
        out.close();
        if (!out) return false;
    }
    return ::rename(part.c_str(), marker.c_str()) == 0;
}

}  // namespace sonocap::installer

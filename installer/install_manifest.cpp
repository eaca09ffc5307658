#include "installer/install_manifest.h"

#include <charconv>

namespace sonocap::installer {

bool IsCleanAbsolutePath(std::string_view path) {
    if (path.size() < 2 || path.front() != '/' || path.back() == '/') return false;
    if (path.find('\0') != std::string_view::npos) return false;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view component = path.substr(start, end - start);
        if (component.empty() || component == "." || component == "..") return false;
        start = end + 1;
    }
    return true;
}

std::optional<InstallManifest> ParseInstallManifest(std::string_view text) {
    InstallManifest manifest;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;

        const std::size_t space = line.find(' ');
        const std::string_view word = line.substr(0, space);
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        if (word == "packaged" && rest.empty()) {
            manifest.packaged = true;
        } else if (word == "npath") {
            const auto [next, error] =
                std::from_chars(rest.data(), rest.data() + rest.size(), manifest.npath);
            if (error != std::errc() || next != rest.data() + rest.size()) return std::nullopt;
        } else if ((word == "file" || word == "directory") && IsCleanAbsolutePath(rest)) {
            (word == "file" ? manifest.files : manifest.directories).emplace_back(rest);
        } else {
            return std::nullopt;
        }
    }
    return manifest;
}

}  // namespace sonocap::installer

#include "installer/install_manifest.h"

#include <algorithm>
#include <charconv>

namespace sonocap::installer {

namespace {

bool IsSha256(std::string_view text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

// The next word of `rest`, up to a blank or the end, consumed.
std::string_view TakeWord(std::string_view& rest) {
    const std::size_t space = rest.find(' ');
    const std::string_view word = rest.substr(0, space);
    rest.remove_prefix(space == std::string_view::npos ? rest.size() : space + 1);
    return word;
}

// Reads one entry into `manifest`; false when the line is no entry.
bool ParseLine(std::string_view line, InstallManifest& manifest) {
    const std::string_view word = TakeWord(line);
    if (word == "packaged") {
        manifest.packaged = true;
        return line.empty();
    }
    const std::string_view path = TakeWord(line);
    if (!IsCleanRelativePath(path)) return false;
    if (word == "program") {
        manifest.program = path;
        return line.empty();
    }
    ManifestEntry entry;
    entry.path = path;
    if (word == "file") {
        entry.kind = ManifestEntry::Kind::File;
        const std::string_view size = TakeWord(line);
        const auto [next, error] =
            std::from_chars(size.data(), size.data() + size.size(), entry.size);
        if (error != std::errc() || next != size.data() + size.size() || size.empty()) {
            return false;
        }
        if (!IsSha256(line)) return false;
        entry.sha256 = line;
    } else if (word == "link" && !line.empty()) {
        entry.kind = ManifestEntry::Kind::Link;
        entry.target = line;
    } else if ((word == "pending" || word == "directory") && line.empty()) {
        entry.kind =
            word == "pending" ? ManifestEntry::Kind::Pending : ManifestEntry::Kind::Directory;
    } else {
        return false;
    }
    manifest.entries.push_back(std::move(entry));
    return true;
}

}  // namespace

bool IsCleanRelativePath(std::string_view path) {
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view component = path.substr(start, end - start);
        if (component.empty() || component == "." || component == "..") return false;
        start = end + 1;
    }
    return true;
}

std::optional<InstallManifest> ParseInstallManifest(std::string_view text, std::string* error) {
    InstallManifest manifest;
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        if (!ParseLine(line, manifest)) {
            if (error != nullptr) {
                *error = "line " + std::to_string(number) + " is no entry: " + std::string(line);
            }
            return std::nullopt;
        }
    }
    if (!manifest.packaged && manifest.program.empty()) {
        if (error != nullptr) *error = "it does not name the program's folder";
        return std::nullopt;
    }
    return manifest;
}

}  // namespace sonocap::installer

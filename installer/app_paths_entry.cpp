#include "installer/app_paths_entry.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "uninstall/install_location.h"
#include "uninstall/registry.h"

namespace sonocap::installer {

namespace {

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted.push_back('\\');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

bool IsEntrySection(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    const auto last = line.find_last_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] != '[' || line[last] != ']') return false;
    return uninstall::FoldRegistryName(line.substr(first + 1, last - first - 1)) ==
           uninstall::FoldRegistryName(uninstall::kAppPathsKey);
}

bool IsSection(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    return first != std::string_view::npos && line[first] == '[';
}

}  // namespace

std::string WithoutAppPathsEntry(std::string_view store) {
    std::string kept;
    bool inEntry = false;
    while (!store.empty()) {
        const std::size_t end = store.find('\n');
        const std::string_view line = store.substr(0, end);
        store.remove_prefix(end == std::string_view::npos ? store.size() : end + 1);
        if (IsSection(line)) inEntry = IsEntrySection(line);
        if (inEntry) continue;
        kept.append(line);
        kept.push_back('\n');
    }
    return kept;
}

std::string WithAppPathsEntry(std::string_view store, const std::string& executable,
                              std::uint32_t npath) {
    char number[16];
    std::snprintf(number, sizeof number, "%08x", static_cast<unsigned>(npath));
    return WithoutAppPathsEntry(store) + "[" + std::string(uninstall::kAppPathsKey) +
           "]\n@=" + Quoted(executable) + "\n\"" + std::string(uninstall::kNpathValueName) +
           "\"=dword:" + number + "\n";
}

std::optional<std::string> ReadStore(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        if (error) return std::nullopt;
        return std::string();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return text.str();
}

bool WriteStore(const std::string& path, const std::string& text) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::filesystem::remove(part, error);
            return false;
        }
    }
    std::filesystem::rename(part, path, error);
    return !error;
}

}  // namespace sonocap::installer

#include "installer/app_paths_entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "installer/installation_removal.h"
#include "uninstall/ownership.h"
#include "uninstall/registry_store.h"

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

// The key name of a section line, or nothing when the line is none.
std::optional<std::string_view> SectionName(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    const auto last = line.find_last_not_of(" \t\r");
    if (first == std::string_view::npos || line[first] != '[') return std::nullopt;
    if (line[last] != ']' || last == first) return std::string_view();
    return line.substr(first + 1, last - first - 1);
}

std::string DirectoryOf(const std::string& executable) {
    std::string directory = executable;
    uninstall::CutAtLastSeparator(directory);
    return directory;
}

std::optional<uninstall::RegistryKey> Key(std::string_view store, std::string_view name) {
    const auto keys = uninstall::ParseRegistryStore(store);
    const auto key = keys.find(uninstall::FoldRegistryName(name));
    if (key == keys.end()) return std::nullopt;
    return key->second;
}

std::string ParentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// Makes the missing folders of `folder`, but only inside a folder that belongs to `user`.
std::string MakeFolders(const std::string& folder, uid_t user) {
    std::vector<std::string> missing;
    std::string existing = folder;
    struct stat info {};
    while (::lstat(existing.c_str(), &info) != 0) {
        if (errno != ENOENT || existing == "/") return existing + " cannot be examined";
        missing.push_back(existing);
        existing = ParentOf(existing);
    }
    if (missing.empty()) return std::string();
    if (::stat(existing.c_str(), &info) != 0 || info.st_uid != user) {
        return "no folder is made in " + existing + ", which belongs to " +
               uninstall::UserName(info.st_uid);
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0755) != 0 && errno != EEXIST) {
            return *it + " cannot be made: " + std::strerror(errno);
        }
    }
    return std::string();
}

// The store's folder must be the user's alone, and the store, when there, a regular file of theirs.
std::string WhyStoreNotWritable(int folder, const std::string& folderPath, const std::string& path,
                                uid_t user) {
    struct stat info {};
    if (folder < 0 || ::fstat(folder, &info) != 0) return folderPath + " cannot be opened";
    if (std::string why = uninstall::WhyNotOwn(info, folderPath, user); !why.empty()) return why;
    const std::string name = path.substr(path.rfind('/') + 1);
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        (!S_ISREG(info.st_mode) || info.st_uid != user)) {
        return path + " is not a regular file of " + uninstall::UserName(user);
    }
    return std::string();
}

}  // namespace

std::string WithoutAppPathsEntry(std::string_view store, std::string_view keyName) {
    std::string kept;
    bool inEntry = false;
    const std::string folded = uninstall::FoldRegistryName(keyName);
    while (!store.empty()) {
        const std::size_t end = store.find('\n');
        const std::string_view line = store.substr(0, end);
        store.remove_prefix(end == std::string_view::npos ? store.size() : end + 1);
        if (const auto name = SectionName(line)) {
            inEntry = uninstall::FoldRegistryName(*name) == folded;
        }
        if (inEntry) continue;
        kept.append(line);
        kept.push_back('\n');
    }
    return kept;
}

std::string WithAppPathsEntry(std::string_view store, const std::string& executable,
                              std::uint32_t npath, std::string_view keyName) {
    char number[16];
    std::snprintf(number, sizeof number, "%08x", static_cast<unsigned>(npath));
    return WithoutAppPathsEntry(store, keyName) + "[" + std::string(keyName) +
           "]\n@=" + Quoted(executable) + "\n\"" + std::string(uninstall::kNpathValueName) +
           "\"=dword:" + number + "\n";
}

std::string WithInstallation(std::string_view store, const std::string& executable,
                             std::uint32_t npath, std::string* earlier) {
    std::string text(store);
    const std::string directory = DirectoryOf(executable);
    if (const auto entry = Key(text, uninstall::kAppPathsKey)) {
        const auto named = entry->QueryString(uninstall::kDefaultValueName);
        const auto levels = entry->QueryDword(uninstall::kNpathValueName);
        if (named && levels && DirectoryOf(*named) != directory) {
            const std::string other = DirectoryOf(*named);
            if (earlier != nullptr) *earlier = other;
            // An entry from before installations had keys of their own.
            if (!Key(text, uninstall::InstallationKey(other))) {
                text = WithAppPathsEntry(text, *named, *levels, uninstall::InstallationKey(other));
            }
        }
    }
    text = WithAppPathsEntry(text, executable, npath, uninstall::InstallationKey(directory));
    return WithAppPathsEntry(text, executable, npath);
}

std::string WithoutInstallation(std::string_view store, const std::string& directory) {
    std::string text = WithoutAppPathsEntry(store, uninstall::InstallationKey(directory));
    const auto entry = Key(text, uninstall::kAppPathsKey);
    const auto named = entry ? entry->QueryString(uninstall::kDefaultValueName) : std::nullopt;
    if (!named || DirectoryOf(*named) != directory) return text;
    text = WithoutAppPathsEntry(text);
    // The newest installation left is the last one registered.
    const std::string prefix = uninstall::FoldRegistryName(uninstall::kInstallationsKeyPrefix);
    std::optional<std::string> newest;
    for (std::string_view rest = text; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        const auto name = SectionName(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (name && uninstall::FoldRegistryName(*name).starts_with(prefix)) newest = *name;
    }
    if (!newest) return text;
    const auto key = Key(text, *newest);
    const auto executable = key->QueryString(uninstall::kDefaultValueName);
    const auto npath = key->QueryDword(uninstall::kNpathValueName);
    if (!executable || !npath) return text;
    return WithAppPathsEntry(text, *executable, *npath);
}

std::string WhyStoreNotWritable(const std::string& path, uid_t user) {
    const std::string folderPath = ParentOf(path);
    UniqueFd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return WhyStoreNotWritable(folder.get(), folderPath, path, user);
}

std::string WriteStore(const std::string& path, const std::string& text, uid_t user) {
    const std::string folderPath = ParentOf(path);
    const std::string name = path.substr(path.rfind('/') + 1);
    if (std::string why = MakeFolders(folderPath, user); !why.empty()) return why;
    UniqueFd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (std::string why = WhyStoreNotWritable(folder.get(), folderPath, path, user); !why.empty()) {
        return why;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string part =
            name + "." + std::to_string(::getpid()) + "." + std::to_string(attempt) + ".part";
        UniqueFd file(::openat(folder.get(), part.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!file && errno == EEXIST) continue;
        if (!file) return path + " cannot be written: " + std::strerror(errno);
        const bool written =
            ::write(file.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
            ::fsync(file.get()) == 0;
        if (written && ::renameat(folder.get(), part.c_str(), folder.get(), name.c_str()) == 0) {
            return std::string();
        }
        ::unlinkat(folder.get(), part.c_str(), 0);
        return path + " cannot be written";
    }
    return path + " cannot be written: no free name for a new file beside it";
}

}  // namespace sonocap::installer

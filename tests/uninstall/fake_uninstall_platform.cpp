#include "tests/uninstall/fake_uninstall_platform.h"

#include <algorithm>

namespace sonocap::uninstall {

std::optional<RegistryKey> FakeRegistry::OpenKey(std::string_view keyName) const {
    openedNames.emplace_back(keyName);
    auto it = keys_.find(FoldRegistryName(keyName));
    if (it == keys_.end()) return std::nullopt;
    return it->second;
}

void FakeUninstallPlatform::AddDirectory(const std::string& path) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        directories.insert(path.substr(0, end));
        if (end == std::string::npos) break;
    }
}

void FakeUninstallPlatform::AddFileAt(const std::string& path, const std::string& content,
                                      std::uint64_t atMs) {
    pending_.push_back({path, content, atMs});
    Settle();
}

bool FakeUninstallPlatform::Exists(const std::string& path) const {
    return directories.contains(path) || files.contains(path) || symbolicLinks.contains(path);
}

void FakeUninstallPlatform::Settle() {
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->atMs <= nowMs) {
            files[it->path] = it->content;
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
}

bool FakeUninstallPlatform::HasChildren(const std::string& directory) const {
    const std::string prefix = directory + "/";
    auto under = [&](const std::string& path) { return path.starts_with(prefix); };
    return std::any_of(directories.begin(), directories.end(), under) ||
           std::any_of(symbolicLinks.begin(), symbolicLinks.end(), under) ||
           std::any_of(files.begin(), files.end(), [&](const auto& f) { return under(f.first); });
}

std::uint32_t FakeUninstallPlatform::Start(const std::string& program,
                                           const std::string& argument) {
    log.push_back("start " + program + " " + argument);
    return startResult;
}

void FakeUninstallPlatform::Show(const std::string& title, const std::string& text) {
    log.push_back("message" + title);
    shownMessages.emplace_back(title, text);
}

void FakeUninstallPlatform::Sleep(std::uint32_t ms) {
    log.push_back("sleep " + std::to_string(ms));
    nowMs += ms;
    Settle();
}

int FakeUninstallPlatform::OpenShared(const std::string& path) {
    log.push_back("open " + path);
    openTimesMs.push_back(nowMs);
    if (!files.contains(path) || symbolicLinks.contains(path)) return -1;
    const int handle = nextHandle_++;
    handles_[handle] = {path, 0};
    openHandles.insert(handle);
    return handle;
}

std::optional<unsigned char> FakeUninstallPlatform::ReadByte(int handle) {
    log.push_back("read");
    auto it = handles_.find(handle);
    if (it == handles_.end()) return std::nullopt;
    auto& [path, position] = it->second;
    const std::string& content = files[path];
    if (position >= content.size()) return std::nullopt;
    return static_cast<unsigned char>(content[position++]);
}

void FakeUninstallPlatform::Close(int handle) {
    log.push_back("close");
    handles_.erase(handle);
    openHandles.erase(handle);
}

bool FakeUninstallPlatform::DeleteFile(const std::string& path) {
    log.push_back("delete " + path);
    return files.erase(path) > 0 || symbolicLinks.erase(path) > 0;
}

bool FakeUninstallPlatform::RemoveDirectory(const std::string& path) {
    log.push_back("rmdir " + path);
    if (!directories.contains(path) || HasChildren(path)) return false;
    directories.erase(path);
    return true;
}

PathKind FakeUninstallPlatform::Inspect(const std::string& path) {
    if (symbolicLinks.contains(path)) return PathKind::SymbolicLink;
    if (directories.contains(path)) return PathKind::Directory;
    if (files.contains(path)) return PathKind::RegularFile;
    return PathKind::Missing;
}

std::string FakeUninstallPlatform::WhyNotTrusted(const std::string& path) {
    const auto it = untrusted.find(path);
    return it == untrusted.end() ? std::string() : it->second;
}

}  // namespace sonocap::uninstall

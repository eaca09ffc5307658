#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "uninstall/file_operations.h"
#include "uninstall/message_box.h"
#include "uninstall/program_starter.h"
#include "uninstall/registry.h"
#include "uninstall/sleeper.h"

// The outside world of the helper in memory: a clock that only sleeping moves, a registry, a
// file system of paths, and an installer whose answer appears at a set time. Every call is
// written to `log` so a test can check the order of steps.

namespace sonocap::uninstall {

class FakeRegistry : public Registry {
  public:
    void SetKey(std::string_view name, RegistryKey key) { keys_[FoldRegistryName(name)] = key; }
    std::optional<RegistryKey> OpenKey(std::string_view keyName) const override;
    mutable std::vector<std::string> openedNames;

  private:
    std::map<std::string, RegistryKey> keys_;
};

class FakeUninstallPlatform : public ProgramStarter,
                              public MessageBox,
                              public Sleeper,
                              public FileOperations {
  public:
    // Adds the directory and all its parents.
    void AddDirectory(const std::string& path);
    void AddSymbolicLink(const std::string& path) { symbolicLinks.insert(path); }
    void AddFile(const std::string& path, const std::string& content) { files[path] = content; }
    // The file comes into being once the clock has reached atMs.
    void AddFileAt(const std::string& path, const std::string& content, std::uint64_t atMs);
    bool Exists(const std::string& path) const;

    std::uint32_t Start(const std::string& program, const std::string& argument) override;
    bool Ended() override { return nowMs >= installerEndsAtMs; }
    void Show(const std::string& title, const std::string& text) override;
    void Sleep(std::uint32_t ms) override;
    int OpenShared(const std::string& path) override;
    std::optional<unsigned char> ReadByte(int handle) override;
    void Close(int handle) override;
    bool DeleteFile(const std::string& path) override;
    bool RemoveDirectory(const std::string& path) override;
    PathKind Inspect(const std::string& path) override;
    std::string WhyNotTrusted(const std::string& path) override;

    std::vector<std::string> log;
    std::uint64_t nowMs = 0;
    std::uint32_t startResult = kStartSucceeded;
    std::uint64_t installerEndsAtMs = UINT64_MAX;  // runs on unless a test ends it
    std::vector<std::uint64_t> openTimesMs;
    std::vector<std::pair<std::string, std::string>> shownMessages;  // title, text
    std::set<std::string> directories;
    std::set<std::string> symbolicLinks;
    std::map<std::string, std::string> files;
    std::set<int> openHandles;
    std::map<std::string, std::string> untrusted;  // path: why the running user may not act on it

  private:
    struct PendingFile {
        std::string path;
        std::string content;
        std::uint64_t atMs;
    };
    void Settle();
    bool HasChildren(const std::string& directory) const;

    std::vector<PendingFile> pending_;
    std::map<int, std::pair<std::string, std::size_t>> handles_;  // path, read position
    int nextHandle_ = 3;
};

}  // namespace sonocap::uninstall

#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "installer/install_manifest.h"

// An installation as setup.exe finds it from its own executable, and taking it away again:
// every entry of the manifest is reached from the prefix one folder at a time without following
// a symbolic link, and a file goes only while it is still what the install put there.

namespace sonocap::installer {

class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd();
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// The running setup.exe: the path it was started as (with every link resolved) and the file.
struct RunningInstaller {
    std::string path;
    dev_t device = 0;
    ino_t inode = 0;
};

// The file at path, with every link resolved (for the running one: /proc/self/exe).
std::optional<RunningInstaller> InstallerAt(const std::string& path);

struct Installation {
    std::string directory;  // the program's folder
    std::string prefix;     // the folder the install was made into
    UniqueFd folder;        // the program's folder, holding this very setup.exe
    UniqueFd prefixFolder;  // open only for an installation that is not packaged
    InstallManifest manifest;
    std::string notOwn;  // why the running user may not act on it; empty when they may
};

// The installation of the running installer: its folder must hold that very file (by device and
// inode), a regular manifest of at most kMaxManifestBytes, and lie where the manifest says
// within the prefix. Nothing when the folder does not hold the installer; otherwise, when
// anything else is wrong, `error` says what and the installation is good for the answer alone
// (when it is the user's own).
std::optional<Installation> OpenInstallation(const RunningInstaller& self, uid_t user,
                                             std::string& error);

// Why the manifest cannot be acted on at all: an entry reached through a symbolic link, a
// folder on the way that another user owns or may change. Empty when every entry is safe to
// treat. Nothing is removed here.
std::string CheckEntries(const Installation& installation, uid_t user);

struct RemovalReport {
    std::vector<std::string> kept;      // changed since the install, or not ours: left in place
    std::vector<std::string> failures;  // could not be removed, with the reason
};

// Whether an entry belongs to the last group: the uninstall helper and its links, which are
// needed to try again after a failed removal.
bool IsHelperEntry(const ManifestEntry& entry);

// Removes the files and links of the manifest (the helper's, or all others), each only while it
// is still what was installed, and adds what stayed to the report.
void RemoveFiles(const Installation& installation, uid_t user, bool helperEntries,
                 RemovalReport& report);

// Removes the folders the install made, deepest first, as far as they are empty; the program's
// folder and those above it stay for the uninstall helper, which removes them after setup.exe.
void RemoveFolders(const Installation& installation, uid_t user);

// Writes the answer for the uninstall helper into the marker file of the program's folder:
// a file of its own, created exclusively, renamed into place complete.
bool WriteMarker(const Installation& installation, unsigned char answer);

}  // namespace sonocap::installer

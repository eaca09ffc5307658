#include "installer/installation_removal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "uninstall/ownership.h"
#include "uninstall/uninstall_flow.h"

namespace sonocap::installer {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
constexpr int kReadFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

std::vector<std::string> Components(const std::string& relative) {
    std::vector<std::string> names;
    std::size_t start = 0;
    for (std::size_t end; (end = relative.find('/', start)) != std::string::npos; start = end + 1) {
        names.push_back(relative.substr(start, end - start));
    }
    names.push_back(relative.substr(start));
    return names;
}

// A folder on the way to an entry may be root's or the user's, but nobody else may change it.
std::string WhyNotSafeFolder(const struct stat& info, const std::string& name, uid_t user) {
    if (info.st_uid != user && info.st_uid != 0) {
        return name + " belongs to " + uninstall::UserName(info.st_uid);
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return name + " may be changed by other users";
    return std::string();
}

// The folder that holds an entry, reached from the prefix without following a link.
struct Step {
    UniqueFd parent;
    std::string name;
    bool missing = false;  // a folder on the way is gone, or something else stands in its place
    std::string problem;   // a link or a folder that is not safe on the way
};

Step WalkToParent(const Installation& installation, const std::string& relative, uid_t user) {
    Step step;
    const std::vector<std::string> names = Components(relative);
    step.name = names.back();
    UniqueFd current(::fcntl(installation.prefixFolder.get(), F_DUPFD_CLOEXEC, 0));
    std::string walked;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        if (!walked.empty()) walked.push_back('/');
        walked.append(names[i]);
        UniqueFd next(::openat(current.get(), names[i].c_str(), kFolderFlags));
        struct stat info {};
        if (!next) {
            const int error = errno;
            if (error == ENOENT ||
                ::fstatat(current.get(), names[i].c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                step.missing = true;
            } else if (S_ISLNK(info.st_mode)) {
                step.problem = walked + " is a symbolic link";
            } else if (!S_ISDIR(info.st_mode)) {
                step.missing = true;
            } else {
                step.problem = walked + " cannot be opened: " + std::strerror(error);
            }
            return step;
        }
        if (::fstat(next.get(), &info) != 0) {
            step.problem = walked + " cannot be examined";
            return step;
        }
        if (std::string why = WhyNotSafeFolder(info, walked, user); !why.empty()) {
            step.problem = std::move(why);
            return step;
        }
        current = std::move(next);
    }
    step.parent = std::move(current);
    return step;
}

std::string Sha256(int fd) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::string();
        if (got == 0) break;
        hash.addData(QByteArrayView(chunk, got));
    }
    return hash.result().toHex().toStdString();
}

// Why what stands at parent/name is not what the install put there; empty when it still is.
std::string WhyChanged(int parent, const std::string& name, const ManifestEntry& entry) {
    struct stat info {};
    if (::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        return "cannot be examined";
    }
    switch (entry.kind) {
        case ManifestEntry::Kind::Link: {
            if (!S_ISLNK(info.st_mode)) return "is no longer the symbolic link installed";
            std::string target(static_cast<std::size_t>(info.st_size) + 1, '\0');
            const ssize_t length = ::readlinkat(parent, name.c_str(), target.data(), target.size());
            if (length < 0 || static_cast<std::size_t>(length) != entry.target.size() ||
                target.compare(0, entry.target.size(), entry.target) != 0) {
                return "now points elsewhere";
            }
            return std::string();
        }
        case ManifestEntry::Kind::Pending:
            if (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode)) return std::string();
            return "is not a file";
        case ManifestEntry::Kind::File: {
            if (!S_ISREG(info.st_mode)) return "is no longer the file installed";
            if (static_cast<std::uint64_t>(info.st_size) != entry.size) {
                return "has changed since it was installed";
            }
            UniqueFd file(::openat(parent, name.c_str(), kReadFlags));
            struct stat opened {};
            if (!file || ::fstat(file.get(), &opened) != 0 || opened.st_ino != info.st_ino ||
                opened.st_dev != info.st_dev) {
                return "cannot be read";
            }
            if (Sha256(file.get()) != entry.sha256) return "has changed since it was installed";
            return std::string();
        }
        case ManifestEntry::Kind::Directory:
            break;
    }
    return "is a folder";
}

std::size_t Depth(const std::string& path) {
    return static_cast<std::size_t>(std::count(path.begin(), path.end(), '/'));
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
}

std::optional<RunningInstaller> InstallerAt(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return std::nullopt;
    RunningInstaller self{resolved};
    std::free(resolved);
    struct stat info {};
    if (::stat(self.path.c_str(), &info) != 0) return std::nullopt;
    self.device = info.st_dev;
    self.inode = info.st_ino;
    return self;
}

std::optional<Installation> OpenInstallation(const RunningInstaller& self, uid_t user,
                                             std::string& error) {
    Installation installation;
    const std::size_t slash = self.path.rfind('/');
    installation.directory = self.path.substr(0, slash == std::string::npos ? 0 : slash);
    const std::string& directory = installation.directory;
    installation.folder = UniqueFd(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat folderInfo {};
    struct stat setupInfo {};
    const std::string setupName(uninstall::kInstallerName);
    if (directory.empty() || !installation.folder ||
        ::fstat(installation.folder.get(), &folderInfo) != 0 ||
        ::fstatat(installation.folder.get(), setupName.c_str(), &setupInfo, AT_SYMLINK_NOFOLLOW) !=
            0 ||
        !S_ISREG(setupInfo.st_mode) || setupInfo.st_dev != self.device ||
        setupInfo.st_ino != self.inode) {
        error = "the folder this setup.exe was started from (" + directory +
                ") does not hold it any more";
        return std::nullopt;
    }
    installation.notOwn = uninstall::WhyNotOwn(folderInfo, directory, user);
    if (installation.notOwn.empty()) {
        installation.notOwn = uninstall::WhyNotOwn(setupInfo, self.path, user);
    }

    const std::string manifestPath = directory + "/" + kManifestName;
    UniqueFd manifestFile(::openat(installation.folder.get(), kManifestName, kReadFlags));
    struct stat manifestInfo {};
    if (!manifestFile) {
        error = errno == ENOENT ? "This installation of Sonocap has no list of its files (" +
                                      manifestPath + "), so nothing was removed."
                                : manifestPath + " cannot be opened: " + std::strerror(errno) +
                                      (errno == ELOOP ? " (it is a symbolic link)" : "");
        return installation;
    }
    if (::fstat(manifestFile.get(), &manifestInfo) != 0 || !S_ISREG(manifestInfo.st_mode)) {
        error = manifestPath + " is not a regular file";
        return installation;
    }
    if (static_cast<std::size_t>(manifestInfo.st_size) > kMaxManifestBytes) {
        error = manifestPath + " is larger than any manifest an install writes";
        return installation;
    }
    std::string text(static_cast<std::size_t>(manifestInfo.st_size), '\0');
    if (::read(manifestFile.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        error = manifestPath + " cannot be read";
        return installation;
    }
    std::string why;
    auto manifest = ParseInstallManifest(text, &why);
    if (!manifest) {
        error = manifestPath + " is not an installation manifest: " + why;
        return installation;
    }
    installation.manifest = std::move(*manifest);
    if (installation.notOwn.empty()) {
        installation.notOwn = uninstall::WhyNotOwn(manifestInfo, manifestPath, user);
    }
    if (installation.manifest.packaged || !installation.notOwn.empty()) return installation;

    // The prefix is the program's folder less the manifest's name for it; the folder reached
    // from there must be the very one this setup.exe lies in.
    const std::string& program = installation.manifest.program;
    if (!directory.ends_with("/" + program)) {
        error = directory + " is not a folder " + program +
                " of the prefix its installation was made into";
        return installation;
    }
    const std::size_t prefixLength = directory.size() - program.size() - 1;
    installation.prefix =
        prefixLength == 0 ? std::string(1, '/') : directory.substr(0, prefixLength);
    installation.prefixFolder =
        UniqueFd(::open(installation.prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (!installation.prefixFolder || ::fstat(installation.prefixFolder.get(), &info) != 0) {
        error = installation.prefix + " cannot be opened";
        return installation;
    }
    installation.notOwn = WhyNotSafeFolder(info, installation.prefix, user);
    if (!installation.notOwn.empty()) return installation;
    Step step = WalkToParent(installation, program + "/.", user);
    UniqueFd reached;
    if (step.parent) reached = UniqueFd(::fcntl(step.parent.get(), F_DUPFD_CLOEXEC, 0));
    if (!reached || ::fstat(reached.get(), &info) != 0 || info.st_dev != folderInfo.st_dev ||
        info.st_ino != folderInfo.st_ino) {
        error = installation.prefix + "/" + program + " is not the folder " + directory +
                (step.problem.empty() ? std::string() : ": " + step.problem);
    }
    return installation;
}

std::string CheckEntries(const Installation& installation, uid_t user) {
    for (const ManifestEntry& entry : installation.manifest.entries) {
        const Step step = WalkToParent(installation, entry.path, user);
        if (!step.problem.empty()) return step.problem;
        struct stat info {};
        if (entry.kind == ManifestEntry::Kind::Directory && step.parent &&
            ::fstatat(step.parent.get(), step.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(info.st_mode)) {
            return entry.path + " is a symbolic link";
        }
    }
    return std::string();
}

bool IsHelperEntry(const ManifestEntry& entry) {
    return entry.path.ends_with("/sonocap-uninstall") || entry.path == "sonocap-uninstall";
}

void RemoveFiles(const Installation& installation, uid_t user, bool helperEntries,
                 RemovalReport& report) {
    const std::string& program = installation.manifest.program;
    for (const ManifestEntry& entry : installation.manifest.entries) {
        // setup.exe is running and goes with the helper; the manifest goes last of all.
        if (entry.kind == ManifestEntry::Kind::Directory || IsHelperEntry(entry) != helperEntries ||
            entry.path == program + "/" + std::string(uninstall::kInstallerName) ||
            entry.path == program + "/" + kManifestName) {
            continue;
        }
        const Step step = WalkToParent(installation, entry.path, user);
        if (!step.problem.empty()) {
            report.failures.push_back(step.problem);
            continue;
        }
        struct stat info {};
        if (step.missing ||
            ::fstatat(step.parent.get(), step.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            continue;  // already gone
        }
        if (const std::string why = WhyChanged(step.parent.get(), step.name, entry); !why.empty()) {
            report.kept.push_back(installation.prefix + "/" + entry.path + " " + why);
        } else if (::unlinkat(step.parent.get(), step.name.c_str(), 0) != 0) {
            report.failures.push_back(installation.prefix + "/" + entry.path + " (" +
                                      std::strerror(errno) + ")");
        }
    }
}

void RemoveFolders(const Installation& installation, uid_t user) {
    std::vector<std::string> folders;
    for (const ManifestEntry& entry : installation.manifest.entries) {
        const std::string& program = installation.manifest.program;
        if (entry.kind != ManifestEntry::Kind::Directory || entry.path == program ||
            program.starts_with(entry.path + "/")) {
            continue;
        }
        folders.push_back(entry.path);
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const auto& a, const auto& b) { return Depth(a) > Depth(b); });
    for (const std::string& folder : folders) {
        const Step step = WalkToParent(installation, folder, user);
        // One that holds anything of the user's stays.
        if (step.parent) ::unlinkat(step.parent.get(), step.name.c_str(), AT_REMOVEDIR);
    }
}

bool WriteMarker(const Installation& installation, unsigned char answer) {
    const std::string marker(uninstall::kMarkerName);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string part =
            marker + "." + std::to_string(::getpid()) + "." + std::to_string(attempt);
        UniqueFd file(::openat(installation.folder.get(), part.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!file && errno == EEXIST) continue;
        if (!file) return false;
        const bool written = ::write(file.get(), &answer, 1) == 1 && ::fsync(file.get()) == 0;
        if (written && ::renameat(installation.folder.get(), part.c_str(),
                                  installation.folder.get(), marker.c_str()) == 0) {
            return true;
        }
        ::unlinkat(installation.folder.get(), part.c_str(), 0);
        return false;
    }
    return false;
}

}  // namespace sonocap::installer

#include "tools/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "codec/lined_up.h"
#include "tools/input_file.h"
#include "tools/posix_file.h"
#include "tools/prefault.h"
#include "tools/report.h"
#include "tools/signal_cleanup.h"

namespace sonocap {

namespace {

// Small enough to stay in cache and to cost few page faults at start; large enough that the
// system calls do not matter.
constexpr size_t kBufferBytes = 64 << 10;

// Where a symbolic link points, as a path usable from here; `path` itself for anything else.
std::string LinkTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) return resolved;
    // A dangling link: the file it names is created.
    const ssize_t n = readlink(path.c_str(), resolved, sizeof resolved - 1);
    if (n <= 0) return path;
    const std::string target(resolved, static_cast<size_t>(n));
    return target[0] == '/' ? target : DirectoryOf(path) + "/" + target;
}

// Whether a header written first can be rewritten at the end: files and devices such as
// /dev/null can go back, pipes and terminals cannot, and an appending descriptor would put the
// header at the end.
bool Seekable(int fd) {
    return lseek(fd, 0, SEEK_CUR) >= 0 && !(fcntl(fd, F_GETFL) & O_APPEND);
}

bool SameFile(const struct stat& st, const InputFile& input) {
    return st.st_dev == input.Device() && st.st_ino == input.Inode();
}

}  // namespace

OutputFile::~OutputFile() {
    if (ownsFd_ && fd_ >= 0) close(fd_);
    if (!tempPath_.empty()) {
        unlink(tempPath_.c_str());
        KeepOnSignal();
    }
}

Failure OutputFile::Refuse(std::string reason) const {
    return BadOutput(name_, std::move(reason));
}

Failure OutputFile::Fail() const {
    return Refuse(std::strerror(errno));
}

Outcome OutputFile::Open(const std::string& path, const OutputOptions& options,
                         const InputFile& input) {
    name_ = path;
    options_ = options;
    storage_.reset(new uint8_t[kBufferBytes + kLineBytes]);
    Prefault(storage_.get(), kBufferBytes + kLineBytes);
    buffered_ = storage_.get();
    if (path == "-") {
        struct stat st {};
        if (fstat(STDOUT_FILENO, &st) != 0) return Fail();
        if (S_ISREG(st.st_mode) && SameFile(st, input)) {
            return Refuse("standard output is the input file: refused");
        }
        if (isatty(STDOUT_FILENO) == 1) {
            return Refuse("is a terminal: binary output refused (redirect it to a file or a pipe)");
        }
        return OpenDirect(STDOUT_FILENO, Seekable(STDOUT_FILENO));
    }
    if (path.empty() || path.back() == '/') {
        return Refuse("names a directory (it ends in /): give a file name");
    }
    struct stat link {};
    const bool isLink = lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
    const std::string target = isLink ? LinkTarget(path) : path;
    struct stat st {};
    if (stat(target.c_str(), &st) != 0) {
        if (errno != ENOENT) return Fail();
        return OpenTemporary(target, nullptr);
    }
    if (S_ISDIR(st.st_mode)) return Refuse(std::strerror(EISDIR));
    if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)) {
        // Refused before opening: opening a FIFO waits for its reader.
        if (S_ISFIFO(st.st_mode) && options.needsSeek) return OpenDirect(-1, false);
        const int fd = open(target.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return Fail();
        ownsFd_ = true;
        return OpenDirect(fd, Seekable(fd));
    }
    if (!S_ISREG(st.st_mode)) return Refuse("not a plain file, a character device or a FIFO");
    if (SameFile(st, input)) return Refuse("is the input file: refused, nothing was written");
    if (!options.force) return Refuse("exists (--force replaces it)");
    if (access(target.c_str(), W_OK) != 0) {
        return Refuse(std::strerror(errno) + std::string(": not replaced"));
    }
    if (st.st_nlink > 1) {
        return Refuse("has " + std::to_string(st.st_nlink - 1) +
                      " other hard link(s), which replacing it would separate: refused");
    }
    return OpenTemporary(target, &st);
}

Outcome OutputFile::OpenDirect(int fd, bool seekable) {
    if (options_.needsSeek && !seekable) {
        return Refuse(
            "cannot go back to write the header's sizes here: give a file name, or redirect "
            "standard output to a file");
    }
    fd_ = fd;
    seekable_ = seekable;
    if (seekable) base_ = lseek(fd, 0, SEEK_CUR);
    Sent(base_ > 0 ? static_cast<uint64_t>(base_) : 0);
    return std::nullopt;
}

Outcome OutputFile::OpenTemporary(const std::string& target, const struct stat* replaced) {
    // A short name in the output's directory: the rename cannot cross file systems, and a name
    // that is as long as the system allows still has room for its temporary file.
    std::string name = DirectoryOf(target) + "/.sonocap-cx-XXXXXX";
    fd_ = CreateRemovedOnSignal(name.data());
    if (fd_ < 0) {
        return Refuse("cannot create a file in " + QuotedName(DirectoryOf(target)) + ": " +
                      std::strerror(errno));
    }
    ownsFd_ = true;
    tempPath_ = name;
    target_ = target;
    seekable_ = true;
    if (replaced != nullptr) {
        replaces_ = true;
        // The owner first: changing it clears the set-id bits that the mode then puts back.
        if (fchown(fd_, replaced->st_uid, replaced->st_gid) != 0) {
            [[maybe_unused]] const int ignored =
                fchown(fd_, static_cast<uid_t>(-1), replaced->st_gid);
        }
        fchmod(fd_, replaced->st_mode & 07777);
    } else {
        // mkostemp creates the file private; give it the permissions a new file would get.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    return std::nullopt;
}

Outcome OutputFile::Write(const void* data, size_t bytes) {
    const auto* p = static_cast<const uint8_t*>(data);
    // Large pieces in step with their place in the file, such as a capture buffer's records now
    // and then, go out as they are: copying them into the buffer would save no write.
    if (bytes >= kBufferBytes / 4 && InStep(p, position_ + bufferedBytes_)) {
        if (auto failure = Flush()) return failure;
        if (!WriteAll(fd_, p, bytes)) return Fail();
        Sent(bytes);
        return std::nullopt;
    }
    while (bytes > 0) {
        const size_t piece = std::min(bytes, kBufferBytes - bufferedBytes_);
        std::memcpy(buffered_ + bufferedBytes_, p, piece);
        bufferedBytes_ += piece;
        p += piece;
        bytes -= piece;
        if (bufferedBytes_ == kBufferBytes) {
            if (auto failure = Flush()) return failure;
        }
    }
    return std::nullopt;
}

void OutputFile::Sent(uint64_t bytes) {
    position_ += bytes;
    buffered_ = LinedUp(storage_.get(), position_);
}

Outcome OutputFile::Flush() {
    if (!WriteAll(fd_, buffered_, bufferedBytes_)) return Fail();
    Sent(bufferedBytes_);
    bufferedBytes_ = 0;
    return std::nullopt;
}

Outcome OutputFile::WriteAt(uint64_t offset, const void* data, size_t bytes) {
    if (auto failure = Flush()) return failure;
    if (!seekable_) return Refuse("cannot go back to rewrite the header here");
    const ssize_t n = pwrite(fd_, data, bytes, base_ + static_cast<off_t>(offset));
    if (n != static_cast<ssize_t>(bytes)) return n < 0 ? Fail() : Refuse("short write");
    return std::nullopt;
}

Outcome OutputFile::PlaceAt(uint64_t offset, const void* data, size_t bytes) const {
    errno = 0;  // a write that takes nothing sets none
    if (!WriteAllAt(fd_, data, bytes, offset)) return errno == 0 ? Refuse("short write") : Fail();
    return std::nullopt;
}

// rename(2) that fails with EEXIST instead of replacing; link and unlink where the file system
// has no renameat2.
static bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    return true;
}

Outcome OutputFile::Commit() {
    if (auto failure = Flush()) return failure;
    // Devices such as /dev/null cannot be synchronised, and need not be.
    if (options_.sync && fsync(fd_) != 0 && errno != EINVAL) return Fail();
    if (ownsFd_) {
        const int closed = close(fd_);
        fd_ = -1;
        if (closed != 0) return Fail();
    }
    fd_ = -1;
    if (tempPath_.empty()) return std::nullopt;
    // A file renamed over another is flushed to the disk at once by ext4 and the like, and the
    // command would wait for it; without --sync the old file goes first. A crash between the two
    // leaves the complete output under its temporary name.
    if (replaces_ && !options_.sync && unlink(target_.c_str()) != 0 && errno != ENOENT) {
        return Fail();
    }
    // A name that appeared while the command ran is never replaced, unless --force said so.
    if (options_.force ? rename(tempPath_.c_str(), target_.c_str()) != 0
                       : !RenameNoReplace(tempPath_, target_)) {
        if (errno == EEXIST) {
            return Refuse(target_ + " appeared while the output was being written; it is kept " +
                          "(--force replaces it)");
        }
        return Fail();
    }
    tempPath_.clear();
    KeepOnSignal();
    if (options_.sync) {
        SyncDirectoryOf(target_);
    }
    return std::nullopt;
}

}  // namespace sonocap

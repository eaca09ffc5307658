#include "platform/posix/posix_file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace sonocap::platform {

// One thread that waits for fdatasync, so that a slow disk holds up neither the caller's
// thread nor the recording: the caller asks and goes on.
class BackgroundSync {
  public:
    ~BackgroundSync() {
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    void Request(int fd) {
        const std::lock_guard lock(mutex_);
        if (pending_ != kNoFile || running_ != kNoFile) return;
        pending_ = fd;
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        wake_.notify_all();
    }

    // Waits until no sync of `fd` is asked for or running; the error of the last one, if any.
    int WaitFor(int fd) {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [&] { return pending_ != fd && running_ != fd; });
        const int error = error_;
        error_ = 0;
        return error;
    }

  private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return quit_ || pending_ != kNoFile; });
            if (quit_) return;
            running_ = pending_;
            pending_ = kNoFile;
            lock.unlock();
            const int error = fdatasync(running_) == 0 ? 0 : errno;
            lock.lock();
            if (error != 0) error_ = error;
            running_ = kNoFile;
            done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::thread thread_;
    int pending_ = kNoFile;
    int running_ = kNoFile;
    int error_ = 0;
    bool quit_ = false;
};

PosixFileIo::PosixFileIo() : background_(std::make_unique<BackgroundSync>()) {}

PosixFileIo::~PosixFileIo() = default;

bool PosixFileIo::LockOrNote(int fd) {
    lockFailure_ = 0;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    // Only another holder refuses; a file system without locks (some NFS and FUSE mounts)
    // is written unlocked.
    if (errno == EWOULDBLOCK) {
        lastError_ = kFileLockedError;
        close(fd);
        return false;
    }
    lockFailure_ = errno;
    return true;
}

FileHandle PosixFileIo::OpenForReading(const std::string& path) {
    // Non-blocking so that a FIFO in the file's place cannot hang the caller; it has no
    // effect on regular files.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) lastError_ = errno;
    return fd < 0 ? kNoFile : fd;
}

bool PosixFileIo::Exists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

FileHandle PosixFileIo::CreateForWriting(const std::string& path) {
    // Locked before it is emptied, so that a file another copy is writing keeps its bytes.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        lastError_ = errno;
        return kNoFile;
    }
    if (!LockOrNote(fd)) return kNoFile;
    if (ftruncate(fd, 0) != 0) {
        lastError_ = errno;
        close(fd);
        return kNoFile;
    }
    return fd;
}

FileHandle PosixFileIo::OpenForUpdate(const std::string& path) {
    // O_NONBLOCK: a FIFO in the file's place must not hang the caller.
    const int fd = open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        lastError_ = errno;
        return kNoFile;
    }
    return LockOrNote(fd) ? fd : kNoFile;
}

int64_t PosixFileIo::Length(FileHandle file) {
    struct stat status {};
    if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode)) return -1;
    return static_cast<int64_t>(status.st_size);
}

std::size_t PosixFileIo::Read(FileHandle file, void* data, std::size_t bytes) {
    auto* next = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = read(file, next + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t PosixFileIo::Write(FileHandle file, const void* data, std::size_t bytes) {
    const auto* next = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = write(file, next + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            lastError_ = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t PosixFileIo::WriteAt(FileHandle file, int64_t offset, const void* data,
                                 std::size_t bytes) {
    const auto* next = static_cast<const char*>(data);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = pwrite(file, next + done, bytes - done, offset + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            lastError_ = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

std::size_t PosixFileIo::ReadAt(FileHandle file, int64_t offset, void* data, std::size_t bytes) {
    auto* next = static_cast<char*>(data);
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t n = pread(file, next + done, bytes - done, offset + done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0) lastError_ = errno;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return done;
}

void PosixFileIo::StartWriteBack(FileHandle file, int64_t offset, int64_t bytes) {
    // Only a hint: where the system cannot, the periodic sync writes the data all the same.
    sync_file_range(file, offset, bytes, SYNC_FILE_RANGE_WRITE);
}

void PosixFileIo::RequestDataSync(FileHandle file) {
    background_->Request(file);
}

bool PosixFileIo::SyncData(FileHandle file) {
    const int earlier = background_->WaitFor(file);
    if (fdatasync(file) != 0) {
        lastError_ = errno;
        return false;
    }
    if (earlier == 0) return true;
    lastError_ = earlier;
    return false;
}

bool PosixFileIo::SyncDirectory(const std::string& path) {
    const int fd = open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    const bool synced = fsync(fd) == 0;
    if (!synced) lastError_ = errno;
    close(fd);
    return synced;
}

bool PosixFileIo::Status(FileHandle file, FileStatus& status) {
    struct stat st {};
    if (fstat(file, &st) != 0) {
        lastError_ = errno;
        return false;
    }
    status.device = static_cast<uint64_t>(st.st_dev);
    status.inode = static_cast<uint64_t>(st.st_ino);
    status.length = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
    status.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

bool PosixFileIo::SetModifiedTime(FileHandle file, int64_t modifiedNs) {
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(modifiedNs / 1000000000), static_cast<long>(modifiedNs % 1000000000)}};
    if (futimens(file, times) == 0) return true;
    lastError_ = errno;
    return false;
}

bool PosixFileIo::Truncate(FileHandle file, int64_t length) {
    if (ftruncate(file, static_cast<off_t>(length)) == 0) return true;
    lastError_ = errno;
    return false;
}

int64_t PosixFileIo::Seek(FileHandle file, int64_t offset) {
    const off_t result = lseek(file, static_cast<off_t>(offset), SEEK_SET);
    if (result < 0) lastError_ = errno;
    return result < 0 ? -1 : static_cast<int64_t>(result);
}

bool PosixFileIo::Close(FileHandle file) {
    background_->WaitFor(file);
    if (close(file) == 0) return true;
    lastError_ = errno;
    return false;
}

bool PosixFileIo::ReplaceContents(const std::string& path, const std::string& contents) {
    const std::string fresh = path + ".new";
    const int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    const bool written = Write(fd, contents.data(), contents.size()) == contents.size();
    const bool closed = close(fd) == 0;
    if (!written || !closed || rename(fresh.c_str(), path.c_str()) != 0) {
        if (written && closed) lastError_ = errno;
        unlink(fresh.c_str());
        return false;
    }
    return true;
}

bool PosixFileIo::ReadContents(const std::string& path, std::string& contents, std::size_t limit) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        lastError_ = errno;
        return false;
    }
    contents.assign(limit + 1, '\0');
    contents.resize(Read(fd, contents.data(), contents.size()));
    close(fd);
    return contents.size() <= limit;
}

bool PosixFileIo::Remove(const std::string& path) {
    if (unlink(path.c_str()) == 0) return true;
    lastError_ = errno;
    return false;
}

bool PosixFileIo::MakeDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            lastError_ = errno;
            return false;
        }
        if (slash == std::string::npos) return true;
    }
}

std::vector<std::string> PosixFileIo::ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    return names;
}

}  // namespace sonocap::platform

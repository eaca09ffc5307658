#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/layer.h"

// Binary files read and written front to back, without text translation; their headers
// rewritten in place; their data made durable; and the small files the program keeps for
// itself, replaced whole.

namespace sonocap::platform {

using FileHandle = int;
inline constexpr FileHandle kNoFile = -1;

// Which file an open one is, how long it is and when it was last written.
struct FileStatus {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t length = 0;
    int64_t modifiedNs = 0;  // nanoseconds since the epoch
};

class FileIo {
  public:
    virtual ~FileIo() = default;

    // Opens an existing file for reading only; kNoFile when it cannot be opened.
    virtual FileHandle OpenForReading(const std::string& path) = 0;

    // Whether something exists at `path`, whether or not it may be opened.
    virtual bool Exists(const std::string& path) = 0;

    // Creates a file for reading and writing, replacing and truncating an existing one; the
    // new file is not read-only. It stays locked against other writers that lock it until
    // it is closed; a file that another one holds locked is left untouched (kNoFile,
    // LastError() == kFileLockedError). kNoFile when it cannot be created. On a file system
    // without locks the file is created unlocked, and LockFailure() says why.
    virtual FileHandle CreateForWriting(const std::string& path) = 0;

    // Opens an existing file for reading and writing as it is, locked as CreateForWriting
    // locks (kNoFile with kFileLockedError when another holds it).
    virtual FileHandle OpenForUpdate(const std::string& path) = 0;

    // The system's error number of the lock that the last create or update could not take
    // although nobody else held it (the file system has no locks); 0 when it was locked.
    virtual int LockFailure() const = 0;

    // Length in bytes of an open regular file; -1 when it cannot be determined.
    virtual int64_t Length(FileHandle file) = 0;

    // Reads up to `bytes` bytes; returns how many were read (fewer at the end or on an error).
    virtual std::size_t Read(FileHandle file, void* data, std::size_t bytes) = 0;

    // Writes `bytes` bytes; returns how many were written (fewer when the disk is full).
    virtual std::size_t Write(FileHandle file, const void* data, std::size_t bytes) = 0;

    // Writes `bytes` bytes at `offset` without moving the file offset; how many were written.
    virtual std::size_t WriteAt(FileHandle file, int64_t offset, const void* data,
                                std::size_t bytes) = 0;

    // Reads up to `bytes` bytes at `offset` without moving the file offset; how many were read.
    virtual std::size_t ReadAt(FileHandle file, int64_t offset, void* data, std::size_t bytes) = 0;

    // Starts writing `bytes` bytes from `offset` to the disk, without waiting for them.
    virtual void StartWriteBack(FileHandle file, int64_t offset, int64_t bytes) = 0;

    // Makes the file's data and length durable on another thread and returns at once; the
    // request is dropped while the last one still runs. SyncData and Close wait for it.
    virtual void RequestDataSync(FileHandle file) = 0;

    // Makes the file's data and length durable, waiting for the disk; false on failure.
    virtual bool SyncData(FileHandle file) = 0;

    // Makes the entries of the directory `path` durable (a file just created in it).
    virtual bool SyncDirectory(const std::string& path) = 0;

    virtual bool Status(FileHandle file, FileStatus& status) = 0;
    virtual bool SetModifiedTime(FileHandle file, int64_t modifiedNs) = 0;

    // Cuts the file to `length` bytes; false on failure.
    virtual bool Truncate(FileHandle file, int64_t length) = 0;

    // Moves the file offset to `offset` bytes from the start; the new offset, or -1.
    virtual int64_t Seek(FileHandle file, int64_t offset) = 0;

    // Closes the file; false when the system reports that the data may not have been stored.
    virtual bool Close(FileHandle file) = 0;

    // The system's error number of the last call that failed or came up short; 0 when none.
    virtual int LastError() const = 0;

    // Small files of the program's own, read and replaced whole. ReplaceContents writes a new
    // file beside `path` and renames it over: a reader finds the old contents or the new ones.
    virtual bool ReplaceContents(const std::string& path, const std::string& contents) = 0;
    // False when the file cannot be read or is longer than `limit` bytes.
    virtual bool ReadContents(const std::string& path, std::string& contents,
                              std::size_t limit) = 0;
    virtual bool Remove(const std::string& path) = 0;
    // Creates the directory and those above it that are missing, for the user alone.
    virtual bool MakeDirectories(const std::string& path) = 0;
    // The names in a directory, without "." and ".."; empty when it cannot be read.
    virtual std::vector<std::string> ListDirectory(const std::string& path) = 0;
};

// LastError() of a file that another writer holds locked.
inline constexpr int kFileLockedError = EWOULDBLOCK;

template <>
inline constexpr const char* kLayerName<FileIo> = "file";

}  // namespace sonocap::platform

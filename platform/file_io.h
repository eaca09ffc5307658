#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/layer.h"

// Binary files read and written front to back, without text translation.

namespace sonocap::platform {

using FileHandle = int;
inline constexpr FileHandle kNoFile = -1;

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
    // LastError() == kFileLockedError). kNoFile when it cannot be created.
    virtual FileHandle CreateForWriting(const std::string& path) = 0;

    // Length in bytes of an open regular file; -1 when it cannot be determined.
    virtual int64_t Length(FileHandle file) = 0;

    // Reads up to `bytes` bytes; returns how many were read (fewer at the end or on an error).
    virtual std::size_t Read(FileHandle file, void* data, std::size_t bytes) = 0;

    // Writes `bytes` bytes; returns how many were written (fewer when the disk is full).
    virtual std::size_t Write(FileHandle file, const void* data, std::size_t bytes) = 0;

    // Cuts the file to `length` bytes; false on failure.
    virtual bool Truncate(FileHandle file, int64_t length) = 0;

    // Moves the file offset to `offset` bytes from the start; the new offset, or -1.
    virtual int64_t Seek(FileHandle file, int64_t offset) = 0;

    // Closes the file; false when the system reports that the data may not have been stored.
    virtual bool Close(FileHandle file) = 0;

    // The system's error number of the last call that failed or came up short; 0 when none.
    virtual int LastError() const = 0;
};

// LastError() of a file that another writer holds locked.
inline constexpr int kFileLockedError = EWOULDBLOCK;

template <>
inline constexpr const char* kLayerName<FileIo> = "file";

}  // namespace sonocap::platform

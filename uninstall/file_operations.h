#pragma once

#include <optional>
#include <string>

// The few file operations the helper needs. Results of deletions and removals are reported
// but the helper does not act on them.

namespace sonocap::uninstall {

// What a path names, the path's last component itself (a symbolic link is not followed).
enum class PathKind { Missing, Directory, RegularFile, SymbolicLink, Other };

class FileOperations {
  public:
    virtual ~FileOperations() = default;
    // Opens a regular file for reading while other processes may read and write it.
    // Returns a handle, or -1 when the file cannot be opened.
    virtual int OpenShared(const std::string& path) = 0;
    // The next byte of the file, or nothing at its end or on a read failure.
    virtual std::optional<unsigned char> ReadByte(int handle) = 0;
    virtual void Close(int handle) = 0;
    virtual bool DeleteFile(const std::string& path) = 0;
    // Removes an empty directory; a directory that still holds anything stays.
    virtual bool RemoveDirectory(const std::string& path) = 0;
    virtual PathKind Inspect(const std::string& path) = 0;
    // Why the running user must not act on path (see ownership.h); empty when they may.
    virtual std::string WhyNotTrusted(const std::string& path) = 0;
};

}  // namespace sonocap::uninstall

#pragma once

#include "uninstall/file_operations.h"

namespace sonocap::uninstall {

// File operations on the real file system. Opening never blocks and never follows a symbolic
// link; only regular files open.
class PosixFileOperations : public FileOperations {
  public:
    int OpenShared(const std::string& path) override;
    std::optional<unsigned char> ReadByte(int handle) override;
    void Close(int handle) override;
    bool DeleteFile(const std::string& path) override;
    bool RemoveDirectory(const std::string& path) override;
    PathKind Inspect(const std::string& path) override;
    std::string WhyNotTrusted(const std::string& path) override;
};

}  // namespace sonocap::uninstall

#pragma once

#include <cstdint>
#include <string>

#include "uninstall/file_operations.h"

namespace sonocap::uninstall {

// Removes the directory named by path and its parents, levels directories in all, deepest first;
// none when levels is 0 or negative. A directory that still holds anything stays, and its
// parents with it. Nothing at all is removed when one of these directories is a symbolic link,
// since the deeper paths would then lead somewhere else.
void RemoveDirectoryLevels(FileOperations& files, const std::string& path, std::int64_t levels);

}  // namespace sonocap::uninstall

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_location.h"

// The manifest that an installation keeps beside the program: what the install put there, so
// that the uninstall removes exactly that. Written by the install rules, one entry a line:
//
//   # comment
//   npath 4                      leading components of the program's folder that existed before
//   file /usr/local/bin/sonocap  a file or symbolic link the install created
//   directory /usr/local/share/metainfo   a folder the install created
//   packaged                     the system's package manager owns the installation
//
// Paths are absolute and hold no "." or ".." component.

namespace sonocap::installer {

using sonocap::kManifestName;

struct InstallManifest {
    bool packaged = false;
    std::uint32_t npath = 0;
    std::vector<std::string> files;
    std::vector<std::string> directories;
};

// Nothing when a line is not one of the entries above.
std::optional<InstallManifest> ParseInstallManifest(std::string_view text);

// Absolute, without empty, "." or ".." components and without a trailing separator.
bool IsCleanAbsolutePath(std::string_view path);

}  // namespace sonocap::installer

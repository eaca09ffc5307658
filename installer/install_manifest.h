#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_location.h"

// The manifest that an installation keeps beside the program: what the install put there, so
// that the uninstall removes exactly that and nothing else. Written by the install steps
// (cmake/SonocapInstallSteps.cmake), one entry a line, every path relative to the prefix (the
// folder the install was made into):
//
//   # comment
//   program lib/sonocap                 the program's folder, where setup.exe and this file lie
//   file lib/sonocap/sonocap 81624 9f…  a file put in place: its size and SHA-256
//   link bin/sonocap ../lib/sonocap/sonocap   a symbolic link put in place, and its target
//   pending share/man/man1/sonocap.1.gz a file the install is about to put in place (written
//                                       before anything is copied, replaced when it is done)
//   directory share/metainfo            a folder the install made
//   packaged                            the system's package manager owns the installation
//
// Paths hold no empty, "." or ".." component and do not start with a separator.

namespace sonocap::installer {

using sonocap::kManifestName;

// A manifest larger than this is not read at all: no install writes one so long.
inline constexpr std::size_t kMaxManifestBytes = 256 * 1024;

struct ManifestEntry {
    enum class Kind { File, Link, Pending, Directory };
    Kind kind = Kind::File;
    std::string path;
    std::uint64_t size = 0;  // File
    std::string sha256;      // File: 64 lower-case hex digits
    std::string target;      // Link
};

struct InstallManifest {
    bool packaged = false;
    std::string program;
    std::vector<ManifestEntry> entries;
};

// Nothing when a line is not one of the entries above, or the program's folder is not named;
// `error` then says which line.
std::optional<InstallManifest> ParseInstallManifest(std::string_view text,
                                                    std::string* error = nullptr);

// Relative, without empty, "." or ".." components, without separators at either end.
bool IsCleanRelativePath(std::string_view path);

}  // namespace sonocap::installer

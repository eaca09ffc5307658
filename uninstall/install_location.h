#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "uninstall/registry.h"

// Where Sonocap is installed, as its App Paths entry tells.

namespace sonocap::uninstall {

inline constexpr std::string_view kAppPathsKey =
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS\\Sonocap.exe";
inline constexpr std::string_view kNpathValueName = "npath";
inline constexpr char kPathSeparator = '/';

// Every installation also has a key of its own, named after its program folder, which its own
// helper reads: the App Paths entry names only the newest installation.
inline constexpr std::string_view kInstallationsKeyPrefix = "SOFTWARE\\Sonocap\\Installations\\";
std::string InstallationKey(const std::string& installDirectory);

// Cuts an executable's path down to its directory: the text ends at its last separator found at
// a position greater than 2, or at position 2 when there is none. "/a/b/prog" becomes "/a/b";
// the first three positions are never searched, as they once held a drive ("C:\prog" gave "C:").
void CutAtLastSeparator(std::string& path);

// Fills installDirectory from the key's default value, cut to its directory, and npath from its
// "npath" number. Leaves both untouched when the key cannot be opened, and each one untouched
// when its value is missing or of the other type. When asked, also hands back the default value
// as it was read, so the directory can be checked against it.
// The key is the App Paths entry unless named.
void ReadInstallLocation(const Registry& registry, std::string& installDirectory,
                         std::optional<std::uint32_t>& npath, std::string* executable = nullptr,
                         std::string_view keyName = kAppPathsKey);

// Whether executable names a file directly inside directory.
bool IsDirectoryOf(const std::string& directory, const std::string& executable);

}  // namespace sonocap::uninstall

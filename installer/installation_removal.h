#pragma once

#include <string>
#include <vector>

#include "installer/install_manifest.h"

// Taking an installation away again: the files the install put there and the folders it made.

namespace sonocap::installer {

struct RemovalFailure {
    std::string path;
    std::string reason;
};

// Removes every file and symbolic link of the manifest except `keep` (the running installer),
// then the folders the install made, deepest first, as far as they are empty. The program's
// folder and its parents stay: the uninstall helper removes them once the installer is gone.
// Returns the files that are still there.
std::vector<RemovalFailure> RemoveInstallation(const InstallManifest& manifest,
                                               const std::string& programDirectory,
                                               const std::string& keep);

// Writes the answer for the uninstall helper into the marker file in `directory`, complete
// before the helper can see it.
bool WriteMarker(const std::string& directory, unsigned char answer);

}  // namespace sonocap::installer

#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "uninstall/install_location.h"

// The registry store's entries for installations: the App Paths entry that the uninstall
// helper reads names the newest installation; every installation also has a key of its own
// (uninstall::InstallationKey), which its own helper reads. Other keys of the store are kept as
// they are.

namespace sonocap::installer {

// The store's text with the key set to these values (an earlier one is replaced).
std::string WithAppPathsEntry(std::string_view store, const std::string& executable,
                              std::uint32_t npath,
                              std::string_view keyName = uninstall::kAppPathsKey);

// The store's text without the key.
std::string WithoutAppPathsEntry(std::string_view store,
                                 std::string_view keyName = uninstall::kAppPathsKey);

// Registers the installation of `executable`: its own key, and the App Paths entry. When the
// entry named another installation, that one keeps a key of its own and `earlier` names it.
std::string WithInstallation(std::string_view store, const std::string& executable,
                             std::uint32_t npath, std::string* earlier);

// Forgets the installation in `directory`: its own key, and the App Paths entry when it names
// it, which then names the newest of the installations still registered.
std::string WithoutInstallation(std::string_view store, const std::string& directory);

// Replaces the store at once: a new file created exclusively in the store's folder, renamed
// over the old one. The folder must be the user's and changeable by nobody else, and an
// existing store a regular file of theirs; a missing folder is made only inside a folder of
// theirs. Empty on success, else why not.
std::string WriteStore(const std::string& path, const std::string& text, uid_t user);

// Why WriteStore would refuse an existing store's folder or the store; empty when it would not.
std::string WhyStoreNotWritable(const std::string& path, uid_t user);

}  // namespace sonocap::installer

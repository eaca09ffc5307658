#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>
#include <unistd.h>

#include "uninstall/registry.h"

// The registry of this platform: a small text file, one key per section, typed values.
//
//   ; comment
//   [SOFTWARE\MICROSOFT\WINDOWS\CURRENTVERSION\APP PATHS\Sonocap.exe]
//   @="/opt/sonocap/sonocap"
//   "npath"=dword:00000002
//
// `@` names the default value. Strings are in double quotes with \\ and \" as the only escapes;
// numbers are `dword:` and one to eight hex digits. A line that does not parse is skipped, so its
// value counts as missing; values after a malformed section line belong to no key. A later line
// for the same value replaces an earlier one.

namespace sonocap::uninstall {

// A store larger than this is not read at all: it cannot be one we wrote.
inline constexpr std::size_t kMaxRegistryStoreBytes = 64 * 1024;

// Set to a file path, this variable moves the store elsewhere (tests use it).
inline constexpr const char* kRegistryStoreVariable = "SONOCAP_REGISTRY";

// Keys by folded name.
using RegistryStore = std::map<std::string, RegistryKey>;

RegistryStore ParseRegistryStore(std::string_view text);

// SONOCAP_REGISTRY when set; else, for root, the machine's store (root never writes below a
// HOME that sudo may have kept from another user); else $XDG_CONFIG_HOME/sonocap/registry when
// that is an absolute path, else $HOME/.config/sonocap/registry; nothing when none is usable.
std::optional<std::string> RegistryStorePath(uid_t user = ::geteuid());

// The whole file, when it is a regular file of at most kMaxRegistryStoreBytes and not a
// symbolic link; an empty text when it does not exist; nothing otherwise. Opening never blocks
// (a FIFO in the store's place).
std::optional<std::string> ReadRegistryStoreText(const std::string& path);

// The machine's store, which a package installed for every user writes: consulted after the
// user's own store, and not at all when SONOCAP_REGISTRY names the store.
inline constexpr const char* kMachineRegistryStore = "/etc/xdg/sonocap/registry";
std::optional<std::string> MachineRegistryStorePath();

// The store in one file, read afresh at each OpenKey. A missing, unreadable or oversized file
// has no keys.
class FileRegistry : public Registry {
  public:
    explicit FileRegistry(std::optional<std::string> path) : path_(std::move(path)) {}
    std::optional<RegistryKey> OpenKey(std::string_view keyName) const override;

  private:
    std::optional<std::string> path_;
};

// The user's store first, then the machine's: a key comes whole from the first that has it.
class LayeredRegistry : public Registry {
  public:
    LayeredRegistry(const Registry& user, const Registry& machine)
        : user_(user), machine_(machine) {}
    std::optional<RegistryKey> OpenKey(std::string_view keyName) const override;

  private:
    const Registry& user_;
    const Registry& machine_;
};

}  // namespace sonocap::uninstall

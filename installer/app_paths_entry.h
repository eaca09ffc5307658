#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The installation's App Paths entry in the registry store that the uninstall helper reads:
// the program's full path and npath. Other keys of the store are kept as they are.

namespace sonocap::installer {

// The store's text with the entry set to these values (an earlier entry is replaced).
std::string WithAppPathsEntry(std::string_view store, const std::string& executable,
                              std::uint32_t npath);

// The store's text without the entry.
std::string WithoutAppPathsEntry(std::string_view store);

// The store's text; empty when the file does not exist, nothing when it cannot be read.
std::optional<std::string> ReadStore(const std::string& path);

// Replaces the store at once (a new file renamed over the old one), making its folder first.
bool WriteStore(const std::string& path, const std::string& text);

}  // namespace sonocap::installer

#pragma once

#include <functional>

namespace sonocap::uninstall {

// Looks up an environment variable: its value, or nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// A window can be shown when an X or Wayland display is named, or Qt is told which platform to
// use; a set but empty variable names nothing.
bool HasDisplay(const EnvironmentLookup& lookup);

}  // namespace sonocap::uninstall

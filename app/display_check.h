#pragma once

#include <functional>

// Whether a window can be shown at all, asked before Qt is started: without a display Qt
// aborts, and the user deserves a sentence instead.

namespace sonocap {

// Looks up an environment variable: its value, or nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// True when an X or Wayland display is named or Qt is told which platform to use; a set but
// empty variable names nothing.
bool HasDisplay(const EnvironmentLookup& lookup);

// Until the application object exists: a display that cannot be reached (the X server gone
// or refusing) ends the program with one "sonocap: " line and status 1, instead of Qt's
// warning and abort. Qt's other messages pass as before.
void ExitWhenDisplayUnreachable();
// From here on, Qt's messages are its own again.
void DisplayReached();

inline constexpr char kNoDisplayMessage[] =
    "sonocap: no display to open the recorder window on; set DISPLAY (or WAYLAND_DISPLAY), "
    "or run it under a virtual one: xvfb-run -a ./run.sh";

}  // namespace sonocap

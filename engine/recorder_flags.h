#pragma once

#include <cstdint>

#include "platform/window_system.h"

// Values of the recorder window that the engine reads. They stay 0 until the window sets
// them, so the engine also works without it: unpaused, with no owner window.

namespace sonocap {

// Nonzero while the pause button is down: a recording started then is queued but not started.
extern int32_t paused;
// Owner of the save dialog and parent of the notification window.
extern platform::WindowHandle ownerWindow;
// Nonzero once the window is ending: a start still asking for its file creates nothing.
extern int32_t closingRequested;

}  // namespace sonocap

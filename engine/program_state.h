#pragma once

#include <cstdint>
#include <string>

#include "engine/capture_session.h"
#include "platform/window_system.h"
#include "settings/program_values.h"

// All the program-wide state there is: the values of settings/program_values.h, the one
// recording, and the recorder window's flags that the engine reads. The window writes the flags;
// only the engine writes the capture session.

namespace sonocap {

// The one recording of the program.
extern CaptureSession captureSession;

// Nonzero while the pause button is down: a recording started then is queued but not started.
extern int32_t paused;
// Nonzero while a recording runs (set by the window once StartRecording succeeded).
extern int32_t recording;
// Nonzero while the window's record handler runs, possibly inside the save dialog.
extern int32_t busy;
// Owner of the save dialog and parent of the notification window.
extern platform::WindowHandle ownerWindow;
// Where a running take keeps its record ($XDG_STATE_HOME/sonocap, set at start-up); empty: no
// record is kept.
extern std::string takeRecordFolder;
// Nonzero once the window is ending: a start still asking for its file creates nothing.
extern int32_t closingRequested;

// Every program-wide value as it is when the program starts, the buffer pool's table included;
// for tests. The dB table is empty again afterwards.
void ResetProgramState();

}  // namespace sonocap

#pragma once

#include <functional>

// The program from start-up to shut-down around the one modal run of the recorder window.

namespace sonocap {

class RecorderDialog;

// Program directory, operating-system class, metering lag, then the settings (with their
// message, before any window exists).
void PrepareEnvironment();

// Builds the dB table, prepares the environment, runs the recorder window until it ends and
// saves the settings once, however it ended. `aboutToRun` sees the window just before it is
// shown. Needs a QApplication and the Qt layers. Returns the process's exit code.
int RunRecorderApp(const std::function<void(RecorderDialog&)>& aboutToRun = {});

}  // namespace sonocap

#pragma once

// Removes a temporary file when the command is ended by SIGINT, SIGTERM, SIGHUP or SIGQUIT, then
// ends as that signal would have: no half-written file stays behind after Ctrl-C.

namespace sonocap {

// Arms the removal of `path` (one file at a time); the handlers are installed on first use.
void RemoveOnSignal(const char* path);
// Disarms it once the file has been renamed or removed.
void KeepOnSignal();

}  // namespace sonocap

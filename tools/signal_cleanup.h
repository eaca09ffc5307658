#pragma once

// Removes a temporary file when the command is ended by SIGINT, SIGTERM, SIGHUP or SIGQUIT, then
// ends as that signal would have: no half-written file stays behind after Ctrl-C.

namespace sonocap {

// Creates a file from a mkostemp(3) name template and arms its removal (one file at a time), with
// the signals held meanwhile so that none can come between the two. The handlers are installed
// on first use. Returns the descriptor, or -1 with errno set.
int CreateRemovedOnSignal(char* nameTemplate);
// Disarms it once the file has been renamed or removed.
void KeepOnSignal();

}  // namespace sonocap

#pragma once

// Removes a temporary file when the command is ended by a signal (SIGINT, SIGTERM, SIGPIPE, ...),
// then ends as that signal would have: no half-written file stays behind after Ctrl-C.

#include <signal.h>

namespace sonocap {

// Creates a file from a mkostemp(3) name template and arms its removal (one file at a time), with
// the signals held meanwhile so that none can come between the two. The handlers are installed
// on first use. Returns the descriptor, or -1 with errno set.
int CreateRemovedOnSignal(char* nameTemplate);
// Disarms it once the file has been renamed or removed.
void KeepOnSignal();

// Holds the same signals for as long as it lives, so that a step such as a repair is done whole or
// not at all; one that came meanwhile is delivered when it ends.
class HeldSignals {
  public:
    HeldSignals();
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
    ~HeldSignals();
    // Whether one of them came since.
    bool Pending() const;

  private:
    sigset_t previous_;
};

}  // namespace sonocap

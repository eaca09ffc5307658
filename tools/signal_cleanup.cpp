#include "tools/signal_cleanup.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>

namespace sonocap {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Written before `armed` is set and read only by the handler, so it needs no lock.
char pendingPath[PATH_MAX];
volatile sig_atomic_t armed = 0;
bool installed = false;

void RemoveAndEnd(int signal) {
    if (armed) unlink(pendingPath);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(signal, &action, nullptr);
    raise(signal);
}

}  // namespace

void RemoveOnSignal(const char* path) {
    armed = 0;
    std::strncpy(pendingPath, path, sizeof pendingPath - 1);
    armed = 1;
    if (installed) return;
    installed = true;
    for (const int signal : kSignals) {
        struct sigaction previous {};
        sigaction(signal, nullptr, &previous);
        // A signal the caller chose to ignore (nohup) stays ignored.
        if (previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = RemoveAndEnd;
        sigfillset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

void KeepOnSignal() {
    armed = 0;
}

}  // namespace sonocap

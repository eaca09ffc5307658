#include "tools/signal_cleanup.h"

#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace sonocap {

namespace {

// Every signal that ends the program by default and can be caught.
constexpr int kSignals[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1,
                            SIGUSR2, SIGPOLL, SIGVTALRM, SIGPROF, SIGXCPU, SIGTRAP, SIGSYS};

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

void InstallHandlers() {
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

sigset_t TheSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kSignals) sigaddset(&set, signal);
    return set;
}

}  // namespace

HeldSignals::HeldSignals() {
    const sigset_t held = TheSignals();
    pthread_sigmask(SIG_BLOCK, &held, &previous_);
}

HeldSignals::~HeldSignals() {
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool HeldSignals::Pending() const {
    sigset_t pending;
    sigpending(&pending);
    for (const int signal : kSignals) {
        if (sigismember(&pending, signal)) return true;
    }
    return false;
}

int CreateRemovedOnSignal(char* nameTemplate) {
    sigset_t previous;
    const sigset_t held = TheSignals();
    pthread_sigmask(SIG_BLOCK, &held, &previous);
    InstallHandlers();
    armed = 0;
    const int fd = mkostemp(nameTemplate, O_CLOEXEC);
    const int error = errno;
    if (fd >= 0) {
        std::strncpy(pendingPath, nameTemplate, sizeof pendingPath - 1);
        armed = 1;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    errno = error;
    return fd;
}

void KeepOnSignal() {
    armed = 0;
}

}  // namespace sonocap

#include "platform/qt/qt_termination_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace sonocap::platform {

namespace {

constexpr int kSignals[kTerminationSignals] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
int wakePipe[2] = {-1, -1};

void OnSignal(int signalNumber) {
    // Only async-signal-safe work here: one byte into the pipe; the event loop does the rest.
    const int savedErrno = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t ignored = write(wakePipe[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

QtTerminationSignals::QtTerminationSignals(QObject* parent) : QObject(parent) {
    if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(wakePipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &QtTerminationSignals::Drain);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kTerminationSignals; ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

QtTerminationSignals::~QtTerminationSignals() {
    if (!notifier_) return;
    for (int i = 0; i < kTerminationSignals; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
    notifier_.reset();
    close(wakePipe[0]);
    close(wakePipe[1]);
    wakePipe[0] = wakePipe[1] = -1;
}

void QtTerminationSignals::Drain() {
    unsigned char byte = 0;
    while (read(wakePipe[0], &byte, 1) == 1) emit Arrived(byte);
}

}  // namespace sonocap::platform

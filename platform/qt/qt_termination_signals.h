#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <csignal>
#include <memory>

// The signals that end a program from outside (SIGTERM at logout or `systemctl stop`, SIGHUP
// when its terminal closes, SIGINT for Ctrl+C, SIGQUIT), turned into a Qt signal on the
// user-interface thread. The handler itself only writes the signal's number into a pipe.

namespace sonocap::platform {

inline constexpr int kTerminationSignals = 4;

class QtTerminationSignals final : public QObject {
    Q_OBJECT

  public:
    // Takes over the four signals until destroyed; only one object may exist at a time.
    explicit QtTerminationSignals(QObject* parent = nullptr);
    ~QtTerminationSignals() override;

  signals:
    void Arrived(int signalNumber);

  private:
    void Drain();

    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction previous_[kTerminationSignals] = {};
};

}  // namespace sonocap::platform

#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/wave_input.h"

namespace sonocap::platform {

// Watches the device's wake-up descriptor in the event loop and has the device post its
// notifications there, on the user-interface thread. A device without a descriptor posts
// them itself and needs no watcher.
class QtWaveNotifier final : public QObject {
    Q_OBJECT

  public:
    explicit QtWaveNotifier(WaveInput& input, QObject* parent = nullptr);

  private:
    WaveInput& input_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace sonocap::platform

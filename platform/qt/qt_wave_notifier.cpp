#include "platform/qt/qt_wave_notifier.h"

namespace sonocap::platform {

QtWaveNotifier::QtWaveNotifier(WaveInput& input, QObject* parent) : QObject(parent), input_(input) {
    const int descriptor = input_.NotificationDescriptor();
    if (descriptor < 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(descriptor, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this,
            [this] { input_.DeliverNotifications(); });
}

}  // namespace sonocap::platform

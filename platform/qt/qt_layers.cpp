#include "platform/qt/qt_layers.h"

#include "platform/message_sink.h"
#include "platform/save_dialog.h"
#include "platform/window_system.h"

namespace sonocap::platform {

QtLayers::QtLayers() : notifier(CurrentWaveInput()) {
    InstallWindowSystem(&windows);
    InstallMessageSink(&messages);
    InstallSaveDialog(&saveDialog);
}

QtLayers::~QtLayers() {
    InstallWindowSystem(nullptr);
    InstallMessageSink(nullptr);
    InstallSaveDialog(nullptr);
}

}  // namespace sonocap::platform

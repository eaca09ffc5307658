#pragma once

#include "platform/message_sink.h"
#include "platform/qt/qt_message_sink.h"
#include "platform/qt/qt_save_dialog.h"
#include "platform/qt/qt_wave_notifier.h"
#include "platform/qt/qt_window_system.h"
#include "platform/save_dialog.h"

namespace sonocap::platform {

// Every layer that Qt provides, installed for as long as the object lives. Needs a
// QApplication.
class QtLayers {
  public:
    QtLayers();
    QtLayers(const QtLayers&) = delete;
    QtLayers& operator=(const QtLayers&) = delete;

    QtWindowSystem windows;
    QtMessageSink messages;
    QtSaveDialog saveDialog{windows};
    // Watches the device that was in use when the layers were installed.
    QtWaveNotifier notifier;

  private:
    LayerGuard<WindowSystem> windowsGuard_{windows};
    LayerGuard<MessageSink> messagesGuard_{messages};
    LayerGuard<SaveDialog> saveDialogGuard_{saveDialog};
};

}  // namespace sonocap::platform

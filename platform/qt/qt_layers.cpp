#include "platform/qt/qt_layers.h"

namespace sonocap::platform {

QtLayers::QtLayers() : notifier(Current<WaveInput>()) {}

}  // namespace sonocap::platform

#pragma once

// How the window's own widgets appear to assistive technology (AT-SPI through Qt): a level
// meter as a bar with its level in dB as value, the reason notice as a notification. Qt's own
// widgets need nothing beyond their accessible names.

namespace sonocap {

// Once per program; later calls do nothing.
void InstallAccessibleWidgets();

}  // namespace sonocap

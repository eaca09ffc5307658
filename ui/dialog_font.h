#pragma once

#include <QFont>

// The one font of the recorder window and the About box. Their layouts were drawn in dialog
// units of a small 8-point dialog font; a narrow face at 10 pixels takes about the room that
// font took, so every text fits the box it was given.

namespace sonocap {

inline constexpr int kDialogFontPixels = 10;

QFont DialogFont();

}  // namespace sonocap

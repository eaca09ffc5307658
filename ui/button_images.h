#pragma once

#include <QPixmap>

// The pictures of the record, stop and pause buttons, 22 x 19 pixels on the button face.

namespace sonocap {

inline constexpr int kButtonImageWidth = 22;
inline constexpr int kButtonImageHeight = 19;

// A filled red circle.
QPixmap RecordImage();
// A square outline with a light and a dark edge.
QPixmap StopImage();
// Two upright bars with a light and a dark edge.
QPixmap PauseImage();

}  // namespace sonocap

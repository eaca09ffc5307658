#pragma once

#include <QIcon>
#include <QPixmap>

// The program's icon: a red record dot over a stereo level bar (ui/images/sonocap.svg is the
// same picture for the desktop).

namespace sonocap {

// The icon at `size` x `size` pixels.
QPixmap ProgramIconPixmap(int size);

// The icon in the sizes a window manager asks for.
QIcon ProgramIcon();

}  // namespace sonocap

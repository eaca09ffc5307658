#pragma once

#include <QTextBrowser>

// The help file "sonocap.hlp" (an HTML page beside the executable) in a small window of its
// own that stays open beside the recorder.

namespace sonocap {

inline constexpr char kHelpFileName[] = "sonocap.hlp";

// Opens the help file at its top in the help window of `window`, creating that window the
// first time. A missing file is reported inside the help window.
void ShowHelpIndex(QWidget* window);

// The help window of `window`, nullptr while none was opened.
QTextBrowser* HelpViewerOf(QWidget* window);

}  // namespace sonocap

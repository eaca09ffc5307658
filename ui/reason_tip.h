#pragma once

#include <QFontMetrics>
#include <QString>

class QWidget;

// Why a take did not start or ended by itself, told beside the record button: wrapped to about
// the window's width and shown at once, whatever dialog was open a moment before.

namespace sonocap {

// `text` broken between words into lines of at most `widthPx` pixels in `metrics`; a word
// longer than a line keeps a line of its own, and the text's own line breaks stay.
QString WrappedToWidth(const QString& text, const QFontMetrics& metrics, int widthPx);

// The width a reason is wrapped to beside a window `windowWidthPx` pixels wide.
int ReasonWidth(int windowWidthPx);

// Shows `tip` as `button`'s tooltip under its window now, and once more when the window has
// settled: a dialog that has just closed gives the activation back a moment later, which hides
// a tooltip.
void ShowTipUnderWindow(QWidget* button, const QString& tip);

}  // namespace sonocap

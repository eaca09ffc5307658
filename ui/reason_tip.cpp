#include "ui/reason_tip.h"

#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

namespace sonocap {

namespace {

// Long enough for a window manager to hand the focus back after a dialog.
constexpr int kSettleMs = 300;

// Under the window, which it then covers nothing of, unless the screen ends there.
void ShowNow(QWidget* button, const QString& tip) {
    const QWidget* window = button->window();
    QToolTip::showText(window->mapToGlobal(QPoint(0, window->height())), tip, button);
}

}  // namespace

QString WrappedToWidth(const QString& text, const QFontMetrics& metrics, int widthPx) {
    QStringList lines;
    // A line break of the text's own starts a paragraph.
    for (const QString& paragraph : text.split('\n')) {
        QString line;
        for (const QString& word : paragraph.split(' ', Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + ' ' + word;
            if (!line.isEmpty() && metrics.horizontalAdvance(longer) > widthPx) {
                lines.append(line);
                line = word;
            } else {
                line = longer;
            }
        }
        lines.append(line);
    }
    return lines.join('\n');
}

int ReasonWidth(int windowWidthPx) {
    // A little wider than the window, so that two lines hold what a reason says.
    return windowWidthPx * 4 / 3;
}

void ShowTipUnderWindow(QWidget* button, const QString& tip) {
    if (!button->isVisible()) return;
    ShowNow(button, tip);
    // The button is the timer's context: a button that has gone takes the timer with it.
    QTimer::singleShot(kSettleMs, button, [button, tip] {
        // Not over a dialog opened meanwhile, and not a reason that has been replaced.
        if (!button->isVisible() || button->toolTip() != tip) return;
        if (QApplication::activeModalWidget() != nullptr) return;
        if (QToolTip::isVisible() && QToolTip::text() == tip) return;
        ShowNow(button, tip);
    });
}

}  // namespace sonocap

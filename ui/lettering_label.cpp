#include "ui/lettering_label.h"

#include <QFontMetrics>
#include <QPainter>

namespace sonocap {

LetteringLabel::LetteringLabel(std::vector<LetteringPart> parts, Qt::Alignment alignment,
                               QWidget* parent)
    : QWidget(parent), parts_(std::move(parts)), alignment_(alignment) {
    setAccessibleName(text());
}

QString LetteringLabel::text() const {
    QString all;
    for (const LetteringPart& part : parts_) all += part.text;
    return all;
}

void LetteringLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    const QFontMetrics metrics(font());
    const int total = metrics.horizontalAdvance(text());
    int x = 0;
    if (alignment_ & Qt::AlignHCenter) x = (width() - total) / 2;
    if (alignment_ & Qt::AlignRight) x = width() - total;
    const int baseline = (height() + metrics.ascent() - metrics.descent()) / 2;
    // Disabled, the words are drawn in the style's grey, as a disabled control's label is.
    const QColor disabled = palette().color(QPalette::Disabled, QPalette::WindowText);
    for (const LetteringPart& part : parts_) {
        if (part.outlined && isEnabled()) {
            p.setPen(QColor(110, 110, 110));
            for (const QPoint& d : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)}) {
                p.drawText(x + d.x(), baseline + d.y(), part.text);
            }
        }
        p.setPen(isEnabled() ? part.colour : disabled);
        p.drawText(x, baseline, part.text);
        x += metrics.horizontalAdvance(part.text);
    }
}

}  // namespace sonocap

#include "ui/program_icon.h"

#include <QPainter>
#include <QRadialGradient>

namespace sonocap {

QPixmap ProgramIconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on the 64-unit grid of the SVG.
    p.scale(size / 64.0, size / 64.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b, 0x2f, 0x33));
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 10, 10);

    QRadialGradient dot(QPointF(0.4 * 30 + 17, 0.35 * 30 + 9), 0.65 * 30);
    dot.setColorAt(0.0, QColor(0xff, 0x6e, 0x64));
    dot.setColorAt(0.6, QColor(0xdc, 0x00, 0x00));
    dot.setColorAt(1.0, QColor(0x96, 0x00, 0x00));
    p.setPen(QPen(QColor(0x6e, 0x00, 0x00), 1.5));
    p.setBrush(dot);
    p.drawEllipse(QPointF(32, 24), 15, 15);

    p.setPen(Qt::NoPen);
    struct Bar {
        qreal x, y, w;
        QColor colour;
    };
    const Bar bars[] = {
        {8, 44, 30, QColor(0, 255, 0)},  {38, 44, 8, QColor(255, 255, 0)},
        {46, 44, 10, QColor(60, 0, 0)},  {8, 52, 24, QColor(0, 255, 0)},
        {32, 52, 14, QColor(60, 60, 0)}, {46, 52, 10, QColor(60, 0, 0)},
    };
    for (const Bar& bar : bars) {
        p.setBrush(bar.colour);
        p.drawRect(QRectF(bar.x, bar.y, bar.w, 5));
    }
    return pixmap;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(ProgramIconPixmap(size));
    return icon;
}

}  // namespace sonocap

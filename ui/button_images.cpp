#include "ui/button_images.h"

#include <QColor>
#include <QPainter>
#include <QRadialGradient>

namespace sonocap {

namespace {

const QColor kDarkEdge(64, 64, 64);
const QColor kLightEdge(255, 255, 255);

QPixmap EmptyImage() {
    QPixmap image(kButtonImageWidth, kButtonImageHeight);
    image.fill(Qt::transparent);
    return image;
}

// A rectangle outline in the dark colour with the light one a pixel below and to the right,
// as if pressed into the face.
void EtchedRect(QPainter& p, const QRect& r, bool filled) {
    p.setPen(Qt::NoPen);
    p.setBrush(kLightEdge);
    p.drawRect(r.translated(1, 1));
    p.setBrush(kDarkEdge);
    p.drawRect(r);
    if (!filled) {
        p.setBrush(QColor(0, 0, 0, 0));
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawRect(r.adjusted(2, 2, -2, -2));
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setBrush(kLightEdge);
        p.drawRect(QRect(r.left() + 2, r.top() + 2, r.width() - 4, 1));
        p.drawRect(QRect(r.left() + 2, r.top() + 2, 1, r.height() - 4));
    }
}

}  // namespace

QPixmap RecordImage() {
    QPixmap image = EmptyImage();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF circle(5.5, 3.0, 12.0, 12.0);
    QRadialGradient glow(circle.center() - QPointF(2.0, 2.0), 8.0);
    glow.setColorAt(0.0, QColor(255, 110, 100));
    glow.setColorAt(0.6, QColor(220, 0, 0));
    glow.setColorAt(1.0, QColor(150, 0, 0));
    p.setPen(QPen(QColor(110, 0, 0), 1.0));
    p.setBrush(glow);
    p.drawEllipse(circle);
    return image;
}

QPixmap StopImage() {
    QPixmap image = EmptyImage();
    QPainter p(&image);
    EtchedRect(p, QRect(6, 4, 10, 10), false);
    return image;
}

QPixmap PauseImage() {
    QPixmap image = EmptyImage();
    QPainter p(&image);
    EtchedRect(p, QRect(6, 4, 3, 11), true);
    EtchedRect(p, QRect(13, 4, 3, 11), true);
    return image;
}

}  // namespace sonocap

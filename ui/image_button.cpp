#include "ui/image_button.h"

#include <QPainter>
#include <QStyleOptionFocusRect>

#include "ui/button_images.h"

namespace sonocap {

ImageButton::ImageButton(QWidget* parent) : QAbstractButton(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void ImageButton::SetImage(const QPixmap& image) {
    image_ = image;
    update();
}

void ImageButton::SetHeld(bool held) {
    held_ = held;
    update();
}

QSize ImageButton::sizeHint() const {
    return QSize(kButtonImageWidth + 2, kButtonImageHeight + 2);
}

void ImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect r = rect();
    const bool pressed = isDown() || held_;
    const QPalette& pal = palette();
    p.fillRect(r, pressed ? pal.color(QPalette::Button).darker(108) : pal.color(QPalette::Button));

    // A one-pixel black outline with a light and a dark bevel inside, swapped when pressed.
    const QColor light = pal.color(QPalette::Light);
    const QColor dark = pal.color(QPalette::Dark);
    p.setPen(QColor(40, 40, 40));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    const QRect inner = r.adjusted(1, 1, -2, -2);
    p.setPen(pressed ? dark : light);
    p.drawLine(inner.topLeft(), inner.topRight());
    p.drawLine(inner.topLeft(), inner.bottomLeft());
    p.setPen(pressed ? light : dark);
    p.drawLine(inner.bottomLeft(), inner.bottomRight());
    p.drawLine(inner.topRight(), inner.bottomRight());

    if (!image_.isNull()) {
        const int shift = pressed ? 1 : 0;
        const QPoint at((r.width() - image_.width()) / 2 + shift,
                        (r.height() - image_.height()) / 2 + shift);
        p.drawPixmap(at, image_);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = r.adjusted(3, 3, -3, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

}  // namespace sonocap

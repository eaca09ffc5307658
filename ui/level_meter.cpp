#include "ui/level_meter.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QWindow>

#include "ui/display_texts.h"

namespace sonocap {

int32_t SegmentLimit(double value) {
    const auto v = static_cast<int32_t>(value);
    return v - v % kSegmentPitch;
}

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent) {
    // The picture covers the whole bar, so nothing is erased before it is drawn.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

void LevelMeter::Initialize() {
    clientRect = rect();
    width = clientRect.width();
    height = clientRect.height();
    originX = clientRect.left();
    originY = clientRect.top();
    targetLevel = 0.0f;
    shownLevel = 1.0f;
    drawnLit_ = -1;
    memorySurface = QImage(width, height, QImage::Format_RGB32);
    // Only the segments are ever painted again: the gaps and the free rows stay black.
    memorySurface.fill(kMeterBackground);
    meterTimer = startTimer(kMeterTimerMs);
}

void LevelMeter::FillSegment(int32_t x, QRgb colour) {
    const int32_t top = clientRect.top() + 1;
    const int32_t bottom = clientRect.top() + height - 1;  // exclusive
    for (int32_t y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(memorySurface.scanLine(y));
        line[x] = colour;
        line[x + 1] = colour;
    }
}

void LevelMeter::ShowLevel(float db) {
    levelDb_ = db;
    targetLevel = MeterTarget(db);
}

float LevelMeter::NextLevel() const {
    const double d = static_cast<double>(targetLevel) - static_cast<double>(shownLevel);
    const double step = d >= 0.0 ? kRiseFactor * d : kFallFactor * d;
    const auto next = static_cast<float>(static_cast<double>(shownLevel) + step);
    return next > 1.0f ? 1.0f : next;
}

void LevelMeter::Draw(QPainter& painter) {
    shownLevel = NextLevel();

    if (memorySurface.isNull()) return;
    const int32_t lit = SegmentLimit(width * static_cast<double>(shownLevel));
    if (lit != drawnLit_) PaintSegments(lit);
    painter.drawImage(originX, originY, memorySurface);
}

void LevelMeter::PaintSegments(int32_t lit) {
    const int32_t greenEnd = SegmentLimit(width * kGreenZoneEnd);
    const int32_t yellowEnd = SegmentLimit(width * kYellowZoneEnd);
    for (int32_t x = 0; x < width - kSegmentWidth; x += kSegmentPitch) {
        const bool on = x < lit;
        QRgb colour;
        if (x < greenEnd) {
            colour = on ? kLitGreen : kUnlitGreen;
        } else if (x < yellowEnd) {
            colour = on ? kLitYellow : kUnlitYellow;
        } else {
            colour = on ? kLitRed : kUnlitRed;
        }
        FillSegment(x, colour);
    }
    drawnLit_ = lit;
}

void LevelMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Draw(painter);
}

void LevelMeter::timerEvent(QTimerEvent* event) {
    if (event->timerId() != meterTimer) {
        QWidget::timerEvent(event);
        return;
    }
    // The owner starts its own timer of the same period first, and Qt fires timers that fall
    // due together in the order they were started: the target of this moment is written.
    StepOrRepaint();
}

void LevelMeter::StepOrRepaint() {
    const QWindow* window = this->window()->windowHandle();
    const bool onScreen = isVisible() && window != nullptr && window->isExposed();
    const float next = NextLevel();
    if (onScreen && !memorySurface.isNull() &&
        SegmentLimit(width * static_cast<double>(next)) == drawnLit_) {
        shownLevel = next;
        return;
    }
    update();
}

}  // namespace sonocap

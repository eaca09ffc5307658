#include "ui/level_meter.h"

#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QWindow>
#include <algorithm>

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

int32_t LevelMeter::LitLimit(float level) const {
    const int32_t lit = SegmentLimit(width * static_cast<double>(level));
    // Below 0 no segment is lit, as at 0.
    return lit < 0 ? 0 : (lit > width ? width : lit);
}

LevelMeter::Span LevelMeter::ChangedSpan(int32_t fromLit, int32_t toLit) const {
    if (fromLit < 0) return {0, width};
    return {std::min(fromLit, toLit), std::max(fromLit, toLit)};
}

QRect LevelMeter::ChangedColumns(int32_t fromLit, int32_t toLit) const {
    const Span span = ChangedSpan(fromLit, toLit);
    return QRect(originX + span.first, originY, span.end - span.first, height);
}

void LevelMeter::Step() {
    shownLevel = NextLevel();
    // A hidden or minimised bar only moves its level: the window keeps the last picture it was
    // given, and the first tick once it is shown again repaints what differs from it.
    const QWindow* window = this->window()->windowHandle();
    if (!isVisible() || window == nullptr || !window->isExposed() || memorySurface.isNull()) {
        return;
    }
    const int32_t lit = LitLimit(shownLevel);
    if (lit != drawnLit_) update(ChangedColumns(drawnLit_, lit));
}

void LevelMeter::Draw(QPainter& painter, const QRect& area) {
    if (memorySurface.isNull()) return;
    const int32_t lit = LitLimit(shownLevel);
    if (lit != drawnLit_) {
        const QRect changed = ChangedColumns(drawnLit_, lit);
        PaintSegments(lit);
        // A paint that the window system asked for may cover less than the segments that
        // changed since the last one: the rest follows at once.
        if (!area.contains(changed)) update(changed);
    }
    painter.drawImage(area.topLeft(), memorySurface, area.translated(-originX, -originY));
}

void LevelMeter::PaintSegments(int32_t lit) {
    const int32_t greenEnd = SegmentLimit(width * kGreenZoneEnd);
    const int32_t yellowEnd = SegmentLimit(width * kYellowZoneEnd);
    // Only the segments between the old and the new limit change; the first picture is whole.
    const Span span = ChangedSpan(drawnLit_, lit);
    for (int32_t x = span.first; x < span.end && x < width - kSegmentWidth; x += kSegmentPitch) {
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

void LevelMeter::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    Draw(painter, event->rect());
}

void LevelMeter::timerEvent(QTimerEvent* event) {
    if (event->timerId() != meterTimer) {
        QWidget::timerEvent(event);
        return;
    }
    // The owner starts its own timer of the same period first, and Qt fires timers that fall
    // due together in the order they were started: the target of this moment is written.
    Step();
}

}  // namespace sonocap

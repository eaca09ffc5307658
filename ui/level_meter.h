#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>

#include "settings/db_table.h"

class QPainter;

// A horizontal bar of narrow segments in three zones (green, yellow, red) that shows a level
// from 0.0 (empty) to 1.0 (full). The owner writes targetLevel; the bar's own timer moves the
// shown level toward it, quickly up and slowly down, one step a tick. Every picture is composed
// off screen and reaches the window in one copy, so the bar never flickers; a tick copies only
// the segments that went on or off, and a tick that changes no segment copies nothing.

namespace sonocap {

inline constexpr int kMeterTimerMs = 55;
inline constexpr int kSegmentPitch = 3;  // a segment 2 pixels wide, then a gap of 1
inline constexpr int kSegmentWidth = 2;
inline constexpr double kGreenZoneEnd = 0.7;
inline constexpr double kYellowZoneEnd = 0.9;
inline constexpr double kRiseFactor = 0.5;
inline constexpr double kFallFactor = 0.25;

inline constexpr QRgb kLitGreen = qRgb(0, 255, 0);
inline constexpr QRgb kUnlitGreen = qRgb(0, 60, 0);
inline constexpr QRgb kLitYellow = qRgb(255, 255, 0);
inline constexpr QRgb kUnlitYellow = qRgb(60, 60, 0);
inline constexpr QRgb kLitRed = qRgb(255, 0, 0);
inline constexpr QRgb kUnlitRed = qRgb(60, 0, 0);
inline constexpr QRgb kMeterBackground = qRgb(0, 0, 0);

// `value` lowered to a multiple of the segment pitch: the first segment that a limit excludes.
int32_t SegmentLimit(double value);

class LevelMeter final : public QWidget {
    Q_OBJECT

  public:
    explicit LevelMeter(QWidget* parent = nullptr);

    // Takes the size the bar has now (it never changes afterwards), creates the black
    // surface and starts the timer. The bar starts full and falls.
    void Initialize();

    // One smoothing step of shownLevel toward targetLevel. On screen, the segments that the
    // step turns on or off are handed to the window to repaint.
    void Step();

    // The picture of shownLevel composed in the surface, and the part `area` of it copied to
    // `painter`.
    void Draw(QPainter& painter, const QRect& area);

    // The level one smoothing step from shownLevel toward targetLevel reaches.
    float NextLevel() const;

    // The first pixel column that `level` leaves dark, 0 .. width.
    int32_t LitLimit(float level) const;

    // The picture as the last Draw left it.
    const QImage& Surface() const { return memorySurface; }

    // Aims the bar at a level in dB (kSilenceDb for none), which assistive technology reads.
    void ShowLevel(float db);
    float LevelDb() const { return levelDb_; }

    QRect clientRect;
    float targetLevel = 0.0f;  // written by the owner at any time
    int meterTimer = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t originX = 0;
    int32_t originY = 0;
    float shownLevel = 0.0f;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    void FillSegment(int32_t x, QRgb colour);
    void PaintSegments(int32_t lit);
    // The columns [first, end) whose segments differ between the pictures of two lit limits;
    // the whole bar before the first picture (fromLit -1).
    struct Span {
        int32_t first;
        int32_t end;
    };
    Span ChangedSpan(int32_t fromLit, int32_t toLit) const;
    // The same columns as a rectangle of the widget.
    QRect ChangedColumns(int32_t fromLit, int32_t toLit) const;

    QImage memorySurface;
    // The lit limit of the picture in the surface, which is also the picture that the window
    // was last given; -1 before the first.
    int32_t drawnLit_ = -1;
    float levelDb_ = kSilenceDb;
};

}  // namespace sonocap

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QTest>
#include <vector>

#include "ui/level_meter.h"

using sonocap::LevelMeter;

namespace {

constexpr int kHeight = 10;

// A meter of `width` pixels, initialised, with its picture drawn into an image once at
// `level` (target equal to the shown level, so the step changes nothing).
QImage DrawnAt(LevelMeter& meter, int width, float level) {
    meter.setFixedSize(width, kHeight);
    meter.Initialize();
    meter.shownLevel = level;
    meter.targetLevel = level;
    QImage window(width, kHeight, QImage::Format_RGB32);
    window.fill(Qt::magenta);
    QPainter painter(&window);
    meter.Draw(painter, meter.rect());
    return window;
}

struct Segments {
    int green = 0, yellow = 0, red = 0;
    int litGreen = 0, litYellow = 0, litRed = 0;
    std::vector<int> starts;
};

// Reads the segments back from the middle row of the picture.
Segments Count(const QImage& image) {
    Segments s;
    const int y = kHeight / 2;
    for (int x = 0; x < image.width(); ++x) {
        const QRgb c = image.pixel(x, y);
        if (c == sonocap::kMeterBackground) continue;
        if (x > 0 && image.pixel(x - 1, y) == c) continue;  // second column of a segment
        s.starts.push_back(x);
        if (c == sonocap::kLitGreen || c == sonocap::kUnlitGreen) ++s.green;
        if (c == sonocap::kLitYellow || c == sonocap::kUnlitYellow) ++s.yellow;
        if (c == sonocap::kLitRed || c == sonocap::kUnlitRed) ++s.red;
        if (c == sonocap::kLitGreen) ++s.litGreen;
        if (c == sonocap::kLitYellow) ++s.litYellow;
        if (c == sonocap::kLitRed) ++s.litRed;
    }
    return s;
}

// Counts the paint events of the widget it watches, and keeps the area each one covers.
class PaintCounter final : public QObject {
  public:
    int count = 0;
    QRegion painted;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++count;
            painted += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

}  // namespace

class LevelMeterTest : public QObject {
    Q_OBJECT

  private slots:
    void zonesPerWidth_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("yellow");
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("lastSegment");
        QTest::newRow("187") << 187 << 43 << 13 << 6 << 183;
        QTest::newRow("186") << 186 << 43 << 12 << 7 << 183;
        QTest::newRow("10") << 10 << 2 << 1 << 0 << 6;
    }
    void zonesPerWidth() {
        QFETCH(int, width);
        QFETCH(int, green);
        QFETCH(int, yellow);
        QFETCH(int, red);
        QFETCH(int, lastSegment);
        LevelMeter meter;
        const Segments s = Count(DrawnAt(meter, width, 0.0f));
        QCOMPARE(s.green, green);
        QCOMPARE(s.yellow, yellow);
        QCOMPARE(s.red, red);
        QCOMPARE(s.starts.back(), lastSegment);
        for (std::size_t i = 0; i < s.starts.size(); ++i) QCOMPARE(s.starts[i], int(3 * i));
    }

    void untouchedColumnsAndRowsStayBlack() {
        LevelMeter meter;
        const QImage image = DrawnAt(meter, 187, 1.0f);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 185; x < 187; ++x) QCOMPARE(image.pixel(x, y), sonocap::kMeterBackground);
        }
        for (int x = 0; x < 187; ++x) {
            QCOMPARE(image.pixel(x, 0), sonocap::kMeterBackground);
            QCOMPARE(image.pixel(x, kHeight - 1), sonocap::kMeterBackground);
        }
        for (int x = 2; x < 185; x += 3) QCOMPARE(image.pixel(x, 4), sonocap::kMeterBackground);
        // Segments span the rows between the free ones.
        for (int y = 1; y < kHeight - 1; ++y) QCOMPARE(image.pixel(0, y), sonocap::kLitGreen);
    }

    void fullLevelLightsEverySegment() {
        LevelMeter meter;
        const Segments s = Count(DrawnAt(meter, 187, 1.0f));
        QCOMPARE(s.litGreen, 43);
        QCOMPARE(s.litYellow, 13);
        QCOMPARE(s.litRed, 6);
    }

    void halfLevelLightsThirtyOneSegmentsAndLeavesX93Dark() {
        LevelMeter meter;
        const QImage image = DrawnAt(meter, 187, 0.5f);
        const Segments s = Count(image);
        QCOMPARE(s.litGreen, 31);
        QCOMPARE(s.litYellow + s.litRed, 0);
        QCOMPARE(image.pixel(90, 5), sonocap::kLitGreen);
        QCOMPARE(image.pixel(93, 5), sonocap::kUnlitGreen);
    }

    void theWindowGetsTheSamePictureAsTheSurface() {
        LevelMeter meter;
        meter.setFixedSize(187, kHeight);
        meter.Initialize();
        meter.targetLevel = 1.0f;
        const QImage shown = meter.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, meter.Surface());
    }

    void smoothingSteps_data() {
        QTest::addColumn<float>("from");
        QTest::addColumn<float>("target");
        QTest::addColumn<std::vector<float>>("steps");
        QTest::newRow("rising") << 0.0f << 1.0f << std::vector<float>{0.5f, 0.75f, 0.875f, 0.9375f};
        QTest::newRow("falling") << 1.0f << 0.0f
                                 << std::vector<float>{0.75f, 0.5625f, 0.421875f, 0.31640625f};
        QTest::newRow("steady") << 0.3f << 0.3f << std::vector<float>{0.3f, 0.3f};
        QTest::newRow("capped at full") << 0.8f << 1.6f << std::vector<float>{1.0f, 1.0f};
        QTest::newRow("no lower limit") << 0.0f << -1.0f << std::vector<float>{-0.25f, -0.4375f};
    }
    void smoothingSteps() {
        QFETCH(float, from);
        QFETCH(float, target);
        QFETCH(std::vector<float>, steps);
        LevelMeter meter;
        meter.setFixedSize(187, kHeight);
        meter.Initialize();
        meter.shownLevel = from;
        meter.targetLevel = target;
        for (float expected : steps) {
            meter.Step();
            QCOMPARE(meter.shownLevel, expected);
        }
    }

    void startsFullAndFalls() {
        LevelMeter meter;
        meter.setFixedSize(187, kHeight);
        meter.Initialize();
        QCOMPARE(meter.shownLevel, 1.0f);
        QCOMPARE(meter.targetLevel, 0.0f);
        QCOMPARE(meter.width, 187);
        QCOMPARE(meter.height, kHeight);
        meter.show();
        // The bar's own timer repaints it, and each repaint is one step down.
        QTRY_VERIFY_WITH_TIMEOUT(meter.shownLevel <= 0.5625f, 2000);
    }

    void aBarWhosePictureStaysIsNotRepaintedButKeepsStepping() {
        LevelMeter meter;
        meter.setFixedSize(187, kHeight);
        meter.Initialize();
        meter.show();
        QVERIFY(QTest::qWaitForWindowExposed(&meter));
        meter.shownLevel = 0.01f;  // no segment lit, as at 0
        meter.targetLevel = 0.0f;
        meter.repaint();
        PaintCounter paints;
        meter.installEventFilter(&paints);
        const float before = meter.shownLevel;
        QTest::qWait(8 * sonocap::kMeterTimerMs);
        QCOMPARE(paints.count, 0);
        QVERIFY(meter.shownLevel < before * 0.75f * 0.75f);
        // Steps that light segments repaint those columns and nothing else: 0.2 of 187
        // pixels lights 12 segments, up to x = 36.
        meter.targetLevel = 0.2f;
        QTRY_COMPARE_WITH_TIMEOUT(Count(meter.Surface()).litGreen, 12, 2000);
        QCOMPARE(paints.painted.boundingRect(), QRect(0, 0, 36, kHeight));
        const QImage shown = meter.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown, meter.Surface());
        // Falling back, the segments go dark again and keep their zones.
        meter.targetLevel = 0.0f;
        QTRY_COMPARE_WITH_TIMEOUT(Count(meter.Surface()).litGreen, 0, 2000);
        QCOMPARE(Count(meter.Surface()).green, 43);
    }

    void belowZeroLightsNothing() {
        LevelMeter meter;
        const Segments s = Count(DrawnAt(meter, 187, -0.5f));
        QCOMPARE(s.litGreen + s.litYellow + s.litRed, 0);
        QCOMPARE(int(s.starts.size()), 62);
    }
};

QTEST_MAIN(LevelMeterTest)
#include "level_meter_test.moc"

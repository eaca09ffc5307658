// The floor of a window at rest: a bare dialog the recorder's size with three 55 ms timers that
// do nothing, the ticks the recorder window keeps while nothing changes. With the argument
// "paint" it is the floor of a window that shows a take instead: two bars the size of the
// recorder's meters, whose lit part moves every tick and which repaint only the columns that
// changed, over the X connection as the recorder does. bench/recorder-cpu.sh measures both
// beside the recorder. Runs until it is killed.

#include <QApplication>
#include <QDialog>
#include <QPaintEvent>
#include <QPainter>
#include <QTimerEvent>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kTimerMs = 55;
constexpr int kTimers = 3;
// The recorder's meters in pixels at 96 dpi.
constexpr QRect kBars[] = {QRect(32, 55, 187, 10), QRect(32, 68, 187, 10)};
// Lit limits a bar visits in turn: rises and falls of a few segments, as music moves a meter.
constexpr std::array kLimits = {120, 141, 129, 150, 138, 117, 132, 156, 144, 123, 111, 135};

class Bar final : public QWidget {
  public:
    Bar(QWidget* parent, const QRect& geometry, int phase) : QWidget(parent), step_(phase) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(geometry);
    }

    void Step() {
        step_ = (step_ + 1) % static_cast<int>(kLimits.size());
        const int lit = kLimits[static_cast<std::size_t>(step_)];
        update(QRect(std::min(lit, lit_), 0, std::abs(lit - lit_), height()));
        lit_ = lit;
    }

  protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        const QRect area = event->rect();
        painter.fillRect(area.intersected(QRect(0, 0, lit_, height())), Qt::green);
        painter.fillRect(area.intersected(QRect(lit_, 0, width() - lit_, height())), Qt::black);
    }

  private:
    int step_;
    int lit_ = 0;
};

class PeerWindow final : public QDialog {
  public:
    explicit PeerWindow(bool paint) {
        if (!paint) return;
        for (std::size_t i = 0; i < std::size(kBars); ++i) {
            bars_.push_back(new Bar(this, kBars[i], static_cast<int>(3 * i)));
        }
    }

  protected:
    void timerEvent(QTimerEvent* event) override {
        // The first timer stands for the recorder's display timer; each of the others moves
        // one bar, as each of the recorder's meters moves on its own timer.
        for (std::size_t i = 1; i < timers.size(); ++i) {
            if (event->timerId() == timers[i] && i - 1 < bars_.size()) bars_[i - 1]->Step();
        }
    }

  public:
    std::array<int, kTimers> timers{};

  private:
    std::vector<Bar*> bars_;
};

}  // namespace

int main(int argc, char** argv) {
    const bool paint = argc > 1 && std::strcmp(argv[1], "paint") == 0;
    // The recorder's own setting (app/main.cpp): the pixels go over the connection.
    setenv("QT_XCB_NO_MITSHM", "1", 0);
    QApplication application(argc, argv);
    PeerWindow window(paint);
    window.setWindowTitle("idle window peer");
    window.resize(267, 112);
    window.show();
    for (int& timer : window.timers) timer = window.startTimer(kTimerMs);
    return application.exec();
}

// The floor of a window at rest: a bare dialog the recorder's size with three 55 ms timers that
// do nothing, the ticks the recorder window keeps while nothing changes. bench/recorder-cpu.sh
// measures it beside the recorder. Runs until it is killed.

#include <QApplication>
#include <QDialog>
#include <QTimerEvent>

namespace {

constexpr int kTimerMs = 55;
constexpr int kTimers = 3;

class IdleWindow final : public QDialog {
  protected:
    void timerEvent(QTimerEvent*) override {}
};

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    IdleWindow window;
    window.setWindowTitle("idle window peer");
    window.resize(267, 112);
    window.show();
    for (int i = 0; i < kTimers; ++i) window.startTimer(kTimerMs);
    return application.exec();
}

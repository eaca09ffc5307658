#pragma once

#include <QDialog>
#include <QPixmap>
#include <cstdint>

#include "engine/capture_session.h"
#include "ui/read_only_field.h"

class QAction;
class QCheckBox;
class QMenu;

// The program's one window: record/stop and pause buttons, the two recording switches, the
// elapsed and remaining times, two level meters with their peak readouts. It turns clicks into
// calls on the capture session and refreshes the display every 55 ms.

namespace sonocap {

class ImageButton;
class LevelMeter;
class ReasonNotice;

inline constexpr char kRecorderTitle[] = " Sonocap 2.1";
// The About item, at the end of the window's context menu and on kAboutShortcut.
inline constexpr char kAboutItemText[] = "&About  Audiograph";
inline constexpr char kAboutShortcut[] = "Alt+A";
inline constexpr int kDisplayTimerMs = 55;
inline constexpr char kRecordedText[] = "recorded";
inline constexpr char kRemainingText[] = "remaining";
inline constexpr char kNoPeakYetText[] = "-inf";
// The desktop notification of a take that ended by itself; the reason is its body.
inline constexpr char kStoppedSummary[] = "Sonocap: recording stopped";

// Control ids, kept as the controls' object names ("1000" is RecordButton).
inline constexpr int kRecordButtonId = 1000;
inline constexpr int kPauseButtonId = 1001;
inline constexpr int kCompressionCheckId = 1002;
inline constexpr int kRecordedFieldId = 1003;
inline constexpr int kRemainingFieldId = 1004;
inline constexpr int kDcFilterCheckId = 1005;
inline constexpr int kLeftMeterId = 1011;
inline constexpr int kRightMeterId = 1012;
inline constexpr int kLeftPeakFieldId = 1028;
inline constexpr int kRightPeakFieldId = 1029;

class RecorderDialog final : public QDialog {
    Q_OBJECT

  public:
    explicit RecorderDialog(QWidget* parent = nullptr);
    ~RecorderDialog() override;

    void ToggleRecording();
    void TogglePause();
    // A click on either switch: stored, unless a take is starting.
    void OnSwitchClicked(QCheckBox* box, int32_t& value);
    // Every 55 ms: the times, the levels, and the watch over the take.
    void RefreshDisplay();
    // Escape, Enter outside a push button and the close box: stops a running recording,
    // then ends the window.
    void CloseRecorder();
    void ShowAbout();
    void ShowHelp();

    // The window's context menu: Minimize, Close, a separator, the Input submenu and the About
    // item.
    QMenu* SystemMenu() const { return systemMenu_; }
    QAction* AboutAction() const { return aboutAction_; }

    ImageButton* RecordButton;
    ImageButton* PauseButton;
    QCheckBox* CompressionCheck;
    QCheckBox* DcFilterCheck;
    ReadOnlyField* RecordedField;
    ReadOnlyField* RemainingField;
    ReadOnlyField* LeftPeakField;
    ReadOnlyField* RightPeakField;
    LevelMeter* LeftMeter;
    LevelMeter* RightMeter;
    // Why the last take ended by itself, for assistive technology.
    ReasonNotice* EndNotice;

    QPixmap recordImage;
    QPixmap stopImage;
    QPixmap pauseImage;
    int displayTimer = 0;

  public slots:
    void accept() override;
    void reject() override;

  protected:
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void CentreOnScreen();
    void BuildControls();
    void BuildSystemMenu();
    void Initialize();
    void ShowStartFailure(StartResult result);
    // The one way the window ends a running recording: the engine finishes the take, the
    // window shows the idle state and, for an end nobody asked for, why.
    void StopTake();
    // Takes that the last run could not stop, finished now: told on the record button.
    void TellFinishedTakes();
    void ShowReason(const QString& reason);
    // An end nobody asked for: in the window, on the desktop and to assistive technology.
    void TellUnaskedEnd(const QString& reason);
    // The record button's picture and names, and the switches, which hold for a whole take.
    void ShowTakeRunning(bool running);
    void ShowPaused(bool paused);
    // The elapsed time and the time left, worked out again only when they can have changed.
    void ShowTimes();
    // The meters' targets and the peak readouts; empty meters while idle or paused.
    void ShowLevels();
    // A device that stopped delivering, or anything the engine asked, ends the take as the
    // Stop button does.
    void WatchTake();

    QMenu* systemMenu_ = nullptr;
    QWidget* switchLabels_[2] = {};
    QAction* aboutAction_ = nullptr;
    // Set by CloseRecorder: a start that completes afterwards is stopped at once.
    bool closing_ = false;
    // The counters the time fields were last worked out from; -1 until the first tick of a
    // recording. The free space is asked again at least every kFreeSpaceTicks ticks.
    static constexpr int kFreeSpaceTicks = 18;  // about a second
    int64_t elapsedShownFor_ = -1;
    int64_t timeLeftFrames_ = -1;
    int64_t timeLeftBytes_ = -1;
    int ticksSinceFreeSpace_ = 0;
    int32_t holdsShown_[2] = {-1, -1};  // the peak holds the readouts show
};

}  // namespace sonocap

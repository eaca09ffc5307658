#include "ui/recorder_dialog.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QShortcut>
#include <QTimer>
#include <QTimerEvent>
#include <QToolTip>
#include <algorithm>
#include <chrono>

#include "engine/capture_session.h"
#include "engine/peak_meter.h"
#include "engine/program_state.h"
#include "engine/recording_limits.h"
#include "engine/recording_log.h"
#include "engine/recording_results.h"
#include "engine/take_record.h"
#include "platform/desktop_notifier.h"
#include "platform/wave_input.h"
#include "platform/window_system.h"
#include "settings/db_table.h"
#include "settings/parameter_record.h"
#include "ui/about_dialog.h"
#include "ui/accessible_widgets.h"
#include "ui/button_images.h"
#include "ui/dialog_font.h"
#include "ui/dialog_units.h"
#include "ui/display_texts.h"
#include "ui/help_viewer.h"
#include "ui/image_button.h"
#include "ui/input_menu.h"
#include "ui/lettering_label.h"
#include "ui/level_meter.h"
#include "ui/program_icon.h"
#include "ui/read_only_field.h"
#include "ui/reason_notice.h"
#include "ui/reason_tip.h"

namespace sonocap {

namespace {

const QColor kRedLettering(200, 0, 0);
const QColor kGreenLettering(0, 128, 0);
const QColor kWhiteLettering(255, 255, 255);

ReadOnlyField* Field(QWidget* parent, int id, const QString& name, const QRect& at,
                     Qt::Alignment alignment, bool framed) {
    auto* field = new ReadOnlyField(parent);
    field->setObjectName(QString::number(id));
    field->setAccessibleName(name);
    field->setAlignment(alignment | Qt::AlignVCenter);
    field->setFrame(framed);
    field->setGeometry(at);
    field->setContextMenuPolicy(Qt::NoContextMenu);
    field->setTextMargins(0, 0, 0, 0);
    return field;
}

int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

LetteringLabel* Label(QWidget* parent, std::vector<LetteringPart> parts, const QRect& at,
                      Qt::Alignment alignment = Qt::AlignLeft) {
    auto* label = new LetteringLabel(std::move(parts), alignment, parent);
    label->setGeometry(at);
    return label;
}

QFrame* Line(QWidget* parent, const QRect& at) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(at);
    return line;
}

}  // namespace

RecorderDialog::RecorderDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    // The window icon is what window managers show for a minimised window and while it is
    // dragged, so there is nothing to paint for those.
    setWindowIcon(ProgramIcon());
    setWindowTitle(kRecorderTitle);
    setFont(DialogFont());
    setFixedSize(DialogX(178), DialogY(69));
    CentreOnScreen();
    InstallAccessibleWidgets();
    BuildControls();
    BuildSystemMenu();
    Initialize();
}

RecorderDialog::~RecorderDialog() {
    // However the window went, its recording goes with it.
    StopTake();
}

void RecorderDialog::CentreOnScreen() {
    // Placed before it is first shown. Left to itself, Qt centres a window that has no owner
    // by a guessed frame of 10 x 40 pixels, which puts it 40 pixels above the centre when no
    // window manager draws a frame, and still well above it with a thin title bar.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

void RecorderDialog::BuildControls() {
    // In tab order.
    CompressionCheck = new QCheckBox(this);
    CompressionCheck->setObjectName(QString::number(kCompressionCheckId));
    CompressionCheck->setGeometry(DialogRect(9, 56, 8, 8).adjusted(-2, -2, 2, 2));
    CompressionCheck->setToolTip("Compaxa: lossless compression (.cx files)");
    CompressionCheck->setAccessibleName("Compaxa");

    DcFilterCheck = new QCheckBox(this);
    DcFilterCheck->setObjectName(QString::number(kDcFilterCheckId));
    DcFilterCheck->setGeometry(DialogRect(62, 56, 8, 8).adjusted(-2, -2, 2, 2));
    DcFilterCheck->setToolTip("DC filter: removes a constant offset from the input");
    DcFilterCheck->setAccessibleName("DC - Filter");

    PauseButton = new ImageButton(this);
    PauseButton->setObjectName(QString::number(kPauseButtonId));
    PauseButton->setGeometry(DialogRect(14, 7, 16, 13));
    PauseButton->setToolTip("Pause");

    RecordButton = new ImageButton(this);
    RecordButton->setObjectName(QString::number(kRecordButtonId));
    RecordButton->setGeometry(DialogRect(42, 7, 16, 13));

    Label(this, {{kRecordedText, kRedLettering}}, DialogRect(75, 20, 36, 8), Qt::AlignHCenter);
    Label(this, {{kRemainingText, kGreenLettering}}, DialogRect(127, 20, 36, 8), Qt::AlignHCenter);
    Line(this, DialogRect(1, 28, 175, 3));
    Line(this, DialogRect(2, 50, 175, 3));

    RecordedField = Field(this, kRecordedFieldId, "Time recorded", DialogRect(75, 8, 36, 12),
                          Qt::AlignHCenter, true);
    RemainingField = Field(this, kRemainingFieldId, "Time remaining", DialogRect(127, 8, 36, 12),
                           Qt::AlignLeft, true);
    for (QLineEdit* field : {RecordedField, RemainingField}) {
        // No tab stop, but the buttons park the focus here.
        field->setFocusPolicy(Qt::ClickFocus);
    }

    auto* address = Label(this, {{kMakerWebAddress, QColor(0, 0, 160)}}, DialogRect(109, 56, 64, 9),
                          Qt::AlignRight);
    address->setObjectName("MakerWebAddress");

    auto* border = new QFrame(this);
    border->setFrameShape(QFrame::Box);
    border->setFrameShadow(QFrame::Plain);
    border->setStyleSheet("color: #a0a0a0");
    border->setGeometry(DialogRect(-1, -1, 180, 71));
    border->lower();

    switchLabels_[0] = Label(this, {{"Comp", kWhiteLettering, true}, {"axa", kRedLettering}},
                             DialogRect(20, 55, 33, 9));
    switchLabels_[1] = Label(this, {{"DC - Filter", Qt::black}}, DialogRect(73, 56, 34, 9));

    LeftMeter = new LevelMeter(this);
    LeftMeter->setObjectName(QString::number(kLeftMeterId));
    LeftMeter->setGeometry(DialogRect(21, 34, 125, 6));
    LeftMeter->setAccessibleName("Left level");
    RightMeter = new LevelMeter(this);
    RightMeter->setObjectName(QString::number(kRightMeterId));
    RightMeter->setGeometry(DialogRect(21, 42, 125, 6));
    RightMeter->setAccessibleName("Right level");

    LeftPeakField = Field(this, kLeftPeakFieldId, "Left peak", DialogRect(148, 33, 26, 8),
                          Qt::AlignLeft, false);
    RightPeakField = Field(this, kRightPeakFieldId, "Right peak", DialogRect(148, 40, 26, 8),
                           Qt::AlignLeft, false);
    for (QLineEdit* field : {LeftPeakField, RightPeakField}) {
        QPalette palette = field->palette();
        palette.setColor(QPalette::Base, palette.color(QPalette::Window));
        field->setPalette(palette);
        field->setFocusPolicy(Qt::TabFocus);
    }

    Label(this, {{"left", kRedLettering}}, DialogRect(5, 32, 14, 9));
    Label(this, {{"right", kGreenLettering}}, DialogRect(4, 40, 16, 9));
    EndNotice = new ReasonNotice(this);

    setTabOrder(CompressionCheck, DcFilterCheck);
    setTabOrder(DcFilterCheck, PauseButton);
    setTabOrder(PauseButton, RecordButton);
    setTabOrder(RecordButton, LeftPeakField);
    setTabOrder(LeftPeakField, RightPeakField);

    connect(RecordButton, &QAbstractButton::clicked, this, &RecorderDialog::ToggleRecording);
    connect(PauseButton, &QAbstractButton::clicked, this, &RecorderDialog::TogglePause);
    connect(CompressionCheck, &QAbstractButton::clicked, this,
            [this] { OnSwitchClicked(CompressionCheck, parameterRecord.compression); });
    connect(DcFilterCheck, &QAbstractButton::clicked, this,
            [this] { OnSwitchClicked(DcFilterCheck, parameterRecord.dcFilter); });
}

void RecorderDialog::BuildSystemMenu() {
    // The window manager owns the real system menu; this one holds the same items.
    systemMenu_ = new QMenu(this);
    QAction* minimize = systemMenu_->addAction("Mi&nimize");
    connect(minimize, &QAction::triggered, this, &QWidget::showMinimized);
    QAction* close = systemMenu_->addAction("&Close");
    close->setShortcut(QKeySequence("Alt+F4"));
    connect(close, &QAction::triggered, this, &QWidget::close);
    systemMenu_->addSeparator();
    systemMenu_->addMenu(new InputMenu(systemMenu_));
    aboutAction_ = systemMenu_->addAction(kAboutItemText);
    aboutAction_->setShortcut(QKeySequence(kAboutShortcut));
    aboutAction_->setShortcutContext(Qt::WindowShortcut);
    connect(aboutAction_, &QAction::triggered, this, &RecorderDialog::ShowAbout);
    addAction(aboutAction_);
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &RecorderDialog::ShowHelp);
}

void RecorderDialog::Initialize() {
    closingRequested = 0;
    // The handle the capture session uses as owner of its save dialog.
    ownerWindow = platform::Current<platform::WindowSystem>().HandleOf(static_cast<QWidget*>(this));
    recordImage = sonocap::RecordImage();
    stopImage = sonocap::StopImage();
    pauseImage = sonocap::PauseImage();
    ShowTakeRunning(false);
    PauseButton->SetImage(pauseImage);
    ShowPaused(paused != 0);

    RecordedField->ShowText(kRecordedText);
    RemainingField->ShowText(kRemainingText);
    LeftPeakField->ShowText(kNoPeakYetText);
    RightPeakField->ShowText(kNoPeakYetText);

    // The three 55 ms timers are started back to back: Qt lets timers that fall due within
    // the same few milliseconds share one wake-up, which timers started further apart do not.
    // The display timer comes first, so that each bar steps toward the target written in the
    // same wake-up.
    displayTimer = startTimer(kDisplayTimerMs);
    LeftMeter->Initialize();
    RightMeter->Initialize();

    CompressionCheck->setChecked(parameterRecord.compression != 0);
    DcFilterCheck->setChecked(parameterRecord.dcFilter != 0);
    CompressionCheck->setFocus();
    TellFinishedTakes();
}

void RecorderDialog::TellFinishedTakes() {
    const std::vector<FinishedTake> takes = FinishInterruptedTakes();
    if (takes.empty()) return;
    QString reason;
    bool ended = false;
    for (const FinishedTake& take : takes) {
        reason += (reason.isEmpty() ? "" : "\n") + QString::fromStdString(take.plain);
        ended = ended || !take.stillRecorded;
    }
    // A take that another copy still records has not stopped: told in the window only.
    if (ended) {
        TellUnaskedEnd(reason);
    } else {
        ShowReason(reason);
    }
    // Shown once the window is on the screen.
    QTimer::singleShot(kDisplayTimerMs * 10, this, [this, reason] { ShowReason(reason); });
}

void RecorderDialog::ShowTakeRunning(bool running) {
    RecordButton->SetImage(running ? stopImage : recordImage);
    RecordButton->setToolTip(running ? "Stop" : "Record");
    RecordButton->setAccessibleName(running ? "Stop" : "Record");
    for (QWidget* control :
         {static_cast<QWidget*>(CompressionCheck), static_cast<QWidget*>(DcFilterCheck),
          switchLabels_[0], switchLabels_[1]}) {
        control->setEnabled(!running);
    }
    if (running) EndNotice->Withdraw();
}

void RecorderDialog::ShowPaused(bool engaged) {
    PauseButton->SetHeld(engaged);
    PauseButton->setAccessibleName(engaged ? "Pause (engaged)" : "Pause");
}

void RecorderDialog::ToggleRecording() {
    if (busy != 0) return;
    RecordedField->setFocus();
    busy = 1;
    if (recording != 0) {
        StopTake();
    } else {
        const StartResult result = StartRecording();
        if (result == kRecordingStarted && closing_) {
            // The window was closed while the save dialog or the overwrite question was
            // open: the recording ends before it began, with its file finalised.
            StopRecording();
        } else if (result == kRecordingStarted) {
            recording = 1;
            elapsedShownFor_ = timeLeftFrames_ = timeLeftBytes_ = -1;
            holdsShown_[0] = holdsShown_[1] = -1;
            ShowTakeRunning(true);
        } else {
            ShowStartFailure(result);
        }
    }
    busy = 0;
}

void RecorderDialog::StopTake() {
    if (recording == 0) return;
    recording = 0;
    StopRecording();
    ShowTakeRunning(false);
    RecordedField->ShowText(kRecordedText);
    RemainingField->ShowText(kRemainingText);
    const std::string told = StopReportForUser();
    if (captureSession.endReason != kNoEndReason) {
        TellUnaskedEnd(QString::fromStdString(told));
    } else if (!told.empty()) {
        ShowReason(QString::fromStdString(told));
    }
}

void RecorderDialog::ShowStartFailure(StartResult result) {
    // The user's own cancel needs no explanation.
    if (result == kRecordingCancelled) return;
    const CaptureSession& s = captureSession;
    ShowReason(
        QString::fromStdString(StartRefusalForUser(result, s.failureError, s.failureDetail)));
}

void RecorderDialog::ShowReason(const QString& reason) {
    // No box: a recorder must not wait for a click while nobody is there. The reason stays on
    // the button until a recording starts.
    const QString tip =
        WrappedToWidth(reason, QFontMetrics(QToolTip::font()), ReasonWidth(width()));
    RecordButton->setToolTip(tip);
    ShowTipUnderWindow(RecordButton, tip);
}

void RecorderDialog::TellUnaskedEnd(const QString& reason) {
    ShowReason(reason);
    // The user may be away: the desktop keeps the reason until it is read, and a screen
    // reader speaks it wherever the focus is.
    platform::Current<platform::DesktopNotifier>().Notify(kStoppedSummary, reason.toStdString());
    EndNotice->Announce(reason);
}

void RecorderDialog::TogglePause() {
    RecordedField->setFocus();
    if (paused != 0) {
        ResumeCapture();
    } else {
        PauseCapture();
    }
    ShowPaused(paused != 0);
}

void RecorderDialog::OnSwitchClicked(QCheckBox* box, int32_t& value) {
    // A take keeps the switches disabled; while one starts, the answer is still open.
    if (busy != 0) {
        box->setChecked(value != 0);
        return;
    }
    value = box->isChecked() ? 1 : 0;
}

void RecorderDialog::RefreshDisplay() {
    ShowLevels();
    if (recording == 0) return;
    ShowTimes();
    WatchTake();
}

void RecorderDialog::ShowTimes() {
    const CaptureSession& s = captureSession;
    // Both times change only when a buffer is stored, or, for the time left, when others
    // write to the disk: a tick in between has nothing new to show.
    if (s.totalFrames != elapsedShownFor_) {
        elapsedShownFor_ = s.totalFrames;
        RecordedField->ShowText(QString::fromStdString(MinutesText(ShownSeconds(StoredFrames()))));
    }
    if (s.totalFrames == timeLeftFrames_ && s.bytesWritten == timeLeftBytes_ &&
        ++ticksSinceFreeSpace_ < kFreeSpaceTicks) {
        return;
    }
    timeLeftFrames_ = s.totalFrames;
    timeLeftBytes_ = s.bytesWritten;
    ticksSinceFreeSpace_ = 0;
    const std::optional<uint64_t> freeBytes = FreeDiskBytes(s.driveRoot);
    if (!freeBytes) {
        RemainingField->ShowText(kUnknownTimeText);
        return;
    }
    const bool compressed = parameterRecord.compression != 0;
    // The recording ends at whichever comes first: a full disk or the size limit.
    const int64_t left =
        std::min(SecondsLeft(*freeBytes, s.totalFrames, s.bytesWritten, compressed),
                 SecondsBeforeSizeLimit(compressed, s.bytesWritten, s.dataBytes));
    RemainingField->ShowText(QString::fromStdString(MinutesText(left)));
}

void RecorderDialog::ShowLevels() {
    if (recording == 0 || paused != 0) {
        LeftMeter->ShowLevel(kSilenceDb);
        RightMeter->ShowLevel(kSilenceDb);
        if (recording == 0) {
            LeftPeakField->ShowText("-inf dB");
            RightPeakField->ShowText("-inf dB");
        }
        return;
    }
    const CaptureSession& s = captureSession;
    UpdateMeterPeaks();
    UpdatePeakHolds();
    // The readouts change only when a hold rises.
    if (s.peakHoldLeft != holdsShown_[0] || s.peakHoldRight != holdsShown_[1]) {
        holdsShown_[0] = s.peakHoldLeft;
        holdsShown_[1] = s.peakHoldRight;
        LeftPeakField->ShowText(QString::fromStdString(PeakText(s.peakHoldLeft)));
        RightPeakField->ShowText(QString::fromStdString(PeakText(s.peakHoldRight)));
    }
    LeftMeter->ShowLevel(dbTable[s.peakLeft]);
    RightMeter->ShowLevel(dbTable[s.peakRight]);
}

void RecorderDialog::WatchTake() {
    WatchDevice(MonotonicMs());
    if (captureSession.stopRequested != 0) ToggleRecording();
}

void RecorderDialog::CloseRecorder() {
    closing_ = true;
    closingRequested = 1;
    StopTake();
    if (displayTimer != 0) {
        killTimer(displayTimer);
        displayTimer = 0;
    }
    QDialog::done(QDialog::Rejected);
}

void RecorderDialog::accept() {
    CloseRecorder();
}

void RecorderDialog::reject() {
    CloseRecorder();
}

void RecorderDialog::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void RecorderDialog::ShowHelp() {
    ShowHelpIndex(this);
}

void RecorderDialog::timerEvent(QTimerEvent* event) {
    if (event->timerId() != displayTimer) {
        QDialog::timerEvent(event);
        return;
    }
    RefreshDisplay();
}

void RecorderDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter clicks the push button that has the focus and otherwise ends the window.
        if (auto* button = qobject_cast<ImageButton*>(focusWidget())) {
            button->click();
        } else {
            accept();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void RecorderDialog::contextMenuEvent(QContextMenuEvent* event) {
    systemMenu_->exec(event->globalPos());
}

}  // namespace sonocap

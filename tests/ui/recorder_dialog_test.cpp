#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <memory>

#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "platform/fake/fake_file_io.h"
#include "platform/file_io.h"
#include "platform/message_sink.h"
#include "platform/save_dialog.h"
#include "tests/engine/recording_files.h"
#include "tests/ui/recorder_rig.h"
#include "ui/about_dialog.h"
#include "ui/display_texts.h"
#include "ui/help_viewer.h"
#include "ui/image_button.h"
#include "ui/level_meter.h"
#include "ui/reason_notice.h"
#include "ui/recorder_dialog.h"

using namespace sonocap;

namespace {

// Answers the overwrite question only after the recorder window was closed behind it.
class ClosingSink final : public platform::MessageSink {
  public:
    explicit ClosingSink(RecorderDialog& dialog) : dialog_(dialog) {}
    platform::MessageAnswer ShowMessage(const platform::MessageRequest&) override {
        ++shown;
        dialog_.close();
        return platform::MessageAnswer::Ok;
    }
    int shown = 0;

  private:
    RecorderDialog& dialog_;
};

// Chooses a file only after the recorder window was closed behind the save dialog.
class ClosingSaveDialog final : public platform::SaveDialog {
  public:
    ClosingSaveDialog(RecorderDialog& dialog, std::string path)
        : dialog_(dialog), path_(std::move(path)) {}
    bool ChooseFile(const platform::SaveFileRequest&, std::string& path) override {
        dialog_.close();
        path = path_;
        return true;
    }

  private:
    RecorderDialog& dialog_;
    std::string path_;
};

// A reason as it reads, without the line breaks that wrap it beside the window.
QString Unwrapped(QString tip) {
    return tip.replace('\n', ' ');
}

bool ShowsImage(const ImageButton* button, const QPixmap& image) {
    return button->Image().cacheKey() == image.cacheKey();
}

// Every control of the window as assistive technology reads it: "name = value", in the
// window's order, the value left out where a control has none.
QStringList AccessibleControls(QWidget* window) {
    QStringList controls;
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(window);
    for (int i = 0; i < tree->childCount(); ++i) {
        QAccessibleInterface* control = tree->child(i);
        // Lines and the border are drawing, not controls.
        if (control->role() == QAccessible::Separator || control->role() == QAccessible::Border) {
            continue;
        }
        if (control->state().invisible) continue;
        const QString value = control->text(QAccessible::Value);
        controls << control->text(QAccessible::Name) + (value.isEmpty() ? "" : " = " + value);
    }
    return controls;
}

}  // namespace

class RecorderDialogTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::RecorderRig> rig;
    std::unique_ptr<RecorderDialog> dialog;

    void StartInto(const QString& name) {
        rig->ChooseFile(name.toStdString());
        QTest::mouseClick(dialog->RecordButton, Qt::LeftButton);
    }
    void ClickStop() { QTest::mouseClick(dialog->RecordButton, Qt::LeftButton); }

  private slots:
    void init() {
        rig = std::make_unique<test::RecorderRig>();
        dialog = std::make_unique<RecorderDialog>();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }
    void cleanup() {
        dialog.reset();
        rig.reset();
    }

    void windowHasTheFixedLayout() {
        QCOMPARE(dialog->windowTitle(), QString(" Sonocap 2.1"));
        QCOMPARE(dialog->size(), QSize(267, 112));
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QVERIFY(!(dialog->windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(dialog->LeftMeter->width, 187);
        QCOMPARE(dialog->RightMeter->width, 187);
        QVERIFY(!dialog->windowIcon().isNull());
        QCOMPARE(dialog->focusWidget(), static_cast<QWidget*>(dialog->CompressionCheck));
        QVERIFY(ownerWindow != platform::kNoWindow);
        QCOMPARE(rig->windows.WidgetOf(ownerWindow), static_cast<QWidget*>(dialog.get()));
    }

    void initialTextsAndFirstTick() {
        QCOMPARE(dialog->RecordedField->text(), QString("recorded"));
        QCOMPARE(dialog->RemainingField->text(), QString("remaining"));
        QCOMPARE(dialog->LeftPeakField->text(), QString("-inf"));
        QCOMPARE(dialog->RightPeakField->text(), QString("-inf"));
        QVERIFY(ShowsImage(dialog->RecordButton, dialog->recordImage));
        QVERIFY(ShowsImage(dialog->PauseButton, dialog->pauseImage));
        dialog->RefreshDisplay();
        QCOMPARE(dialog->LeftPeakField->text(), QString("-inf dB"));
        QCOMPARE(dialog->RightPeakField->text(), QString("-inf dB"));
        QCOMPARE(dialog->LeftMeter->targetLevel, 0.0f);
        QCOMPARE(dialog->RecordedField->text(), QString("recorded"));
    }

    void checkBoxesShowAndStoreTheSwitches() {
        QVERIFY(!dialog->CompressionCheck->isChecked());
        QTest::mouseClick(dialog->CompressionCheck, Qt::LeftButton);
        QCOMPARE(parameterRecord.compression, 1);
        QTest::mouseClick(dialog->DcFilterCheck, Qt::LeftButton);
        QCOMPARE(parameterRecord.dcFilter, 1);
        QTest::mouseClick(dialog->DcFilterCheck, Qt::LeftButton);
        QCOMPARE(parameterRecord.dcFilter, 0);
    }

    void recordThenStopWritesAFinishedWaveFile() {
        StartInto("take.wav");
        QCOMPARE(recording, 1);
        QVERIFY(ShowsImage(dialog->RecordButton, dialog->stopImage));
        QVERIFY(rig->device.IsRunning());
        const std::vector<int16_t> frames = test::SteadyFrames(3 * kFramesPerBuffer, 1000, -2000);
        rig->Deliver(frames);
        ClickStop();
        QCOMPARE(recording, 0);
        QVERIFY(ShowsImage(dialog->RecordButton, dialog->recordImage));
        QCOMPARE(dialog->RecordedField->text(), QString("recorded"));
        QCOMPARE(dialog->RemainingField->text(), QString("remaining"));
        QVERIFY(!rig->device.IsOpen());
        // The user's own stop tells nobody.
        QVERIFY(rig->notifier.notifications.empty());
        QVERIFY(dialog->EndNotice->isHidden());
        const test::ReadBack back = test::ReadWaveRecording(rig->PathOf("take.wav"));
        QVERIFY2(back.ok, back.error.c_str());
        QCOMPARE(back.samples, frames);
    }

    void recordThenStopWritesAFinishedCompaxaFile() {
        QTest::mouseClick(dialog->CompressionCheck, Qt::LeftButton);
        StartInto("take.cx");
        QCOMPARE(rig->saveDialog.requests.back().defaultExtension, std::string("cx"));
        const std::vector<int16_t> frames = test::SteadyFrames(2 * kFramesPerBuffer, 7, -7);
        rig->Deliver(frames);
        ClickStop();
        const test::ReadBack back = test::ReadCompressedRecording(rig->PathOf("take.cx"));
        QVERIFY2(back.ok, back.error.c_str());
        QCOMPARE(back.samples, frames);
    }

    void cancelledSaveDialogLeavesTheRecorderIdleWithoutMessage() {
        rig->saveDialog.answers.push_back(std::nullopt);
        QTest::mouseClick(dialog->RecordButton, Qt::LeftButton);
        QCOMPARE(recording, 0);
        QCOMPARE(busy, 0);
        QVERIFY(ShowsImage(dialog->RecordButton, dialog->recordImage));
        QVERIFY(rig->messages.messages.empty());
        QCOMPARE(dialog->RecordButton->toolTip(), QString("Record"));
    }

    void aFailedStartExplainsItselfOnTheButton_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no device")
            << int{kDeviceNotOpened} << "Not recorded: no audio input device.";
        QTest::newRow("folder not writable")
            << int{kFileNotCreated} << "Not recorded: you may not write there.";
        QTest::newRow("path too long")
            << int{kPathTooLong} << "Not recorded: the file's name and folder are too long.";
    }
    void aFailedStartExplainsItselfOnTheButton() {
        QFETCH(int, fault);
        QFETCH(QString, reason);
        platform::FakeFileIo files;
        const platform::LayerGuard<platform::FileIo> filesGuard{files};
        rig->device.openResult =
            fault == kDeviceNotOpened ? platform::kWaveNoDevice : platform::kWaveOk;
        rig->device.openFailureText = "no audio input device";
        files.refuseCreate = fault == kFileNotCreated;
        StartInto(fault == kPathTooLong ? QString(300, 'a') : "failed.wav");
        QCOMPARE(recording, 0);
        QVERIFY(rig->messages.messages.empty());
        QCOMPARE(Unwrapped(dialog->RecordButton->toolTip()), reason);
        QVERIFY(dialog->isVisible());
        // A later start that works clears the reason.
        rig->device.openResult = platform::kWaveOk;
        files.refuseCreate = false;
        StartInto("works.wav");
        QCOMPARE(recording, 1);
        QCOMPARE(dialog->RecordButton->toolTip(), QString("Stop"));
        ClickStop();
    }

    void aTakeTheLastRunCouldNotStopIsFinishedAndToldOnTheButton() {
        takeRecordFolder = rig->PathOf("state");
        StartInto("killed.wav");
        QCOMPARE(recording, 1);
        rig->Deliver(test::SteadyFrames(kFramesPerBuffer, 1000, -1000));
        QTRY_COMPARE_WITH_TIMEOUT(captureSession.totalFrames, int64_t{kFramesPerBuffer}, 1000);
        // What a kill leaves: the file and its record as they are while recording.
        const std::string record =
            rig->PathOf("state/") + QDir(QString::fromStdString(rig->PathOf("state")))
                                        .entryList(QDir::Files)[0]
                                        .toStdString();
        const std::vector<uint8_t> take = test::ReadFileBytes(rig->PathOf("killed.wav"));
        const std::vector<uint8_t> kept = test::ReadFileBytes(record);
        ClickStop();
        std::ofstream(rig->PathOf("killed.wav"), std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(take.data()), std::streamsize(take.size()));
        std::ofstream(record, std::ios::binary)
            .write(reinterpret_cast<const char*>(kept.data()), std::streamsize(kept.size()));

        dialog = std::make_unique<RecorderDialog>();
        QCOMPARE(Unwrapped(dialog->RecordButton->toolTip()),
                 QString("The take killed.wav was interrupted. It is finished now and holds "
                         "0:00.4."));
        QVERIFY(!QFile::exists(QString::fromStdString(record)));
        QCOMPARE(rig->notifier.notifications.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(rig->notifier.notifications[0].body),
                 Unwrapped(dialog->RecordButton->toolTip()));
        takeRecordFolder.clear();
    }

    void aFullDiskEndsTheTakeAndTheButtonSaysWhy() {
        platform::FakeFileIo files;
        files.diskSpaceBytes = 44 + 4 * 13000 + 1;
        const platform::LayerGuard<platform::FileIo> filesGuard{files};
        StartInto("full.wav");
        QCOMPARE(recording, 1);
        rig->Deliver(test::SteadyFrames(kFramesPerBuffer, 1000, -1000));
        QTRY_COMPARE_WITH_TIMEOUT(recording, 0, 1000);
        QVERIFY(ShowsImage(dialog->RecordButton, dialog->recordImage));
        QVERIFY(rig->messages.messages.empty());
        // 13000 frames are 0.295 s.
        QCOMPARE(
            Unwrapped(dialog->RecordButton->toolTip()),
            QString("Stopped after 0:00.3: the disk is full. Everything up to then is saved."));
        QVERIFY(dialog->RecordButton->toolTip().count('\n') <= 1);
        QCOMPARE(rig->log.lines.back(),
                 "sonocap: " + rig->PathOf("full.wav") +
                     ": recording stopped after 0:00:00.3 (13000 frames stored of 16384 "
                     "captured): the file could not be written: No space left on device; the "
                     "file holds everything up to then");
        const test::ReadBack back = test::ReadWaveRecording(rig->PathOf("full.wav"));
        QVERIFY2(back.ok, back.error.c_str());
        QCOMPARE(back.samples.size(), std::size_t{2 * 13000});
        // Told once on the desktop, and to assistive technology by a notice that appears.
        const QString reason = Unwrapped(dialog->RecordButton->toolTip());
        QCOMPARE(rig->notifier.notifications.size(), std::size_t{1});
        QCOMPARE(rig->notifier.notifications[0].summary, std::string("Sonocap: recording stopped"));
        QCOMPARE(QString::fromStdString(rig->notifier.notifications[0].body), reason);
        // A notice that comes into view is what a screen reader speaks at once.
        QAccessibleInterface* notice = QAccessible::queryAccessibleInterface(dialog->EndNotice);
        QCOMPARE(notice->role(), QAccessible::Notification);
        QCOMPARE(notice->text(QAccessible::Name), reason);
        QVERIFY(!notice->state().invisible);
        QVERIFY(!notice->state().offscreen);
        // The next take withdraws it.
        files.diskSpaceBytes.reset();
        StartInto("next.wav");
        QVERIFY(notice->state().invisible);
        ClickStop();
    }

    void everyControlIsNamedAndShowsItsValueToAssistiveTechnology() {
        QCOMPARE(AccessibleControls(dialog.get()),
                 QStringList({"Compaxa", "DC - Filter", "Pause", "Record", "recorded", "remaining",
                              "Time recorded = recorded", "Time remaining = remaining",
                              "audiograph.example", "Compaxa", "DC - Filter",
                              "Left level = -inf dB", "Right level = -inf dB", "Left peak = -inf",
                              "Right peak = -inf", "left", "right"}));
        QTest::mouseClick(dialog->PauseButton, Qt::LeftButton);
        QTest::mouseClick(dialog->PauseButton, Qt::LeftButton);
        StartInto("named.wav");
        rig->Deliver(test::SteadyFrames(kFramesPerBuffer, 16384, -3277));
        dialog->RefreshDisplay();
        const QStringList recording = AccessibleControls(dialog.get());
        for (const char* expected :
             {"Stop", "Pause", "Time recorded = 00:00 min", "Time remaining = 101:26 min",
              "Left level = -6.0 dB", "Right level = -20.0 dB", "Left peak =  -6.0dB",
              "Right peak = -20.0dB"}) {
            QVERIFY2(recording.contains(expected), qPrintable(recording.join(" | ")));
        }
        auto* meter = QAccessible::queryAccessibleInterface(dialog->LeftMeter)->valueInterface();
        QVERIFY(meter != nullptr);
        QCOMPARE(meter->currentValue().toDouble(), double(dbTable[16384]));
        QTest::mouseClick(dialog->PauseButton, Qt::LeftButton);
        QVERIFY(AccessibleControls(dialog.get()).contains("Pause (engaged)"));
        ClickStop();
        QVERIFY(AccessibleControls(dialog.get()).contains("Record"));
    }

    void inputLostInATakeIsToldAfterIt() {
        StartInto("lossy.wav");
        rig->Deliver(test::SteadyFrames(kFramesPerBuffer, 1000, -1000));
        for (int i = 0; i < 3; ++i) rig->device.LoseInput(5880);
        ClickStop();
        QCOMPARE(dialog->RecordButton->toolTip(),
                 QString("Input was lost 3 times (0.4 s in all)."));
    }

    void pauseBeforeRecordHoldsTheElapsedTimeUntilReleased() {
        QTest::mouseClick(dialog->PauseButton, Qt::LeftButton);
        QCOMPARE(paused, 1);
        QVERIFY(dialog->PauseButton->IsHeld());
        StartInto("paused.wav");
        QCOMPARE(recording, 1);
        QVERIFY(QFile::exists(QString::fromStdString(rig->PathOf("paused.wav"))));
        QVERIFY(rig->device.IsOpen());
        QVERIFY(!rig->device.IsRunning());
        rig->Deliver(test::SteadyFrames(3 * kFramesPerBuffer, 100, 100));
        dialog->RefreshDisplay();
        QCOMPARE(dialog->RecordedField->text(), QString("00:00 min"));
        QCOMPARE(dialog->LeftMeter->targetLevel, 0.0f);

        QTest::mouseClick(dialog->PauseButton, Qt::LeftButton);
        QCOMPARE(paused, 0);
        QVERIFY(!dialog->PauseButton->IsHeld());
        QVERIFY(rig->device.IsRunning());
        rig->Deliver(test::SteadyFrames(3 * kFramesPerBuffer, 100, 100));
        dialog->RefreshDisplay();
        QCOMPARE(dialog->RecordedField->text(), QString("00:01 min"));
    }

    void stoppingWhilePausedKeepsThePauseForTheNextRecording() {
        StartInto("one.wav");
        QTest::mouseClick(dialog->PauseButton, Qt::LeftButton);
        QVERIFY(!rig->device.IsRunning());
        ClickStop();
        QCOMPARE(recording, 0);
        QCOMPARE(paused, 1);
        QVERIFY(dialog->PauseButton->IsHeld());
        StartInto("two.wav");
        QCOMPARE(recording, 1);
        QVERIFY(rig->device.IsOpen());
        QVERIFY(!rig->device.IsRunning());
    }

    void switchesAreDisabledWhileATakeRuns() {
        StartInto("locked.wav");
        for (QCheckBox* box : {dialog->CompressionCheck, dialog->DcFilterCheck}) {
            QVERIFY(!box->isEnabled());
            QVERIFY(QAccessible::queryAccessibleInterface(box)->state().disabled);
            QTest::mouseClick(box, Qt::LeftButton);
            QVERIFY(!box->isChecked());
            // An ignored click leaves no focus frame behind.
            QVERIFY(!box->hasFocus());
        }
        QCOMPARE(parameterRecord.compression, 0);
        QCOMPARE(parameterRecord.dcFilter, 0);
        ClickStop();
        QVERIFY(dialog->CompressionCheck->isEnabled());
        QVERIFY(dialog->DcFilterCheck->isEnabled());
    }

    void checkBoxClickWhileBusyFlipsBack() {
        busy = 1;
        QTest::mouseClick(dialog->DcFilterCheck, Qt::LeftButton);
        QVERIFY(!dialog->DcFilterCheck->isChecked());
        QCOMPARE(parameterRecord.dcFilter, 0);
        busy = 0;
    }

    void requestedStopHappensAtTheNextTick() {
        StartInto("overrun.wav");
        rig->Deliver(test::SteadyFrames(kFramesPerBuffer, 5, 5));
        captureSession.stopRequested = 1;
        dialog->RefreshDisplay();
        QCOMPARE(recording, 0);
        QVERIFY(!rig->device.IsOpen());
        QVERIFY(test::ReadWaveRecording(rig->PathOf("overrun.wav")).ok);
    }

    void requestedStopWaitsWhileBusy() {
        StartInto("busy.wav");
        captureSession.stopRequested = 1;
        busy = 1;
        dialog->RefreshDisplay();
        QCOMPARE(recording, 1);
        busy = 0;
        dialog->RefreshDisplay();
        QCOMPARE(recording, 0);
    }

    void displayTimerStopsAnOverrunOnItsOwn() {
        StartInto("timer.wav");
        captureSession.stopRequested = 1;
        QTRY_COMPARE_WITH_TIMEOUT(recording, 0, 1000);
    }

    void timeTexts_data() {
        QTest::addColumn<qint64>("totalFrames");
        QTest::addColumn<qint64>("bytesWritten");
        QTest::addColumn<bool>("compressed");
        QTest::addColumn<qint64>("freeBytes");  // -1: unknown
        QTest::addColumn<QString>("recorded");
        QTest::addColumn<QString>("remaining");
        const qint64 sec = 176400;
        QTest::newRow("start") << 0LL << 0LL << false << 0LL << "00:00 min"
                               << "00:00 min";
        QTest::newRow("59 s") << 2645999LL << 0LL << false << 0LL << "00:59 min"
                              << "00:00 min";
        QTest::newRow("1 min") << 2646000LL << 0LL << false << 0LL << "01:00 min"
                               << "00:00 min";
        QTest::newRow("100 min") << 264600000LL << 0LL << false << 0LL << "100:00 min"
                                 << "00:00 min";
        QTest::newRow("a byte short of a second") << 0LL << 0LL << false << 176399LL << "00:00 min"
                                                  << "00:00 min";
        QTest::newRow("61 s free") << 0LL << 0LL << false << 61 * sec << "00:00 min"
                                   << "01:01 min";
        QTest::newRow("compressed to half")
            << 441000LL << 882000LL << true << 600 * sec << "00:10 min"
            << "20:00 min";
        QTest::newRow("compressed, nothing stored")
            << 441000LL << 0LL << true << 600 * sec << "00:10 min"
            << "10:00 min";
        // 507:14 min of disk, but the file's size fields end the recording first.
        QTest::newRow("5 GiB, the size limit first")
            << 0LL << 0LL << false << (5LL << 30) << "00:00 min"
            << "405:47 min";
        QTest::newRow("compressed near the size limit")
            << 1071079440LL << 2142158880LL << true << (1LL << 40) << "404:47 min"
            << "01:00 min";
        QTest::newRow("free space unknown") << 0LL << 0LL << false << -1LL << "00:00 min"
                                            << "--:-- min";
        QTest::newRow("free space unknown, a long take")
            << 264600000LL << 0LL << false << -1LL << "100:00 min"
            << "--:-- min";
    }
    void timeTexts() {
        QFETCH(qint64, totalFrames);
        QFETCH(qint64, bytesWritten);
        QFETCH(bool, compressed);
        QFETCH(qint64, freeBytes);
        QFETCH(QString, recorded);
        QFETCH(QString, remaining);
        parameterRecord.compression = compressed ? 1 : 0;
        StartInto(compressed ? "times.cx" : "times.wav");
        QCOMPARE(recording, 1);
        rig->disk.freeBytes = freeBytes < 0
                                  ? std::nullopt
                                  : std::optional<uint64_t>(static_cast<uint64_t>(freeBytes));
        captureSession.totalFrames = totalFrames;
        captureSession.bytesWritten = bytesWritten;
        captureSession.dataBytes = totalFrames * 4;
        dialog->RefreshDisplay();
        QCOMPARE(dialog->RecordedField->text(), recorded);
        QCOMPARE(dialog->RemainingField->text(), remaining);
        // A text wider than its field shows its beginning, never only its last digits.
        QCOMPARE(dialog->RemainingField->cursorPosition(), 0);
        QCOMPARE(rig->disk.asked.back(), rig->Directory());
        // The counters were only borrowed for the display.
        captureSession.totalFrames = 0;
        captureSession.bytesWritten = 0;
        captureSession.dataBytes = 0;
    }

    void freeSpaceIsAskedWhenABufferWasStoredOrOnceASecond() {
        // The ticks are counted here, not left to the clock.
        dialog->killTimer(dialog->displayTimer);
        dialog->displayTimer = 0;
        StartInto("asks.wav");
        dialog->RefreshDisplay();
        const std::size_t first = rig->disk.asked.size();
        QVERIFY(first >= 1);
        for (int tick = 0; tick < 5; ++tick) dialog->RefreshDisplay();
        QCOMPARE(rig->disk.asked.size(), first);
        rig->Deliver(test::SteadyFrames(kFramesPerBuffer, 5, 5));
        dialog->RefreshDisplay();
        QCOMPARE(rig->disk.asked.size(), first + 1);
        // Others may fill the disk meanwhile: a second without buffers asks once.
        rig->disk.freeBytes = 61 * 176400;
        for (int tick = 0; tick < 18; ++tick) dialog->RefreshDisplay();
        QCOMPARE(rig->disk.asked.size(), first + 2);
        QCOMPARE(dialog->RemainingField->text(), QString("01:01 min"));
    }

    void tabToAPeakFieldSelectsNothing() {
        dialog->RecordButton->setFocus();
        QTest::keyClick(dialog->RecordButton, Qt::Key_Tab);
        QCOMPARE(dialog->focusWidget(), static_cast<QWidget*>(dialog->LeftPeakField));
        QVERIFY(!dialog->LeftPeakField->hasSelectedText());
        QTest::keyClick(dialog->LeftPeakField, Qt::Key_Tab);
        QCOMPARE(dialog->focusWidget(), static_cast<QWidget*>(dialog->RightPeakField));
        QVERIFY(!dialog->RightPeakField->hasSelectedText());
    }

    void peakTexts_data() {
        QTest::addColumn<int>("hold");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << "-inf dB";
        QTest::newRow("half scale") << 16384 << " -6.0dB";
        QTest::newRow("a tenth") << 3277 << "-20.0dB";
        QTest::newRow("just below full") << 32767 << " -0.0dB";
        QTest::newRow("full scale") << 32768 << " +0.0dB";
    }
    void peakTexts() {
        QFETCH(int, hold);
        QFETCH(QString, text);
        StartInto("peaks.wav");
        captureSession.peakHoldLeft = hold;
        captureSession.peakHoldRight = hold;
        dialog->RefreshDisplay();
        QCOMPARE(dialog->LeftPeakField->text(), text);
        QCOMPARE(dialog->RightPeakField->text(), text);
        QCOMPARE(QString::fromStdString(PeakText(hold)), text);
    }

    void meterTargets_data() {
        QTest::addColumn<float>("db");
        QTest::addColumn<float>("target");
        QTest::newRow("floor") << -40.0f << 0.0f;
        QTest::newRow("end of green") << -12.0f << 0.7f;
        QTest::newRow("full scale") << 0.0f << 1.0f;
        QTest::newRow("silence") << -100.0f << 0.0f;
    }
    void meterTargets() {
        QFETCH(float, db);
        QFETCH(float, target);
        QCOMPARE(MeterTarget(db), target);
    }

    void ticksFeedTheMetersAndRaiseTheHolds() {
        StartInto("levels.wav");
        rig->Deliver(test::SteadyFrames(4000, -32768, 0));
        dialog->RefreshDisplay();
        QCOMPARE(captureSession.peakHoldLeft, 32768);
        QCOMPARE(dialog->LeftMeter->targetLevel, 1.0f);
        QCOMPARE(dialog->RightMeter->targetLevel, 0.0f);
        QCOMPARE(dialog->LeftPeakField->text(), QString(" +0.0dB"));
        QCOMPARE(dialog->RightPeakField->text(), QString("-inf dB"));
        // Quieter frames lower the bar but not the readout.
        rig->Deliver(test::SteadyFrames(4000, 16384, 16384));
        dialog->RefreshDisplay();
        QCOMPARE(dialog->LeftPeakField->text(), QString(" +0.0dB"));
        QCOMPARE(dialog->RightPeakField->text(), QString(" -6.0dB"));
        QVERIFY(dialog->LeftMeter->targetLevel < 1.0f);
    }

    void escapeDuringRecordingFinalisesAndEnds() {
        StartInto("escape.wav");
        rig->Deliver(test::SteadyFrames(kFramesPerBuffer, 3, 3));
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(recording, 0);
        QVERIFY(!rig->device.IsOpen());
        const test::ReadBack back = test::ReadWaveRecording(rig->PathOf("escape.wav"));
        QVERIFY2(back.ok, back.error.c_str());
        QCOMPARE(back.samples.size(), std::size_t(2 * kFramesPerBuffer));
    }

    void enterOnAFieldDuringRecordingFinalisesAndEnds() {
        StartInto("enter.wav");
        QCOMPARE(dialog->focusWidget(), static_cast<QWidget*>(dialog->RecordedField));
        QTest::keyClick(dialog->RecordedField, Qt::Key_Return);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(recording, 0);
        QVERIFY(test::ReadWaveRecording(rig->PathOf("enter.wav")).ok);
    }

    void enterOnACheckBoxEndsTheWindow() {
        dialog->CompressionCheck->setFocus();
        QTest::keyClick(dialog->CompressionCheck, Qt::Key_Enter);
        QVERIFY(!dialog->isVisible());
    }

    void enterOnAPushButtonClicksIt() {
        dialog->PauseButton->setFocus();
        QTest::keyClick(dialog->PauseButton, Qt::Key_Return);
        QVERIFY(dialog->isVisible());
        QCOMPARE(paused, 1);
    }

    void closeBoxDuringRecordingFinalisesAndEnds() {
        StartInto("close.wav");
        QVERIFY(dialog->close());
        QVERIFY(!dialog->isVisible());
        QCOMPARE(recording, 0);
        QVERIFY(test::ReadWaveRecording(rig->PathOf("close.wav")).ok);
    }

    void closingDuringTheFileChoiceCreatesNothing_data() {
        QTest::addColumn<bool>("inTheSaveDialog");
        QTest::newRow("save dialog") << true;
        QTest::newRow("overwrite question") << false;
    }
    void closingDuringTheFileChoiceCreatesNothing() {
        QFETCH(bool, inTheSaveDialog);
        const std::string path = rig->PathOf("exists.wav");
        if (!inTheSaveDialog) std::ofstream(path) << "old contents";
        ClosingSink sink(*dialog);
        ClosingSaveDialog saveDialog(*dialog, path);
        if (inTheSaveDialog) {
            platform::Install<platform::SaveDialog>(&saveDialog);
        } else {
            platform::Install<platform::MessageSink>(&sink);
        }
        StartInto("exists.wav");
        platform::Install<platform::MessageSink>(&rig->messages);
        platform::Install<platform::SaveDialog>(&rig->saveDialog);
        QCOMPARE(sink.shown, inTheSaveDialog ? 0 : 1);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(recording, 0);
        QCOMPARE(busy, 0);
        QCOMPARE(rig->device.openCalls, 0);
        QVERIFY(captureSession.device == nullptr);
        // The file is as it was: absent, or with its old contents.
        std::ifstream kept(path);
        std::string contents;
        std::getline(kept, contents);
        QCOMPARE(kept.is_open(), !inTheSaveDialog);
        if (!inTheSaveDialog) QCOMPARE(contents, std::string("old contents"));
    }

    void contextMenuEndsWithTheInputMenuAndTheAboutItem() {
        const QList<QAction*> actions = dialog->SystemMenu()->actions();
        QVERIFY(actions.size() >= 3);
        QVERIFY(actions[actions.size() - 3]->isSeparator());
        QCOMPARE(actions[actions.size() - 2]->text(), QString("&Input"));
        QVERIFY(actions[actions.size() - 2]->menu() != nullptr);
        QCOMPARE(actions.back()->text(), QString("&About  Audiograph"));
        QCOMPARE(actions.back(), dialog->AboutAction());
        QCOMPARE(actions.back()->shortcut(), QKeySequence("Alt+A"));
        for (QAction* action : actions) {
            QVERIFY(!action->text().contains("Maxim"));
            QVERIFY(!action->text().contains("Size"));
        }
    }

    void inputMenuOffersTheSourcesAndAppliesAChoiceAtOnce() {
        QMenu* menu =
            dialog->SystemMenu()->actions().at(dialog->SystemMenu()->actions().size() - 2)->menu();
        const auto texts = [&] {
            QStringList shown;
            for (QAction* action : menu->actions()) {
                shown << (action->isSeparator() ? "-" : action->text()) +
                             (action->isChecked() ? " *" : "") +
                             (action->isEnabled() ? "" : " (off)");
            }
            return shown;
        };
        // A device without a choice: the default input alone, disabled.
        emit menu->aboutToShow();
        QCOMPARE(texts(), QStringList({"Default input * (off)"}));

        rig->device.inputs.sources = {{"line", "Line & aux", false},
                                      {"mic", "USB microphone", false},
                                      {"speakers.monitor", "Monitor of Speakers", true}};
        rig->device.inputs.inUse = "mic";
        emit menu->aboutToShow();
        QCOMPARE(texts(), QStringList({"Default input", "Line && aux", "USB microphone *", "-",
                                       "What the computer plays (off)", "Monitor of Speakers"}));
        StartInto("moved.wav");
        menu->actions().at(1)->trigger();
        QCOMPARE(rig->device.chosen, std::vector<std::string>({"line"}));
        emit menu->aboutToShow();
        QVERIFY(menu->actions().at(1)->isChecked());
        QCOMPARE(recording, 1);
    }

    void aboutOpensModallyWhileTheRecorderKeepsTicking() {
        StartInto("about.wav");
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
            QVERIFY(about != nullptr);
            seen = true;
            QCOMPARE(about->windowTitle(), QString("Sonocap 2.1"));
            // The recording goes on under the box.
            rig->Deliver(test::SteadyFrames(3 * kFramesPerBuffer, 9, 9));
            QTRY_COMPARE_WITH_TIMEOUT(dialog->RecordedField->text(), QString("00:01 min"), 1000);
            QTest::keyClick(about, Qt::Key_Escape);
        });
        QTest::keyClick(dialog.get(), Qt::Key_A, Qt::AltModifier);
        QVERIFY(seen);
        QVERIFY(dialog->isVisible());
        QCOMPARE(recording, 1);
    }

    void helpKeyOpensTheHelpFileAtItsTop() {
        const std::string saved = programDirectory;
        programDirectory = rig->PathOf("");
        std::ofstream(rig->PathOf("sonocap.hlp"))
            << "<html><body><h2>Sonocap help</h2></body></html>";
        QTest::keyClick(dialog.get(), Qt::Key_F1);
        QTextBrowser* viewer = HelpViewerOf(dialog.get());
        QVERIFY(viewer != nullptr);
        QVERIFY(viewer->isVisible());
        QVERIFY(!viewer->isModal());
        QVERIFY(viewer->toPlainText().contains("Sonocap help"));
        programDirectory = saved;
    }

    // `screen`: the test's screen the recorder is on (tests/ui/CMakeLists.txt sets them up), and
    // how many pixels high it is.
    void helpWindowFitsItsTextAndClosesOnEscapeAndCtrlW_data() {
        QTest::addColumn<int>("screen");
        QTest::addColumn<int>("pixelsHigh");
        QTest::newRow("usual screen") << 0 << 800;
        QTest::newRow("1000 pixels high at scale 2") << 1 << 1000;
    }
    void helpWindowFitsItsTextAndClosesOnEscapeAndCtrlW() {
        QFETCH(int, screen);
        QFETCH(int, pixelsHigh);
        QScreen* on = QGuiApplication::screens().value(screen);
        QVERIFY(on != nullptr);
        QCOMPARE(qRound(on->geometry().height() * on->devicePixelRatio()), pixelsHigh);
        dialog->setScreen(on);
        const std::string saved = programDirectory;
        programDirectory = SONOCAP_SOURCE_DIR "/ui/help/";
        for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence("Ctrl+W")}) {
            dialog->ShowHelp();
            QTextBrowser* viewer = HelpViewerOf(dialog.get());
            QCOMPARE(viewer->screen(), on);
            QVERIFY(on->availableGeometry().contains(viewer->frameGeometry()));
            viewer->activateWindow();
            QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(viewer));
            QVERIFY(viewer->toPlainText().contains("sonocap-cx"));
            QCOMPARE(viewer->horizontalScrollBar()->maximum(), 0);
            QTest::keySequence(viewer, keys);
            QVERIFY2(!viewer->isVisible(), qPrintable(keys.toString()));
            QVERIFY(dialog->isVisible());
        }
        programDirectory = saved;
    }

    void missingHelpFileIsReportedInTheViewer() {
        const std::string saved = programDirectory;
        programDirectory = rig->PathOf("nowhere/");
        dialog->ShowHelp();
        QTextBrowser* viewer = HelpViewerOf(dialog.get());
        QVERIFY(viewer != nullptr);
        QVERIFY(viewer->toPlainText().contains("could not be opened"));
        QVERIFY(dialog->isVisible());
        programDirectory = saved;
    }
};

QTEST_MAIN(RecorderDialogTest)
#include "recorder_dialog_test.moc"

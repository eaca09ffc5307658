#include "app/recorder_app.h"

#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "platform/console/console_message_sink.h"
#include "platform/event_log.h"
#include "platform/message_sink.h"
#include "platform/qt/qt_termination_signals.h"
#include "settings/db_table.h"
#include "settings/program_environment.h"
#include "settings/settings.h"
#include "ui/recorder_dialog.h"

namespace sonocap {

void PrepareEnvironment() {
    FindProgramDirectory();
    CheckOsVersion();
    ApplyMeterLag();
    LoadSettings();
}

namespace {

// Ends every window that waits for an answer (save dialog, overwrite question, About box), so
// that the recorder's own run can end behind them.
void CloseModalWindows(const QWidget* keep) {
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || modal == keep) return;
        if (auto* box = qobject_cast<QDialog*>(modal)) {
            box->reject();
        } else {
            modal->close();
        }
    }
}

// Set while the recorder window runs. Qt ends the process with exit() when the connection to
// the X server breaks; the running take is then still finished and the settings saved, with
// no window to tell anything in.
bool windowRunning = false;

// What ending the program involves now, after "sonocap: <cause>: ".
const char* EndingText() {
    return recording != 0 ? "ending; a running recording is finished first" : "ending";
}

void FinishAtExit() {
    if (!windowRunning) return;
    windowRunning = false;
    // Qt's boxes are gone with the display: a failed save is told on standard error.
    static platform::ConsoleMessageSink console;
    platform::Install<platform::MessageSink>(&console);
    platform::Current<platform::EventLog>().Write(std::string("sonocap: the display went away: ") +
                                                  EndingText());
    recording = 0;
    StopRecording();
    SaveSettings();
}

}  // namespace

int RunRecorderApp(const std::function<void(RecorderDialog&)>& aboutToRun) {
    // A signal from outside ends the program as Escape does: a running recording is finished,
    // the settings are saved once.
    platform::QtTerminationSignals terminationSignals;
    RecorderDialog* running = nullptr;
    bool ending = false;
    QObject::connect(
        &terminationSignals, &platform::QtTerminationSignals::Arrived, [&](int number) {
            if (ending) return;
            ending = true;
            platform::Current<platform::EventLog>().Write(std::string("sonocap: ") +
                                                          strsignal(number) + ": " + EndingText());
            CloseModalWindows(running);
            if (running != nullptr) running->CloseRecorder();
        });

    // Qt's styles draw every control with its 3D look already; there is nothing to switch on.
    BuildDbTable();
    PrepareEnvironment();
    if (ending) {
        SaveSettings();
        return 0;
    }

    auto dialog = std::make_unique<RecorderDialog>();
    running = dialog.get();
    if (aboutToRun) aboutToRun(*dialog);
    static const bool finishAtExit = std::atexit(FinishAtExit) == 0;
    windowRunning = finishAtExit;
    // The result does not matter: every way out ends the program the same way.
    dialog->exec();
    windowRunning = false;
    running = nullptr;
    SaveSettings();
    dialog.reset();
    return 0;
}

}  // namespace sonocap

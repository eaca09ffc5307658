#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <fstream>
#include <functional>
#include <memory>

#include "app/display_check.h"
#include "app/recorder_app.h"
#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "platform/fake/fake_file_io.h"
#include "platform/fake/fake_system_info.h"
#include "platform/file_io.h"
#include "platform/message_sink.h"
#include "platform/system_info.h"
#include "settings/parameter_file.h"
#include "settings/parameter_record.h"
#include "settings/program_environment.h"
#include "tests/ui/recorder_rig.h"
#include "ui/image_button.h"
#include "ui/recorder_dialog.h"

using namespace sonocap;

namespace {

// Notes each message with whether the recorder window was on screen when it appeared.
class WitnessSink final : public platform::MessageSink {
  public:
    platform::MessageAnswer ShowMessage(const platform::MessageRequest& request) override {
        bool windowShown = false;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<RecorderDialog*>(w) != nullptr && w->isVisible()) windowShown = true;
        }
        titles.push_back(request.title);
        shownOverWindow.push_back(windowShown);
        return platform::MessageAnswer::Ok;
    }
    std::vector<std::string> titles;
    std::vector<bool> shownOverWindow;
};

using WayOut = std::function<void(RecorderDialog&, test::RecorderRig&)>;

}  // namespace

class RecorderAppTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<test::RecorderRig> rig;
    platform::FakeSystemInfo system;
    platform::FakeFileIo files;
    WitnessSink witness;

    std::string ParameterPath() const { return rig->PathOf(kParameterFileName); }
    int Saves() const {
        return static_cast<int>(
            std::count(files.createdPaths.begin(), files.createdPaths.end(), ParameterPath()));
    }
    // Runs the program; `wayOut` runs once the window is up.
    void RunUntil(const WayOut& wayOut) {
        RunRecorderApp([&](RecorderDialog& dialog) {
            QTimer::singleShot(0, &dialog, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(&dialog));
                wayOut(dialog, *rig);
            });
        });
    }
    void WriteValidParameterFile() {
        ParameterRecord record{};
        SetDefaultParameters(record);
        const ParameterImage image = EncodeParameterRecord(record);
        std::ofstream(ParameterPath(), std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), image.size());
    }

  private slots:
    void init() {
        rig = std::make_unique<test::RecorderRig>();
        system.executablePath = rig->PathOf("sonocap");
        system.osVersion = {platform::kPlatformNt, 10, 0};
        files.createdPaths.clear();
        witness.titles.clear();
        witness.shownOverWindow.clear();
        platform::Install<platform::SystemInfo>(&system);
        platform::Install<platform::FileIo>(&files);
        platform::Install<platform::MessageSink>(&witness);
    }
    void cleanup() {
        platform::Install<platform::SystemInfo>(nullptr);
        platform::Install<platform::FileIo>(&rig->files);
        rig.reset();
    }

    // `told`: the log line of the way out when it came from outside the window.
    void settingsAreSavedOnceOnEveryWayOut_data() {
        QTest::addColumn<WayOut>("wayOut");
        QTest::addColumn<QString>("told");
        QTest::newRow("escape") << WayOut([](RecorderDialog& d, test::RecorderRig&) {
            QTest::keyClick(&d, Qt::Key_Escape);
        }) << QString();
        QTest::newRow("enter on a check box") << WayOut([](RecorderDialog& d, test::RecorderRig&) {
            QTest::keyClick(d.CompressionCheck, Qt::Key_Return);
        }) << QString();
        QTest::newRow("close box")
            << WayOut([](RecorderDialog& d, test::RecorderRig&) { d.close(); }) << QString();
        QTest::newRow("escape while recording")
            << WayOut([](RecorderDialog& d, test::RecorderRig& r) {
                   r.ChooseFile("running.wav");
                   QTest::mouseClick(d.RecordButton, Qt::LeftButton);
                   QCOMPARE(recording, 1);
                   QTest::keyClick(&d, Qt::Key_Escape);
               })
            << QString();
        QTest::newRow("SIGTERM while recording")
            << WayOut([](RecorderDialog& d, test::RecorderRig& r) {
                   r.ChooseFile("running.wav");
                   QTest::mouseClick(d.RecordButton, Qt::LeftButton);
                   QCOMPARE(recording, 1);
                   raise(SIGTERM);
               })
            << "sonocap: Terminated: ending; a running recording is finished first";
        QTest::newRow("SIGTERM while idle")
            << WayOut([](RecorderDialog&, test::RecorderRig&) { raise(SIGTERM); })
            << "sonocap: Terminated: ending";
        QTest::newRow("SIGHUP") << WayOut([](RecorderDialog&, test::RecorderRig&) {
            raise(SIGHUP);
        }) << "sonocap: Hangup: ending";
        QTest::newRow("close box while recording")
            << WayOut([](RecorderDialog& d, test::RecorderRig& r) {
                   r.ChooseFile("running.wav");
                   QTest::mouseClick(d.RecordButton, Qt::LeftButton);
                   d.close();
               })
            << QString();
    }
    void settingsAreSavedOnceOnEveryWayOut() {
        QFETCH(WayOut, wayOut);
        QFETCH(QString, told);
        WriteValidParameterFile();
        RunUntil(wayOut);
        QCOMPARE(Saves(), 1);
        QCOMPARE(recording, 0);
        QVERIFY(captureSession.device == nullptr);
        QVERIFY(witness.titles.empty());
        // The take's own lines name its file; whatever else was logged is the way out's.
        QStringList others;
        for (const std::string& line : rig->log.lines) {
            if (line.find(rig->Directory()) == std::string::npos) {
                others << QString::fromStdString(line);
            }
        }
        QCOMPARE(others, told.isEmpty() ? QStringList() : QStringList{told});
    }

    void switchesChangedInTheWindowSurviveTheRestart() {
        WriteValidParameterFile();
        RunUntil([](RecorderDialog& d, test::RecorderRig&) {
            QTest::mouseClick(d.CompressionCheck, Qt::LeftButton);
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        parameterRecord = ParameterRecord{};
        bool checkedAtStart = false;
        RunUntil([&](RecorderDialog& d, test::RecorderRig&) {
            checkedAtStart = d.CompressionCheck->isChecked();
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        QVERIFY(checkedAtStart);
        QCOMPARE(Saves(), 2);
    }

    void missingParameterFileIsReportedOnceBeforeTheWindow() {
        RunUntil(
            [](RecorderDialog& d, test::RecorderRig&) { QTest::keyClick(&d, Qt::Key_Escape); });
        QCOMPARE(witness.titles.size(), std::size_t(1));
        QCOMPARE(witness.titles[0], std::string(" Parameter file error:"));
        QCOMPARE(witness.shownOverWindow[0], false);
        QCOMPARE(parameterRecord.magic, kParameterMagic);
        QCOMPARE(Saves(), 1);
    }

    void startUpPreparesTheProgramWideValues() {
        WriteValidParameterFile();
        std::string directorySeen;
        RunUntil([&](RecorderDialog& d, test::RecorderRig&) {
            directorySeen = programDirectory;
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        QCOMPARE(directorySeen, rig->Directory() + "/");
        QCOMPARE(meterLagFrames, 0);
    }

    void displayIsFoundThroughTheEnvironment_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("found");
        QTest::newRow("X display") << "DISPLAY"
                                   << ":0" << true;
        QTest::newRow("Wayland") << "WAYLAND_DISPLAY"
                                 << "wayland-0" << true;
        QTest::newRow("Qt platform") << "QT_QPA_PLATFORM"
                                     << "offscreen" << true;
        QTest::newRow("empty display") << "DISPLAY"
                                       << "" << false;
        QTest::newRow("nothing") << "HOME"
                                 << "/root" << false;
    }
    void displayIsFoundThroughTheEnvironment() {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(bool, found);
        const std::string n = name.toStdString();
        const std::string v = value.toStdString();
        QCOMPARE(HasDisplay([&](const char* asked) { return n == asked ? v.c_str() : nullptr; }),
                 found);
    }
};

QTEST_MAIN(RecorderAppTest)
#include "recorder_app_test.moc"

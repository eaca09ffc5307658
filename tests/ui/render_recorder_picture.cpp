// Renders the recorder window during a simulated recording of corpus music, meters in motion,
// to the PNG file named on the command line (docs/recorder.png in the repository).

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QThread>
#include <cstdio>

#include "engine/capture_session.h"
#include "engine/program_state.h"
#include "settings/parameter_record.h"
#include "tests/codec/test_signals.h"
#include "tests/ui/recorder_rig.h"
#include "ui/image_button.h"
#include "ui/program_icon.h"
#include "ui/recorder_dialog.h"

namespace {

constexpr int kFramesPerTick = 2425;  // 55 ms at 44 100 frames per second
constexpr int kTitleHeight = 22;
constexpr int kShadow = 10;

// The window as a desktop shows it: a plain title bar with the icon, the title and the
// minimise and close boxes above the client area, with a soft shadow.
QImage Framed(const QImage& client, const QString& caption, qreal scale) {
    const int title = qRound(kTitleHeight * scale);
    const int shadow = qRound(kShadow * scale);
    const int border = qRound(1 * scale);
    const QSize window(client.width() + 2 * border, client.height() + title + border);
    QImage out(window.width() + 2 * shadow, window.height() + 2 * shadow,
               QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = shadow; i > 0; --i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 7));
        p.drawRoundedRect(
            QRectF(shadow - i, shadow - i + i / 3, window.width() + 2 * i, window.height() + 2 * i),
            4 * scale + i, 4 * scale + i);
    }
    const QRect frame(shadow, shadow, window.width(), window.height());
    QPainterPath outline;
    outline.addRoundedRect(frame, 5 * scale, 5 * scale);
    p.setClipPath(outline);
    p.fillRect(frame, QColor(0x3c, 0x40, 0x46));
    p.setClipping(false);
    p.drawImage(shadow + border, shadow + title, client);

    const int iconSize = qRound(16 * scale);
    p.drawPixmap(shadow + qRound(6 * scale), shadow + (title - iconSize) / 2,
                 sonocap::ProgramIconPixmap(iconSize));
    QFont font;
    font.setPixelSize(qRound(11 * scale));
    p.setFont(font);
    p.setPen(QColor(0xf0, 0xf0, 0xf0));
    p.drawText(QRect(shadow + qRound(24 * scale), shadow, window.width(), title),
               Qt::AlignVCenter | Qt::AlignLeft, caption.trimmed());
    // Minimise and close boxes.
    const int box = qRound(7 * scale);
    const int y = shadow + title / 2;
    const int closeX = shadow + window.width() - qRound(16 * scale);
    const int minX = closeX - qRound(22 * scale);
    p.setPen(QPen(QColor(0xf0, 0xf0, 0xf0), 1.2 * scale));
    p.drawLine(QPointF(closeX - box / 2.0, y - box / 2.0),
               QPointF(closeX + box / 2.0, y + box / 2.0));
    p.drawLine(QPointF(closeX - box / 2.0, y + box / 2.0),
               QPointF(closeX + box / 2.0, y - box / 2.0));
    p.drawLine(QPointF(minX - box / 2.0, y + box / 2.0), QPointF(minX + box / 2.0, y + box / 2.0));
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: render_recorder_picture OUT.png\n");
        return 2;
    }
    // Twice the pixels, so that the picture stays sharp on a page.
    qputenv("QT_SCALE_FACTOR", "2");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    using namespace sonocap;

    const std::vector<int16_t> music = test::LoadCorpusClip("d3_tracker_music.wav");
    if (music.empty()) {
        std::fprintf(stderr, "render_recorder_picture: corpus clip not found\n");
        return 1;
    }
    test::RecorderRig rig;
    rig.disk.freeBytes = uint64_t{3} * 1000 * 1000 * 1000;
    parameterRecord.compression = 1;
    parameterRecord.dcFilter = 1;

    RecorderDialog dialog;
    dialog.show();
    rig.ChooseFile("take1.cx");
    dialog.RecordButton->click();
    if (recording == 0) {
        std::fprintf(stderr, "render_recorder_picture: the recording did not start\n");
        return 1;
    }
    // Seventeen seconds in no time, then two seconds at the pace of a real device, so that
    // the bars and the readouts are live.
    const int64_t total = static_cast<int64_t>(music.size() / 2);
    const int64_t preroll = 17 * 44100;
    rig.Deliver(std::vector<int16_t>(music.begin(), music.begin() + 2 * preroll));
    int64_t at = preroll;
    QElapsedTimer clock;
    clock.start();
    for (int tick = 0; tick < 38 && at + kFramesPerTick < total; ++tick) {
        rig.Deliver(std::vector<int16_t>(music.begin() + 2 * at,
                                         music.begin() + 2 * (at + kFramesPerTick)));
        at += kFramesPerTick;
        while (clock.elapsed() < 55 * (tick + 1)) {
            test::RecorderRig::Pump();
            QThread::msleep(2);
        }
    }
    dialog.RecordedField->setFocus();
    QImage client = dialog.grab().toImage();
    const qreal scale = client.devicePixelRatio();
    client.setDevicePixelRatio(1.0);
    const QImage picture = Framed(client, dialog.windowTitle(), scale);
    dialog.CloseRecorder();
    if (!picture.save(argv[1])) {
        std::fprintf(stderr, "render_recorder_picture: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %dx%d, recorded %s, remaining %s\n", argv[1], picture.width(),
                picture.height(), qPrintable(dialog.RecordedField->text()),
                qPrintable(dialog.RemainingField->text()));
    return 0;
}

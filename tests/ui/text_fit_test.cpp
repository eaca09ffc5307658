// Every text of the recorder window and the About box is drawn whole inside its box, in the
// fonts the program really gets (fontconfig's faces, which the off-screen platform uses as a
// desktop does). Each field is tried with every kind of text it shows. A text is whole when
// its ink in the control has the size of the same text drawn with nothing around it.

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolTip>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>

#include "engine/recording_results.h"
#include "tests/ui/recorder_rig.h"
#include "ui/about_dialog.h"
#include "ui/dialog_font.h"
#include "ui/image_button.h"
#include "ui/lettering_label.h"
#include "ui/read_only_field.h"
#include "ui/reason_tip.h"
#include "ui/recorder_dialog.h"

using namespace sonocap;

namespace {

// How far a pixel must stand out from what was there before to count as ink. Faint edge
// pixels of a glyph round to different values on different backgrounds; a cut loses whole
// columns of strong ones.
constexpr int kInkContrast = 48;

// The smallest rectangle holding every pixel in which the two pictures differ as ink does.
QRect DifferenceBox(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    QRect box;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            if (std::abs(qGray(x.pixel(column, row)) - qGray(y.pixel(column, row))) >
                kInkContrast) {
                box |= QRect(column, row, 1, 1);
            }
        }
    }
    return box;
}

QImage Picture(QWidget* widget) {
    QImage image = widget->grab().toImage();
    image.setDevicePixelRatio(1.0);
    return image;
}

// The ink of `text` in `font` drawn on an open page.
QSize FreeInk(const QFont& font, const QString& text) {
    QImage page(800, 120, QImage::Format_RGB32);
    page.fill(Qt::white);
    const QImage blank = page;
    QPainter painter(&page);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(100, 80, text);
    painter.end();
    return DifferenceBox(page, blank).size();
}

// The ink of the text of a control that has one: the pixels that change when it is blanked.
template <typename Control>
QSize InkIn(Control* control) {
    const QString text = control->text();
    const QImage with = Picture(control);
    control->setText(QString());
    const QImage without = Picture(control);
    control->setText(text);
    return DifferenceBox(with, without).size();
}

// The ink of a lettering label: what differs from an empty label of the same size in its place.
QSize LetteringInk(LetteringLabel* label) {
    LetteringLabel blank({}, Qt::AlignLeft, label->parentWidget());
    blank.setGeometry(label->geometry());
    blank.setFont(label->font());
    return DifferenceBox(Picture(label), Picture(&blank)).size();
}

// Drawn four times as large, a lettering label cuts nothing.
QSize LetteringInkUncut(LetteringLabel* label) {
    const QSize size = label->size();
    label->resize(size * 4);
    const QSize ink = LetteringInk(label);
    label->resize(size);
    return ink;
}

QString Describe(QWidget* control, const QString& text, QSize shown, QSize whole) {
    return QString("%1 '%2': %3x%4 of %5x%6 pixels of ink shown in a %7x%8 box")
        .arg(control->objectName().isEmpty() ? control->metaObject()->className()
                                             : control->objectName())
        .arg(text)
        .arg(shown.width())
        .arg(shown.height())
        .arg(whole.width())
        .arg(whole.height())
        .arg(control->width())
        .arg(control->height());
}

// Every control of `window` whose text, image or check mark does not fit its box. `fieldTexts`
// holds the texts each field (by object name) can show besides its present one.
QStringList Misfits(QWidget* window, const std::map<QString, QStringList>& fieldTexts) {
    QStringList misfits;
    auto check = [&](QWidget* control, const QString& text, QSize shown, QSize whole) {
        if (shown != whole || shown.isEmpty()) misfits << Describe(control, text, shown, whole);
    };
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (auto* field = qobject_cast<ReadOnlyField*>(control)) {
            QStringList texts = {field->text()};
            const auto more = fieldTexts.find(field->objectName());
            if (more != fieldTexts.end()) texts += more->second;
            for (const QString& text : texts) {
                field->ShowText(text);
                check(field, text, InkIn(field), FreeInk(field->font(), text));
            }
        } else if (auto* label = qobject_cast<QLabel*>(control)) {
            if (!label->text().isEmpty()) {
                check(label, label->text(), InkIn(label), FreeInk(label->font(), label->text()));
            }
        } else if (auto* lettering = qobject_cast<LetteringLabel*>(control)) {
            check(lettering, lettering->text(), LetteringInk(lettering),
                  LetteringInkUncut(lettering));
        } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
            QStyleOptionButton option;
            option.initFrom(box);
            const QRect mark =
                box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
            if (!box->rect().contains(mark)) misfits << Describe(box, "check mark", {}, {});
        } else if (auto* image = qobject_cast<ImageButton*>(control)) {
            // Inside the one-pixel outline.
            const QSize room = image->size() - QSize(2, 2);
            if (image->Image().width() > room.width() || image->Image().height() > room.height()) {
                misfits << Describe(image, "image", image->Image().size(), room);
            }
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            check(button, button->text(), InkIn(button), FreeInk(button->font(), button->text()));
        }
    }
    return misfits;
}

}  // namespace

class TextFitTest : public QObject {
    Q_OBJECT

  private slots:
    void init() { rig = std::make_unique<test::RecorderRig>(); }
    void cleanup() { rig.reset(); }

    void theProgramGetsTheNarrowFace() {
        // The layout was measured with it; a wider fallback would not fit.
        QCOMPARE(QFontInfo(DialogFont()).family(), QString("DejaVu Sans Condensed"));
    }

    void everyTextOfTheRecorderFits() {
        RecorderDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QStringList times = {"00:00 min", "59:59 min", "405:12 min", "999:59 min",
                                   "--:-- min"};
        const QStringList peaks = {"-inf", "-inf dB", " +0.0dB", " -6.0dB", "-20.0dB", "-90.3dB"};
        const std::map<QString, QStringList> fieldTexts = {
            {QString::number(kRecordedFieldId), times + QStringList{"recorded"}},
            {QString::number(kRemainingFieldId), times + QStringList{"remaining"}},
            {QString::number(kLeftPeakFieldId), peaks},
            {QString::number(kRightPeakFieldId), peaks},
        };
        const QStringList misfits = Misfits(&dialog, fieldTexts);
        QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join('\n')));
    }

    void everyTextOfTheAboutBoxFits() {
        RecorderDialog recorder;
        AboutDialog about(&recorder);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QCOMPARE(about.font(), recorder.font());
        QCOMPARE(about.findChildren<QLabel*>().size(), 3);  // the icon and two notice lines
        const QStringList misfits = Misfits(&about, {});
        QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join('\n')));
    }

    // Told beside the window, every reason takes two lines at most, even with a take of over an
    // hour and a file error's own words.
    void everyReasonTakesTwoLinesAtMost() {
        RecorderDialog dialog;
        const QFontMetrics metrics(QToolTip::font());
        const int width = ReasonWidth(dialog.width());
        const int64_t longTake = int64_t{44100} * 3723;
        QStringList reasons;
        for (const int error : {0, ENOSPC, EDQUOT, EROFS, EACCES, ENOENT, EISDIR, EFBIG, EIO}) {
            for (int32_t result = kHeaderNotWritten; result < kRecordingCancelled; ++result) {
                reasons << QString::fromStdString(
                    StartRefusalForUser(static_cast<StartResult>(result), error, ""));
            }
            for (int32_t reason = kInputNeverStarted; reason <= kWriteFailed; ++reason) {
                reasons << QString::fromStdString(
                    EndForUser(static_cast<EndReason>(reason), error, "", longTake));
            }
        }
        reasons << QString::fromStdString(InputLossForUser(1234, int64_t{44100} * 600));
        for (const QString& reason : reasons) {
            const QStringList lines = WrappedToWidth(reason, metrics, width).split('\n');
            QVERIFY2(lines.size() <= 2, qPrintable(lines.join('|')));
            for (const QString& line : lines) {
                QVERIFY2(metrics.horizontalAdvance(line) <= width, qPrintable(line));
            }
        }
    }

  private:
    std::unique_ptr<test::RecorderRig> rig;
};

QTEST_MAIN(TextFitTest)
#include "text_fit_test.moc"

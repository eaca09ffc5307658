#include "ui/about_dialog.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "ui/dialog_font.h"
#include "ui/dialog_units.h"
#include "ui/lettering_label.h"
#include "ui/program_icon.h"

namespace sonocap {

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setWindowTitle(kAboutTitle);
    setWindowIcon(ProgramIcon());
    setFont(DialogFont());
    setFixedSize(DialogX(186), DialogY(50));

    auto* border = new QFrame(this);
    border->setFrameShape(QFrame::Box);
    border->setFrameShadow(QFrame::Plain);
    border->setGeometry(DialogRect(-1, -1, 188, 52));

    const QRect iconRect = DialogRect(10, 11, 20, 20);
    auto* icon = new QLabel(this);
    icon->setPixmap(ProgramIconPixmap(std::min(iconRect.width(), iconRect.height())));
    icon->setGeometry(iconRect);

    auto* first = new QLabel(QString::fromUtf8(kAboutNoticeFirst), this);
    first->setObjectName("AboutNoticeFirst");
    first->setGeometry(DialogRect(38, 11, 100, 8));
    auto* second = new QLabel(QString::fromUtf8(kAboutNoticeSecond), this);
    second->setObjectName("AboutNoticeSecond");
    second->setGeometry(DialogRect(48, 22, 64, 8));

    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("AboutOk");
    ok->setDefault(true);
    ok->setGeometry(DialogRect(147, 18, 32, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(DialogRect(39, 34, 108, 1).adjusted(0, 0, 0, 1));

    auto* address =
        new LetteringLabel({{kMakerWebAddress, QColor(0, 0, 160)}}, Qt::AlignHCenter, this);
    address->setObjectName("MakerWebAddress");
    address->setGeometry(DialogRect(61, 36, 64, 9));
    ok->setFocus();
}

}  // namespace sonocap

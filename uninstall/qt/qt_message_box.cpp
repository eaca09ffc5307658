#include "uninstall/qt/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

namespace sonocap::uninstall {

std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& title, const std::string& text) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::NoIcon, QString::fromStdString(title),
                                             QString::fromStdString(text), QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText);
    return box;
}

void QtMessageBox::Show(const std::string& title, const std::string& text) {
    // The helper has no window of its own, so the application object exists only for the box.
    static int argc = 1;
    static char name[] = "sonocap-uninstall";
    static char* argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> application;
    if (QApplication::instance() == nullptr)
        application = std::make_unique<QApplication>(argc, argv);
    MakeMessageBox(title, text)->exec();
}

}  // namespace sonocap::uninstall

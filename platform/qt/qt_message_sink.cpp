#include "platform/qt/qt_message_sink.h"

#include <QMessageBox>
#include <QString>

namespace sonocap::platform {

MessageAnswer QtMessageSink::ShowMessage(const MessageRequest& request) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(request.title),
                    QString::fromStdString(request.text),
                    request.buttons == MessageButtons::OkCancel
                        ? QMessageBox::Ok | QMessageBox::Cancel
                        : QMessageBox::Ok);
    // The texts are laid out with blanks and line breaks of their own.
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    if (request.systemModal) box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec() == QMessageBox::Ok ? MessageAnswer::Ok : MessageAnswer::Cancel;
}

}  // namespace sonocap::platform

#include "platform/qt/qt_save_dialog.h"

#include <QFileDialog>
#include <QString>
#include <QStringList>

#include "platform/qt/qt_window_system.h"

namespace sonocap::platform {

bool QtSaveDialog::ChooseFile(const SaveFileRequest& request, std::string& path) {
    QFileDialog dialog(windows_.WidgetOf(request.owner), QString::fromStdString(request.title),
                       QString::fromStdString(request.initialDirectory));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The caller asks before a file is replaced.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // Qt takes the last parenthesised list as the patterns: "Wave File(*.WAV) (*.wav)".
    dialog.setNameFilter(
        QString::fromStdString(request.filterDescription + " (" + request.filterPattern + ")"));
    dialog.setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (dialog.exec() != QDialog::Accepted) return false;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return false;
    path = chosen.front().toStdString();
    return true;
}

}  // namespace sonocap::platform

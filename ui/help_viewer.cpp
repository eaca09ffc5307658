#include "ui/help_viewer.h"

#include <QFileInfo>
#include <QScrollBar>
#include <QUrl>

#include "settings/program_environment.h"
#include "settings/program_values.h"

namespace sonocap {

namespace {

constexpr char kViewerName[] = "SonocapHelpViewer";

}  // namespace

QTextBrowser* HelpViewerOf(QWidget* window) {
    return window->findChild<QTextBrowser*>(kViewerName, Qt::FindDirectChildrenOnly);
}

void ShowHelpIndex(QWidget* window) {
    QTextBrowser* viewer = HelpViewerOf(window);
    if (viewer == nullptr) {
        // A window of its own, owned by the recorder so that it closes with it.
        viewer = new QTextBrowser(window);
        viewer->setObjectName(kViewerName);
        viewer->setWindowFlags(Qt::Window);
        viewer->setWindowTitle("Sonocap Help");
        viewer->setOpenExternalLinks(true);
        viewer->resize(520, 560);
    }
    const QString path = QString::fromStdString(programDirectory) + kHelpFileName;
    if (QFileInfo(path).isReadable()) {
        viewer->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
    } else {
        viewer->setHtml(QString("<h3>Help is not available</h3>"
                                "<p>The help file <tt>%1</tt> could not be opened.</p>")
                            .arg(path.toHtmlEscaped()));
    }
    viewer->moveCursor(QTextCursor::Start);
    viewer->verticalScrollBar()->setValue(0);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

}  // namespace sonocap

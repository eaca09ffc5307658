#include "ui/help_viewer.h"

#include <QFileInfo>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "settings/program_environment.h"
#include "settings/program_values.h"

namespace sonocap {

namespace {

constexpr char kViewerName[] = "SonocapHelpViewer";
constexpr int kHelpWidth = 520;
constexpr int kHelpHeight = 560;

// At least as wide as the widest line that cannot wrap (a command, a path), so that the help
// reads without a horizontal scroll bar.
void FitWidth(QTextBrowser* viewer) {
    const int chrome = 2 * viewer->frameWidth() +
                       viewer->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, viewer);
    const int room = kHelpWidth - chrome;
    QTextDocument* document = viewer->document();
    document->setTextWidth(room);
    const int needed = static_cast<int>(std::ceil(document->size().width()));
    viewer->resize(std::max(kHelpWidth, needed + chrome), viewer->height());
}

// Within the free area of the screen the recorder is on, frame and all: a small screen or a
// large scale gets a shorter window that scrolls. A frame the window system has not reported yet
// (before the first show) is reckoned as a title bar.
void FitScreen(QTextBrowser* viewer, QScreen* screen) {
    viewer->setScreen(screen);
    const QRect area = screen->availableGeometry();
    QSize frame = viewer->frameGeometry().size() - viewer->size();
    if (frame.isNull()) {
        frame = QSize(0, viewer->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, viewer));
    }
    viewer->resize(std::min(viewer->width(), area.width() - frame.width()),
                   std::min(viewer->height(), area.height() - frame.height()));
    const QRect outer(viewer->pos(), viewer->size() + frame);
    if (!area.contains(outer)) {
        viewer->move(std::max(area.left(), std::min(outer.x(), area.right() + 1 - outer.width())),
                     std::max(area.top(), std::min(outer.y(), area.bottom() + 1 - outer.height())));
    }
}

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
        viewer->resize(kHelpWidth, kHelpHeight);
        // Closed like any other window of its kind.
        for (const QKeySequence& keys : {QKeySequence(Qt::Key_Escape), QKeySequence("Ctrl+W")}) {
            auto* shortcut = new QShortcut(keys, viewer);
            QObject::connect(shortcut, &QShortcut::activated, viewer, &QWidget::close);
        }
    }
    const QString path = QString::fromStdString(programDirectory) + kHelpFileName;
    if (QFileInfo(path).isReadable()) {
        viewer->setSource(QUrl::fromLocalFile(path), QTextDocument::HtmlResource);
    } else {
        viewer->setHtml(QString("<h3>Help is not available</h3>"
                                "<p>The help file <tt>%1</tt> could not be opened.</p>")
                            .arg(path.toHtmlEscaped()));
    }
    FitWidth(viewer);
    FitScreen(viewer, window->screen());
    viewer->moveCursor(QTextCursor::Start);
    viewer->verticalScrollBar()->setValue(0);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
}

}  // namespace sonocap

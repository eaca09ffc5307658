#include "app/display_check.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace sonocap {

namespace {

QtMessageHandler previousHandler = nullptr;
std::string displayFailure;  // what Qt's platform plugin said about the display

void StartUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const bool platform =
        context.category != nullptr && std::strncmp(context.category, "qt.qpa", 6) == 0;
    if (platform && type != QtFatalMsg) {
        // "could not connect to display :0" first, kept for the one line below.
        if (displayFailure.empty()) displayFailure = text.toStdString();
        return;
    }
    if (type == QtFatalMsg) {
        const char* display = std::getenv("DISPLAY");
        std::fprintf(stderr, "sonocap: the recorder window cannot be opened: %s\n",
                     !displayFailure.empty()
                         ? displayFailure.c_str()
                         : (std::string("no display could be reached (DISPLAY=") +
                            (display != nullptr ? display : "") + ")")
                               .c_str());
        std::fflush(stderr);
        std::_Exit(1);
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, text);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
    }
}

}  // namespace

void ExitWhenDisplayUnreachable() {
    previousHandler = qInstallMessageHandler(StartUpMessages);
}

void DisplayReached() {
    qInstallMessageHandler(previousHandler);
    if (!displayFailure.empty()) {
        std::fprintf(stderr, "qt.qpa: %s\n", displayFailure.c_str());
        displayFailure.clear();
    }
}

bool HasDisplay(const EnvironmentLookup& lookup) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = lookup(name);
        if (value != nullptr && value[0] != '\0') return true;
    }
    return false;
}

}  // namespace sonocap

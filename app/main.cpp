#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/display_check.h"
#include "app/recorder_app.h"
#include "platform/program_layers.h"

int main(int argc, char** argv) {
    if (!sonocap::HasDisplay([](const char* name) { return std::getenv(name); })) {
        std::fprintf(stderr, "%s\n", sonocap::kNoDisplayMessage);
        return 1;
    }
    // The window repaints two small bars 18 times a second. Through X shared memory every
    // repaint waits for the server to answer before it may draw again, which wakes the program
    // twice as often as sending the few pixels over the connection does. A user's own setting
    // is kept.
    setenv("QT_XCB_NO_MITSHM", "1", 0);
    QApplication application(argc, argv);
    sonocap::platform::ProgramLayers layers;
    return sonocap::RunRecorderApp();
}

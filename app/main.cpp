#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/display_check.h"
#include "app/recorder_app.h"
#include "engine/program_state.h"
#include "platform/program_layers.h"

namespace {

// Where a running take keeps its record: $XDG_STATE_HOME/sonocap, else
// ~/.local/state/sonocap. A relative path is no such folder and is ignored.
std::string StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') return std::string(state) + "/sonocap";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/state/sonocap";
    return "";
}

}  // namespace

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
    sonocap::ExitWhenDisplayUnreachable();
    QApplication application(argc, argv);
    sonocap::DisplayReached();
    sonocap::platform::ProgramLayers layers;
    sonocap::takeRecordFolder = StateFolder();
    return sonocap::RunRecorderApp();
}

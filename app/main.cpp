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
    QApplication application(argc, argv);
    sonocap::platform::ProgramLayers layers;
    return sonocap::RunRecorderApp();
}

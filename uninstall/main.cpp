#include <cstdlib>
#include <memory>

#include "uninstall/display_detection.h"
#include "uninstall/posix_file_operations.h"
#include "uninstall/posix_program_starter.h"
#include "uninstall/qt/qt_message_box.h"
#include "uninstall/registry_store.h"
#include "uninstall/stderr_message_box.h"
#include "uninstall/thread_sleeper.h"
#include "uninstall/uninstall_flow.h"

using namespace sonocap::uninstall;

// The command line is ignored and the exit code is always 0: whatever happened, the helper has
// nothing more to say to whoever started it.
int main() {
    std::unique_ptr<MessageBox> messages;
    if (HasDisplay([](const char* name) { return std::getenv(name); })) {
        messages = std::make_unique<QtMessageBox>();
    } else {
        messages = std::make_unique<StderrMessageBox>();
    }
    FileRegistry userStore(RegistryStorePath());
    FileRegistry machineStore(MachineRegistryStorePath());
    LayeredRegistry registry(userStore, machineStore);
    PosixProgramStarter starter;
    ThreadSleeper sleeper;
    PosixFileOperations files;
    UninstallLayers layers{registry, starter, *messages, sleeper, files};
    RunUninstall(layers);
    return 0;
}

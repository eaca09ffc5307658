#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "installer/setup_modes.h"
#include "uninstall/display_detection.h"
#include "uninstall/qt/qt_message_box.h"
#include "uninstall/registry_store.h"
#include "uninstall/stderr_message_box.h"
#include "uninstall/uninstall_flow.h"

using namespace sonocap;

namespace {

void Tell(const std::string& text) {
    std::unique_ptr<uninstall::MessageBox> messages;
    if (uninstall::HasDisplay([](const char* name) { return std::getenv(name); })) {
        messages = std::make_unique<uninstall::QtMessageBox>();
    } else {
        messages = std::make_unique<uninstall::StderrMessageBox>();
    }
    messages->Show(" Sonocap setup:", text);
}

}  // namespace

// setup.exe 1: registers the installation it lies in; setup.exe 2: takes it away again.
int main(int argc, char** argv) {
    const std::string mode = argc == 2 ? argv[1] : "";
    if (mode != installer::kRegisterArgument && mode != uninstall::kUninstallArgument) {
        std::fprintf(stderr,
                     "usage: setup.exe 1|2  (1 registers this installation, 2 removes it)\n");
        return 2;
    }
    const auto self = installer::InstallerAt("/proc/self/exe");
    if (!self) {
        std::fprintf(stderr, "setup.exe: cannot tell which folder it was started from\n");
        return 1;
    }
    const auto store = uninstall::RegistryStorePath();
    if (mode == installer::kRegisterArgument) {
        const installer::RegisterResult result = installer::RegisterInstallation(*self, store);
        if (!result.error.empty()) {
            std::fprintf(stderr, "setup.exe: %s\n", result.error.c_str());
            return 1;
        }
        std::printf("setup.exe: registered %s in %s\n", self->path.c_str(), store->c_str());
        if (!result.note.empty()) std::printf("setup.exe: %s\n", result.note.c_str());
        return 0;
    }
    // The helper reads the marker by itself; the user hears only of what was left in place.
    const installer::UninstallAnswer answer = installer::UninstallInstallation(*self, store);
    if (!answer.message.empty()) Tell(answer.message);
    return answer.marker == uninstall::kRemoveRequested ? 0 : 1;
}

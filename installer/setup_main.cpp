#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "installer/setup_modes.h"
#include "uninstall/display_detection.h"
#include "uninstall/qt/qt_message_box.h"
#include "uninstall/registry_store.h"
#include "uninstall/stderr_message_box.h"
#include "uninstall/uninstall_flow.h"

using namespace sonocap;

namespace {

// The folder this program lies in: the installation it belongs to.
std::string OwnDirectory() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    const std::string executable(path, static_cast<std::size_t>(length));
    return executable.substr(0, executable.rfind('/'));
}

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
    const std::string directory = OwnDirectory();
    if (directory.empty()) {
        std::fprintf(stderr, "setup.exe: cannot tell which folder it was started from\n");
        return 1;
    }
    const auto store = uninstall::RegistryStorePath();
    if (mode == installer::kRegisterArgument) {
        const std::string error = installer::RegisterInstallation(directory, store);
        if (!error.empty()) {
            std::fprintf(stderr, "setup.exe: %s\n", error.c_str());
            return 1;
        }
        std::printf("setup.exe: registered %s/sonocap in %s\n", directory.c_str(), store->c_str());
        return 0;
    }
    // The helper reads the marker by itself; the user hears only of what was left in place.
    const installer::UninstallAnswer answer = installer::UninstallInstallation(directory, store);
    if (!answer.message.empty()) Tell(answer.message);
    return answer.marker == uninstall::kRemoveRequested ? 0 : 1;
}

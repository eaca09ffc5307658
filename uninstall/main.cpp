#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// The folder of this program when it is an installation's (it holds the manifest); empty when
// the helper lies elsewhere, as in the build tree.
std::string OwnInstallation() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return std::string();
    std::string directory(path, static_cast<std::size_t>(length));
    directory.resize(directory.rfind('/'));
    struct stat info {};
    const std::string manifest = directory + "/" + std::string(kInstallationManifestName);
    if (::lstat(manifest.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::string();
    return directory;
}

}  // namespace

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
    UninstallLayers layers{registry, starter, *messages, sleeper, files, OwnInstallation()};
    RunUninstall(layers);
    return 0;
}

#include "app/recorder_app.h"

#include <memory>

#include "settings/db_table.h"
#include "settings/program_environment.h"
#include "settings/settings.h"
#include "ui/recorder_dialog.h"

namespace sonocap {

void PrepareEnvironment() {
    FindProgramDirectory();
    CheckOsVersion();
    ApplyMeterLag();
    LoadSettings();
}

int RunRecorderApp(const std::function<void(RecorderDialog&)>& aboutToRun) {
    // Qt's styles draw every control with its 3D look already; there is nothing to switch on.
    BuildDbTable();
    PrepareEnvironment();

    auto dialog = std::make_unique<RecorderDialog>();
    if (aboutToRun) aboutToRun(*dialog);
    // The result does not matter: every way out ends the program the same way.
    dialog->exec();
    SaveSettings();
    dialog.reset();
    return 0;
}

}  // namespace sonocap

#include "platform/save_dialog.h"

namespace sonocap::platform {

namespace {

class NoSaveDialog final : public SaveDialog {
  public:
    bool ChooseFile(const SaveFileRequest&, std::string&) override { return false; }
};

SaveDialog* installedSaveDialog = nullptr;

}  // namespace

SaveDialog& CurrentSaveDialog() {
    static NoSaveDialog none;
    return installedSaveDialog != nullptr ? *installedSaveDialog : none;
}

void InstallSaveDialog(SaveDialog* dialog) {
    installedSaveDialog = dialog;
}

}  // namespace sonocap::platform

#pragma once

#include "platform/save_dialog.h"

namespace sonocap::platform {

class QtWindowSystem;

// QFileDialog in save mode, owned by the widget the request names, without an overwrite
// question of its own.
class QtSaveDialog final : public SaveDialog {
  public:
    explicit QtSaveDialog(const QtWindowSystem& windows) : windows_(windows) {}

    bool ChooseFile(const SaveFileRequest& request, std::string& path) override;

  private:
    const QtWindowSystem& windows_;
};

}  // namespace sonocap::platform

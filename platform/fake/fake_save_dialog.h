#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/save_dialog.h"

namespace sonocap::platform {

// Answers each request with the next scripted answer: a path, or std::nullopt for Cancel.
// Cancels once the script has run out. Keeps every request it was shown.
class FakeSaveDialog final : public SaveDialog {
  public:
    bool ChooseFile(const SaveFileRequest& request, std::string& path) override;

    std::deque<std::optional<std::string>> answers;
    std::vector<SaveFileRequest> requests;
};

}  // namespace sonocap::platform

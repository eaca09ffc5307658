#include "platform/fake/fake_save_dialog.h"

namespace sonocap::platform {

bool FakeSaveDialog::ChooseFile(const SaveFileRequest& request, std::string& path) {
    requests.push_back(request);
    if (answers.empty()) return false;
    const std::optional<std::string> answer = answers.front();
    answers.pop_front();
    if (!answer) return false;
    path = *answer;
    return true;
}

}  // namespace sonocap::platform

#include "uninstall/stderr_message_box.h"

namespace sonocap::uninstall {

void StderrMessageBox::Show(const std::string& title, const std::string& text) {
    std::fprintf(stream_, "%s\n%s\n", title.c_str(), text.c_str());
    std::fflush(stream_);
}

}  // namespace sonocap::uninstall

#pragma once

#include <cstdio>

#include "uninstall/message_box.h"

namespace sonocap::uninstall {

// Without a display the message goes to a stream, standard error unless told otherwise: the
// title on its own line, then the text.
class StderrMessageBox : public MessageBox {
  public:
    explicit StderrMessageBox(std::FILE* stream = stderr) : stream_(stream) {}
    void Show(const std::string& title, const std::string& text) override;

  private:
    std::FILE* stream_;
};

}  // namespace sonocap::uninstall

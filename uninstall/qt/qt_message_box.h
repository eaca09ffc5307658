#pragma once

#include <memory>

#include "uninstall/message_box.h"

class QMessageBox;

namespace sonocap::uninstall {

// The message as a box of its own: no owner, plain text kept as written, only OK, no icon.
// Needs a QApplication.
std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& title, const std::string& text);

// Shows the box modally, creating the application object the first time it is needed.
class QtMessageBox : public MessageBox {
  public:
    void Show(const std::string& title, const std::string& text) override;
};

}  // namespace sonocap::uninstall

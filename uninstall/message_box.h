#pragma once

#include <string>

// A modal message without owner window, with only an OK button and no icon.

namespace sonocap::uninstall {

class MessageBox {
  public:
    virtual ~MessageBox() = default;
    virtual void Show(const std::string& title, const std::string& text) = 0;
};

}  // namespace sonocap::uninstall

#pragma once

#include <string>

#include "platform/layer.h"

// Modal message boxes without owner window and without icon: the only way the program
// tells the user about a failure.

namespace sonocap::platform {

enum class MessageButtons { Ok, OkCancel };

enum class MessageAnswer { Ok, Cancel };

struct MessageRequest {
    std::string title;
    std::string text;
    MessageButtons buttons = MessageButtons::Ok;
    // Keeps the box in front of every other window until it is dismissed.
    bool systemModal = false;
};

class MessageSink {
  public:
    virtual ~MessageSink() = default;

    // Shows the message and returns once the user has dismissed it.
    virtual MessageAnswer ShowMessage(const MessageRequest& request) = 0;
};

template <>
inline constexpr const char* kLayerName<MessageSink> = "message";

}  // namespace sonocap::platform

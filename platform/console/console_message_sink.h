#pragma once

#include <ostream>

#include "platform/message_sink.h"

namespace sonocap::platform {

// Writes messages to a text stream (standard error by default) for a program without a
// window system. A console cannot ask, so every message is answered with its default
// button, OK.
class ConsoleMessageSink final : public MessageSink {
  public:
    ConsoleMessageSink();
    explicit ConsoleMessageSink(std::ostream& out);

    MessageAnswer ShowMessage(const MessageRequest& request) override;

  private:
    std::ostream& out_;
};

}  // namespace sonocap::platform

#pragma once

#include "platform/message_sink.h"

namespace sonocap::platform {

// A QMessageBox without owner and without icon, with OK or OK and Cancel.
class QtMessageSink final : public MessageSink {
  public:
    MessageAnswer ShowMessage(const MessageRequest& request) override;
};

}  // namespace sonocap::platform

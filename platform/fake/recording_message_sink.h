#pragma once

#include <vector>

#include "platform/message_sink.h"

namespace sonocap::platform {

// Keeps every message it is asked to show, in order, and gives the answer set by the test.
class RecordingMessageSink final : public MessageSink {
  public:
    MessageAnswer ShowMessage(const MessageRequest& request) override;

    std::vector<MessageRequest> messages;
    MessageAnswer answer = MessageAnswer::kOk;
};

}  // namespace sonocap::platform

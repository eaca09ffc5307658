#pragma once

#include <deque>
#include <vector>

#include "platform/message_sink.h"

namespace sonocap::platform {

// Keeps every message it is asked to show, in order, and gives the answers set by the test:
// the queued ones first, then `answer` for every further message.
class RecordingMessageSink final : public MessageSink {
  public:
    MessageAnswer ShowMessage(const MessageRequest& request) override;

    std::vector<MessageRequest> messages;
    std::deque<MessageAnswer> answers;
    MessageAnswer answer = MessageAnswer::Ok;
};

}  // namespace sonocap::platform

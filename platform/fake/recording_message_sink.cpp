#include "platform/fake/recording_message_sink.h"

namespace sonocap::platform {

MessageAnswer RecordingMessageSink::ShowMessage(const MessageRequest& request) {
    messages.push_back(request);
    if (answers.empty()) return answer;
    const MessageAnswer next = answers.front();
    answers.pop_front();
    return next;
}

}  // namespace sonocap::platform

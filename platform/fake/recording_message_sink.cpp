#include "platform/fake/recording_message_sink.h"

namespace sonocap::platform {

MessageAnswer RecordingMessageSink::ShowMessage(const MessageRequest& request) {
    messages.push_back(request);
    return answer;
}

}  // namespace sonocap::platform

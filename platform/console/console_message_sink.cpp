#include "platform/console/console_message_sink.h"

#include <iostream>

namespace sonocap::platform {

ConsoleMessageSink::ConsoleMessageSink() : out_(std::cerr) {}

ConsoleMessageSink::ConsoleMessageSink(std::ostream& out) : out_(out) {}

MessageAnswer ConsoleMessageSink::ShowMessage(const MessageRequest& request) {
    out_ << request.title << '\n' << request.text << '\n';
    out_.flush();
    return MessageAnswer::Ok;
}

}  // namespace sonocap::platform

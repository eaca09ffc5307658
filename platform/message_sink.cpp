#include "platform/message_sink.h"

#include "platform/console/console_message_sink.h"

namespace sonocap::platform {

namespace {
MessageSink* installedMessageSink = nullptr;
}

MessageSink& CurrentMessageSink() {
    static ConsoleMessageSink console;
    return installedMessageSink != nullptr ? *installedMessageSink : console;
}

void InstallMessageSink(MessageSink* sink) {
    installedMessageSink = sink;
}

}  // namespace sonocap::platform

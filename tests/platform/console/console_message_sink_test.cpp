#include "platform/console/console_message_sink.h"

#include <sstream>

#include <gtest/gtest.h>

namespace sonocap::platform {
namespace {

TEST(ConsoleMessageSink, WritesTitleThenTextUnchanged) {
    std::ostringstream out;
    ConsoleMessageSink sink(out);
    MessageRequest request;
    request.title = " Title:";
    request.text = "\n   two  blanks\n";
    sink.ShowMessage(request);
    EXPECT_EQ(out.str(), " Title:\n\n   two  blanks\n\n");
}

TEST(ConsoleMessageSink, AnswersWithTheDefaultButton) {
    std::ostringstream out;
    ConsoleMessageSink sink(out);
    MessageRequest request;
    request.buttons = MessageButtons::OkCancel;
    EXPECT_EQ(sink.ShowMessage(request), MessageAnswer::Ok);
}

}  // namespace
}  // namespace sonocap::platform

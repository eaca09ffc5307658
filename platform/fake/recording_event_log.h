#pragma once

#include <string>
#include <vector>

#include "platform/event_log.h"

namespace sonocap::platform {

// Keeps every line, in order.
class RecordingEventLog final : public EventLog {
  public:
    void Write(const std::string& line) override { lines.push_back(line); }

    std::vector<std::string> lines;
};

}  // namespace sonocap::platform

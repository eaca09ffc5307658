#pragma once

#include "platform/event_log.h"

namespace sonocap::platform {

// Each line in one write to standard error, so that lines of other writers never cut it.
class StderrEventLog final : public EventLog {
  public:
    void Write(const std::string& line) override;
};

}  // namespace sonocap::platform

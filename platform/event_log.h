#pragma once

#include <string>

#include "platform/layer.h"

// One line for each thing a user may need to know afterwards: what started, what ended and
// why, what was lost. Standard error, which a desktop session keeps in its journal.

namespace sonocap::platform {

class EventLog {
  public:
    virtual ~EventLog() = default;

    // Writes `line` (without its line break) at once.
    virtual void Write(const std::string& line) = 0;
};

template <>
inline constexpr const char* kLayerName<EventLog> = "event log";

}  // namespace sonocap::platform

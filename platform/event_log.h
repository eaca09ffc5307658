#pragma once

#include <string>

// One line for each thing a user may need to know afterwards: what started, what ended and
// why, what was lost. Standard error, which a desktop session keeps in its journal.

namespace sonocap::platform {

class EventLog {
  public:
    virtual ~EventLog() = default;

    // Writes `line` (without its line break) at once.
    virtual void Write(const std::string& line) = 0;
};

// The log in use: standard error unless a test installed another one.
EventLog& CurrentEventLog();

// Makes `log` the one in use; nullptr goes back to standard error.
void InstallEventLog(EventLog* log);

}  // namespace sonocap::platform

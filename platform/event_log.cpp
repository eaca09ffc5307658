#include "platform/event_log.h"

#include "platform/console/stderr_event_log.h"

namespace sonocap::platform {

namespace {
EventLog* installedEventLog = nullptr;
}

EventLog& CurrentEventLog() {
    static StderrEventLog standardError;
    return installedEventLog != nullptr ? *installedEventLog : standardError;
}

void InstallEventLog(EventLog* log) {
    installedEventLog = log;
}

}  // namespace sonocap::platform

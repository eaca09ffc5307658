#include "platform/console/stderr_event_log.h"

#include <unistd.h>

namespace sonocap::platform {

void StderrEventLog::Write(const std::string& line) {
    const std::string whole = line + "\n";
    [[maybe_unused]] const ssize_t ignored = write(STDERR_FILENO, whole.data(), whole.size());
}

}  // namespace sonocap::platform

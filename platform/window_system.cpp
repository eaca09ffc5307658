#include "platform/window_system.h"

#include "platform/queue/queued_window_system.h"

namespace sonocap::platform {

namespace {
WindowSystem* installedWindowSystem = nullptr;
}

WindowSystem& CurrentWindowSystem() {
    static QueuedWindowSystem queue;
    return installedWindowSystem != nullptr ? *installedWindowSystem : queue;
}

void InstallWindowSystem(WindowSystem* system) {
    installedWindowSystem = system;
}

}  // namespace sonocap::platform

#include "platform/fake/journaling_window_system.h"

namespace sonocap::platform {

WindowHandle JournalingWindowSystem::CreateHiddenWindow(const std::string& className,
                                                        WindowHandle parent) {
    journal_.Add("window create");
    lastClassName = className;
    lastParent = parent;
    return QueuedWindowSystem::CreateHiddenWindow(className, parent);
}

bool JournalingWindowSystem::DestroyWindow(WindowHandle window) {
    journal_.Add("window destroy");
    return QueuedWindowSystem::DestroyWindow(window);
}

intptr_t JournalingWindowSystem::SendMessage(WindowHandle window, uint32_t message,
                                             uintptr_t wParam, intptr_t lParam) {
    journal_.Add("window send " + std::to_string(message));
    return QueuedWindowSystem::SendMessage(window, message, wParam, lParam);
}

}  // namespace sonocap::platform

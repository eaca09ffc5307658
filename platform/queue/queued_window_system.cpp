#include "platform/queue/queued_window_system.h"

#include <algorithm>

namespace sonocap::platform {

bool QueuedWindowSystem::RegisterWindowClass(const std::string& className,
                                             WindowProcedure procedure) {
    return table_.RegisterClass(className, procedure);
}

WindowHandle QueuedWindowSystem::CreateHiddenWindow(const std::string& className,
                                                    WindowHandle /*parent*/) {
    return table_.Create(className);
}

bool QueuedWindowSystem::DestroyWindow(WindowHandle window) {
    if (!table_.Destroy(window)) return false;
    std::erase_if(pending_, [window](const Message& m) { return m.window == window; });
    return true;
}

intptr_t QueuedWindowSystem::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                         intptr_t lParam) {
    return table_.Send(window, message, wParam, lParam);
}

bool QueuedWindowSystem::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) {
    if (!table_.Contains(window)) return false;
    pending_.push_back({window, message, wParam, lParam});
    return true;
}

intptr_t QueuedWindowSystem::DefWindowProc(WindowHandle, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

std::size_t QueuedWindowSystem::DispatchPending() {
    if (dispatching_) return 0;
    dispatching_ = true;
    std::size_t dispatched = 0;
    while (!pending_.empty()) {
        const Message m = pending_.front();
        pending_.pop_front();
        if (!table_.Contains(m.window)) continue;
        table_.Send(m.window, m.message, m.wParam, m.lParam);
        ++dispatched;
    }
    dispatching_ = false;
    return dispatched;
}

}  // namespace sonocap::platform

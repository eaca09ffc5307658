#include "platform/queue/queued_window_system.h"

#include <algorithm>

namespace sonocap::platform {

bool QueuedWindowSystem::RegisterWindowClass(const std::string& className,
                                             WindowProcedure procedure) {
    return classes_.emplace(className, procedure).second;
}

WindowHandle QueuedWindowSystem::CreateHiddenWindow(const std::string& className,
                                                    WindowHandle /*parent*/) {
    const auto found = classes_.find(className);
    if (found == classes_.end()) return kNoWindow;
    const WindowHandle window = nextWindow_++;
    windows_.emplace(window, found->second);
    return window;
}

bool QueuedWindowSystem::DestroyWindow(WindowHandle window) {
    if (windows_.erase(window) == 0) return false;
    std::erase_if(pending_, [window](const Message& m) { return m.window == window; });
    return true;
}

intptr_t QueuedWindowSystem::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                         intptr_t lParam) {
    const auto found = windows_.find(window);
    if (found == windows_.end()) return 0;
    return found->second(window, message, wParam, lParam);
}

bool QueuedWindowSystem::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) {
    if (windows_.count(window) == 0) return false;
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
        const auto found = windows_.find(m.window);
        if (found == windows_.end()) continue;
        found->second(m.window, m.message, m.wParam, m.lParam);
        ++dispatched;
    }
    dispatching_ = false;
    return dispatched;
}

}  // namespace sonocap::platform

#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "platform/window_system.h"

namespace sonocap::platform {

// The registered window classes and the live windows with their procedures: what every window
// system keeps, whatever carries its posted messages.
class WindowTable {
  public:
    // False when the class exists already (it keeps its first procedure).
    bool RegisterClass(const std::string& className, WindowProcedure procedure) {
        return classes_.emplace(className, procedure).second;
    }

    // kNoWindow when the class is unknown.
    WindowHandle Create(const std::string& className) {
        const auto found = classes_.find(className);
        if (found == classes_.end()) return kNoWindow;
        const WindowHandle window = NewHandle();
        windows_.emplace(window, found->second);
        return window;
    }

    bool Destroy(WindowHandle window) { return windows_.erase(window) != 0; }
    bool Contains(WindowHandle window) const { return windows_.count(window) != 0; }

    // Runs the window's procedure; 0 for a window that does not exist (any more).
    intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) const {
        const auto found = windows_.find(window);
        if (found == windows_.end()) return 0;
        return found->second(window, message, wParam, lParam);
    }

    // Handles are never reused, so a message left for a destroyed window finds nobody.
    WindowHandle NewHandle() { return nextWindow_++; }

    // The handle of a window that the toolkit shows, the same one each time.
    WindowHandle HandleOfShown(const void* shownWindow) {
        const auto [at, added] = shown_.emplace(shownWindow, kNoWindow);
        if (added) at->second = NewHandle();
        return at->second;
    }

  private:
    std::map<std::string, WindowProcedure> classes_;
    std::map<WindowHandle, WindowProcedure> windows_;
    std::map<const void*, WindowHandle> shown_;
    WindowHandle nextWindow_ = 1;
};

}  // namespace sonocap::platform

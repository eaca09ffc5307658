#pragma once

#include <cstddef>
#include <deque>
#include <string>

#include "platform/window_system.h"
#include "platform/window_table.h"

namespace sonocap::platform {

// Windows of a thread without a graphical window system: posted messages wait in one queue
// until the thread's loop calls DispatchPending.
class QueuedWindowSystem : public WindowSystem {
  public:
    bool RegisterWindowClass(const std::string& className, WindowProcedure procedure) override;
    WindowHandle CreateHiddenWindow(const std::string& className, WindowHandle parent) override;
    bool DestroyWindow(WindowHandle window) override;
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;
    bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                     intptr_t lParam) override;
    intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam) override;
    WindowHandle HandleOf(void* shownWindow) override { return table_.HandleOfShown(shownWindow); }

    // Runs the procedures of the messages pending now and of those they post, one at a time,
    // oldest first; returns how many ran. A call from inside a procedure does nothing, so
    // that a handler never runs during another.
    std::size_t DispatchPending();

    std::size_t PendingMessages() const { return pending_.size(); }
    bool IsWindow(WindowHandle window) const { return table_.Contains(window); }

  private:
    struct Message {
        WindowHandle window;
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
    };
    WindowTable table_;
    std::deque<Message> pending_;
    bool dispatching_ = false;
};

}  // namespace sonocap::platform

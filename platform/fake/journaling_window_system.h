#pragma once

#include "platform/fake/call_journal.h"
#include "platform/queue/queued_window_system.h"

namespace sonocap::platform {

// The plain message queue, noting creations, destructions and sent messages in a journal
// ("window create", "window send 16", "window destroy").
class JournalingWindowSystem final : public QueuedWindowSystem {
  public:
    explicit JournalingWindowSystem(CallJournal& journal) : journal_(journal) {}

    WindowHandle CreateHiddenWindow(const std::string& className, WindowHandle parent) override;
    bool DestroyWindow(WindowHandle window) override;
    intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                         intptr_t lParam) override;

    std::string lastClassName;
    WindowHandle lastParent = kNoWindow;

  private:
    CallJournal& journal_;
};

}  // namespace sonocap::platform

#pragma once

#include <cstdint>
#include <string>

#include "platform/layer.h"

// Hidden windows that receive messages: the device's notifications are posted to one and
// dispatched by the event loop of the user-interface thread, one at a time, in the order they
// were posted. A destroyed window receives nothing more; messages still pending for it are
// discarded.

namespace sonocap::platform {

using WindowHandle = uint32_t;
inline constexpr WindowHandle kNoWindow = 0;

inline constexpr uint32_t kWmClose = 0x0010;
inline constexpr uint32_t kMmWimData = 0x3C0;
// The device lost its input by itself (unplugged, the sound server gone): WaveInput::InputFailure
// says why.
inline constexpr uint32_t kMmWimInputLost = 0x3BF;

using WindowProcedure = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam);

class WindowSystem {
  public:
    virtual ~WindowSystem() = default;

    // False when the class exists already (it keeps its first procedure).
    virtual bool RegisterWindowClass(const std::string& className, WindowProcedure procedure) = 0;
    // A window that is never shown; kNoWindow when the class is unknown.
    virtual WindowHandle CreateHiddenWindow(const std::string& className, WindowHandle parent) = 0;
    virtual bool DestroyWindow(WindowHandle window) = 0;
    // Runs the window's procedure now and returns its result; 0 for an unknown window.
    virtual intptr_t SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) = 0;
    // Queues a message for the event loop; false for an unknown window. User-interface
    // thread only.
    virtual bool PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                             intptr_t lParam) = 0;
    // What a window does with a message its procedure does not handle.
    virtual intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam,
                                   intptr_t lParam) = 0;
    // A handle that names a window the toolkit shows (a QWidget in the program), so that the
    // layers can name it as an owner; the same handle each time for the same window.
    virtual WindowHandle HandleOf(void* shownWindow) = 0;
};

template <>
inline constexpr const char* kLayerName<WindowSystem> = "window system";

}  // namespace sonocap::platform

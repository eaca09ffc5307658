#include "platform/qt/qt_window_system.h"

#include <QCoreApplication>
#include <QEvent>

namespace sonocap::platform {

namespace {

const QEvent::Type kWindowMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct WindowMessageEvent final : QEvent {
    WindowMessageEvent(WindowHandle w, uint32_t m, uintptr_t wp, intptr_t lp)
        : QEvent(kWindowMessageEvent), window(w), message(m), wParam(wp), lParam(lp) {}
    WindowHandle window;
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
};

}  // namespace

bool QtWindowSystem::RegisterWindowClass(const std::string& className, WindowProcedure procedure) {
    return classes_.emplace(className, procedure).second;
}

WindowHandle QtWindowSystem::CreateHiddenWindow(const std::string& className,
                                                WindowHandle /*parent*/) {
    const auto found = classes_.find(className);
    if (found == classes_.end()) return kNoWindow;
    const WindowHandle window = nextWindow_++;
    windows_.emplace(window, found->second);
    return window;
}

bool QtWindowSystem::DestroyWindow(WindowHandle window) {
    // Events already queued for it are dropped when they arrive.
    return windows_.erase(window) != 0;
}

intptr_t QtWindowSystem::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) {
    const auto found = windows_.find(window);
    if (found == windows_.end()) return 0;
    return found->second(window, message, wParam, lParam);
}

bool QtWindowSystem::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) {
    if (windows_.count(window) == 0) return false;
    QCoreApplication::postEvent(this, new WindowMessageEvent(window, message, wParam, lParam));
    return true;
}

intptr_t QtWindowSystem::DefWindowProc(WindowHandle, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

WindowHandle QtWindowSystem::HandleOf(QWidget* widget) {
    for (const auto& [handle, known] : widgets_) {
        if (known == widget) return handle;
    }
    const WindowHandle window = nextWindow_++;
    widgets_.emplace(window, widget);
    return window;
}

QWidget* QtWindowSystem::WidgetOf(WindowHandle window) const {
    const auto found = widgets_.find(window);
    return found == widgets_.end() ? nullptr : found->second.data();
}

void QtWindowSystem::customEvent(QEvent* event) {
    if (event->type() != kWindowMessageEvent) return;
    const auto* m = static_cast<const WindowMessageEvent*>(event);
    SendMessage(m->window, m->message, m->wParam, m->lParam);
}

}  // namespace sonocap::platform

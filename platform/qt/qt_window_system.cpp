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
    return table_.RegisterClass(className, procedure);
}

WindowHandle QtWindowSystem::CreateHiddenWindow(const std::string& className,
                                                WindowHandle /*parent*/) {
    return table_.Create(className);
}

bool QtWindowSystem::DestroyWindow(WindowHandle window) {
    // Events already queued for it are dropped when they arrive.
    return table_.Destroy(window);
}

intptr_t QtWindowSystem::SendMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                     intptr_t lParam) {
    return table_.Send(window, message, wParam, lParam);
}

bool QtWindowSystem::PostMessage(WindowHandle window, uint32_t message, uintptr_t wParam,
                                 intptr_t lParam) {
    if (!table_.Contains(window)) return false;
    QCoreApplication::postEvent(this, new WindowMessageEvent(window, message, wParam, lParam));
    return true;
}

intptr_t QtWindowSystem::DefWindowProc(WindowHandle, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

WindowHandle QtWindowSystem::HandleOf(void* shownWindow) {
    auto* widget = static_cast<QWidget*>(shownWindow);
    for (const auto& [handle, known] : widgets_) {
        if (known == widget) return handle;
    }
    const WindowHandle window = table_.NewHandle();
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

#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <map>
#include <string>

#include "platform/window_system.h"
#include "platform/window_table.h"

namespace sonocap::platform {

// Hidden windows whose posted messages travel through Qt's event queue, so that they are
// dispatched by whichever event loop runs, nested dialogs included, one at a time on the
// user-interface thread. Real widgets can be given a handle too, so that the layers can name
// them as owners.
class QtWindowSystem final : public QObject, public WindowSystem {
    Q_OBJECT

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

    // `shownWindow` is a QWidget.
    WindowHandle HandleOf(void* shownWindow) override;
    // The widget a handle names; nullptr for a hidden window, an unknown handle or a widget
    // that is gone.
    QWidget* WidgetOf(WindowHandle window) const;
    bool IsWindow(WindowHandle window) const { return table_.Contains(window); }

  protected:
    void customEvent(QEvent* event) override;

  private:
    WindowTable table_;
    std::map<WindowHandle, QPointer<QWidget>> widgets_;
};

}  // namespace sonocap::platform

#pragma once

#include <string>

#include "platform/desktop_notifier.h"

namespace sonocap::platform {

// The freedesktop notification service (org.freedesktop.Notifications) on the session bus. The
// call goes out without waiting for its answer; with no session bus, or nobody to take the
// call, nothing happens. Needs a QCoreApplication.
class DbusDesktopNotifier final : public DesktopNotifier {
  public:
    void Notify(const std::string& summary, const std::string& body) override;
};

// `text` for a body that the service may read as markup: &, < and > as entities.
std::string MarkupEscaped(const std::string& text);

}  // namespace sonocap::platform

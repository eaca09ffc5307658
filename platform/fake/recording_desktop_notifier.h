#pragma once

#include <string>
#include <vector>

#include "platform/desktop_notifier.h"

namespace sonocap::platform {

// Keeps every notification, in order.
class RecordingDesktopNotifier final : public DesktopNotifier {
  public:
    struct Notification {
        std::string summary;
        std::string body;
    };

    void Notify(const std::string& summary, const std::string& body) override {
        notifications.push_back({summary, body});
    }

    std::vector<Notification> notifications;
};

}  // namespace sonocap::platform

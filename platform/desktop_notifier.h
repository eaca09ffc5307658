#pragma once

#include <string>

#include "platform/layer.h"

// Messages that the desktop keeps in its list of notifications until the user has read them,
// for what happened while nobody watched the window. Sending never waits and never fails where
// the user sees it: without a notification service nothing is shown.

namespace sonocap::platform {

// The program's name on the desktop: its desktop entry and its icon.
inline constexpr char kDesktopId[] = "org.sonocap.Sonocap";

class DesktopNotifier {
  public:
    virtual ~DesktopNotifier() = default;

    virtual void Notify(const std::string& summary, const std::string& body) = 0;
};

template <>
inline constexpr const char* kLayerName<DesktopNotifier> = "desktop notification";

}  // namespace sonocap::platform

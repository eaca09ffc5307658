#include "platform/dbus/dbus_desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace sonocap::platform {

namespace {

constexpr char kService[] = "org.freedesktop.Notifications";
constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kApplicationName[] = "Sonocap";
// Critical: the service keeps the notification until the user has seen it, as it should for a
// take that ended while nobody was there.
constexpr uchar kCriticalUrgency = 2;
// Never taken away by a timer.
constexpr int kNeverExpires = 0;

}  // namespace

std::string MarkupEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

void DbusDesktopNotifier::Notify(const std::string& summary, const std::string& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
    QVariantMap hints;
    hints.insert("urgency", QVariant::fromValue(kCriticalUrgency));
    hints.insert("desktop-entry", QString(kDesktopId));
    call << QString(kApplicationName) << uint{0} << QString(kDesktopId)
         << QString::fromStdString(summary) << QString::fromStdString(MarkupEscaped(body))
         << QStringList() << hints << kNeverExpires;
    // The answer (the notification's number, or the bus saying that nobody owns the name) is
    // not needed, so nothing waits for it.
    bus.send(call);
}

}  // namespace sonocap::platform

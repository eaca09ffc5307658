#!/usr/bin/python3
# A stand-in for the desktop's notification service on a private session bus: it owns
# org.freedesktop.Notifications, answers as a service does, and appends every Notify call to
# LOG, one JSON object a line. READY is created once the name is owned.
#
#   notification_stand_in.py LOG READY
#
# Debian's own python3: it has dbus (python3-dbus) and gi (python3-gi).
import json
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"


class Notifications(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log = log
        self.last_id = 0

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, timeout):
        self.last_id += 1
        call = {
            "app_name": str(app_name),
            "replaces_id": int(replaces_id),
            "app_icon": str(app_icon),
            "summary": str(summary),
            "body": str(body),
            "actions": [str(a) for a in actions],
            "hints": {str(k): (int(v) if isinstance(v, (dbus.Byte, int)) else str(v))
                      for k, v in hints.items()},
            "hint_types": {str(k): type(v).__name__ for k, v in hints.items()},
            "expire_timeout": int(timeout),
        }
        with open(self.log, "a", encoding="utf-8") as out:
            out.write(json.dumps(call, sort_keys=True) + "\n")
        return self.last_id

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body", "body-markup", "persistence"]

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("stand-in", "sonocap tests", "1", "1.2")

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, number):
        pass


def main():
    log, ready = sys.argv[1], sys.argv[2]
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    service = Notifications(bus, log)
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    open(ready, "w").close()
    GLib.MainLoop().run()
    del service, name


if __name__ == "__main__":
    main()

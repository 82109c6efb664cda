#!/usr/bin/python3
"""A small stand-in for the desktop's notification server on a private bus:
Notify writes "summary|body" to a log file, one line per call, and answers
increasing ids; once a file named ACTIVATE appears, the server removes it and
signals ActionInvoked(last id, "default"), as a click on the notification
would.

usage: fake_notifications.py BUS_ADDRESS LOG READY_FILE ACTIVATE_FILE
"""
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"


class Notifications(dbus.service.Object):
    def __init__(self, bus, log, activate):
        super().__init__(bus, PATH)
        self.log = log
        self.activate = activate
        self.last = 0
        GLib.timeout_add(100, self.poll)

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        self.last += 1
        with open(self.log, "a") as out:
            out.write("%s|%s\n" % (summary, body))
        return self.last

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["actions", "body"]

    @dbus.service.signal(NAME, signature="us")
    def ActionInvoked(self, id, key):
        pass

    def poll(self):
        if os.path.exists(self.activate):
            os.remove(self.activate)
            self.ActionInvoked(self.last, "default")
        return True


def main():
    address, log, ready, activate = sys.argv[1:5]
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(address)
    keep = dbus.service.BusName(NAME, bus)
    Notifications(bus, log, activate)
    open(ready, "w").close()
    GLib.MainLoop().run()
    del keep


main()

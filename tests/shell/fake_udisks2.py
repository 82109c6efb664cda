#!/usr/bin/python3
"""A small stand-in for the disk service on a private bus: one block device
object that answers Device and IdLabel and records Unmount, Format and Mount
to a log file, one line per call.

usage: fake_udisks2.py BUS_ADDRESS OBJECT_NAME DEVICE LABEL LOG READY_FILE
"""
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

BLOCK = "org.freedesktop.UDisks2.Block"
FILESYSTEM = "org.freedesktop.UDisks2.Filesystem"


class BlockDevice(dbus.service.Object):
    def __init__(self, bus, path, device, label, log):
        super().__init__(bus, path)
        self.device = device
        self.label = label
        self.log = log

    def note(self, text):
        with open(self.log, "a") as out:
            out.write(text + "\n")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        if interface == BLOCK and name == "Device":
            return dbus.ByteArray(self.device.encode() + b"\0")
        if interface == BLOCK and name == "IdLabel":
            return dbus.String(self.label)
        raise dbus.exceptions.DBusException(
            "org.freedesktop.DBus.Error.UnknownProperty", name)

    @dbus.service.method(FILESYSTEM, in_signature="a{sv}", out_signature="")
    def Unmount(self, options):
        self.note("Unmount")

    @dbus.service.method(BLOCK, in_signature="sa{sv}", out_signature="")
    def Format(self, kind, options):
        self.note("Format %s label=%s" % (kind, options.get("label", "")))

    @dbus.service.method(FILESYSTEM, in_signature="a{sv}", out_signature="s")
    def Mount(self, options):
        self.note("Mount")
        return "/media/again"


def main():
    address, name, device, label, log, ready = sys.argv[1:7]
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(address)
    keep = dbus.service.BusName("org.freedesktop.UDisks2", bus)
    BlockDevice(bus, "/org/freedesktop/UDisks2/block_devices/" + name, device, label, log)
    open(ready, "w").close()
    GLib.MainLoop().run()
    del keep


main()

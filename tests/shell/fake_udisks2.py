#!/usr/bin/python3
"""A small stand-in for the disk service on a private bus: one block device
object that answers Device, IdLabel, HintSystem and Drive, one drive object
that answers Removable and CanPowerOff, and records every call (property reads
too) to a log file, one line per call. UNMOUNT says what Unmount does: "log"
(nothing more), "busy" (refuses as the service does) or "real" (unmounts the
device, as the service would).

usage: fake_udisks2.py BUS_ADDRESS OBJECT_NAME DEVICE LABEL LOG READY_FILE REMOVABLE SYSTEM
       [UNMOUNT]
"""
import subprocess
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

BLOCK = "org.freedesktop.UDisks2.Block"
FILESYSTEM = "org.freedesktop.UDisks2.Filesystem"
DRIVE = "org.freedesktop.UDisks2.Drive"
DRIVE_PATH = "/org/freedesktop/UDisks2/drives/fake"


class BlockDevice(dbus.service.Object):
    def __init__(self, bus, path, device, label, log, system, unmount):
        super().__init__(bus, path)
        self.device = device
        self.label = label
        self.log = log
        self.system = system
        self.unmount = unmount

    def note(self, text):
        with open(self.log, "a") as out:
            out.write(text + "\n")

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        self.note("Get " + name)
        if interface == BLOCK and name == "Device":
            return dbus.ByteArray(self.device.encode() + b"\0")
        if interface == BLOCK and name == "IdLabel":
            return dbus.String(self.label)
        if interface == BLOCK and name == "HintSystem":
            return dbus.Boolean(self.system)
        if interface == BLOCK and name == "Drive":
            return dbus.ObjectPath(DRIVE_PATH)
        raise dbus.exceptions.DBusException(
            "org.freedesktop.DBus.Error.UnknownProperty", name)

    @dbus.service.method(FILESYSTEM, in_signature="a{sv}", out_signature="")
    def Unmount(self, options):
        self.note("Unmount")
        if self.unmount == "busy":
            raise dbus.exceptions.DBusException(
                "Error unmounting %s: target is busy" % self.device,
                name="org.freedesktop.UDisks2.Error.DeviceBusy")
        if self.unmount == "real":
            subprocess.run(["umount", self.device], check=True)

    @dbus.service.method(BLOCK, in_signature="sa{sv}", out_signature="")
    def Format(self, kind, options):
        self.note("Format %s label=%s" % (kind, options.get("label", "")))

    @dbus.service.method(FILESYSTEM, in_signature="a{sv}", out_signature="s")
    def Mount(self, options):
        self.note("Mount")
        return "/media/again"


class Drive(dbus.service.Object):
    def __init__(self, bus, removable, log):
        super().__init__(bus, DRIVE_PATH)
        self.removable = removable
        self.log = log

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        with open(self.log, "a") as out:
            out.write("Get " + name + "\n")
        if interface == DRIVE and name in ("Removable", "CanPowerOff"):
            return dbus.Boolean(self.removable)
        raise dbus.exceptions.DBusException(
            "org.freedesktop.DBus.Error.UnknownProperty", name)

    @dbus.service.method(DRIVE, in_signature="a{sv}", out_signature="")
    def PowerOff(self, options):
        with open(self.log, "a") as out:
            out.write("PowerOff\n")


def main():
    address, name, device, label, log, ready, removable, system = sys.argv[1:9]
    unmount = sys.argv[9] if len(sys.argv) > 9 else "log"
    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(address)
    keep = dbus.service.BusName("org.freedesktop.UDisks2", bus)
    BlockDevice(bus, "/org/freedesktop/UDisks2/block_devices/" + name, device, label, log,
                system == "1", unmount)
    Drive(bus, removable == "1", log)
    open(ready, "w").close()
    GLib.MainLoop().run()
    del keep


main()

#!/usr/bin/python3
# Stands in for systemd-logind on a test bus: owns org.freedesktop.login1 and
# records each call of the manager's PowerOff and Suspend, one line each:
#   <method> <signature> <arguments> no_reply=<flag>
# Usage: fake_logind.py BUS_ADDRESS RECORD_FILE READY_FILE [refuse]
# With "refuse" every call is answered with an access-denied error, as
# logind does for callers without the right.
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

address, record, ready = sys.argv[1:4]
refuse = sys.argv[4:] == ["refuse"]

MANAGER = "org.freedesktop.login1.Manager"


class AccessDenied(dbus.DBusException):
    _dbus_error_name = "org.freedesktop.DBus.Error.AccessDenied"


class Manager(dbus.service.Object):
    def note(self, method, message):
        args = " ".join(repr(a) for a in message.get_args_list())
        with open(record, "a") as out:
            out.write(f"{method} {message.get_signature()} {args} "
                      f"no_reply={message.get_no_reply()}\n")
        if refuse:
            raise AccessDenied("not allowed")

    @dbus.service.method(MANAGER, in_signature="b", message_keyword="message")
    def PowerOff(self, interactive, message):
        self.note("PowerOff", message)

    @dbus.service.method(MANAGER, in_signature="b", message_keyword="message")
    def Suspend(self, interactive, message):
        self.note("Suspend", message)


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(address)
name = dbus.service.BusName("org.freedesktop.login1", bus)
manager = Manager(bus, "/org/freedesktop/login1")
open(ready, "w").close()
GLib.MainLoop().run()

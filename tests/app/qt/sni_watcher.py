#!/usr/bin/env python3
"""A StatusNotifier watcher with a host, as a panel runs it, on the session bus.

Prints "ready" once it owns its name, and for every item that registers, what
a panel would show of it: "registered <service> id=<Id> tip=<tool tip title>
pixmaps=<sizes>".
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
PROPERTIES = "org.freedesktop.DBus.Properties"


def say(line):
    print(line, flush=True)


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.bus = bus
        self.items = []

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        path = "/StatusNotifierItem"
        if service.startswith("/"):
            service, path = sender, service
        self.items.append(service)
        self.StatusNotifierItemRegistered(service)
        item = self.bus.get_object(service, path)
        item.GetAll(ITEM, dbus_interface=PROPERTIES,
                    reply_handler=lambda props: self.show(service, props),
                    error_handler=lambda error: say(f"unreadable {service} {error}"))

    def show(self, service, props):
        sizes = ",".join(f"{w}x{h}" for w, h, _ in props.get("IconPixmap", []))
        tip = props.get("ToolTip", ("", [], "", ""))[2]
        say(f"registered {service} id={props.get('Id')} tip={tip} pixmaps={sizes}")

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass

    def properties(self):
        return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                "IsStatusNotifierHostRegistered": True,
                "ProtocolVersion": dbus.Int32(0)}

    @dbus.service.method(PROPERTIES, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.properties()[name]

    @dbus.service.method(PROPERTIES, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.properties()


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    watcher = Watcher(bus)
    name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
    say("ready")
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, 15, loop.quit)
    loop.run()
    del watcher, name
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
# A StatusNotifier watcher with a host, as a panel runs it. Says "ready", then
# for each item: "registered <service> id=<Id> tip=<title> pixmaps=<sizes> is_menu=<0|1>
# menu=<labels>" (of its published menu: "-" a separator, a submenu's in brackets).
import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

WATCHER = "org.kde.StatusNotifierWatcher"


def labels(items):
    return "|".join(str(props.get("label", "-")) + (f"[{labels(children)}]" if children else "")
                    for _, props, children in items)


class Watcher(dbus.service.Object):
    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierItem(self, service):
        def show(props):
            sizes = ",".join(f"{w}x{h}" for w, h, _ in props["IconPixmap"])
            menu = bus.get_object(service, props["Menu"]).GetLayout(
                0, -1, ["label"], dbus_interface="com.canonical.dbusmenu")[1][2]
            print(f"registered {service} id={props['Id']} tip={props['ToolTip'][2]}"
                  f" pixmaps={sizes} is_menu={props['ItemIsMenu']} menu={labels(menu)}", flush=True)
        bus.get_object(service, "/StatusNotifierItem").GetAll(
            "org.kde.StatusNotifierItem", dbus_interface=dbus.PROPERTIES_IFACE,
            reply_handler=show, error_handler=lambda error: print(error, flush=True))

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return {"IsStatusNotifierHostRegistered": True, "ProtocolVersion": dbus.Int32(0),
                "RegisteredStatusNotifierItems": dbus.Array([], signature="s")}[name]


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
watcher = Watcher(bus, "/StatusNotifierWatcher")
name = dbus.service.BusName(WATCHER, bus, do_not_queue=True)
print("ready", flush=True)
GLib.MainLoop().run()

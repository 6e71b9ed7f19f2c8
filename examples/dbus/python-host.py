#!/usr/bin/python3
# A host in Python: creates an agent, answers its NewMessages event and waits until the agent
# is idle again. Needs the service (`kdautoupdate server`) and the update service
# (`kdautoupdate serve`, port 8080) running on the session bus and this machine.
import dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DBusGMainLoop(set_as_default=True)
bus, name, loop = dbus.SessionBus(), "org.kdautoupdate.KDAutoUpdate", GLib.MainLoop()


class Events(dbus.service.Object):
    @dbus.service.method("org.kdautoupdate.AuAgentEvents", "issb", "b")
    def NewMessages(self, lMessageCount, sMessageStamp, sResponseXML, bSkipDialog):
        print("NewMessages:", lMessageCount, "messages, stamp", sMessageStamp)
        return True  # bSkipDialog: the host shows its own notice instead of the dialog


events = Events(bus, "/host/events")
path = bus.get_object(name, "/org/kdautoupdate/KDAutoUpdate").CreateAgent()
agent = dbus.Interface(bus.get_object(name, path), "org.kdautoupdate.AuAgent")
props = dbus.Interface(agent, "org.freedesktop.DBus.Properties")
props.Set("org.kdautoupdate.AuAgent", "ProductCode", "6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14")
props.Set("org.kdautoupdate.AuAgent", "MajorVer", 5)
agent.SetEventSink("/host/events")
agent.connect_to_signal("ProcessCompleted", lambda: (print("ProcessCompleted"), loop.quit()))
print("CheckMessages ->", bool(agent.CheckMessagesNamed({})))  # optional arguments left out
loop.run()
agent.Release()

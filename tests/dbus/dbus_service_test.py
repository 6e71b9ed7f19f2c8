"""The D-Bus service driven by clients no one here wrote: busctl, gdbus and python3-dbus.

Each test starts its own bus (dbus-daemon --session) and `kdautoupdate server` on it, from a
fresh copy of the program so that the store beside it starts empty."""

import os, shutil, signal, subprocess, sys, time, unittest

import dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DBusGMainLoop(set_as_default=True)
NAME, FACTORY = "org.kdautoupdate.KDAutoUpdate", "/org/kdautoupdate/KDAutoUpdate"
AGENT, RECORD = "org.kdautoupdate.AuAgent", "org.kdautoupdate.AuProductInfo"
PRODUCT = "{6F1B3C2A-8D4E-4B7A-9C21-5E3F7A9B0D14}"
APP, RESLIB, WORK = os.environ["KDAU_APP"], os.environ["KDAU_RESLIB"], os.environ["KDAU_WORK"]


class ServiceTest(unittest.TestCase):
    def setUp(self, *server_args):
        self.folder = os.path.join(WORK, self.id().rsplit(".", 1)[-1])
        shutil.rmtree(self.folder, ignore_errors=True)
        os.makedirs(self.folder)
        for f in (APP, RESLIB):
            shutil.copy(f, self.folder)
        self.daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address"],
                                       stdout=subprocess.PIPE, text=True)
        self.address = self.daemon.stdout.readline().strip()
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.address
        self.server = self.start(os.path.join(self.folder, "kdautoupdate"), "server", "--address",
                                 self.address, "--ui", "scripted", "--trace", "--ui-timeout", "200",
                                 "--idle-exit", "100", *server_args)
        self.assertEqual(self.server.stdout.readline().strip(), "Ready " + NAME)
        self.bus = dbus.bus.BusConnection(self.address)

    def start(self, *argv):
        p = subprocess.Popen(argv, stdout=subprocess.PIPE, stdin=subprocess.PIPE, text=True,
                             env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
        self.addCleanup(lambda: (p.poll() is None and p.kill(), p.wait()))
        return p

    def tearDown(self):
        self.bus.close()
        self.daemon.kill()
        self.daemon.wait()

    def run_tool(self, *argv):
        return subprocess.run(argv, check=True, capture_output=True, text=True).stdout.strip()

    def agent(self, bus=None):
        bus = bus or self.bus
        path = bus.get_object(NAME, FACTORY).CreateAgent(dbus_interface=NAME)
        return dbus.Interface(bus.get_object(NAME, path), AGENT), path

    def prop(self, path, name, value=None, iface=AGENT):
        props = dbus.Interface(self.bus.get_object(NAME, path), "org.freedesktop.DBus.Properties")
        return props.Get(iface, name) if value is None else props.Set(iface, name, value)

    def store(self):
        with open(os.path.join(self.folder, "updateinfo.xml")) as f:
            return f.read()


class Properties(ServiceTest):
    def test_two_agents_read_their_defaults_and_normalise_what_busctl_writes(self):
        make = ["busctl", "--user", "call", NAME, FACTORY, NAME, "CreateAgentUntilRelease"]
        a, b = (self.run_tool(*make).split('"')[1] for _ in range(2))
        self.assertNotEqual(a, b)
        for name, value in [("UILanguageLCID", "1031"), ("AutoConnect", "true"),
                            ("CompatMode", "2"), ("TestMode", "false"), ("ProductCode", "''"),
                            ("hwndOwner", "0"), ("MajorVer", "0"), ("IsProcessing", "false"),
                            ("BaseURL", "'http://127.0.0.1:8080/services/autoupdate'")]:
            got = self.run_tool("gdbus", "call", "-e", "-d", NAME, "-o", b, "-m",
                                "org.freedesktop.DBus.Properties.Get", AGENT, name)
            self.assertEqual(got, "(<%s>,)" % value, name)
        for name, written, read in [("ProductCode", "1234", "{1234}"),
                                    ("ProductCode", " 1234 ", "{ 1234 }"),
                                    ("ProductCode", "   ", ""), ("ProductCode", "{1234", "{1234}"),
                                    ("BaseURL", "http://h/p//", "http://h/p/"), ("BaseURL", "/", "")]:
            self.run_tool("busctl", "--user", "set-property", NAME, a, AGENT, name, "s", written)
            self.assertEqual(self.prop(a, name), read)
        self.assertEqual(self.prop(b, "ProductCode"), "")
        # A read sent right behind a write, without waiting, answers what the write left: many
        # times over, as a read answered from a stale copy shows only now and then.
        props = dbus.Interface(self.bus.get_object(NAME, a), "org.freedesktop.DBus.Properties")
        for code in map(str, range(70, 270)):
            props.Set(AGENT, "ProductCode", code, reply_handler=lambda: None, error_handler=print)
            self.assertEqual(props.Get(AGENT, "ProductCode"), "{%s}" % code)
        with self.assertRaisesRegex(dbus.DBusException, "PropertyReadOnly"):
            self.prop(a, "IsProcessing", True)
        # An integer wider than a Long is refused, not wrapped; text is no number.
        with self.assertRaisesRegex(dbus.DBusException, "InvalidArgs"):
            self.prop(a, "MajorVer", dbus.UInt32(4294967295))
        with self.assertRaisesRegex(dbus.DBusException, "Error.TypeMismatch"):
            self.prop(a, "MajorVer", "five")
        self.assertEqual(self.prop(a, "MajorVer"), 0)


class Events(ServiceTest):
    def setUp(self):
        self.service = self.start(APP, "serve", "--port", "0")
        self.base = self.service.stdout.readline().strip()
        super().setUp()

    def check(self, answer):
        """A check that finds three messages; the host's sink answers bSkipDialog."""
        seen, context = [], GLib.MainContext.default()
        texts = self.texts = []
        self.signals = []

        class Sink(dbus.service.Object):
            @dbus.service.method("org.kdautoupdate.AuAgentEvents", "issb", "b")
            def NewMessages(self, count, stamp, xml, skip):
                seen.append((int(count), bool(skip)))
                texts.append((str(stamp), str(xml)))
                return answer

        sink = Sink(self.bus, "/host/sink")  # noqa: F841 (kept alive while the check runs)
        agent, path = self.agent()
        for name, value in [("BaseURL", self.base), ("ProductCode", PRODUCT),
                            ("MajorVer", 5), ("MinorVer", 0), ("Revision", 2)]:
            self.prop(path, name, value)
        agent.SetEventSink("/host/sink")
        self.bus.add_signal_receiver(lambda: seen.append("completed"), "ProcessCompleted",
                                     AGENT, None, path)
        self.bus.add_signal_receiver(lambda *a: self.signals.append(tuple(a)), "NewMessages",
                                     AGENT, None, path)
        self.assertFalse(agent.CheckMessages(False, True, True))
        with self.assertRaises(dbus.DBusException) as busy:
            agent.DisplayMessages()
        error = tuple(agent.GetLastError())
        GLib.timeout_add(20000, lambda: seen.append("deadline"))
        while not seen or (answer and "completed" not in seen and "deadline" not in seen):
            context.iteration(True)
        self.bus.close()  # the agent ends with its creator: the service goes idle and exits
        self.server.wait(10)
        return seen, busy.exception, error, self.server.stdout.read()

    def test_the_host_answers_bSkipDialog_and_the_dialog_follows(self):
        for answer, dialog in [(True, False), (False, True)]:
            with self.subTest(answer=answer):
                if not answer:
                    self.tearDown(), self.setUp()
                seen, _, _, trace = self.check(answer)
                self.assertEqual(seen[0], (3, False))
                # The stamp is a short value, the response the messages' document; every
                # listener gets the same arguments as the sink.
                stamp, xml = self.texts[0]
                self.assertFalse(stamp.startswith("<"), stamp)
                self.assertTrue(xml.startswith("<"), xml)
                self.assertEqual(self.signals[:1], [(3, stamp, xml, False)])
                self.assertNotIn("deadline", seen)
                self.assertEqual("Form dlgCheckMessages shown" in trace, dialog, trace)

    def test_the_busy_error_has_its_name_text_number_and_source(self):
        _, busy, error, _ = self.check(True)
        text = "Another 'AutoUpdate' already in progress. Process aborted."
        self.assertEqual(busy.get_dbus_name(), "org.kdautoupdate.Error.Busy")
        self.assertEqual(busy.get_dbus_message(), text)
        self.assertEqual(error, (-2147221504, "AuAgent.DisplayMessages", text))


class Lifetime(ServiceTest):
    HOST = """
import dbus, sys
bus = dbus.bus.BusConnection(sys.argv[1])
path = bus.get_object("%s", "%s").CreateAgent(dbus_interface="%s")
agent = bus.get_object("%s", path)
agent.Set("%s", "ProductCode", sys.argv[2], dbus_interface="org.freedesktop.DBus.Properties")
record = bus.get_object("%s", agent.GetProductInfo(dbus_interface="%s"))
record.Set("%s", "LastUpdateName", sys.argv[2], dbus_interface="org.freedesktop.DBus.Properties")
record.Persist(dbus_interface="%s")
print(bus.get_unique_name(), path, flush=True)
sys.stdin.read()
""" % (NAME, FACTORY, NAME, NAME, AGENT, NAME, AGENT, RECORD, RECORD)

    def host(self, product):
        p = self.start(sys.executable, "-c", self.HOST, self.address, product)
        return (p, *p.stdout.readline().split())

    def test_a_killed_host_ends_its_agent_and_the_other_host_keeps_its_own(self):
        (one, _, one_path), (two, _, two_path) = self.host("{1111}"), self.host("{2222}")
        one.send_signal(signal.SIGKILL)
        # The service learns of the host's end from the bus in its own time; once the agent's
        # object is gone, the agent has ended and its store is saved.
        deadline = time.monotonic() + 10
        while True:
            try:
                self.prop(one_path, "ProductCode")
            except dbus.DBusException as error:
                self.assertRegex(str(error), "UnknownObject|not found|No such object")
                break
            self.assertLess(time.monotonic(), deadline, "the killed host's agent lives on")
        self.assertEqual(self.prop(two_path, "ProductCode"), "{2222}")
        self.assertIn('last-update-name="{1111}"', self.store())
        two.stdin.close()
        self.server.wait(10)
        self.assertIn('last-update-name="{2222}"', self.store())

    def test_a_record_persisted_is_read_back_by_a_new_agent(self):
        first, path = self.agent()
        self.assertEqual(first.GetProductInfo(), "/")  # no product code: Nothing
        self.prop(path, "ProductCode", PRODUCT)
        record = first.GetProductInfo()
        for name, value in [("LastUpdateCmd", "setup.exe /q"), ("InstallLastUpdateOnStartUp", True),
                            ("LastCheckedDate", 45000.5)]:
            self.prop(record, name, value, RECORD)
        dbus.Interface(self.bus.get_object(NAME, record), RECORD).Persist()
        first.Release()
        second, path = self.agent()
        self.prop(path, "ProductCode", PRODUCT)
        again = second.GetProductInfo()
        self.assertNotEqual(again, record)
        # Clients that bind by introspection see a date as the double it is read as.
        xml = self.bus.get_object(NAME, again).Introspect(
            dbus_interface="org.freedesktop.DBus.Introspectable")
        self.assertIn('<property name="LastCheckedDate" type="d"', xml)
        for name, value in [("LastUpdateCmd", "setup.exe /q"), ("InstallLastUpdateOnStartUp", True),
                            ("LastCheckedDate", 45000.5), ("ProductCode", PRODUCT)]:
            self.assertEqual(self.prop(again, name, iface=RECORD), value, name)


if __name__ == "__main__":
    unittest.main()

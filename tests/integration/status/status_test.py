"""The program's state for other programs: its interface on a private session
bus, orbalenstatus-query (the status bar configurations from README), desktop
notifications and lookup services that answer in plain text, with the real
program headless in a network namespace of its own.

Usage: status_test.py PROGRAM DEFAULTS_TOOL SMTP_SERVER_SCRIPT QUERY_TOOL NOTIFICATION_SERVER
                      INTROSPECTION_XML
Exits 77 (skipped) where no network namespace can be made.
"""

import json
import os
import subprocess
import sys
import threading
import time
import unittest
import xml.etree.ElementTree as ElementTree

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
from app_scenario import LookupService, NoNamespace, Scenario  # noqa: E402

PROGRAM, DEFAULTS, SMTP, QUERY, NOTIFICATIONS, DOCUMENTED = sys.argv[1:7]
scenario = None


class Lines:
    """A process's output lines, each with the moment it arrived."""

    def __init__(self, argv, env):
        self.process = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        self.lines = []
        self.thread = threading.Thread(target=self._read, daemon=True)
        self.thread.start()

    def _read(self):
        for line in self.process.stdout:
            self.lines.append((time.monotonic(), line.rstrip("\n")))

    def texts(self):
        return [text for _, text in self.lines]

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        self.thread.join(5)
        self.process.stdout.close()
        self.process.stderr.close()


def query(*args):
    return subprocess.run([QUERY, *args], env=scenario.env, capture_output=True, text=True,
                          timeout=20)


def setUpModule():
    global scenario, plain, notifications
    try:
        scenario = Scenario(PROGRAM, DEFAULTS, SMTP)
    except NoNamespace as why:
        print("skipped: needs the right to make network namespaces (%s)" % why)
        sys.exit(77)
    # The first service fails; the second, on another loopback address so the
    # clearing line can tell them apart, answers with the bare address.
    plain = LookupService("127.0.0.2")
    plain.page = "203.0.113.9\n"
    scenario.write_settings(
        Initial_Refresh=1, ExternalIPLookupURL=scenario.lookup.url + " " + plain.url,
        EmailChangesToExternalIPAddress=True, MinutesInterval=10,
        LastExternalIPAddress="198.51.100.1", SendEmailNotifications=False,
        NotifyDesktopOnChange=False, logToSystemConsole=False, logToPrivateConsoleLog=True)
    notifications = Lines([NOTIFICATIONS], scenario.env)
    scenario.wait_until(lambda: notifications.texts()[:1] == ["ready"])
    scenario.start("--headless")


def tearDownModule():
    if scenario:
        notifications.stop()
        scenario.close()


class Status(unittest.TestCase):
    # The steps build on each other and run in the order of their names.

    def test_1_properties_match_the_log(self):
        s = scenario
        self.assertIsNotNone(
            s.wait_for_line("The current (first) internal IP address is:10.2.0.1"), s.log_lines())
        self.assertIn("[2] 10.1.0.1", s.log_lines())
        # A list whose first service fails still gives the plain-text answer.
        self.assertIn("Current external IP address: 203.0.113.9", s.log_lines())
        self.assertTrue(s.wait_until(lambda: s.status("ExternalAddress") == "203.0.113.9"))
        self.assertEqual(s.status("InternalAddress"), "10.2.0.1")
        self.assertEqual(s.status("Addresses"), ["10.2.0.1", "10.1.0.1"])
        self.assertEqual(s.status("WirelessNetwork"), "")
        self.assertRegex(s.status("LastInternalChange"), r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assertRegex(s.status("LastExternalChange"), r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")

    def test_2_interface_is_the_one_documented(self):
        def members(xml):
            interface = ElementTree.fromstring(xml).find(
                "interface[@name='com.kestrune.OrbalenStatus1']")
            return sorted((item.tag, item.get("name"), item.get("type"), item.get("access"))
                          for item in interface)
        live = subprocess.run(["busctl", "--address=" + scenario.bus.address, "--xml-interface",
                               "introspect", "com.kestrune.OrbalenStatus",
                               "/com/kestrune/OrbalenStatus"],
                              capture_output=True, text=True, timeout=10, check=True).stdout
        with open(DOCUMENTED) as f:
            self.assertEqual(members(live), members(f.read()))

    def test_3_query_prints_the_title_or_every_property(self):
        done = query()
        self.assertEqual((done.returncode, done.stdout), (0, "10.2.0.1\n"), done.stderr)
        done = query("--json")
        state = json.loads(done.stdout)
        self.assertEqual(state["text"], "10.2.0.1")
        self.assertEqual(state["Addresses"], ["10.2.0.1", "10.1.0.1"])
        self.assertEqual(state["ExternalAddress"], "203.0.113.9")
        self.assertEqual(state["tooltip"], "Internal: 10.2.0.1, 10.1.0.1\nExternal: 203.0.113.9")

    def test_4_notifications_stay_off_while_the_default_is_absent_or_no(self):
        self.assertEqual(notifications.texts(), ["ready"])

    def test_5_internal_change_is_signalled_within_100_ms_and_notified(self):
        global follower
        s = scenario
        s.write_settings(NotifyDesktopOnChange=True)
        follower = Lines([QUERY, "--follow", "--json"], s.env)
        titles = Lines([QUERY, "--follow"], s.env)
        self.assertTrue(s.wait_until(lambda: follower.lines and titles.lines))
        start = len(s.log_lines())
        s.ip("addr add 10.3.0.7/24 dev v1")
        self.assertIsNotNone(s.wait_for_line("[2] 10.3.0.7", after=start))
        s.ip("addr del 10.2.0.1/24 dev v1")
        changed = "(First) Internal IP address changed from:10.2.0.1 to:10.3.0.7"
        deadline = time.monotonic() + 10
        while changed not in s.log_lines()[start:] and time.monotonic() < deadline:
            time.sleep(0.002)
        logged = time.monotonic()
        self.assertTrue(s.wait_until(lambda: any(
            json.loads(text)["InternalAddress"] == "10.3.0.7" for text in follower.texts())))
        signalled = next(at for at, text in follower.lines
                         if json.loads(text)["InternalAddress"] == "10.3.0.7")
        print("PropertiesChanged seen %.1f ms after the log line" % ((signalled - logged) * 1000),
              file=sys.stderr)
        self.assertLess(signalled - logged, 0.1)
        self.assertTrue(s.wait_until(lambda: titles.texts()[-1:] == ["10.3.0.7"]), titles.texts())
        self.assertEqual(titles.texts()[0], "10.2.0.1")
        titles.stop()
        self.assertTrue(s.wait_until(lambda: notifications.texts()[1:] == [
            "OrbalenStatus\tIP address changed\tInternal address changed from 10.2.0.1 to 10.3.0.7"]),
            notifications.texts())

    def test_6_check_external_asks_again_and_names_the_service_that_answered(self):
        s = scenario
        start = len(s.log_lines())
        s.lookup.page = "198.51.100.23"
        self.assertTrue(s.call("CheckExternal"))
        clearing = 'Clearing external IP address. (The next check will ask "%s" again.)'
        self.assertIsNotNone(s.wait_for_line(clearing % plain.url.split("/")[2], after=start))
        self.assertTrue(s.wait_until(lambda: s.status("ExternalAddress") == "198.51.100.23"))
        self.assertTrue(s.call("CheckExternal"))
        self.assertIsNotNone(s.wait_for_line(clearing % s.lookup.url.split("/")[2], after=start))
        self.assertTrue(s.wait_until(lambda: notifications.texts()[-1:] == [
            "OrbalenStatus\tIP address changed\t"
            "External address changed from 203.0.113.9 to 198.51.100.23"]), notifications.texts())

    def test_7_refresh_reads_the_addresses_again(self):
        s = scenario
        start = len(s.log_lines())
        self.assertTrue(s.call("Refresh"))
        self.assertIsNotNone(s.wait_for_line("Checking internal IP", after=start, timeout=5))

    def test_8_follower_printed_one_object_per_change_and_ends_with_the_program(self):
        s = scenario
        self.assertEqual(s.terminate(), 0)
        self.assertEqual(follower.process.wait(10), 0)
        follower.thread.join(5)
        states = [json.loads(text) for text in follower.texts()]
        self.assertTrue(all(isinstance(state, dict) and "text" in state for state in states))
        # Each object shows a state the one before did not.
        for before, after in zip(states, states[1:]):
            self.assertNotEqual(before, after)
        self.assertEqual(states[-1]["ExternalAddress"], "198.51.100.23")
        follower.stop()

    def test_9_query_without_a_running_instance_fails_clearly(self):
        for args in ([], ["--json"], ["--follow"]):
            done = query(*args)
            self.assertEqual(done.returncode, 1, args)
            self.assertEqual(done.stdout, "")
            self.assertIn("OrbalenStatus is not running", done.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

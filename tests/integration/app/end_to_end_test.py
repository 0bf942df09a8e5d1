"""The real program, headless, in a network namespace of its own with
loopback lookup services, SMTP server, notification service and session bus.
Steps run in name order. Exits 77 (skipped) where no namespace can be made.

Usage: end_to_end_test.py PROGRAM DEFAULTS_TOOL SMTP_SERVER_SCRIPT QUERY_TOOL
                          NOTIFICATION_SERVER INTROSPECTION_XML
"""

import itertools
import json
import re
import shutil
import signal
import subprocess
import sys
import time
import unittest

from app_scenario import (STATUS, Display, Lines, LookupService, Scenario, ip, members, or_skip,
                          run, wait_until)

PROGRAM, DEFAULTS, SMTP, QUERY, NOTIFICATIONS, DOCUMENTED = sys.argv[1:7]
NOTIFIED = "OrbalenStatus\torbalenstatus-panel\tcom.kestrune.OrbalenStatus\tIP address changed\t"
CHANGED = "(First) Internal IP address changed from:%s to:%s"
LOADING = "Loading external IP address...(from %s)"
scenario = notifications = follower = plain = None


def setUpModule():
    global scenario, plain, notifications
    scenario = or_skip(lambda: Scenario(PROGRAM, DEFAULTS, SMTP))
    # The first service fails; the second, on another loopback address so the
    # clearing line can tell them apart, answers with the bare address.
    plain = LookupService("127.0.0.2")
    plain.page = "203.0.113.9\n"
    scenario.write_settings(
        Initial_Refresh=1, ExternalIPLookupURL=scenario.lookup.url + " " + plain.url,
        EmailChangesToExternalIPAddress=True, MinutesInterval=10,
        LastExternalIPAddress="198.51.100.1", SendEmailNotifications=True,
        Email="admin@example.test", MailServer="127.0.0.1", Port=scenario.mail.port,
        Authentication=0, useSSL=False, NotifyDesktopOnChange=False,
        logToSystemConsole=False, logToPrivateConsoleLog=True)
    notifications = Lines([NOTIFICATIONS], scenario.env)
    wait_until(lambda: notifications.texts()[:1] == ["ready"])
    scenario.start("--headless")


def tearDownModule():
    if scenario:
        for lines in filter(None, (notifications, follower)):
            lines.stop()
        scenario.close()


def query(*args):
    return scenario.tool(QUERY, *args)


class Program(unittest.TestCase):
    # The steps build on each other and run in the order of their names.

    def test_01_start_up_logs_in_order_and_publishes_the_same(self):
        s = scenario
        self.assertIsNotNone(
            s.wait_for_line("The current (first) internal IP address is:10.2.0.1"), s.log_lines())
        entries = iter(s.log_lines())  # these in this order, others between
        self.assertTrue(all(entry in entries for entry in [
            "Starting up...",
            # The check that setup fires: a list whose first service fails
            # still gives the plain-text answer, a change from the stored one.
            "Checking external IP", LOADING % s.lookup.url,
            "Current external IP address: 203.0.113.9", "Last external IP address: 198.51.100.1",
            "External IP address changed from:198.51.100.1 to:203.0.113.9", "Sending email alerts",
            # Two refreshes; the first finds the address new.
            "Checking internal IP", "[1] 10.2.0.1", "[2] 10.1.0.1",
            "(First) Internal IP address changed from:(null) to:10.2.0.1",
            "Checking internal IP", "Last internal IP address: 10.2.0.1",
            "The current external IP address is:203.0.113.9",
            "The current (first) internal IP address is:10.2.0.1",
        ]), s.log_lines())
        self.assertTrue(wait_until(lambda: s.status("ExternalAddress") == "203.0.113.9"))
        # Every property, as another instance's query prints them.
        state = json.loads(query("--json").stdout)
        for name in ("LastInternalChange", "LastExternalChange"):
            self.assertRegex(state.pop(name), r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assertEqual(state, {
            "text": "10.2.0.1", "Title": "10.2.0.1", "InternalAddress": "10.2.0.1",
            "Addresses": ["10.2.0.1", "10.1.0.1"], "ExternalAddress": "203.0.113.9",
            "WirelessNetwork": "", "InternalName": "", "ExternalName": "", "IconOnly": "false",
            "tooltip": "Internal: 10.2.0.1, 10.1.0.1\nExternal: 203.0.113.9"})
        self.assertIn("running without a panel", s.process.stderr.readline())
        # Desktop notifications stay off while the setting is absent or NO.
        self.assertEqual(notifications.texts(), ["ready"])

    def test_02_interface_is_the_one_documented(self):
        live = run("busctl", "--address=" + scenario.bus.address, "--xml-interface",
                   "introspect", *STATUS[:2]).stdout
        with open(DOCUMENTED) as f:
            self.assertEqual(members(live, STATUS[2]), members(f.read(), STATUS[2]))

    def test_03_query_prints_the_title_and_a_second_start_is_refused(self):
        done = query()
        self.assertEqual((done.returncode, done.stdout), (0, "10.2.0.1\n"), done.stderr)
        self.assert_a_second_start_is_refused()
        self.assertIsNone(scenario.process.poll())

    def assert_a_second_start_is_refused(self):
        again = scenario.tool(PROGRAM, "--headless")
        self.assertEqual((again.returncode, again.stderr.count("already running")), (0, 1))

    def test_04_internal_change_is_logged_signalled_and_notified(self):
        global follower
        s = scenario
        s.write_settings(NotifyDesktopOnChange=True)
        follower = Lines([QUERY, "--follow", "--json"], s.env)
        titles = Lines([QUERY, "--follow"], s.env)
        self.assertTrue(wait_until(lambda: follower.lines and titles.lines))
        # Replacing the first address moves the title to the new one.
        self.assert_published_at_once(
            ["addr add 10.3.0.7/24 dev v1", "addr del 10.2.0.1/24 dev v1"], "10.2.0.1", "10.3.0.7")
        self.assertTrue(wait_until(lambda: titles.texts()[:1] + titles.texts()[-1:] == [
            "10.2.0.1", "10.3.0.7"]), titles.texts())
        titles.stop()
        self.assertEqual(s.status("Addresses"), ["10.3.0.7", "10.1.0.1"])
        self.assertTrue(wait_until(lambda: notifications.texts()[1:] == [
            NOTIFIED + "Internal address changed from 10.2.0.1 to 10.3.0.7"]),
            notifications.texts())

    def test_05_check_external_asks_again_past_the_cache_and_finds_the_change(self):
        s = scenario
        start = len(s.log_lines())
        s.lookup.page = "<html><body>Current IP Address: 198.51.100.23</body></html>\r\n"
        self.ask_for_a_check(s.lookup.url, start)
        # The clearing line names the service that answered last.
        clearing = 'Clearing external IP address. (The next check will ask "%s" again.)'
        cleared = s.wait_for_line(clearing % plain.url.split("/")[2], after=start)
        self.assertIsNotNone(cleared, s.log_lines()[start:])
        self.assertEqual(s.log_lines()[cleared + 1], "Checking external IP")
        changed = "External IP address changed from:203.0.113.9 to:198.51.100.23"
        self.assertIsNotNone(s.wait_for_line(changed, after=start), s.log_lines()[start:])
        self.assertTrue(wait_until(lambda: s.status("ExternalAddress") == "198.51.100.23"))
        self.assertTrue(wait_until(lambda: notifications.texts()[-1:] == [
            NOTIFIED + "External address changed from 203.0.113.9 to 198.51.100.23"]),
            notifications.texts())

    def test_06_settings_reload_and_refresh_look_again(self):
        s = scenario
        start = len(s.log_lines())
        s.notify()
        # (Lines of the check before, and of a mail still going out, may come first.)
        checking = s.wait_for_line("Checking external IP", after=start)
        self.assertIsNotNone(checking, s.log_lines()[start:])
        self.assertIsNotNone(s.wait_for_line(
            re.compile(r"Next external IP address check in: 10 minutes \(at .*\)"), after=checking))
        start = len(s.log_lines())
        self.assertTrue(s.call("Refresh"))
        self.assertIsNotNone(s.wait_for_line("Checking internal IP", after=start, timeout=5))

    def test_07_every_change_was_mailed_to_the_recipient(self):
        s = scenario
        wanted = ["from: 198.51.100.1 to 203.0.113.9", "from: 10.2.0.1 to 10.3.0.7",
                  "from: 203.0.113.9 to 198.51.100.23"]
        self.assertTrue(wait_until(
            lambda: all(any(w in m["content"] for m in s.mail.messages) for w in wanted)),
            [m["content"] for m in s.mail.messages])
        for message in s.mail.messages:
            self.assertEqual(message["rcpt_tos"], ["admin@example.test"])

    def ask_for_a_check(self, url, start):
        """CheckExternal until a lookup starts: a call just after another
        check is answered from that one, as a flood of calls must be."""
        for _ in range(8):
            self.assertTrue(scenario.call("CheckExternal"))
            if scenario.wait_for_line(LOADING % url, after=start, timeout=1) is not None:
                return
        self.fail(scenario.log_lines()[start:])

    def assert_published_at_once(self, commands, old, new):
        """The `ip` commands move the first address from `old` to `new`: the
        bus property, the change line and another instance's query show it."""
        s, mark = scenario, len(scenario.log_lines())
        known = time.monotonic()  # before `ip` starts: the bounds are loose
        ip(*commands)
        at = wait_until(lambda: next((at for at, text in follower.lines
                                      if json.loads(text)["InternalAddress"] == new), None), 3)
        self.assertLess((at or float("inf")) - known, 0.5)
        s.wait_for_line(CHANGED % (old, new), after=mark, timeout=3)
        self.assertLess(time.monotonic() - known, 2, s.log_lines()[mark:])
        asked = time.monotonic()
        self.assertEqual(query().stdout, new + "\n")
        self.assertLess(time.monotonic() - asked, 1)

    def test_08_a_change_is_published_at_once_while_the_name_server_is_silent(self):
        with scenario.silent_name_server():
            # A new first address: its name is not known yet.
            self.assert_published_at_once(
                ["addr add 10.4.0.1/24 dev v1", "addr del 10.3.0.7/24 dev v1"], "10.3.0.7",
                "10.4.0.1")

    def test_09_a_change_is_published_at_once_two_seconds_into_a_hung_lookup(self):
        s = scenario
        s.lookup.page, start = "hang", len(s.log_lines())
        self.ask_for_a_check(s.lookup.url, start)
        time.sleep(2)
        self.assert_published_at_once(
            ["addr add 10.5.0.1/24 dev v1", "addr del 10.4.0.1/24 dev v1"], "10.4.0.1", "10.5.0.1")

    def test_10_sigterm_ends_it_at_once_and_the_follower_printed_each_change_then_none(self):
        s = scenario
        hung = len(s.log_lines())
        begun = time.monotonic()
        self.assertEqual(s.terminate(), 0)
        # The lookup that hangs is cut short, and no other service asked.
        self.assertLess(time.monotonic() - begun, 3)
        self.assertEqual(s.log_lines()[-1], "stop")
        self.assertFalse([line for line in s.log_lines()[hung:]
                          if plain.url in line or line.startswith("Current external")])
        # The follower stays: the same keys, every value empty, while none runs.
        empty = {key: type(value)() for key, value in json.loads(follower.texts()[0]).items()}
        self.assertTrue(wait_until(lambda: json.loads(follower.texts()[-1]) == empty), empty)
        states = [json.loads(text) for text in follower.texts()]
        # Each object shows a state the one before did not.
        self.assertFalse([a for a, b in zip(states, states[1:]) if a == b], states)
        self.assertIn("198.51.100.23", [state["ExternalAddress"] for state in states])

    def test_11_without_an_instance_query_fails_clearly_and_followers_wait_for_it(self):
        for argv in ([QUERY], [QUERY, "--json"], *([tool, flag] for tool in (
                PROGRAM, DEFAULTS, QUERY) for flag in ("--help", "--version"))):
            done = scenario.tool(*argv)
            asked = argv[-1] in ("--help", "--version")  # else it fails, saying why
            self.assertEqual((done.returncode, bool(done.stdout)), (1 - asked, asked), argv)
            self.assertIn("orbalenstatus" if asked else "is not running",
                          (done.stdout or done.stderr).lower(), argv)
        titles, seen = Lines([QUERY, "--follow"], scenario.env), len(follower.lines) - 1
        self.addCleanup(titles.stop)
        # Each shows the program once it runs, and nothing again once it ends.
        shown = lambda t: titles.texts() == t and [k for k, _ in itertools.groupby(
            json.loads(text)["text"] for text in follower.texts()[seen:])] == t
        self.assertTrue(wait_until(lambda: shown([""])), titles.texts())
        scenario.start("--headless")
        self.assertTrue(wait_until(lambda: shown(["", "10.5.0.1"])), titles.texts())
        self.assertEqual(scenario.terminate(), 0)
        self.assertTrue(wait_until(lambda: shown(["", "10.5.0.1", ""])), titles.texts())

    def test_12_a_silent_bus_delays_the_start_only_briefly(self):
        s = scenario
        start = len(s.log_lines())
        with s.silent_bus():
            s.start("--headless")
            self.assertIsNotNone(s.wait_for_line("Starting up...", after=start, timeout=5))
            # Without the bus, the lock file keeps a second one out.
            self.assert_a_second_start_is_refused()
            self.assertEqual(s.terminate(), 0)
        self.assertEqual(s.log_lines()[-1], "stop")

    def test_13_an_instance_with_a_display_takes_over_from_the_service_and_gives_back(self):
        if not shutil.which("Xvfb"):
            self.skipTest("needs Xvfb")
        s, display = scenario, Display()
        self.addCleanup(display.stop)
        mark = len(s.log_lines())
        service = s.start("--headless", "--standby")  # as the user service runs it
        self.assertIsNotNone(s.wait_for_line("Starting up...", after=mark))
        panel = subprocess.Popen([PROGRAM], env=dict(s.env, DISPLAY=display.name),
                                 stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: panel.poll() is None and panel.kill())
        handed = s.wait_for_line("Handing over to an instance with a panel item", after=mark)
        self.assertIsNotNone(handed, s.log_lines()[mark:])
        self.assertIsNotNone(s.wait_for_line("Starting up...", after=handed))
        self.assertEqual((service.poll(), panel.poll()), (None, None))
        panel.send_signal(signal.SIGTERM)
        self.assertEqual(panel.wait(10), 0)
        self.assertIn("hands over", panel.stderr.read())
        panel.stderr.close()
        # The same process, waiting meanwhile, monitors again.
        self.assertTrue(wait_until(lambda: [line for line in s.log_lines()[mark:] if line in (
            "Starting up...", "stop")] == ["Starting up...", "stop"] * 2 + ["Starting up..."]),
            s.log_lines()[mark:])
        self.assertEqual(s.terminate(), 0)
        self.assertEqual(s.log_lines()[-1], "stop")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

"""The real program, headless, in a network namespace of its own: start-up,
internal and external address changes, a failed lookup, a settings reload,
the e-mails sent, a second start refused and the end on SIGTERM.

Usage: end_to_end_test.py PROGRAM DEFAULTS_TOOL SMTP_SERVER_SCRIPT
Exits 77 (skipped) where no network namespace can be made.
"""

import re
import sys
import unittest

from app_scenario import NoNamespace, Scenario

ARGS = sys.argv[1:4]
scenario = None


def setUpModule():
    global scenario
    try:
        scenario = Scenario(*ARGS)
    except NoNamespace as why:
        print("skipped: needs the right to make network namespaces (%s)" % why)
        sys.exit(77)
    scenario.write_settings(
        Initial_Refresh=1, ExternalIPLookupURL=scenario.lookup.url,
        EmailChangesToExternalIPAddress=True, MinutesInterval=10,
        LastExternalIPAddress="198.51.100.1", SendEmailNotifications=True,
        Email="admin@example.test", MailServer="127.0.0.1", Port=scenario.mail.port,
        Authentication=0, useSSL=False, logToSystemConsole=False, logToPrivateConsoleLog=True)
    scenario.start("--headless")


def tearDownModule():
    if scenario:
        scenario.close()


def in_order(lines, wanted, start=0):
    """True when `wanted` appear in `lines` in this order (others between)."""
    position = start
    for entry in wanted:
        try:
            position = lines.index(entry, position) + 1
        except ValueError:
            return False
    return True


class Program(unittest.TestCase):
    # The steps build on each other and run in the order of their names.

    def test_1_start_up_logs_in_order_and_sets_the_title(self):
        s = scenario
        self.assertIsNotNone(
            s.wait_for_line("The current (first) internal IP address is:10.2.0.1"), s.log_lines())
        lookup = "Loading external IP address...(from %s)" % s.lookup.url
        self.assertTrue(in_order(s.log_lines(), [
            "Starting up...",
            # The check that setup fires: the service fails, which counts as a change.
            "Checking external IP", lookup, "Current external IP address: -.-.-.-",
            "Last external IP address: 198.51.100.1",
            "External IP address changed from:198.51.100.1 to:-.-.-.-", "Sending email alerts",
            # Two refreshes; the first finds the address new.
            "Checking internal IP", "[1] 10.2.0.1", "[2] 10.1.0.1",
            "(First) Internal IP address changed from:(null) to:10.2.0.1",
            "Checking internal IP", "Last internal IP address: 10.2.0.1",
            lookup, "The current external IP address is:-.-.-.-",
            "The current (first) internal IP address is:10.2.0.1",
        ]), s.log_lines())
        self.assertTrue(s.wait_until(lambda: s.status("Title") == "10.2.0.1"))
        self.assertIn("running without a panel", s.process.stderr.readline())

    def test_2_second_start_is_refused(self):
        status, stderr = scenario.run_again("--headless")
        self.assertEqual(status, 0)
        self.assertIn("already running", stderr)
        self.assertIsNone(scenario.process.poll())

    def test_3_initial_refresh_follows_start_up(self):
        s = scenario
        first = s.log_lines().index("The current (first) internal IP address is:10.2.0.1")
        self.assertIsNotNone(s.wait_for_line("Checking internal IP", after=first, timeout=5))

    def test_4_internal_change_is_logged_shown_and_mailed(self):
        s = scenario
        start = len(s.log_lines())
        s.ip("addr add 10.3.0.7/24 dev v1")
        self.assertIsNotNone(s.wait_for_line("[2] 10.3.0.7", after=start), s.log_lines()[start:])
        # Replacing the first address moves the title to the new one.
        s.ip("addr del 10.2.0.1/24 dev v1")
        changed = "(First) Internal IP address changed from:10.2.0.1 to:10.3.0.7"
        self.assertIsNotNone(s.wait_for_line(changed, after=start), s.log_lines()[start:])
        self.assertTrue(s.wait_until(lambda: s.status("Title") == "10.3.0.7"))
        self.assertTrue(s.wait_until(lambda: s.status("Addresses") == ["10.3.0.7", "10.1.0.1"]),
                        s.status("Addresses"))
        self.assertTrue(s.wait_until(lambda: any(
            "from: 10.2.0.1 to 10.3.0.7" in m["content"] for m in s.mail.messages)))

    def test_5_settings_reload_finds_the_external_change(self):
        s = scenario
        start = len(s.log_lines())
        s.lookup.answer("203.0.113.5")
        s.notify()
        changed = "External IP address changed from:-.-.-.- to:203.0.113.5"
        self.assertIsNotNone(s.wait_for_line(changed, after=start), s.log_lines()[start:])
        self.assertIsNotNone(s.wait_for_line(
            re.compile(r"Next external IP address check in: 10 minutes \(at .*\)"), after=start))
        self.assertEqual(s.log_lines()[start], "Checking external IP")
        self.assertTrue(s.wait_until(lambda: s.status("ExternalAddress") == "203.0.113.5"),
                        s.status("ExternalAddress"))

    def test_6_every_change_was_mailed_to_the_recipient(self):
        s = scenario
        wanted = ["from: 198.51.100.1 to -.-.-.-", "from: 10.2.0.1 to 10.3.0.7",
                  "from: -.-.-.- to 203.0.113.5"]
        self.assertTrue(s.wait_until(
            lambda: all(any(w in m["content"] for m in s.mail.messages) for w in wanted)),
            [m["content"] for m in s.mail.messages])
        for message in s.mail.messages:
            self.assertEqual(message["rcpt_tos"], ["admin@example.test"])

    def test_7_sigterm_ends_it_with_the_stop_line(self):
        s = scenario
        self.assertEqual(s.terminate(), 0)
        self.assertEqual(s.log_lines()[-1], "stop")

    def test_8_a_bus_that_never_answers_delays_the_start_only_briefly(self):
        s = scenario
        start = len(s.log_lines())
        with s.silent_bus():
            s.start("--headless")
            self.assertIsNotNone(s.wait_for_line("Starting up...", after=start, timeout=5))
            # Without the bus, the lock file keeps a second one out.
            status, stderr = s.run_again("--headless")
            self.assertEqual(status, 0)
            self.assertIn("already running", stderr)
            self.assertEqual(s.terminate(), 0)
        self.assertEqual(s.log_lines()[-1], "stop")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

"""The real program in a network namespace of its own with orbalenstatus-query
and the Plasma applet in plasmoidviewer under Xvfb, whose label is read back
from the applet's own trace of the text it shows.

Usage: plasma_applet_test.py PROGRAM DEFAULTS_TOOL SMTP_SERVER_SCRIPT QUERY_TOOL
                             APPLET_FOLDER ARTIFACTS
ORBALEN_APPLET_IDLE_SECONDS sets the idle span watched (20 s; the bench runs 60).
Exits 77 (skipped) where no namespace can be made; the applet's steps are
skipped, saying why, where plasmoidviewer or Xvfb is missing.
"""

import contextlib
import json
import os
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
from app_scenario import (Display, Lines, Scenario, SessionBus, ip, or_skip, run,  # noqa: E402
                          wait_until)

PROGRAM, DEFAULTS, SMTP, QUERY, APPLET, ARTIFACTS = sys.argv[1:7]
IDLE_SECONDS = float(os.environ.get("ORBALEN_APPLET_IDLE_SECONDS", "20"))
LABEL_NAME = "com.kestrune.OrbalenStatus.Label"
TRACED = re.compile(r'com\.kestrune\.orbalenstatus: label: (".*")$')
MISSING = [tool for tool in ("plasmoidviewer", "Xvfb", "xdotool", "import")
           if not shutil.which(tool)]
scenario = None
first = "10.2.0.1"  # the first address: the title


def setUpModule():
    global scenario
    # Services the bus starts for the viewer (activity manager, shortcuts)
    # write under HOME: a private one.
    home = tempfile.mkdtemp(prefix="orbalen-plasma-home-")
    os.environ.update(HOME=home, XDG_CACHE_HOME=os.path.join(home, "cache"))
    scenario = or_skip(lambda: Scenario(PROGRAM, DEFAULTS, SMTP))
    # Nothing to look up from here: the lookup fails at once on loopback.
    scenario.write_settings(ExternalIPLookupURL="http://127.0.0.1:9/", NotifyDesktopOnChange=False,
                            SendEmailNotifications=False, logToSystemConsole=False)
    scenario.start("--headless")
    settled = "The current (first) internal IP address is:" + first  # its start-up's last line
    assert scenario.wait_for_line(settled) is not None, scenario.log_lines()


def tearDownModule():
    if scenario:
        scenario.close()


def query(*args):
    return scenario.tool(QUERY, *args)


def label_owned():
    done = subprocess.run(["busctl", "--address=" + scenario.bus.address, "status", LABEL_NAME],
                          capture_output=True, text=True, timeout=10)
    return done.returncode == 0


def ended(lines):
    """The exit status of the process behind `lines`, once all its output is read."""
    status = lines.process.wait(5)
    lines.thread.join(5)
    return status


def move_first_address(new):
    """Replaces the first address (the title) with `new`, on a subnet of its
    own (deleting a primary address takes its secondaries with it)."""
    global first
    ip("addr add %s/24 dev v1" % new, "addr del %s/24 dev v1" % first)
    first = new


class Viewer(Lines):
    """plasmoidviewer's output lines, in a session of its own: helpers it
    starts keep its output open, so stop() ends them all and leaves the
    reader to end with the test."""

    def __init__(self, argv, env):
        super().__init__(["setsid", "sh", "-c", 'exec "$0" "$@" 2>&1', *argv], env)

    def stop(self):
        with contextlib.suppress(ProcessLookupError):
            os.killpg(self.process.pid, signal.SIGKILL)
        self.process.wait()


class Step1QueryTool(unittest.TestCase):

    def test_1_next_prints_the_next_change_or_at_once_what_differs_from_since(self):
        global first
        # The change awaited below is then one kernel event that changes
        # several properties at once (a signal each, read together).
        ip("addr add 10.3.0.7/24 dev v1")
        self.assertTrue(wait_until(lambda: "10.3.0.7" in scenario.status("Addresses")))
        now = query("--json").stdout.rstrip("\n")
        waiting = []
        for name, args, at_once in [  # (case, arguments, prints at once)
                ("state differs from --since", ["--json", "--since", "{}"], True),
                ("title differs from --since", ["--since", "0.0.0.0"], True),
                ("state is --since", ["--json", "--since", now], False),
                ("without --since", ["--json"], False)]:
            tool = Lines([QUERY, "--next", *args], scenario.env)
            self.addCleanup(tool.stop)
            if at_once:
                self.assertEqual(ended(tool), 0, name)
                self.assertIn(json.loads(now)["Title"], tool.texts()[0], name)
            else:
                waiting.append((name, tool))
        # While they wait they hold the label name (queued one behind the other).
        self.assertTrue(wait_until(label_owned, 5))
        time.sleep(0.3)
        self.assertEqual([(tool.process.poll(), tool.texts()) for _, tool in waiting],
                         [(None, [])] * len(waiting))
        ip("addr del 10.2.0.1/24 dev v1")
        first = "10.3.0.7"
        for name, tool in waiting:  # each prints the changed state once and ends
            self.assertEqual(ended(tool), 0, name)
            self.assertEqual(len(tool.texts()), 1, (name, tool.texts()))
            self.assertNotEqual(tool.texts()[0], now, name)
        self.assertTrue(wait_until(lambda: not label_owned(), 5))

    def test_2_call_reaches_the_program_and_failures_say_why(self):
        start = len(scenario.log_lines())
        done = query("--call", "Refresh")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIsNotNone(scenario.wait_for_line("Checking internal IP", after=start))
        for argv, status, said in [
                (["--call", "NoSuchMethod", "x"], 1, "NoSuchMethod failed"),
                (["--call"], 2, "--call needs a method name"),
                (["--since", "x"], 2, "--since goes with --next"),
                (["--next", "--follow"], 2, "exclude each other")]:
            done = query(*argv)
            self.assertEqual(done.returncode, status, argv)
            self.assertIn(said, done.stderr, argv)
        # Waiting runs end with their bus rather than wait for ever.
        bus = SessionBus()
        env = dict(scenario.env, DBUS_SESSION_BUS_ADDRESS=bus.address)
        waiting = [subprocess.Popen([QUERY, mode], env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE, text=True)
                   for mode in ("--next", "--follow")]
        time.sleep(0.5)
        bus.stop()
        for tool in waiting:
            self.assertEqual(tool.wait(5), 1, tool.args)
            self.assertIn("the session bus went away", tool.stderr.read(), tool.args)
            tool.stderr.close()


@unittest.skipIf(MISSING, "needs %s (Plasma: plasma-sdk, plasma-workspace, plasma-desktop)"
                 % ", ".join(MISSING))
class Step2Applet(unittest.TestCase):
    # The steps build on each other and run in the order of their names.

    @classmethod
    def setUpClass(cls):
        env = cls.env = dict(scenario.env)
        # Every start of the query tool by the applet is counted.
        tools = tempfile.mkdtemp(prefix="orbalen-plasma-path-")
        cls.starts = os.path.join(tools, "starts")
        wrapper = os.path.join(tools, "orbalenstatus-query")
        with open(wrapper, "w") as f:
            f.write('#!/bin/sh\nprintf "%%s\\n" "$*" >> %s\nexec %s "$@"\n' % (cls.starts, QUERY))
        os.chmod(wrapper, 0o755)
        cls.display = Display("1024x300")
        # Software drawing: Xvfb's GL gives a black window.
        env.update(DISPLAY=cls.display.name, PATH=tools + ":" + env["PATH"], QT_QPA_PLATFORM="xcb",
                   QT_QUICK_BACKEND="software",
                   QT_LOGGING_RULES="com.kestrune.orbalenstatus.info=true")
        cls.viewer = Viewer(["plasmoidviewer", "-a", APPLET, "-c", "org.kde.panel", "-f",
                             "horizontal", "-l", "topedge", "-s", "1024x40"], env)
        os.makedirs(ARTIFACTS, exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        cls.viewer.stop()
        cls.display.stop()

    def labels(self):
        return [json.loads(m.group(1)) for m in map(TRACED.search, self.viewer.texts()) if m]

    def assert_label(self, wanted, timeout=10):
        self.assertTrue(wait_until(lambda: self.labels()[-1:] == [wanted], timeout),
                        (wanted, self.labels(), self.viewer.texts()[-5:]))

    def started(self):
        with open(self.starts) as f:
            return f.read().splitlines()

    def screenshot(self, name):
        run("import", "-window", "root", os.path.join(ARTIFACTS, name), env=self.env)

    def test_1_label_is_the_title(self):
        self.assert_label(first, 40)  # the viewer's start is slow on a busy machine
        self.assertEqual(self.labels()[-1], scenario.status("Title"))
        time.sleep(0.5)  # the trace comes as the text changes, before it is drawn
        self.screenshot("plasma-applet.png")

    def test_2_label_follows_each_change(self):
        delays = []
        for i in range(20):
            # The label changes once its run ends and the next one is started.
            known = time.monotonic()
            move_first_address("10.%d.0.1" % (40 + i))
            self.assert_label(first)
            delays.append(next(at for at, text in reversed(self.viewer.lines)
                               if TRACED.search(text)) - known)
        print("\nip addr add -> applet label: median %.0f ms, max %.0f ms over 20" % (
            statistics.median(delays) * 1000, max(delays) * 1000), file=sys.stderr)

    def test_3_idle_starts_no_process(self):
        # Once the last change's signals are all in: the run waiting started
        # from the program's current state.
        self.assertTrue(wait_until(lambda: self.started()[-1] == "--next --json --since "
                                   + query("--json").stdout.rstrip("\n"), 5))
        before = self.started()
        time.sleep(IDLE_SECONDS)
        self.assertEqual(self.started()[len(before):], [],
                         "processes started in %.0f s idle" % IDLE_SECONDS)
        print("\nprocesses started by the applet in %.0f s idle: 0" % IDLE_SECONDS,
              file=sys.stderr)

    def test_4_menu_copies_an_address(self):
        # The menu opens on a click on the label; the external address is
        # unknown, so the first entry to choose is the first address.
        run("xdotool", "mousemove", "12", "20", "click", "1", env=self.env)
        time.sleep(1)
        self.screenshot("plasma-applet-menu.png")
        run("xdotool", "key", "Down", "Return", env=self.env)
        self.assertTrue(wait_until(
            lambda: "--call CopyToClipboard %s" % first in self.started(), 5),
            "no copy (see plasma-applet-menu.png): %s" % self.started()[-3:])

    def test_5_label_goes_with_the_program_and_comes_back(self):
        self.assertEqual(scenario.terminate(), 0)
        self.assert_label("")
        scenario.start("--headless")
        self.assert_label(first)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

"""The real program in a network namespace of its own with orbalenstatus-query
and the Plasma applet in plasmoidviewer under Xvfb (its steps skipped where
missing), whose label is read back from the applet's trace of its text.
Usage: plasma_applet_test.py PROGRAM DEFAULTS_TOOL SMTP_SERVER_SCRIPT QUERY_TOOL
                             APPLET_FOLDER ARTIFACTS
ORBALEN_APPLET_IDLE_SECONDS sets the idle span watched (20 s; the bench runs 60).
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
from app_scenario import (Display, Lines, Scenario, SessionBus, busctl, ip, or_skip,  # noqa: E402
                          run, wait_until)

PROGRAM, DEFAULTS, SMTP, QUERY, APPLET, ARTIFACTS = sys.argv[1:7]
IDLE_SECONDS = float(os.environ.get("ORBALEN_APPLET_IDLE_SECONDS", "20"))
TRACED = re.compile(r'com\.kestrune\.orbalenstatus: label: (".*")$')
MISSING = [tool for tool in ("plasmoidviewer", "Xvfb", "xdotool", "import")
           if not shutil.which(tool)]
scenario = None
first = "10.2.0.1"  # the first address: the title


def setUpModule():
    global scenario
    # Services the bus starts for the viewer write under HOME: a private one.
    home = tempfile.mkdtemp(prefix="orbalen-plasma-home-")
    os.environ.update(HOME=home, XDG_CACHE_HOME=os.path.join(home, "cache"))
    scenario = or_skip(lambda: Scenario(PROGRAM, DEFAULTS, SMTP))
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


class Step1QueryTool(unittest.TestCase):
    def test_a_call_reaches_the_program_and_waiting_runs_end_with_their_bus(self):
        start = len(scenario.log_lines())
        done = query("--call", "Refresh")
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertIsNotNone(scenario.wait_for_line("Checking internal IP", after=start))
        # Waiting runs end with their bus rather than wait for ever.
        bus = SessionBus()
        env = dict(scenario.env, DBUS_SESSION_BUS_ADDRESS=bus.address)
        waiting = [subprocess.Popen([QUERY, mode], env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.PIPE, text=True)
                   for mode in ("--next", "--follow")]
        time.sleep(0.5)
        bus.stop()
        for tool in waiting:
            said = tool.communicate(timeout=5)[1]
            self.assertEqual((tool.returncode, "the session bus went away" in said), (1, True))


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
        # In a session of its own: helpers it starts keep its output open, so
        # the end kills them all and leaves the reader to end with the test.
        cls.viewer = Lines(["setsid", "sh", "-c", 'exec "$0" "$@" 2>&1', "plasmoidviewer", "-a",
                            APPLET, "-c", "org.kde.panel", "-f", "horizontal", "-l", "topedge",
                            "-s", "1024x40"], env)
        os.makedirs(ARTIFACTS, exist_ok=True)

    @classmethod
    def tearDownClass(cls):
        with contextlib.suppress(ProcessLookupError):  # the viewer and its helpers
            os.killpg(cls.viewer.process.pid, signal.SIGKILL)
        cls.viewer.process.wait()
        cls.display.stop()

    def labels(self):
        return [json.loads(m.group(1)) for m in map(TRACED.search, self.viewer.texts()) if m]

    def assert_label(self, wanted, timeout=10):
        self.assertTrue(wait_until(lambda: self.labels()[-1:] == [wanted], timeout),
                        (wanted, self.labels(), self.viewer.texts()[-5:]))

    def started(self):
        with open(self.starts) as f:
            return f.read().splitlines()

    def test_1_label_is_the_title_and_follows_each_change(self):
        global first
        self.assert_label(first, 40)  # the viewer's start is slow on a busy machine
        delays = []
        for i in range(20):
            # A subnet each: deleting a primary address takes its secondaries.
            known, new = time.monotonic(), "10.%d.0.1" % (40 + i)
            ip("addr add %s/24 dev v1" % new, "addr del %s/24 dev v1" % first)
            first = new
            self.assert_label(first)
            delays.append(next(at for at, text in reversed(self.viewer.lines)
                               if TRACED.search(text)) - known)
        print("\nip addr add -> applet label: median %.0f ms, max %.0f ms over 20" % (
            statistics.median(delays) * 1000, max(delays) * 1000), file=sys.stderr)

    def test_2_idle_starts_no_process(self):
        # Once all of the last change is in, the waiting run has the current state.
        self.assertTrue(wait_until(lambda: self.started()[-1] == "--next --json --since "
                                   + query("--json").stdout.rstrip("\n"), 5))
        before = self.started()
        # The waiting run holds the label name, so the program shows no item.
        held = ["org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "NameHasOwner", "s", "com.kestrune.OrbalenStatus.Label"]
        self.assertTrue(wait_until(lambda: busctl(scenario.bus.address, "call", *held) == [True]))
        time.sleep(IDLE_SECONDS)
        self.assertEqual(self.started()[len(before):], [],
                         "processes started in %.0f s idle" % IDLE_SECONDS)
        print("\nprocesses started by the applet in %.0f s idle: 0" % IDLE_SECONDS,
              file=sys.stderr)

    def test_3_menu_copies_an_address(self):
        # The menu opens on a click on the label; the external address is
        # unknown, so the first entry to choose is the first address.
        run("xdotool", "mousemove", "12", "20", "click", "1", env=self.env)
        time.sleep(1)
        run("import", "-window", "root", os.path.join(ARTIFACTS, "plasma-applet-menu.png"),
            env=self.env)
        run("xdotool", "key", "Down", "Return", env=self.env)
        self.assertTrue(wait_until(
            lambda: "--call CopyToClipboard %s" % first in self.started(), 5),
            "no copy (see plasma-applet-menu.png): %s" % self.started()[-3:])

    def test_4_label_goes_with_the_program_and_comes_back(self):
        self.assertEqual(scenario.terminate(), 0)
        self.assert_label("")
        scenario.start("--headless")
        self.assert_label(first)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1], verbosity=2)

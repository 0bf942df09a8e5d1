"""The real program on a real panel under Xvfb, in a network namespace of its
own (so its address is known and nothing leaves the machine):

- an XFCE panel with the indicator plugin and the Ayatana application
  indicator service: the address shows as text beside the icon, and a click
  on it opens the menu;
- a plain XEmbed tray (trayer), no StatusNotifierWatcher: the tray icon
  appears, with the title as its tooltip.

Screenshots are saved under ARTIFACTS. Exits 77 (skipped) where the X server,
the panel or the right to make namespaces is missing.

Usage: desktop_panel_test.py PROGRAM DEFAULTS_TOOL SCREEN_GRAB PANEL_XML ARTIFACTS
"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
from app_scenario import (DOMAIN, SessionBus, bus_property, enter_own_namespace,  # noqa: E402
                          or_skip, private_env, run, wait_until)

PROGRAM, DEFAULTS, GRAB, PANEL_XML, ARTIFACTS = sys.argv[1:6]
INDICATOR_SERVICE = ("/usr/libexec/ayatana-indicator-application/"
                     "ayatana-indicator-application-service")
PANEL_HEIGHT = 28
ADDRESS = "10.2.0.1"  # on the interface enter_own_namespace routes through


class Desktop:
    """Xvfb, a session bus and private XDG folders; the processes started."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="orbalen-panel-")
        self.env = private_env(self.folder, HOME=self.folder, NO_AT_BRIDGE="1")
        self.processes = []
        read, write = os.pipe()
        self.spawn(["Xvfb", "-displayfd", str(write), "-screen", "0", "800x600x24",
                    "-nolisten", "tcp"], pass_fds=(write,))
        os.close(write)
        with os.fdopen(read) as display:
            self.env["DISPLAY"] = ":" + display.readline().strip()
        # The bus starts the panel's settings service, which must read our
        # folders: the bus daemon gets this environment too.
        self.bus = SessionBus(self.env)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
        # Nothing to look up from here: the lookup fails at once on loopback.
        run(DEFAULTS, "write", DOMAIN, "ExternalIPLookupURL", "-string", "http://127.0.0.1:9/",
            env=self.env)

    def spawn(self, argv, **kwargs):
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(argv, env=self.env, stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, **kwargs)
        self.processes.append(process)
        return process

    def grab(self, name):
        """((left, right) of what the panel strip shows, lit pixels below it)."""
        out = run(GRAB, os.path.join(ARTIFACTS, name), str(PANEL_HEIGHT), env=self.env).stdout
        out = out.split()
        return (int(out[1]), int(out[2])), int(out[4])

    def wait_for(self, condition, timeout=15.0):
        return wait_until(condition, timeout, step=0.3)

    def close(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self.bus.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


class PanelTest(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop()
        self.addCleanup(self.desktop.close)

    def start_program(self):
        log = os.path.join(ARTIFACTS, self.id().split(".")[-1] + ".log")
        with open(log, "w") as output:
            self.desktop.spawn([PROGRAM], stderr=output)
        title = lambda: bus_property(self.desktop.bus.address, "Title")  # noqa: E731
        self.assertTrue(self.desktop.wait_for(lambda: title() == ADDRESS),
                        "the title is %s, not %s (see %s)" % (title(), ADDRESS, log))

    def test_the_address_shows_beside_the_icon_and_a_click_opens_the_menu(self):
        desktop = self.desktop
        config = os.path.join(desktop.env["XDG_CONFIG_HOME"], "xfce4", "xfconf",
                              "xfce-perchannel-xml")
        os.makedirs(config)
        shutil.copy(PANEL_XML, config)
        desktop.spawn([INDICATOR_SERVICE])
        desktop.spawn(["xfce4-panel", "--disable-wm-check"])
        self.start_program()

        # An icon alone is about as wide as the panel is high; with the label
        # beside it the item is several times wider.
        def labelled():
            (left, right), _ = desktop.grab("xfce-panel-label.png")
            return left >= 0 and right - left > 2 * PANEL_HEIGHT and (left, right)
        span = desktop.wait_for(labelled)
        self.assertTrue(span, "no label beside the icon (see xfce-panel-label.png)")

        _, lit_before = desktop.grab("xfce-panel-before-click.png")
        run("xdotool", "mousemove", str((span[0] + span[1]) // 2), str(PANEL_HEIGHT // 2),
            "click", "1", env=desktop.env)
        opened = desktop.wait_for(
            lambda: desktop.grab("xfce-panel-menu.png")[1] > lit_before + 10000, timeout=10)
        self.assertTrue(opened, "no menu after the click (see xfce-panel-menu.png)")

    def test_a_plain_system_tray_that_starts_later_gets_the_icon(self):
        desktop = self.desktop
        self.start_program()
        desktop.spawn(["trayer", "--edge", "top", "--align", "left", "--widthtype", "request",
                       "--height", str(PANEL_HEIGHT), "--tint", "0xffffff", "--transparent",
                       "true", "--alpha", "0", "--SetDockType", "true"])
        shown = desktop.wait_for(lambda: desktop.grab("xembed-tray-icon.png")[0][0] >= 0)
        self.assertTrue(shown, "no icon in the tray (see xembed-tray-icon.png)")

        # Resting the pointer on it shows the title as its tooltip.
        (left, right), lit_before = desktop.grab("xembed-tray-icon.png")
        run("xdotool", "mousemove", str((left + right) // 2), str(PANEL_HEIGHT // 2),
            env=desktop.env)
        tip = desktop.wait_for(
            lambda: desktop.grab("xembed-tray-tooltip.png")[1] > lit_before + 300, timeout=10)
        self.assertTrue(tip, "no tooltip on the icon (see xembed-tray-tooltip.png)")


def main():
    for tool in ("Xvfb", "xfce4-panel", "trayer", "xdotool", INDICATOR_SERVICE, "dbus-daemon"):
        if not shutil.which(tool):
            print("skipped: %s is not installed" % tool)
            return 77
    os.makedirs(ARTIFACTS, exist_ok=True)
    # Once for the whole run: every desktop is made inside it.
    or_skip(lambda: enter_own_namespace(tempfile.mkdtemp(prefix="orbalen-panel-netns-")))
    result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())

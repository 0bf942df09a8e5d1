"""The real program in a network namespace of its own on real panels under
Xvfb: a plain XEmbed tray, then XFCE with the Ayatana indicator plugin.
Usage: desktop_panel_test.py PROGRAM DEFAULTS_TOOL SCREEN_GRAB PANEL_XML ARTIFACTS DBUS_DIR
"""

import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
from app_scenario import (Desktop, bus_property, main_in_namespace, members,  # noqa: E402
                          run, wait_until, write_settings)

PROGRAM, DEFAULTS, GRAB, PANEL_XML, ARTIFACTS, DBUS_DIR = sys.argv[1:7]
INDICATOR_SERVICE = ("/usr/libexec/ayatana-indicator-application/"
                     "ayatana-indicator-application-service")
PANEL_HEIGHT = 28
ADDRESS = "10.2.0.1"  # on the interface enter_own_namespace routes through


class Panel(Desktop):
    def __init__(self):
        super().__init__("orbalen-panel-", "800x600")
        self.env["DISPLAY"] = self.display.name
        # The bus daemon, and the panel's settings service it starts, get our folders.
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus()
        write_settings(DEFAULTS, self.env, ExternalIPLookupURL="http://127.0.0.1:9/")

    def grab(self, name):
        """(left, right) of what the panel strip shows, and the lit pixels below it."""
        out = run(GRAB, os.path.join(ARTIFACTS, name), str(PANEL_HEIGHT), env=self.env).stdout
        left, right, lit = map(int, out.split())
        return (left, right), lit

    def drawn(self, name, wider_than=-1):
        """(left, right) of what the panel strip shows once wider than wider_than."""
        def span():
            (left, right), _ = self.grab(name)
            return left >= 0 and right - left > wider_than and (left, right)
        return wait_until(span, 15, step=0.3)

    def click(self, span, name):
        """Whether a click on the middle of span lights up a menu's worth of pixels."""
        # A tooltip still showing can swallow a click: each attempt starts
        # from elsewhere, with nothing open.
        for attempt in range(2):
            run("xdotool", "key", "Escape", env=self.env)
            run("xdotool", "mousemove", "400", "500", env=self.env)
            time.sleep(0.5)
            _, before = self.grab(name)
            run("xdotool", "mousemove", str(sum(span) // 2), str(PANEL_HEIGHT // 2), env=self.env)
            time.sleep(0.2)
            run("xdotool", "click", "1", env=self.env)
            if wait_until(lambda: self.grab(name)[1] > before + 10000, 6, step=0.3):
                return True
        return False


class PanelTest(unittest.TestCase):
    def test_a_tray_then_a_panel_that_start_later_show_the_item(self):
        desktop = Panel()
        self.addCleanup(desktop.close)
        log = os.path.join(ARTIFACTS, "desktop-program.log")
        desktop.start_program(PROGRAM, log)
        title = lambda: bus_property(desktop.env["DBUS_SESSION_BUS_ADDRESS"], "Title")  # noqa: E731
        self.assertTrue(wait_until(lambda: title() == ADDRESS, 15), (title(), log))

        # A plain system tray gets the icon.
        tray = desktop.spawn(["trayer", "--edge", "top", "--align", "left", "--widthtype",
                              "request", "--height", str(PANEL_HEIGHT), "--tint", "0xffffff",
                              "--transparent", "true", "--alpha", "0", "--SetDockType", "true"])
        span = desktop.drawn("xembed-tray-icon.png")
        self.assertTrue(span, "no icon in the tray (see xembed-tray-icon.png)")
        tray.terminate()

        # An XFCE panel with the indicator plugin shows the label beside the
        # icon: the item is then several times wider than the panel is high.
        config = os.path.join(desktop.env["XDG_CONFIG_HOME"], "xfce4", "xfconf",
                              "xfce-perchannel-xml")
        os.makedirs(config)
        shutil.copy(PANEL_XML, config)
        desktop.spawn([INDICATOR_SERVICE])
        desktop.spawn(["xfwm4", "--compositor=off"])  # else the menu opens over the panel
        desktop.spawn(["xfce4-panel", "--disable-wm-check"])
        span = desktop.drawn("xfce-panel-label.png", wider_than=2 * PANEL_HEIGHT)
        self.assertTrue(span, "no label beside the icon (see xfce-panel-label.png)")
        # What the panel finds on the bus is what the contracts say, no more.
        busctl = ["busctl", "--address=" + desktop.env["DBUS_SESSION_BUS_ADDRESS"]]
        item = next(line.split()[0] for line in run(*busctl, "list").stdout.splitlines()
                    if line.startswith("org.kde.StatusNotifierItem-"))
        for path, name in (("/StatusNotifierItem", "org.kde.StatusNotifierItem"),
                           ("/MenuBar", "com.canonical.dbusmenu")):
            live = run(*busctl, "--xml-interface", "introspect", item, path).stdout
            with open(os.path.join(DBUS_DIR, name + ".xml")) as contract:
                self.assertEqual(members(live, name), members(contract.read(), name))
        self.assertTrue(desktop.click(span, "xfce-panel-menu.png"),
                        "no menu after the click (see xfce-panel-menu.png)")


if __name__ == "__main__":
    sys.exit(main_in_namespace(("Xvfb", "xfce4-panel", "xfwm4", "trayer", "xdotool", "busctl",
                                INDICATOR_SERVICE, "dbus-daemon"), ARTIFACTS))

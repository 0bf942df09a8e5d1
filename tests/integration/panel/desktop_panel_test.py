"""The real program on real panels under Xvfb (XFCE with the Ayatana
indicator plugin, and a plain XEmbed tray), in a network namespace of its own
so its address is known and nothing leaves the machine. Screenshots go to
ARTIFACTS. Exits 77 (skipped) where the X server, a panel or the right to make
namespaces is missing.

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
        # The bus starts the panel's settings service, which must read our
        # folders: the bus daemon gets this environment too.
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus()
        # Nothing to look up from here: the lookup fails at once on loopback.
        write_settings(DEFAULTS, self.env, ExternalIPLookupURL="http://127.0.0.1:9/")

    def grab(self, name, *cropped):
        """(left, right) of what the panel strip shows, and the lit pixels below it."""
        out = run(GRAB, os.path.join(ARTIFACTS, name), str(PANEL_HEIGHT),
                  *(os.path.join(ARTIFACTS, c) for c in cropped), env=self.env).stdout
        left, right, lit = map(int, out.split())
        return (left, right), lit

    def wait_for(self, condition, timeout=15.0):
        return wait_until(condition, timeout, step=0.3)

    def drawn(self, name, wider_than=-1):
        """(left, right) of what the panel strip shows once wider than wider_than."""
        def span():
            (left, right), _ = self.grab(name)
            return left >= 0 and right - left > wider_than and (left, right)
        return self.wait_for(span)

    def point_at(self, span, name, more_lit, *click):
        """Whether pointing at the middle of span (and clicking) lights more_lit pixels."""
        # A window embedded a moment ago can miss the pointer's first entry,
        # and a tooltip still showing can swallow a click: each attempt
        # starts from elsewhere, with nothing open.
        for attempt in range(2 if click else 4):
            run("xdotool", "key", "Escape", env=self.env)
            run("xdotool", "mousemove", "400", "500", env=self.env)
            time.sleep(0.5)
            _, before = self.grab(name)
            run("xdotool", "mousemove", str(sum(span) // 2), str(PANEL_HEIGHT // 2), env=self.env)
            if click:
                time.sleep(0.2)
                run("xdotool", *click, env=self.env)
            else:  # a move inside the icon, for a window that missed the entry
                run("xdotool", "mousemove_relative", "--", "1", "1", env=self.env)
            if self.wait_for(lambda: self.grab(name)[1] > before + more_lit, timeout=6):
                return True
        return False


class PanelTest(unittest.TestCase):
    def setUp(self):
        self.desktop = Panel()
        self.addCleanup(self.desktop.close)

    def start_program(self):
        log = os.path.join(ARTIFACTS, self.id().split(".")[-1] + ".log")
        self.desktop.start_program(PROGRAM, log)
        bus = self.desktop.env["DBUS_SESSION_BUS_ADDRESS"]
        title = lambda: bus_property(bus, "Title")  # noqa: E731
        self.assertTrue(self.desktop.wait_for(lambda: title() == ADDRESS),
                        "the title is %s, not %s (see %s)" % (title(), ADDRESS, log))

    def test_the_address_shows_beside_the_icon_and_a_click_opens_the_menu(self):
        desktop = self.desktop
        config = os.path.join(desktop.env["XDG_CONFIG_HOME"], "xfce4", "xfconf",
                              "xfce-perchannel-xml")
        os.makedirs(config)
        shutil.copy(PANEL_XML, config)
        desktop.spawn([INDICATOR_SERVICE])
        # Without a window manager the panel's menu opens over the panel.
        if shutil.which("xfwm4"):
            desktop.spawn(["xfwm4", "--compositor=off"])
        desktop.spawn(["xfce4-panel", "--disable-wm-check"])
        self.start_program()

        # An icon alone is about as wide as the panel is high; with the label
        # beside it the item is several times wider.
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
        self.assertTrue(desktop.point_at(span, "xfce-panel-menu.png", 10000, "click", "1"),
                        "no menu after the click (see xfce-panel-menu.png)")
        # Opened again, the menu is placed knowing its entries: the picture.
        run("xdotool", "key", "Escape", env=desktop.env)
        self.assertTrue(desktop.point_at(span, "xfce-panel-menu.png", 10000, "click", "1"))
        desktop.grab("xfce-panel-menu.png", "xfce-panel-menu-cropped.png")

    def test_a_plain_system_tray_that_starts_later_gets_the_icon(self):
        desktop = self.desktop
        self.start_program()
        desktop.spawn(["trayer", "--edge", "top", "--align", "left", "--widthtype", "request",
                       "--height", str(PANEL_HEIGHT), "--tint", "0xffffff", "--transparent",
                       "true", "--alpha", "0", "--SetDockType", "true"])
        span = desktop.drawn("xembed-tray-icon.png")
        self.assertTrue(span, "no icon in the tray (see xembed-tray-icon.png)")
        # Resting the pointer on it shows the title as its tooltip.
        self.assertTrue(desktop.point_at(span, "xembed-tray-tooltip.png", 300),
                        "no tooltip on the icon (see xembed-tray-tooltip.png)")


if __name__ == "__main__":
    sys.exit(main_in_namespace(("Xvfb", "xfce4-panel", "trayer", "xdotool", "busctl",
                                INDICATOR_SERVICE, "dbus-daemon"), ARTIFACTS))

"""The real program in a network namespace of its own with GNOME Shell 43
headless and the OrbalenStatus and AppIndicator extensions; logs go to ARTIFACTS.
Usage: gnome_shell_test.py PROGRAM DEFAULTS_TOOL EXTENSION_DIR ICONS_DIR ARTIFACTS
"""

import json
import os
import shutil
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app"))
from app_scenario import (Desktop, busctl, ip, main_in_namespace, run, wait_until,  # noqa: E402
                          write_settings)

PROGRAM, DEFAULTS, EXTENSION, ICONS, ARTIFACTS = sys.argv[1:6]
UUID = "orbalenstatus@kestrune.com"
APPINDICATOR = "ubuntu-appindicators@ubuntu.com"
# Test only: lets the bus calls below read the shell's state, which GNOME 43
# otherwise refuses and has no option for.
EVAL_HELPER = "eval-helper@orbalen.test"
EVAL_HELPER_SOURCE = "function init() { return {enable() { global.context.unsafe_mode = true; }, " \
                     "disable() {}}; }\n"
ADDRESS = "10.2.0.1"  # on the interface enter_own_namespace routes through
BUTTON = "imports.ui.main.panel.statusArea['%s']" % UUID


class Shell(Desktop):
    """GNOME Shell headless, and an X server for the program."""

    def __init__(self):
        super().__init__("orbalen-gnome-", "640x480")
        # HOME and the XDG folders before the session bus: the settings
        # service it starts must write where the shell reads.
        data = self.env["XDG_DATA_HOME"]
        extensions = os.path.join(data, "gnome-shell", "extensions")
        shutil.copytree(EXTENSION, os.path.join(extensions, UUID))
        os.makedirs(os.path.join(extensions, EVAL_HELPER))
        with open(os.path.join(extensions, EVAL_HELPER, "metadata.json"), "w") as f:
            json.dump({"uuid": EVAL_HELPER, "name": "eval", "description": "test",
                       "shell-version": ["43"]}, f)
        with open(os.path.join(extensions, EVAL_HELPER, "extension.js"), "w") as f:
            f.write(EVAL_HELPER_SOURCE)
        os.makedirs(os.path.join(data, "icons"))
        os.symlink(ICONS, os.path.join(data, "icons", "hicolor"))
        # Without any system bus the shell ends at once.
        session, system = self.bus(), self.bus()
        self.env.update(DBUS_SESSION_BUS_ADDRESS=session, DBUS_SYSTEM_BUS_ADDRESS=system)
        run("gsettings", "set", "org.gnome.shell", "enabled-extensions",
            str([UUID, APPINDICATOR, EVAL_HELPER]), env=self.env)
        write_settings(DEFAULTS, self.env, ExternalIPLookupURL="http://127.0.0.1:9/")

    def start(self):
        with open(os.path.join(ARTIFACTS, "gnome-shell.log"), "w") as log:
            self.spawn(["gnome-shell", "--headless", "--virtual-monitor", "1280x720", "--wayland",
                        "--no-x11"], stderr=log)
        if not wait_until(lambda: self.eval("1") == 1, timeout=30, step=0.2):
            raise RuntimeError("GNOME Shell did not answer (see gnome-shell.log)")

    def call(self, destination, path, interface, method, signature="", *args):
        return busctl(self.env["DBUS_SESSION_BUS_ADDRESS"], "call", destination, path, interface,
                      method, *([signature, *map(str, args)] if signature else []))

    def eval(self, code):
        """The JSON value of code evaluated in the shell; None on failure."""
        answer = self.call("org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell", "Eval", "s",
                           code)
        return json.loads(answer[1]) if answer and answer[0] and answer[1] else None

    def button(self):
        """(visible, label text) of the extension's button, or None."""
        return self.eval("(b => b ? [b.visible, b._label.text] : null)(%s)" % BUTTON)

    def items(self):
        """The StatusNotifierItems the AppIndicator extension shows."""
        watcher = "org.kde.StatusNotifierWatcher"
        answer = self.call(watcher, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties",
                           "Get", "ss", watcher, "RegisteredStatusNotifierItems")
        return answer and answer[0]["data"]

    def choose(self, section, title):
        """Activates the button's menu item titled title."""
        return self.eval("(i => i ? (i.activate(null), true) : false)(%s.%s._getMenuItems()"
                         ".find(i => i.label && i.label.text === %s))"
                         % (BUTTON, section, json.dumps(title)))

    def start_program(self, name):
        self.program = super().start_program(PROGRAM, os.path.join(ARTIFACTS, name + ".log"))


class GnomeShellTest(unittest.TestCase):
    def wait_for(self, condition, timeout=10.0):
        return wait_until(condition, timeout, step=0.05)

    def label_is(self, text):
        return self.wait_for(lambda: self.shell.button() == [True, text])

    def test_the_label_follows_the_program_and_stands_in_for_its_item(self):
        shell = self.shell = Shell()
        self.addCleanup(shell.close)
        shell.start()
        shell.start_program("gnome-program")
        self.assertTrue(self.label_is(ADDRESS), shell.button())
        self.assertTrue(shell.choose("_addressSection", ADDRESS))
        shell.eval("global._orbalenClip = null; imports.gi.St.Clipboard.get_default().get_text("
                   "imports.gi.St.ClipboardType.CLIPBOARD, (c, t) => global._orbalenClip = t)")
        self.assertTrue(self.wait_for(lambda: shell.eval("global._orbalenClip") == ADDRESS))

        # A change of the first address: the label follows.
        ip("addr add 10.3.0.7/24 dev v1", "addr del %s/24 dev v1" % ADDRESS)
        self.assertTrue(self.label_is("10.3.0.7"), shell.button())

        # Quitting from the menu hides the button; starting again shows it.
        self.assertTrue(shell.choose("menu", "Quit"))
        self.assertEqual(shell.program.wait(10), 0)
        self.assertTrue(self.wait_for(lambda: shell.button() == [False, ""]), shell.button())
        shell.start_program("gnome-program-again")
        self.assertTrue(self.label_is("10.3.0.7"), shell.button())

        # No item of the program's own while the extension shows the title; none
        # either when it lets go and takes it again within the grace period.
        self.assertEqual(shell.items(), [])
        extensions = ["org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions"]
        shell.call(*extensions, "DisableExtension", "s", UUID)
        shell.call(*extensions, "EnableExtension", "s", UUID)
        self.assertFalse(self.wait_for(lambda: shell.items() != [], timeout=3), shell.items())
        gone = time.monotonic()
        shell.call(*extensions, "DisableExtension", "s", UUID)
        self.assertTrue(self.wait_for(lambda: len(shell.items() or []) == 1), shell.items())
        self.assertGreater(time.monotonic() - gone, 1.5)
        shell.call(*extensions, "EnableExtension", "s", UUID)
        self.assertTrue(self.wait_for(lambda: shell.items() == []), shell.items())


def main():
    if not os.path.isdir("/usr/share/gnome-shell/extensions/" + APPINDICATOR):
        print("skipped: the AppIndicator extension is not installed")
        return 77
    return main_in_namespace(("gnome-shell", "Xvfb", "dbus-daemon", "busctl", "gsettings"),
                             ARTIFACTS)


if __name__ == "__main__":
    sys.exit(main())

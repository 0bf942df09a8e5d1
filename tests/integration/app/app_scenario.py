"""The running program with its peers in network and mount namespaces of its
own, for the end-to-end, panel and shell tests and the figures script. Needs
root (or the right to make namespaces)."""

import contextlib
import ctypes
import http.server
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from unittest import mock
from xml.etree import ElementTree

CLONE_NEWNS = 0x00020000
CLONE_NEWNET = 0x40000000
DOMAIN = "com.kestrune.OrbalenStatus"
STATUS = [DOMAIN, "/com/kestrune/OrbalenStatus", "com.kestrune.OrbalenStatus1"]


class NoNamespace(Exception):
    pass


def run(*argv, **kwargs):
    return subprocess.run(argv, check=True, capture_output=True, text=True, timeout=30, **kwargs)


def enter_own_namespace(folder):
    """Moves this (single-threaded) process into new namespaces: two veth
    interfaces, the default route on the second."""
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(CLONE_NEWNET | CLONE_NEWNS) != 0:
        raise NoNamespace(os.strerror(ctypes.get_errno()))
    run("mount", "--make-rprivate", "/")
    # Nothing listens on port 53 unless silent_name_server() runs, so look-ups
    # are refused at once; the resolver's own time-outs are left as shipped.
    resolv = os.path.join(folder, "resolv.conf")
    with open(resolv, "w") as f:
        f.write("nameserver 127.0.0.1\n")
    run("mount", "--bind", resolv, "/etc/resolv.conf")
    ip("link set lo up",
       "link add v0 type veth peer name p0", "link add v1 type veth peer name p1",
       "link set v0 up", "link set p0 up", "link set v1 up", "link set p1 up",
       "addr add 10.1.0.1/24 dev v0", "addr add 10.2.0.1/24 dev v1",
       # No gateway: the route outlives the addresses the scenarios replace.
       "route add default dev v1")


def write_settings(defaults, env, **values):
    """Keyword names with "_" stand for blanks; bools, ints, strings."""
    for key, value in values.items():
        kind, text = (("-bool", "YES" if value else "NO") if isinstance(value, bool) else
                      ("-int" if isinstance(value, int) else "-string", str(value)))
        run(defaults, "write", DOMAIN, key.replace("_", " "), kind, text, env=env)


def ip(*commands):
    run("ip", "-batch", "-", input="\n".join(commands) + "\n")


def or_skip(make):
    """make(), or exit 77 (skipped) where no namespace may be made."""
    try:
        return make()
    except NoNamespace as why:
        print("skipped: needs the right to make network namespaces (%s)" % why)
        sys.exit(77)


def wait_until(condition, timeout=10.0, step=0.01):
    """condition()'s first true answer, or its last one after timeout."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result or time.monotonic() > deadline:
            return result
        time.sleep(step)


def busctl(address, *args):
    """busctl's JSON answer on the bus at address; None on failure."""
    done = subprocess.run(["busctl", "--address=" + address, "--json=short", *args],
                          capture_output=True, text=True, timeout=10)
    return json.loads(done.stdout)["data"] if done.returncode == 0 and done.stdout else None


def bus_property(address, name):
    """A property of the program's interface (None while it cannot be read)."""
    return busctl(address, "get-property", *STATUS, name)


def members(xml, name):
    """An interface's members with their types; arguments as (in, out) types."""
    def types(member, out):
        return tuple(a.get("type") for a in member.iter("arg")
                     if (member.tag == "method" and a.get("direction") == "out") == out)
    interface = ElementTree.fromstring(xml).find("interface[@name='%s']" % name)
    return sorted((m.tag, m.get("name"), m.get("type"), m.get("access"), types(m, False),
                   types(m, True)) for m in interface)


def main_in_namespace(tools, artifacts):
    """This module's tests in namespaces; 77 (skipped) when a tool is missing."""
    for tool in tools:
        if not shutil.which(tool):
            print("skipped: %s is not installed" % tool)
            return 77
    os.makedirs(artifacts, exist_ok=True)
    or_skip(lambda: enter_own_namespace(tempfile.mkdtemp(prefix="orbalen-netns-")))
    result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    return 0 if result.wasSuccessful() else 1


def private_env(folder, **extra):
    """This environment with XDG folders under `folder` and no display."""
    env = dict(os.environ, **extra)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(name, None)
    for name in ("CONFIG", "DATA", "RUNTIME"):
        path = os.path.join(folder, name.lower())
        os.mkdir(path, 0o700)
        env["XDG_%s_%s" % (name, "DIR" if name == "RUNTIME" else "HOME")] = path
    return env


class Lines:
    """A process's output lines, each with the moment it arrived."""

    def __init__(self, argv, env):
        self.process = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
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


class LookupService:
    """A loopback lookup service: `page` is the body it serves (None: an
    error status; "hang": no answer for `hang_seconds`, then a hang-up)."""

    def __init__(self, host="127.0.0.1"):
        self.page = None
        self.hang_seconds = 40
        service = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                page = service.page
                if page == "hang":
                    time.sleep(service.hang_seconds)
                    self.close_connection = True  # and then gives up
                    return
                status, body = (500, b"busy") if page is None else (200, page.encode())
                self.send_response(status)
                self.send_header("Content-Length", str(len(body)))
                self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.write(body)

        self.server = http.server.ThreadingHTTPServer((host, 0), Handler)
        self.url = "http://%s:%d/ip" % (host, self.server.server_address[1])
        threading.Thread(target=self.server.serve_forever, daemon=True).start()


class Child:
    """A helper process that ends with the scenario."""

    def stop(self):
        self.process.kill()
        self.process.wait()
        if self.process.stdout:
            self.process.stdout.close()


class MailServer(Child):
    """smtp_test_server.py in plain mode; `messages` fills as mail arrives."""

    def __init__(self, script):
        self.process = subprocess.Popen(["/usr/bin/python3", script, "--mode", "plain"],
                                        stdout=subprocess.PIPE, text=True)
        self.port = int(self.process.stdout.readline().split()[1])
        self.messages = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.process.stdout:
            entry = json.loads(line)
            if entry.get("event") == "message":
                self.messages.append(entry)


class SessionBus(Child):
    def __init__(self, env=None):
        self.process = subprocess.Popen(
            ["dbus-daemon", "--session", "--nofork", "--print-address=1"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)
        self.address = self.process.stdout.readline().strip()


class Display(Child):
    """An X server (Xvfb); `name` is its DISPLAY."""

    def __init__(self, size="640x480", env=None):
        read, write = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", size + "x24", "-nolisten", "tcp"],
            pass_fds=[write], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        os.close(write)
        with os.fdopen(read) as displays:
            self.name = ":" + displays.readline().strip()


class Desktop:
    """Private HOME and XDG folders, an X server, session buses (bus()) and
    the processes spawn() starts, all ended by close()."""

    def __init__(self, prefix, size):
        self.folder = tempfile.mkdtemp(prefix=prefix)
        self.env = private_env(self.folder, HOME=self.folder, NO_AT_BRIDGE="1")
        self.display = Display(size, self.env)
        self.buses, self.processes = [], []

    def bus(self):
        """A new bus's address; its daemon (and what it starts) gets env."""
        self.buses.append(SessionBus(self.env))
        return self.buses[-1].address

    def spawn(self, argv, **kwargs):
        kwargs.setdefault("stderr", subprocess.DEVNULL)
        process = subprocess.Popen(argv, env=kwargs.pop("env", self.env),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, **kwargs)
        self.processes.append(process)
        return process

    def start_program(self, program, log):
        with open(log, "w") as output:
            return self.spawn([program], stderr=output,
                              env=dict(self.env, DISPLAY=self.display.name))

    def close(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(5)  # GNOME Shell ends on SIGTERM with SIGSEGV: no matter
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        for child in [self.display, *self.buses]:
            child.stop()
        shutil.rmtree(self.folder, ignore_errors=True)


class Scenario:
    """The program's peers (bus, lookup service, SMTP server) and folders."""

    def __init__(self, program, defaults, smtp_script):
        self.program, self.defaults = program, defaults
        self.folder = tempfile.mkdtemp(prefix="orbalen-app-")
        enter_own_namespace(self.folder)
        self.env = private_env(self.folder)
        self.bus = SessionBus()
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus.address
        self.lookup = LookupService()
        self.mail = MailServer(smtp_script)
        self.log_path = os.path.join(self.env["XDG_DATA_HOME"], "Kestrune Software",
                                     "OrbalenStatus", "OrbalenStatus.log")
        self.process = None

    def write_settings(self, **values):
        write_settings(self.defaults, self.env, **values)

    def tool(self, *argv):
        return subprocess.run(argv, env=self.env, capture_output=True, text=True, timeout=20)

    def notify(self):
        run(self.defaults, "notify", env=self.env)

    @contextlib.contextmanager
    def silent_bus(self):
        """A session bus that accepts connections and never says a word."""
        path = os.path.join(self.folder, "silent-bus")
        address = {"DBUS_SESSION_BUS_ADDRESS": "unix:path=" + path}
        with socket.socket(socket.AF_UNIX) as listener, mock.patch.dict(self.env, address):
            listener.bind(path)
            listener.listen(8)
            yield
        os.unlink(path)

    @contextlib.contextmanager
    def silent_name_server(self):
        """A name server that never answers: the resolver waits its time-outs."""
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as server:
            server.bind(("127.0.0.1", 53))
            yield

    def start(self, *args):
        if self.process:
            self.process.stderr.close()
        self.process = subprocess.Popen([self.program, *args], env=self.env,
                                        stderr=subprocess.PIPE, text=True)
        return self.process

    def terminate(self, timeout=10):
        self.process.send_signal(signal.SIGTERM)
        return self.process.wait(timeout)

    def log_lines(self):
        """The log's entries without their time stamps."""
        try:
            with open(self.log_path, encoding="utf-8", errors="replace") as f:
                return [re.sub(r"^\[[^]]*\] ", "", line) for line in f.read().splitlines()]
        except FileNotFoundError:
            return []

    def wait_for_line(self, wanted, after=0, timeout=10.0):
        """Index of the first entry from `after` on that equals (or matches)
        `wanted`; None after timeout."""
        def find():
            lines = self.log_lines()
            return next((i for i in range(after, len(lines)) if (
                lines[i] == wanted if isinstance(wanted, str) else wanted.fullmatch(lines[i]))),
                None)
        wait_until(lambda: find() is not None, timeout)
        return find()

    def status(self, name):
        return bus_property(self.bus.address, name)

    def call(self, method):
        """Calls a method of the program's interface; True when it answered."""
        return self.tool("busctl", "--address=" + self.bus.address, "call", *STATUS,
                         method).returncode == 0

    def close(self):
        if self.process:
            self.process.kill()
            self.process.wait()
            self.process.stderr.close()
        self.mail.stop()
        self.bus.stop()
        subprocess.run(["rm", "-rf", self.folder])

#!/usr/bin/env python3
"""Figures of the running program, headless, in a network namespace of its
own (see tests/integration/app/app_scenario.py). Needs root. Prints:

  - start to first title set (no external monitoring), median and max of 10;
  - `ip addr add` to the "(First) Internal IP address changed" log line,
    median and max of 30;
  - CPU time over 60 idle seconds;
  - resident memory;
  - the GUI thread's longest stall while the lookup service hangs for 40 s
    (the controller's thread waits on the fetch meanwhile).

Usage: bench/app_figures.py [build-dir]     (about three minutes)
"""

import os
import statistics
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "integration", "app"))
from app_scenario import Scenario  # noqa: E402

BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
PROBE = os.path.join(BUILD, "bin", "app_status_probe")
TICKS = os.sysconf("SC_CLK_TCK")


class LogTail:
    """Reads only what was appended since the last look."""

    def __init__(self, path):
        self.path = path
        self.offset = os.path.getsize(path) if os.path.exists(path) else 0
        self.pending = ""

    def wait_for(self, text, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with open(self.path, encoding="utf-8", errors="replace") as f:
                f.seek(self.offset)
                chunk = f.read()
                self.offset = f.tell()
            self.pending += chunk
            found = self.pending.find(text)
            if found >= 0:
                self.pending = self.pending[found + len(text):]
                return time.monotonic()
            time.sleep(0.001)
        raise TimeoutError(text)


def cpu_ms(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000 / TICKS  # utime + stime


def memory(pid):
    values = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                values[key] = int(rest.split()[0]) / 1024
    return values


def first_title(s):
    probe = subprocess.Popen([PROBE, "first-title", "10"], env=s.env, stdout=subprocess.PIPE,
                             text=True)
    assert probe.stdout.readline().strip() == "ready"
    started = time.monotonic_ns()
    s.start("--headless")
    seen = int(probe.stdout.readline())
    probe.wait()
    return (seen - started) / 1e6


def change_line(s, tail, n):
    address = "10.2.0.%d" % (n + 10)
    started = time.monotonic()
    s.ip("addr add %s/24 dev v1" % address)
    seen = tail.wait_for("changed from:169.254.1.1 to:%s\n" % address)
    s.ip("addr del %s/24 dev v1" % address)
    tail.wait_for("changed from:%s to:169.254.1.1\n" % address)
    return (seen - started) * 1000


def main():
    s = Scenario(os.path.join(BUILD, "bin", "orbalenstatus"),
                 os.path.join(BUILD, "bin", "orbalenstatus-defaults"),
                 os.path.join(ROOT, "tests", "integration", "mail", "smtp_test_server.py"))
    try:
        # The lookup fails until it hangs: a failed answer is not cached, so
        # the check that the settings reload fires has to fetch.
        s.lookup.page = None
        s.write_settings(Initial_Refresh=3600, ExternalIPLookupURL=s.lookup.url,
                         EmailChangesToExternalIPAddress=False, SendEmailNotifications=False,
                         logToSystemConsole=False, logToPrivateConsoleLog=True)
        # The default route's interface keeps only a link-local address, which
        # comes last, so each address added there becomes the first one.
        s.ip("addr add 169.254.1.1/16 dev v1", "addr del 10.2.0.1/24 dev v1",
             "route replace default dev v1")

        titles = []
        for _ in range(10):
            titles.append(first_title(s))
            s.terminate()
        print("start to first title:  median %.1f ms, max %.1f ms (10 starts)"
              % (statistics.median(titles), max(titles)))

        s.start("--headless")
        s.wait_for_line("The current (first) internal IP address is:169.254.1.1")
        pid = s.process.pid
        tail = LogTail(s.log_path)
        changes = [change_line(s, tail, n) for n in range(30)]
        print("ip addr add to change line:  median %.1f ms, max %.1f ms (30 changes)"
              % (statistics.median(changes), max(changes)))

        time.sleep(1)
        before = cpu_ms(pid)
        time.sleep(60)
        print("CPU time over 60 idle seconds:  %.0f ms (counted in steps of %.0f ms)"
              % (cpu_ms(pid) - before, 1000 / TICKS))
        mem = memory(pid)
        print("resident memory:  %.1f MB (peak %.1f MB)" % (mem["VmRSS"], mem["VmHWM"]))

        baseline = subprocess.run([PROBE, "stall", "10"], env=s.env, capture_output=True,
                                  text=True).stdout.strip()
        s.lookup.page = "hang"
        s.write_settings(EmailChangesToExternalIPAddress=True)
        s.notify()  # the check that setup fires waits on the hanging service
        tail.wait_for("Loading external IP address...")
        hung = time.monotonic()
        probe = subprocess.Popen([PROBE, "stall", "40"], env=s.env, stdout=subprocess.PIPE,
                                 text=True)
        waited = tail.wait_for("Current external IP address: ", timeout=60) - hung
        stall = probe.communicate()[0].strip()
        print("GUI thread round trips while idle:  %s" % baseline)
        print("GUI thread round trips while the lookup hangs:  %s" % stall)
        print("(the controller's thread waited %.1f s on the fetch)" % waited)
        print("resident memory at the end:  %.1f MB" % memory(pid)["VmRSS"])
        s.terminate()
    finally:
        s.close()


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Figures of telvane.exe under Wine, against ta-sim on a pseudo-terminal:

  1. the size of telvane.exe and the DLLs it imports;
  2. start-up: from starting the program (server already up) to its first
     query command at the adapter, median and worst of 20 starts;
  3. detection latency: from the adapter's last byte of a reply ending in
     "OK" to the call's line in RingLog.txt, median and worst of 20 calls;
  4. processor time of telvane.exe and the wineserver over a minute of idle
     between two polls (two-minute interval);
  5. with --shim-check: how many first queries are answered with and without
     the modem-line shim (without it Wine's WaitCommEvent ends early).

Times come from ta-sim's event lines (--clock epoch, the same clock as ours):
the moment a command arrived, the moment the last byte of a reply went out,
and the moment the call log grew (--watch).

  wine_bench.py [--runs N] [--shim-check]   (build/windows and build/release)
"""
import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
import winerig  # noqa: E402

WINDOWS = os.path.join(ROOT, "build", "windows")
TELVANE = os.path.join(WINDOWS, "src", "app", "telvane.exe")
WINTEXT = os.path.join(WINDOWS, "tests", "wine", "wintext.exe")
SHIM = os.path.join(WINDOWS, "tests", "wine", "ptyshim.so")
TASIM = os.path.join(ROOT, "build", "release", "tools", "ta-sim", "ta-sim")


def figures(name, samples):
    ms = sorted(1000 * s for s in samples)
    print("%-40s median %7.1f ms   worst %7.1f ms   (%d)" %
          (name, statistics.median(ms), ms[-1], len(ms)))


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def wineserver_pid(prefix):
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as cmd:
                if b"wineserver" not in cmd.read():
                    continue
            with open("/proc/%s/environ" % pid, "rb") as env:
                if b"WINEPREFIX=" + prefix.encode() + b"\0" in env.read():
                    return int(pid)
        except OSError:
            pass
    return None


class Bench:
    def __init__(self, root, interval, shim=True):
        self.wine = winerig.Wine(root, SHIM, WINTEXT)
        self.program = winerig.Program(self.wine, TELVANE)
        self.adapter = winerig.TaSim(TASIM, self.wine.ports, "--byte-delay", "1", "--watch",
                                     self.program.log)
        self.wine.write_settings({"Port": "COM1", "Interval": interval, "LogRing": 1})
        self.shim = shim

    def close(self):
        if self.program.process:
            self.program.close()
        self.adapter.quit()
        self.wine.stop()

    def start_up(self, runs):
        samples = []
        for _ in range(runs):
            commands = self.adapter.count("command ")
            started = time.time()
            self.program.start(self.shim)
            assert self.adapter.wait_for("command ", count=commands + 1), "no query"
            samples.append(self.adapter.find("command ")[-1][0] - started)
            self.program.close()
        return samples

    def latency(self, calls):
        self.program.start(self.shim)
        assert self.program.wait_for_lines(1)
        samples = []
        for call in range(calls):
            lines = len(self.program.log_lines())
            sent = self.adapter.count("sent ")
            assert self.adapter.wait_for("sent ", count=sent + 1)
            mark = len(self.adapter.events)
            self.adapter.send("caller 0%09d" % (312340000 + call))
            assert self.program.wait_for_lines(lines + 1), "call not logged"
            assert winerig.wait_until(lambda: self.adapter.find("watch ", mark), 5)
            reply = self.adapter.find("sent ", mark)[0][0]
            samples.append(self.adapter.find("watch ", mark)[0][0] - reply)
        self.program.close()
        return samples

    def idle(self, seconds):
        self.program.start(self.shim)
        assert self.program.wait_for_lines(1)
        time.sleep(2)
        server = wineserver_pid(self.wine.env["WINEPREFIX"])
        pids = [self.program.process.pid, server]
        before = [cpu_seconds(pid) for pid in pids]
        commands = self.adapter.count("command ")
        time.sleep(seconds)
        used = [cpu_seconds(pid) - b for pid, b in zip(pids, before)]
        assert self.adapter.count("command ") == commands, "a poll during the idle minute"
        self.program.close()
        return used

    def first_answers(self, runs):
        answered = 0
        for _ in range(runs):
            try:
                os.remove(self.program.log)
            except FileNotFoundError:
                pass
            self.wine.write_settings({"Magic10": ""})  # the first listing is news again
            self.program.start(self.shim)
            answered += self.program.wait_for_lines(1, timeout=8)
            self.program.close()
        return answered


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=20)
    parser.add_argument("--shim-check", action="store_true")
    args = parser.parse_args()

    size = os.path.getsize(TELVANE)
    dlls = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", TELVANE], check=True,
                          capture_output=True, text=True).stdout
    imports = sorted(line.split()[-1] for line in dlls.splitlines() if "DLL Name:" in line)
    print("telvane.exe: %d bytes (%.0f KiB); imports %s" % (size, size / 1024, " ".join(imports)))

    with tempfile.TemporaryDirectory(prefix="telvane-wine-bench-") as root:
        bench = Bench(root, " 1秒")
        try:
            figures("start-up to the first command", bench.start_up(args.runs))
            figures("detection latency (OK to log line)", bench.latency(args.runs))
        finally:
            bench.close()
    with tempfile.TemporaryDirectory(prefix="telvane-wine-bench-") as root:
        bench = Bench(root, " 2分")
        try:
            program, server = bench.idle(60)
            print("idle minute between polls: telvane.exe %.2f s CPU, wineserver %.2f s CPU"
                  % (program, server))
        finally:
            bench.close()
    if args.shim_check:
        for shim in (True, False):
            with tempfile.TemporaryDirectory(prefix="telvane-wine-bench-") as root:
                bench = Bench(root, " 1秒", shim)
                try:
                    runs = 5
                    print("first query answered %s the shim: %d of %d" %
                          ("with" if shim else "without", bench.first_answers(runs), runs))
                finally:
                    bench.close()


if __name__ == "__main__":
    main()

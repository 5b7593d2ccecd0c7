"""The rig of the Windows program under Wine: a private Wine with a display
(wine-env.sh), ta-sim behind COM1 on a pseudo-terminal, telvane.exe in a
folder of its own, and what can be read of them from outside: ta-sim's
event lines, the call log, the window's control texts and the registry."""
import os
import re
import shutil
import subprocess
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
KEY = r"HKEY_CURRENT_USER\Software\Maruvo\Telvane\1.0"
PATIENCE = 40  # seconds; waits end as soon as what they wait for is there


def wait_until(done, timeout=PATIENCE, step=0.02):
    end = time.monotonic() + timeout
    while not done():
        if time.monotonic() >= end:
            return False
        time.sleep(step)
    return True


class Wine:
    """A fresh prefix in root with COM1..COM9 mapped into root/ports."""

    def __init__(self, root, shim, wintext):
        self.root, self.shim, self.wintext = root, shim, wintext
        self.script = os.path.join(HERE, "wine-env.sh")
        subprocess.run([self.script, "start", root, "--display"], check=True)
        names = subprocess.run(
            ["bash", "-c", '. "$1/env"; env -0', "-", root], check=True, capture_output=True
        ).stdout
        self.env = dict(item.split("=", 1) for item in names.decode().split("\0") if "=" in item)
        # A Japanese user's PC on Tokyo time, as the env file says too.
        self.env["TZ"] = "Asia/Tokyo"
        self.ports = os.path.join(root, "ports")

    def stop(self):
        subprocess.run([self.script, "stop", self.root], check=False)

    def run(self, *argv, check=True):
        return subprocess.run(
            ["wine", *argv], env=self.env, check=check, capture_output=True, timeout=PATIENCE
        )

    def start(self, exe, shim=True):
        env = dict(self.env)
        # A Japanese user: the texts checked are the program's own; elsewhere
        # it shows English (Wine takes the user's language from LC_ALL).
        env["LC_ALL"] = "ja_JP.UTF-8"
        if shim:
            env["LD_PRELOAD"] = self.shim
        with open(os.path.join(self.root, "telvane.err"), "ab") as err:
            return subprocess.Popen(["wine", exe], env=env, stdin=subprocess.DEVNULL,
                                    stdout=err, stderr=err)

    def write_settings(self, values):
        """Values: text (REG_SZ) or int (REG_DWORD), imported as a UTF-16 .reg file."""
        lines = ["Windows Registry Editor Version 5.00", "", "[%s]" % KEY]
        for name, value in values.items():
            if isinstance(value, int):
                lines.append('"%s"=dword:%08x' % (name, value))
            else:
                text = value.replace("\\", "\\\\").replace('"', '\\"')
                lines.append('"%s"="%s"' % (name, text))
        path = os.path.join(self.root, "settings.reg")
        with open(path, "wb") as out:
            out.write("\r\n".join(lines + [""]).encode("utf-16"))
        self.run("regedit", "/S", path)

    def read_settings(self):
        """The key's values by name as (kind, value); None without the key."""
        path = os.path.join(self.root, "export.reg")
        if self.run("reg", "export", KEY.replace("HKEY_CURRENT_USER", "HKCU"), path, "/y",
                    check=False).returncode != 0:
            return None
        with open(path, "rb") as exported:
            text = exported.read().decode("utf-16").replace("\r\n", "\n")
        values = {}
        for name, raw in re.findall(r'^"((?:[^"\\]|\\.)*)"=(.*)$', text, re.M):
            if raw.startswith('"'):
                values[name] = ("REG_SZ", re.sub(r"\\(.)", r"\1", raw[1:-1]))
            elif raw.startswith("dword:"):
                values[name] = ("REG_DWORD", int(raw[6:], 16))
            else:
                values[name] = ("other", raw)
        return values

    def window(self, *command):
        """wintext's lines, or None while there is no Telvane window."""
        done = self.run(self.wintext, *command, check=False)
        if done.returncode != 0:
            return None
        return done.stdout.decode("utf-8").splitlines()


class TaSim:
    """ta-sim linked as COM1 in the Wine ports folder, its events collected."""

    def __init__(self, exe, ports, *options):
        self.events, self.lock = [], threading.Lock()
        self.process = subprocess.Popen(
            [exe, "--link", "COM1", "--ports-folder", ports, "--seed", "7", "--clock", "epoch",
             *options],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()
        if not self.wait_for("ready", 10):
            raise RuntimeError("ta-sim did not start")

    def _read(self):
        for raw in self.process.stdout:
            stamp, _, event = raw.decode("latin-1").rstrip("\n").partition(" ")
            with self.lock:
                self.events.append((float(stamp), event))

    def send(self, line):
        self.process.stdin.write((line + "\n").encode("latin-1"))
        self.process.stdin.flush()

    def find(self, start, after=0):
        """(time, event) of the events from index after on that begin with start."""
        with self.lock:
            return [e for e in self.events[after:] if e[1].startswith(start)]

    def count(self, start):
        return len(self.find(start))

    def wait_for(self, start, timeout=PATIENCE, count=1):
        return wait_until(lambda: self.count(start) >= count, timeout)

    def quit(self):
        if self.process.poll() is None:
            self.send("quit")
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stdin.close()
        self.process.stdout.close()


class Program:
    """telvane.exe copied into root/bin, where its call log lands."""

    def __init__(self, wine, exe):
        self.wine = wine
        self.folder = os.path.join(wine.root, "bin")
        os.makedirs(self.folder, exist_ok=True)
        self.exe = shutil.copy(exe, os.path.join(self.folder, "telvane.exe"))
        self.log = os.path.join(self.folder, "RingLog.txt")
        self.process = None

    def start(self, shim=True):
        self.process = self.wine.start(self.exe, shim)
        return wait_until(lambda: self.wine.window("state") is not None)

    def close(self):
        """WM_CLOSE, then the end of the program and its server's writes."""
        self.wine.window("close")
        try:
            status = self.process.wait(PATIENCE)
        except subprocess.TimeoutExpired:
            self.process.kill()
            status = None
        self.process = None
        return status

    def log_lines(self):
        try:
            with open(self.log, "rb") as log:
                return log.read().splitlines(keepends=True)
        except FileNotFoundError:
            return []

    def wait_for_lines(self, count, timeout=PATIENCE):
        return wait_until(lambda: len(self.log_lines()) >= count, timeout)

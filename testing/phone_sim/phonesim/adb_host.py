"""A private adb server for the simulator: its own port and its own HOME, so
tests run in parallel and never touch the user's adb server or keys.

The server is Debian's /usr/bin/adb, started with ANDROID_ADB_SERVER_PORT
and stopped with `adb kill-server` on the same port.
"""

import os
import shutil
import socket
import subprocess
import tempfile
import time

ADB = "/usr/bin/adb"


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class AdbServer:
    def __init__(self, port=0):
        self.port = port or free_port()
        self.home = tempfile.mkdtemp(prefix="phonesim-home-")
        self.env = dict(os.environ)
        self.env.pop("ADB_SERVER_SOCKET", None)
        self.env.pop("ANDROID_SERIAL", None)
        self.env.update(HOME=self.home, ANDROID_ADB_SERVER_PORT=str(self.port),
                        ANDROID_SDK_HOME=self.home, TMPDIR=self.home)
        self.started = False

    def adb(self, *args, timeout=60, check=False):
        """Runs adb against this server; returns the CompletedProcess (text)."""
        return subprocess.run([ADB] + list(args), env=self.env, capture_output=True,
                              timeout=timeout, check=check, text=True, encoding="utf-8",
                              errors="replace")

    def start(self):
        result = self.adb("start-server")
        if result.returncode != 0:
            raise RuntimeError("adb start-server failed: %s%s" % (result.stdout, result.stderr))
        self.started = True

    def connect(self, serial, timeout=20):
        deadline = time.monotonic() + timeout
        while True:
            out = self.adb("connect", serial).stdout
            if "connected to" in out and self.state(serial) == "device":
                return
            if time.monotonic() > deadline:
                raise RuntimeError("adb connect %s: %s" % (serial, out.strip()))
            time.sleep(0.2)

    def state(self, serial):
        """The word `adb devices` shows for the serial, or None."""
        for line in self.adb("devices").stdout.splitlines():
            parts = line.split("\t")
            if len(parts) == 2 and parts[0] == serial:
                return parts[1].strip()
        return None

    def forward(self, serial, host_port, device_port):
        result = self.adb("-s", serial, "forward", "tcp:%d" % host_port, "tcp:%d" % device_port)
        if result.returncode != 0:
            raise RuntimeError("adb forward failed: %s" % result.stderr.strip())

    def stop(self):
        if self.started:
            try:
                self.adb("forward", "--remove-all", timeout=10)
            except (subprocess.TimeoutExpired, OSError):
                pass
            try:
                self.adb("kill-server", timeout=15)
            except (subprocess.TimeoutExpired, OSError):
                pass
            self.started = False
        shutil.rmtree(self.home, ignore_errors=True)

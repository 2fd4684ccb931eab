"""A private adb server for the simulator: its own port and its own HOME, so
tests run in parallel and never touch the user's adb server or keys.

The server is Debian's /usr/bin/adb, run as this process's child the way
`adb start-server` runs it (`fork-server server --reply-fd`): it writes "OK"
on the reply pipe once it listens, or exits when the port is taken. adb
cannot listen on port 0, so without a given port a free one is picked and
the start is retried on another one when it was taken meanwhile. Stopped
with `adb kill-server` on the same port.
"""

import os
import select
import shutil
import socket
import subprocess
import tempfile
import time

ADB = "/usr/bin/adb"
START_ATTEMPTS = 10
START_WAIT_SECONDS = 30


def _unused_port():
    """A port nothing listens on right now (a candidate only: adb binds it later)."""
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class AdbServer:
    def __init__(self, port=0):
        self.wanted_port = port
        self.port = 0
        self.home = tempfile.mkdtemp(prefix="phonesim-home-")
        self.env = dict(os.environ)
        self.env.pop("ADB_SERVER_SOCKET", None)
        self.env.pop("ANDROID_SERIAL", None)
        self.env.update(HOME=self.home, ANDROID_SDK_HOME=self.home, TMPDIR=self.home)
        self.proc = None
        self.started = False

    def adb(self, *args, timeout=60, check=False):
        """Runs adb against this server; returns the CompletedProcess (text)."""
        return subprocess.run([ADB] + list(args), env=self.env, capture_output=True,
                              timeout=timeout, check=check, text=True, encoding="utf-8",
                              errors="replace")

    def start(self):
        attempts = 1 if self.wanted_port else START_ATTEMPTS
        why = ""
        for _ in range(attempts):
            port = self.wanted_port or _unused_port()
            why = self._start_on(port)
            if not why:
                return
        raise RuntimeError("adb server did not start: %s" % why)

    def _start_on(self, port):
        """Starts the server on the port; "" when it listens, else the reason."""
        self.env["ANDROID_ADB_SERVER_PORT"] = str(port)
        reply_read, reply_write = os.pipe()
        try:
            proc = subprocess.Popen([ADB, "-P", str(port), "fork-server", "server",
                                     "--reply-fd", str(reply_write)],
                                    env=self.env, pass_fds=[reply_write], stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                    start_new_session=True)   # a Ctrl-C meant for us is not its
        finally:
            os.close(reply_write)
        with os.fdopen(reply_read, "rb") as reply:
            # "OK", or end of file when the server exits; a server that does
            # neither within the wait is stopped and counts as failed.
            ready, _, _ = select.select([reply], [], [], START_WAIT_SECONDS)
            ok = bool(ready) and reply.read(3) == b"OK\n"
        if ok:
            self.proc = proc
            self.port = port
            self.started = True
            return ""
        if proc.poll() is None:
            proc.kill()
        proc.wait()
        return "port %d: %s" % (port, self._last_log_line() or "exit status %s" % proc.returncode)

    def _last_log_line(self):
        try:
            with open(os.path.join(self.home, "adb.%d.log" % os.getuid()), encoding="utf-8",
                      errors="replace") as f:
                lines = [line.strip() for line in f if line.strip()]
            return lines[-1] if lines else ""
        except OSError:
            return ""

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

    def forward(self, serial, device_port):
        """Forwards a PC port adb picks to the device port; returns the PC port."""
        result = self.adb("-s", serial, "forward", "tcp:0", "tcp:%d" % device_port)
        port = result.stdout.strip()
        if result.returncode != 0 or not port.isdigit():
            raise RuntimeError("adb forward failed: %s%s" % (result.stdout.strip(), result.stderr.strip()))
        return int(port)

    def stop(self):
        if self.started:
            # Only while it runs: any adb command would start a new server.
            if self.proc.poll() is None:
                try:
                    self.adb("forward", "--remove-all", timeout=10)
                    self.adb("kill-server", timeout=15)
                except (subprocess.TimeoutExpired, OSError):
                    pass
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self.started = False
        shutil.rmtree(self.home, ignore_errors=True)

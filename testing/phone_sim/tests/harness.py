"""Starts phone_sim.py as a child process, the way the program's tests do,
and gives the tests adb, agent, FTP and control helpers.

Each PhoneSim has its own device port, private adb server port and HOME,
and free PC ports forwarded to device ports 21220, 21210 and 21211; stop()
ends it with SIGTERM (the simulator removes its forwards, stops its adb
server and deletes its folders).
"""

import os
import signal
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SIM = os.path.join(os.path.dirname(HERE), "phone_sim.py")
PYTHON = "/usr/bin/python3"
ADB = "/usr/bin/adb"
CURL = "/usr/bin/curl"


def apk_dir():
    """Folder of the agent packages the build made (bin/apk)."""
    return os.environ.get("PHONESIM_APK_DIR", "")


def sample_apk():
    """The test-only package com.zelvik.demo.sample (versionCode 5, label 示例应用)."""
    return os.environ.get("PHONESIM_SAMPLE_APK", "")


class PhoneSim:
    def __init__(self, *args):
        self.proc = subprocess.Popen([PYTHON, SIM, "--forward", "--exit-on-stdin-eof"] + list(args),
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, text=True, encoding="utf-8")
        line = self.proc.stdout.readline()
        if not line.startswith("PHONESIM READY "):
            self.proc.kill()
            raise RuntimeError("simulator did not start: %r %s" % (line, self.proc.stderr.read()))
        self.fields = dict(kv.split("=", 1) for kv in line.split()[2:])
        self.serial = self.fields["serial"]
        self.device_port = int(self.fields["device_port"])
        self.root = self.fields["root"]
        if "adb_port" in self.fields:   # absent with --no-adb
            self.adb_port = int(self.fields["adb_port"])
            self.agent_port = int(self.fields["agent_port"])
            self.ftp_port = int(self.fields["ftp_port"])
            self.env = dict(os.environ, HOME=self.fields["home"],
                            ANDROID_ADB_SERVER_PORT=str(self.adb_port))
            self.env.pop("ADB_SERVER_SOCKET", None)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for f in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
            f.close()

    # ---- adb ----
    def adb(self, *args, timeout=60):
        """Runs adb; stdout and stderr are decoded with their line ends kept."""
        done = subprocess.run([ADB] + list(args), env=self.env, capture_output=True, timeout=timeout)
        done.stdout = done.stdout.decode("utf-8", "replace")
        done.stderr = done.stderr.decode("utf-8", "replace")
        return done

    def shell(self, command):
        return self.adb("-s", self.serial, "shell", command).stdout

    # ---- control channel ----
    def control(self, line):
        with socket.create_connection(("127.0.0.1", int(self.fields["control_port"])), timeout=10) as s:
            s.sendall(line.encode("utf-8") + b"\n")
            reply = b""
            while not reply.endswith(b"\n"):
                chunk = s.recv(65536)
                if not chunk:
                    break
                reply += chunk
        return reply.decode("utf-8").strip()

    def errors(self):
        import json
        reply = self.control("errors")
        assert reply.startswith("OK "), reply
        return json.loads(reply[3:])

    # ---- agent ----
    def exchange(self, data, timeout=15, port=None):
        """One connection to the agent: send the bytes, read until it closes."""
        with socket.create_connection(("127.0.0.1", port or self.agent_port), timeout=timeout) as s:
            s.sendall(data)
            if not data:
                s.shutdown(socket.SHUT_WR)   # adb closes the stream, as when a client hangs up
            reply = b""
            while True:
                chunk = s.recv(4096)
                if not chunk:
                    return reply
                reply += chunk

    def request(self, command, method="GET", params=""):
        body = '<request ver="1" method="%s"><cmd id="%s">%s</cmd></request>' % (
            method, command, params)
        return self.exchange(body.encode("utf-8"))

    # ---- ftp through the forwards ----
    def curl(self, *args):
        return subprocess.run([CURL, "-sS", "--max-time", "30"] + list(args),
                              capture_output=True, timeout=60)

    def ftp_url(self, path):
        return "ftp://8:8@127.0.0.1:%d/%s" % (self.ftp_port, path)


def parse_reply(raw):
    """(root element, bytes after the XML's NUL) of an agent reply."""
    import xml.etree.ElementTree as ET
    text, _, tail = raw.partition(b"\0")
    return ET.fromstring(text.decode("utf-8")), tail


def wait_until(predicate, timeout=20, step=0.2):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return predicate()


sys.path.insert(0, os.path.dirname(HERE))

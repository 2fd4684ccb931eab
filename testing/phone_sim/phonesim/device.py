"""The simulated phone as a whole: adb listener, services and fixture.

Services a host may OPEN:
  shell:<cmd>, exec:<cmd>   the phone's shell (shell.py)
  sync:                     file transfer (sync.py)
  framebuffer:              screen picture (framebuffer.py)
  tcp:<port>[:host]         device ports; only the agent's 21220 (commands),
                            21210 (FTP) and 21211 (FTP passive data) exist,
                            and only while the agent app is installed and runs
Anything else is refused (the stream is closed at once) and logged.

Threading: `_lock` guards the connection set; `_online` (a Condition on
the same lock) wakes handshakes held back by the `offline` fault.
"""

import threading

from . import framebuffer, log
from .adb_transport import DeviceListener
from .agent import Agent
from .faults import Faults
from .fixture import FixturePhone
from .ftp import DEVICE_CONTROL_PORT, DEVICE_PASSIVE_PORT, FtpServer
from .packages import PackageManager
from .shell import Shell
from .sync import SyncService

AGENT_PORT = 21220
AGENT_STATES = ("current", "old", "none", "stopped")


class Device:
    def __init__(self, root, port=0, agent_state="current", faults=(), large=0):
        if agent_state not in AGENT_STATES:
            raise ValueError("agent state must be one of %s" % ", ".join(AGENT_STATES))
        self.faults = Faults()
        for spec in faults:
            self.faults.add(spec)
        self.phone = FixturePhone(root, "current" if agent_state == "stopped" else agent_state, large=large)
        self.packages = PackageManager(self.phone, self.faults,
                                       agent_running=agent_state != "stopped")
        self.shell = Shell(self.phone, self.packages)
        self.sync = SyncService(self.phone, self.faults)
        self.agent = Agent(self.phone, self.faults)
        self.ftp = FtpServer(self.phone, self.faults)
        self._lock = threading.Lock()
        self._online = threading.Condition(self._lock)
        self._connections = set()
        self.faults.on_offline_change = self._offline_changed
        self.listener = DeviceListener(self, port)

    @property
    def port(self):
        return self.listener.port

    @property
    def serial(self):
        return "127.0.0.1:%d" % self.port

    def start(self):
        self.ftp.start()
        self.listener.start()

    def stop(self):
        self.listener.close()
        with self._lock:
            connections = list(self._connections)
        for conn in connections:
            conn.shutdown()
        self.ftp.close()

    # ---- called by the transport ----
    def banner(self):
        props = self.phone.properties
        return ("device::ro.product.name=%s;ro.product.model=%s;ro.product.device=%s;features="
                % (props["ro.product.name"], props["ro.product.model"],
                   props["ro.product.device"])).encode("utf-8")

    def connection_started(self, conn):
        with self._lock:
            self._connections.add(conn)

    def connection_ended(self, conn):
        with self._lock:
            self._connections.discard(conn)

    def wait_online(self, conn):
        with self._online:
            while self.faults.offline() and conn._alive:
                self._online.wait(0.5)

    def _offline_changed(self, offline):
        with self._online:
            connections = [c for c in self._connections if c.connected]
            self._online.notify_all()
        if offline:
            for conn in connections:
                conn.shutdown()

    def service_for(self, name):
        """The handler for an OPENed service, or None to refuse it."""
        if name.startswith("shell:"):
            command = name[len("shell:"):]
            return lambda s: self.shell.serve(s, command, terminal=True)
        if name.startswith("exec:"):
            command = name[len("exec:"):]
            return lambda s: self.shell.serve(s, command, terminal=False)
        if name == "sync:":
            return self.sync.serve
        if name == "framebuffer:":
            return framebuffer.serve
        if name.startswith("tcp:"):
            return self._device_port(name)
        log.error("adb", "unsupported service %r" % name)
        return None

    def _device_port(self, name):
        parts = name.split(":")
        if len(parts) not in (2, 3) or not parts[1].isdigit():
            log.error("adb", "malformed service %r" % name)
            return None
        if len(parts) == 3 and parts[2] not in ("localhost", "127.0.0.1"):
            log.error("adb", "%r leaves the phone; refused" % name)
            return None
        port = int(parts[1])
        if port not in (AGENT_PORT, DEVICE_CONTROL_PORT, DEVICE_PASSIVE_PORT):
            log.info("adb", "nothing listens on device port %d" % port)
            return None
        if not self.packages.agent_serving():
            log.info("adb", "agent not running: device port %d refused" % port)
            return None
        if port == AGENT_PORT:
            if self.faults.agent_refuses():
                log.info("agent", "fault refuse: connection refused")
                return None
            return self.agent.serve
        if port == DEVICE_CONTROL_PORT:
            return self.ftp.serve_control
        return self.ftp.serve_passive

"""The agent's FTP server: device port 21210 (control) and 21211 (passive data).

pyftpdlib serves the virtual root on an ephemeral 127.0.0.1 port that only
this process knows. An adb `tcp:21210` stream is bridged to that port.
PASV and EPSV replies are rewritten to announce 127.0.0.1 port 21211 (the
PC reaches it through its own forward), and the real passive port is queued;
an adb `tcp:21211` stream takes the oldest queued passive port that still
accepts and is bridged to it. Login 8:8; the login folder is "/", where
"sdcard" leads to /storage/sdcard0, so the relative "sdcard/..." paths and
the absolute "/storage/..." paths name the same files. Only the commands
the program sends are served (`PROGRAM_COMMANDS`); any other, active mode
(PORT, EPRT) and listings included, is refused and logged as an error.

Threading: pyftpdlib runs its own IO loop thread. `PassiveQueue._cond`
guards the queued ports; bridges use two threads per stream.
"""

import logging
import re
import socket
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

from . import log

DEVICE_CONTROL_PORT = 21210
DEVICE_PASSIVE_PORT = 21211
USER = "8"
PASSWORD = "8"
# What the program's transfers send (libcurl): login, the walk to the folder
# and the folders it makes, passive mode, binary type, size, the transfer,
# the delete quote command and the goodbye. Anything else is refused and
# logged as a protocol error.
PROGRAM_COMMANDS = frozenset(("USER", "PASS", "PWD", "CWD", "MKD", "EPSV", "PASV", "TYPE",
                              "SIZE", "RETR", "STOR", "DELE", "QUIT"))


class PassiveQueue:
    def __init__(self):
        self._cond = threading.Condition()
        self._ports = []

    def push(self, port):
        with self._cond:
            self._ports.append(port)
            self._cond.notify_all()

    def pop(self, timeout=5.0):
        deadline = time.monotonic() + timeout
        with self._cond:
            while not self._ports:
                left = deadline - time.monotonic()
                if left <= 0:
                    return None
                self._cond.wait(left)
            return self._ports.pop(0)


def bridge(stream, sock, cut_after=None):
    """Copies bytes both ways between an adb stream and a socket until either ends.
    With `cut_after`, both ends are closed once that many bytes went to the PC."""

    def host_to_socket():
        while True:
            data = stream.read()
            if not data:
                try:
                    sock.shutdown(socket.SHUT_WR)
                except OSError:
                    pass
                return
            try:
                sock.sendall(data)
            except OSError:
                return

    pump = threading.Thread(target=host_to_socket, name="bridge-in", daemon=True)
    pump.start()
    sent = 0
    try:
        while True:
            data = sock.recv(65536)
            if cut_after is not None and sent + len(data) >= cut_after:
                if cut_after > sent:
                    stream.write(data[:cut_after - sent])
                log.info("ftp", "fault ftpcut: data connection cut after %d bytes" % cut_after)
                stream.close()
                break
            sent += len(data)
            if not data or not stream.write(data):
                break
    except OSError:
        pass
    finally:
        sock.close()


class FtpServer:
    def __init__(self, phone, faults):
        self.phone = phone
        self.faults = faults
        self.passive = PassiveQueue()
        ftp_log = logging.getLogger("pyftpdlib")
        if not ftp_log.handlers:   # with a handler, pyftpdlib keeps its own set-up away
            ftp_log.addHandler(logging.StreamHandler())
        ftp_log.setLevel(logging.INFO if log.verbose else logging.WARNING)
        authorizer = DummyAuthorizer()
        authorizer.add_user(USER, PASSWORD, phone.root, perm="elradfmwMT")
        queue = self.passive
        # The port named in PASV/EPSV replies: the PC port forwarded to device
        # port 21211 (21211 on a real PC; tests with parallel phones move it).
        self.announced_port = DEVICE_PASSIVE_PORT
        server = self

        class Handler(FTPHandler):
            banner = "Zelvik assist FTP ready."
            permit_foreign_addresses = False

            def respond(self, resp, logfun=None):
                m = re.match(r"227 Entering passive mode \((\d+),(\d+),(\d+),(\d+),(\d+),(\d+)\)", resp)
                if m:
                    queue.push(int(m.group(5)) * 256 + int(m.group(6)))
                    port = server.announced_port
                    resp = "227 Entering passive mode (127,0,0,1,%d,%d)." % (port // 256, port % 256)
                m = re.match(r"229 Entering extended passive mode \(\|\|\|(\d+)\|\)", resp)
                if m:
                    queue.push(int(m.group(1)))
                    resp = "229 Entering extended passive mode (|||%d|)." % server.announced_port
                if logfun is None:
                    return FTPHandler.respond(self, resp)
                return FTPHandler.respond(self, resp, logfun)

            def pre_process_command(self, line, cmd, arg):
                if cmd not in PROGRAM_COMMANDS:
                    log.error("ftp", "unexpected command %r" % line[:200])
                    self.respond('502 Command "%s" not available on this phone.' % cmd[:20])
                    return
                FTPHandler.pre_process_command(self, line, cmd, arg)

        Handler.authorizer = authorizer
        self.server = FTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.socket.getsockname()[1]
        self._thread = threading.Thread(target=self.server.serve_forever,
                                        kwargs={"timeout": 0.5, "handle_exit": False},
                                        name="ftp", daemon=True)

    def start(self):
        self._thread.start()

    def close(self):
        try:
            self.server.close_all()
        except Exception:
            pass

    def serve_control(self, stream):
        try:
            sock = socket.create_connection(("127.0.0.1", self.port), timeout=10)
        except OSError as err:
            log.error("ftp", "internal control port: %s" % err)
            return
        sock.settimeout(None)
        bridge(stream, sock)

    def serve_passive(self, stream):
        while True:
            port = self.passive.pop()
            if port is None:
                log.error("ftp", "data connection to port %d without PASV/EPSV" % DEVICE_PASSIVE_PORT)
                return
            try:
                sock = socket.create_connection(("127.0.0.1", port), timeout=10)
            except OSError:
                continue   # that passive listener timed out; try the next
            sock.settimeout(None)
            bridge(stream, sock, self.faults.ftp_cut())
            return

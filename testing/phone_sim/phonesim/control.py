"""The control channel: a loopback TCP port taking one text command per line
and answering one line, "OK <text>" or "ERR <reason>".

  ping                 OK pong
  fault <spec>         add a fault (faults.py), e.g. "fault result0@sms_list"
  clear [kind]         remove all faults, or those of one kind
  faults               OK <JSON list of active faults>
  held                 OK <number of `pm install` commands the installhold fault holds>
  agent <state>        none | old | current | stopped | running
  errors               OK <JSON list of logged protocol errors>
  clear-errors         forget them
  requests             OK <JSON list of [command, result] the agent handled>
  snapshot             OK <JSON of the fixture (apps, contacts, sms, media)>
  passive-port <n>     announce <n> in PASV/EPSV replies
  quit                 OK bye; the simulator shuts down
"""

import json
import socket
import threading

from . import log
from .faults import FaultError


class ControlServer:
    def __init__(self, device, port=0, on_quit=None):
        self.device = device
        self.on_quit = on_quit
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", port))
        self.sock.listen(4)
        self.port = self.sock.getsockname()[1]
        threading.Thread(target=self._accept, name="control", daemon=True).start()

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass

    def _accept(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            threading.Thread(target=self._serve, args=(conn,), daemon=True).start()

    def _serve(self, conn):
        with conn, conn.makefile("rw", encoding="utf-8", newline="\n") as f:
            for line in f:
                reply = self.handle(line.strip())
                f.write(reply + "\n")
                f.flush()
                if reply == "OK bye":
                    if self.on_quit:
                        self.on_quit()
                    return

    def handle(self, line):
        word, _, arg = line.partition(" ")
        arg = arg.strip()
        device = self.device
        try:
            if word == "ping":
                return "OK pong"
            if word == "fault":
                device.faults.add(arg)
                return "OK " + json.dumps(device.faults.describe())
            if word == "clear":
                device.faults.clear(arg or None)
                return "OK " + json.dumps(device.faults.describe())
            if word == "faults":
                return "OK " + json.dumps(device.faults.describe())
            if word == "held":
                return "OK %d" % device.faults.held_installs()
            if word == "agent":
                device.packages.set_agent(arg)
                return "OK " + arg
            if word == "errors":
                return "OK " + json.dumps(log.errors(), ensure_ascii=False)
            if word == "clear-errors":
                log.clear_errors()
                return "OK"
            if word == "requests":
                return "OK " + json.dumps(device.agent.requests)
            if word == "snapshot":
                return "OK " + json.dumps(device.phone.snapshot(), ensure_ascii=False)
            if word == "passive-port" and arg.isdigit():
                device.ftp.announced_port = int(arg)
                return "OK " + arg
            if word == "quit":
                return "OK bye"
        except (FaultError, ValueError) as err:
            return "ERR " + str(err)
        return "ERR unknown control command %r" % line

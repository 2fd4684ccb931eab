#!/usr/bin/python3
"""Starts the simulated phone (see README.md for the full description).

By default it also starts a private adb server (own port, own HOME), runs
`adb connect`, prints one ready line on stdout and serves until SIGTERM,
SIGINT, the control command "quit" or (with --exit-on-stdin-eof) the end
of its standard input; then it removes its adb forwards, stops the adb
server it started and deletes its temporary folders.
"""

import argparse
import os
import shutil
import signal
import sys
import tempfile
import threading
import traceback

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from phonesim import log  # noqa: E402
from phonesim.adb_host import AdbServer  # noqa: E402
from phonesim.control import ControlServer  # noqa: E402
from phonesim.device import AGENT_STATES, Device  # noqa: E402
from phonesim.faults import FaultError  # noqa: E402


def parse_args(argv):
    p = argparse.ArgumentParser(description="Simulated Android phone for adb.")
    p.add_argument("--port", type=int, default=0, help="device (adb transport) port; 0 = free port")
    p.add_argument("--adb-port", type=int, default=0, help="port of the private adb server; 0 = a free one")
    p.add_argument("--no-adb", action="store_true", help="start no adb server and connect nothing")
    p.add_argument("--fixture", help="folder for the phone's files (kept); default: a temporary folder")
    p.add_argument("--agent", choices=AGENT_STATES, default="current", help="agent app state at start")
    p.add_argument("--fault", action="append", default=[], help="fault spec, repeatable (see README)")
    p.add_argument("--control-port", type=int, default=0, help="control channel port; 0 = free port")
    p.add_argument("--forward", action="store_true",
                   help="also forward PC ports adb picks to device ports 21220, 21210 and 21211")
    p.add_argument("--passive-port", type=int, default=0,
                   help="PC port announced for FTP passive data (default 21211, or the --forward port)")
    p.add_argument("--large", type=int, default=0, metavar="N",
                   help="a large generated phone: N contacts, 3N SMS, N pictures, 0.8N music (see README)")
    p.add_argument("--exit-on-stdin-eof", action="store_true", help="quit when stdin closes")
    p.add_argument("--verbose", action="store_true", help="log every request on stderr")
    return p.parse_args(argv)


def main(argv=None):
    args = parse_args(argv)
    log.verbose = args.verbose
    temp_root = None
    if args.fixture:
        root = args.fixture
        os.makedirs(root, exist_ok=True)
    else:
        root = temp_root = tempfile.mkdtemp(prefix="phonesim-root-")
    done = threading.Event()
    # A signal during start-up lets the start finish, then everything is
    # cleaned up as after a signal while serving.
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: done.set())
    device = adb = control = None
    try:
        try:
            if args.large < 0:
                raise ValueError("--large must not be negative")
            device = Device(root, port=args.port, agent_state=args.agent, faults=args.fault,
                            large=args.large)
        except (FaultError, ValueError) as err:
            print("phone_sim: %s" % err, file=sys.stderr)
            return 2
        device.start()
        control = ControlServer(device, args.control_port, on_quit=done.set)
        fields = [("serial", device.serial), ("device_port", device.port)]
        if not args.no_adb:
            adb = AdbServer(args.adb_port)
            adb.start()
            adb.connect(device.serial)
            fields.append(("adb_port", adb.port))
            if args.forward:
                ports = {}
                for name, device_port in (("agent_port", 21220), ("ftp_port", 21210),
                                          ("ftp_passive_port", 21211)):
                    ports[name] = adb.forward(device.serial, device_port)
                    fields.append((name, ports[name]))
                device.ftp.announced_port = ports["ftp_passive_port"]
        if args.passive_port:
            device.ftp.announced_port = args.passive_port
        fields += [("control_port", control.port), ("root", root)]
        if adb:
            fields.append(("home", adb.home))
        if args.exit_on_stdin_eof:
            def watch_stdin():
                try:
                    while sys.stdin.buffer.read(4096):
                        pass
                except (OSError, ValueError):
                    pass
                done.set()
            threading.Thread(target=watch_stdin, daemon=True).start()
        if not done.is_set():
            print("PHONESIM READY " + " ".join("%s=%s" % kv for kv in fields), flush=True)
            if adb and sys.stdout.isatty():
                print("\nUse it from another terminal:\n"
                      "  export ANDROID_ADB_SERVER_PORT=%d\n"
                      "  adb devices\n"
                      "  adb -s %s shell pm list package -3\n"
                      "Stop with Ctrl-C.\n" % (adb.port, device.serial), file=sys.stderr)
        while not done.wait(0.5):
            pass
        return 0
    finally:
        if control:
            control.close()
        if adb:
            adb.stop()
        if device:
            device.stop()
        if temp_root:
            shutil.rmtree(temp_root, ignore_errors=True)


def run():
    try:
        status = main()
    except KeyboardInterrupt:   # before the signal handlers were set
        status = 130
    except Exception:
        traceback.print_exc()
        status = 1
    # Everything is stopped, but daemon threads (adb streams, FTP bridges) may
    # still be winding down: leave without the interpreter's own shutdown,
    # which would race them for stderr and abort.
    log.silence()
    for stream in (sys.stdout, sys.stderr):
        try:
            stream.flush()
        except (OSError, ValueError):
            pass
    os._exit(status or 0)


if __name__ == "__main__":
    run()

"""The device side of the adb transport protocol over one TCP connection.

The host's adb server connects (after `adb connect 127.0.0.1:<port>`) and
sends CNXN; this side answers CNXN at once (no AUTH) and then serves the
streams the host OPENs. Each message is a 24-byte little-endian header
(command, arg0, arg1, data length, data checksum, magic = command ^ ~0)
followed by the payload.

Threading: one reader thread per connection (`DeviceConnection.run`), one
service thread per open stream. `DeviceConnection._send_lock` serialises
every write to the socket; `DeviceConnection._streams_lock` guards the
stream table. A stream's own condition guards its write window.
"""

import queue
import socket
import struct
import threading

from . import log

A_SYNC = 0x434E5953
A_CNXN = 0x4E584E43
A_OPEN = 0x4E45504F
A_OKAY = 0x59414B4F
A_CLSE = 0x45534C43
A_WRTE = 0x45545257
A_AUTH = 0x48545541

A_VERSION_MIN = 0x01000000
A_VERSION_SKIP_CHECKSUM = 0x01000001
DEVICE_VERSION = A_VERSION_SKIP_CHECKSUM
DEVICE_MAX_PAYLOAD = 256 * 1024
HOST_MAX_PAYLOAD_LIMIT = 1024 * 1024

COMMAND_NAMES = {A_SYNC: "SYNC", A_CNXN: "CNXN", A_OPEN: "OPEN", A_OKAY: "OKAY",
                 A_CLSE: "CLSE", A_WRTE: "WRTE", A_AUTH: "AUTH"}

HEADER = struct.Struct("<6I")


class ProtocolError(Exception):
    pass


def checksum(payload):
    """The sum of the payload bytes, as adb computes data_check."""
    return sum(payload) & 0xFFFFFFFF


def encode_message(command, arg0, arg1, payload=b""):
    return HEADER.pack(command, arg0, arg1, len(payload), checksum(payload),
                       command ^ 0xFFFFFFFF) + payload


def parse_header(raw):
    """Returns (command, arg0, arg1, length, check) or raises ProtocolError."""
    if len(raw) != HEADER.size:
        raise ProtocolError("short header")
    command, arg0, arg1, length, check, magic = HEADER.unpack(raw)
    if command not in COMMAND_NAMES:
        raise ProtocolError("unknown command 0x%08x" % command)
    if magic != command ^ 0xFFFFFFFF:
        raise ProtocolError("bad magic for %s" % COMMAND_NAMES[command])
    return command, arg0, arg1, length, check


def _recv_exactly(sock, count):
    chunks = []
    while count > 0:
        chunk = sock.recv(count)
        if not chunk:
            return None
        chunks.append(chunk)
        count -= len(chunk)
    return b"".join(chunks)


class Stream:
    """One adb stream as a service sees it: blocking read and write."""

    def __init__(self, conn, local_id, remote_id, service):
        self.conn = conn
        self.local_id = local_id
        self.remote_id = remote_id
        self.service = service
        self._incoming = queue.Queue()
        # Guards _awaiting_okay and _closed; writers wait on it for OKAY.
        self._cond = threading.Condition()
        self._awaiting_okay = False
        self._closed = False
        self.peer_closed = threading.Event()

    # Called by the connection's reader thread.
    def _deliver(self, data):
        self._incoming.put(data)

    def _okay(self):
        with self._cond:
            self._awaiting_okay = False
            self._cond.notify_all()

    def _peer_close(self):
        self.peer_closed.set()
        self._incoming.put(None)
        with self._cond:
            self._closed = True
            self._cond.notify_all()

    # Called by the service thread.
    def read(self, timeout=None):
        """Next chunk written by the host; b"" once the host closed; None on time-out."""
        try:
            data = self._incoming.get(timeout=timeout)
        except queue.Empty:
            return None
        if data is None:
            self._incoming.put(None)
            return b""
        return data

    def write(self, data, piece=None):
        """Sends data in WRTE packets, waiting for the host's OKAY after each.

        Returns False when the stream closed first."""
        step = min(self.conn.max_payload, piece or self.conn.max_payload)
        view = memoryview(bytes(data))
        for start in range(0, len(view), step):
            with self._cond:
                while self._awaiting_okay and not self._closed:
                    if not self._cond.wait(timeout=30):
                        log.error("adb", "no OKAY from host for stream %d" % self.local_id)
                        return False
                if self._closed:
                    return False
                self._awaiting_okay = True
            if not self.conn.send(A_WRTE, self.local_id, self.remote_id,
                                  bytes(view[start:start + step])):
                return False
        return True

    def close(self):
        with self._cond:
            if self._closed:
                already = True
            else:
                already = False
                self._closed = True
                self._cond.notify_all()
        self._incoming.put(None)   # wakes a reader of this stream
        if not already:
            self.conn.send(A_CLSE, self.local_id, self.remote_id)
        self.conn._forget(self.local_id)


class DeviceConnection:
    """Serves one host connection: handshake, then streams."""

    def __init__(self, sock, device):
        self.sock = sock
        self.device = device
        self.version = A_VERSION_MIN
        self.max_payload = 4096
        self.connected = False
        self._send_lock = threading.Lock()
        self._streams_lock = threading.Lock()
        self._streams = {}
        self._next_id = 1
        self._alive = True

    def send(self, command, arg0, arg1, payload=b""):
        try:
            with self._send_lock:
                self.sock.sendall(encode_message(command, arg0, arg1, payload))
            return True
        except OSError:
            return False

    def shutdown(self):
        """Drops the connection (the host sees the device vanish)."""
        self._alive = False
        try:
            self.sock.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def _forget(self, local_id):
        with self._streams_lock:
            self._streams.pop(local_id, None)

    def run(self):
        try:
            while self._alive:
                raw = _recv_exactly(self.sock, HEADER.size)
                if raw is None:
                    break
                command, arg0, arg1, length, check = parse_header(raw)
                limit = HOST_MAX_PAYLOAD_LIMIT if not self.connected else DEVICE_MAX_PAYLOAD
                if length > limit:
                    raise ProtocolError("payload of %d bytes exceeds %d" % (length, limit))
                payload = _recv_exactly(self.sock, length) if length else b""
                if payload is None:
                    break
                if self.version < A_VERSION_SKIP_CHECKSUM or command == A_CNXN:
                    if check != checksum(payload) and not (command == A_CNXN and check == 0):
                        raise ProtocolError("bad checksum on %s" % COMMAND_NAMES[command])
                self._handle(command, arg0, arg1, payload)
        except ProtocolError as err:
            log.error("adb", "transport: %s" % err)
        except OSError:
            pass
        finally:
            self._alive = False
            with self._streams_lock:
                streams = list(self._streams.values())
                self._streams.clear()
            for stream in streams:
                stream._peer_close()
            try:
                self.sock.close()
            except OSError:
                pass
            self.device.connection_ended(self)

    def _handle(self, command, arg0, arg1, payload):
        if command == A_CNXN:
            self._handshake(arg0, arg1, payload)
            return
        if not self.connected:
            raise ProtocolError("%s before CNXN" % COMMAND_NAMES[command])
        if command == A_OPEN:
            self._open(arg0, payload)
        elif command == A_OKAY:
            stream = self._find(arg1)
            if stream is not None:
                stream._okay()
        elif command == A_WRTE:
            stream = self._find(arg1)
            if stream is None:
                # Stream already gone: tell the host so it stops writing.
                self.send(A_CLSE, 0, arg0)
                return
            stream._deliver(payload)
            self.send(A_OKAY, stream.local_id, stream.remote_id)
        elif command == A_CLSE:
            stream = self._find(arg1)
            if stream is not None:
                self._forget(arg1)
                stream._peer_close()
        else:
            raise ProtocolError("unexpected %s" % COMMAND_NAMES[command])

    def _handshake(self, version, max_payload, payload):
        if not payload.startswith(b"host:"):
            raise ProtocolError("CNXN banner %r is not a host banner" % payload[:40])
        if version < A_VERSION_MIN:
            raise ProtocolError("host protocol version 0x%08x" % version)
        self.device.wait_online(self)
        if not self._alive:
            return
        self.version = min(version, DEVICE_VERSION)
        self.max_payload = min(max_payload, DEVICE_MAX_PAYLOAD)
        self.connected = True
        self.send(A_CNXN, self.version, self.max_payload, self.device.banner())
        log.info("adb", "host connected (version 0x%08x, max payload %d)"
                 % (self.version, self.max_payload))

    def _find(self, local_id):
        with self._streams_lock:
            return self._streams.get(local_id)

    def _open(self, remote_id, payload):
        if remote_id == 0:
            raise ProtocolError("OPEN with remote id 0")
        name = payload.rstrip(b"\0").decode("utf-8", "replace")
        handler = self.device.service_for(name)
        if handler is None:
            self.send(A_CLSE, 0, remote_id)
            return
        with self._streams_lock:
            local_id = self._next_id
            self._next_id += 1
            stream = Stream(self, local_id, remote_id, name)
            self._streams[local_id] = stream
        self.send(A_OKAY, local_id, remote_id)

        def serve():
            try:
                handler(stream)
            except Exception as err:  # a service fault must not kill the device
                log.error("adb", "service %r failed: %r" % (name, err))
            finally:
                stream.close()

        threading.Thread(target=serve, name="svc-" + name[:20], daemon=True).start()


class DeviceListener:
    """Accepts host connections on a loopback port."""

    def __init__(self, device, port=0):
        self.device = device
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", port))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self._thread = threading.Thread(target=self._accept, name="adb-listen", daemon=True)

    def start(self):
        self._thread.start()

    def _accept(self):
        while True:
            try:
                sock, _ = self.sock.accept()
            except OSError:
                return
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            conn = DeviceConnection(sock, self.device)
            self.device.connection_started(conn)
            threading.Thread(target=conn.run, name="adb-conn", daemon=True).start()

    def close(self):
        try:
            self.sock.close()
        except OSError:
            pass

"""The `sync:` service (file transfer; `adb install` pushes the package with it).

Requests are an id of four letters, a 32-bit little-endian length and that
many bytes (a path). Supported: STAT (v1 reply), LIST, SEND (followed by
DATA chunks and DONE <mtime>), RECV, QUIT. The banner offers no `stat_v2`,
so a STA2/LST2 request is a protocol error.
"""

import os
import stat
import struct

from . import log
from .fixture import PathError

SYNC_DATA_MAX = 64 * 1024


class StreamReader:
    """Exact reads over a Stream's chunks."""

    def __init__(self, stream):
        self.stream = stream
        self.buffer = b""

    def read(self, count):
        while len(self.buffer) < count:
            chunk = self.stream.read(timeout=60)
            if not chunk:
                return None
            self.buffer += chunk
        data, self.buffer = self.buffer[:count], self.buffer[count:]
        return data


def _fail(stream, text):
    data = text.encode("utf-8")
    stream.write(b"FAIL" + struct.pack("<I", len(data)) + data)


class SyncService:
    def __init__(self, phone, faults):
        self.phone = phone
        self.faults = faults

    def serve(self, stream):
        reader = StreamReader(stream)
        while True:
            head = reader.read(8)
            if head is None:
                return
            ident, length = head[:4], struct.unpack("<I", head[4:])[0]
            if ident == b"QUIT":
                return
            if ident not in (b"STAT", b"LIST", b"SEND", b"RECV"):
                log.error("sync", "unsupported request %r" % ident)
                _fail(stream, "unknown sync request")
                return
            if length > 1024:
                log.error("sync", "%s path of %d bytes" % (ident.decode(), length))
                return
            arg = reader.read(length)
            if arg is None:
                return
            path = arg.decode("utf-8", "replace")
            log.info("sync", "%s %s" % (ident.decode(), path))
            if ident == b"STAT":
                self._stat(stream, path)
            elif ident == b"LIST":
                self._list(stream, path)
            elif ident == b"RECV":
                self._recv(stream, path)
            elif not self._send(stream, reader, path):
                return

    def _host(self, path):
        try:
            return self.phone.host_path(path)
        except PathError:
            return None

    def _stat(self, stream, path):
        host = self._host(path)
        try:
            st = os.stat(host)
            reply = struct.pack("<III", st.st_mode, st.st_size & 0xFFFFFFFF, int(st.st_mtime))
        except (OSError, TypeError):
            reply = struct.pack("<III", 0, 0, 0)
        stream.write(b"STAT" + reply)

    def _list(self, stream, path):
        host = self._host(path)
        out = b""
        if host and os.path.isdir(host):
            for name in sorted(os.listdir(host)):
                st = os.lstat(os.path.join(host, name))
                raw = name.encode("utf-8")
                out += b"DENT" + struct.pack("<IIII", st.st_mode, st.st_size & 0xFFFFFFFF,
                                             int(st.st_mtime), len(raw)) + raw
        stream.write(out + b"DONE" + struct.pack("<IIII", 0, 0, 0, 0))

    def _recv(self, stream, path):
        host = self._host(path)
        if not host or not os.path.isfile(host):
            _fail(stream, "No such file or directory")
            return
        with open(host, "rb") as f:
            while True:
                data = f.read(SYNC_DATA_MAX)
                if not data:
                    break
                stream.write(b"DATA" + struct.pack("<I", len(data)) + data)
        stream.write(b"DONE" + struct.pack("<I", 0))

    def _send(self, stream, reader, spec):
        path, _, mode_text = spec.rpartition(",")
        if not path or not mode_text.isdigit():
            log.error("sync", "SEND argument %r lacks ',<mode>'" % spec)
            _fail(stream, "bad SEND argument")
            return False
        chunks = []
        while True:
            head = reader.read(8)
            if head is None:
                return False
            ident, length = head[:4], struct.unpack("<I", head[4:])[0]
            if ident == b"DONE":
                mtime = length
                break
            if ident != b"DATA" or length > SYNC_DATA_MAX:
                log.error("sync", "SEND: unexpected %r of %d bytes" % (ident, length))
                _fail(stream, "invalid data message")
                return False
            data = reader.read(length)
            if data is None:
                return False
            chunks.append(data)
        if self.faults.install_failure() == "NO_SPACE":
            _fail(stream, "No space left on device")
            return True
        host = self._host(path)
        if host is None:
            _fail(stream, "bad path")
            return True
        try:
            os.makedirs(os.path.dirname(host), exist_ok=True)
            with open(host, "wb") as f:
                for data in chunks:
                    f.write(data)
            os.chmod(host, stat.S_IMODE(int(mode_text)) or 0o644)
            os.utime(host, (mtime, mtime))
        except OSError as err:
            _fail(stream, str(err))
            return True
        stream.write(b"OKAY" + struct.pack("<I", 0))
        return True

"""The `framebuffer:` service: a version-1 header and the pixels of a fixed
picture.

Header (13 little-endian 32-bit words): version 1, bpp 32, size, width,
height, red offset 0 / length 8, blue offset 16 / length 8, green offset 8 /
length 8, alpha offset 24 / length 8 (wire order: red, blue, green, alpha).
Pixels are RGBA bytes, rows from the top; pixel (x, y) is
  R = x * 255 // (WIDTH - 1), G = y * 255 // (HEIGHT - 1), B = 0x80, A = 0xFF.

After the header the service waits up to one second for the client's nudge,
the 256 zero bytes the program sends, then sends the pixels and closes, so a
client that nudges never writes to a closed stream. A nudge that is late,
short, longer or not all zero is logged as a protocol error (the pixels
still follow).
"""

import struct
import time

from . import log

WIDTH = 320
HEIGHT = 480
BPP = 32
NUDGE_WAIT_SECONDS = 1.0
NUDGE = b"\0" * 256


def header():
    return struct.pack("<13I", 1, BPP, WIDTH * HEIGHT * 4, WIDTH, HEIGHT,
                       0, 8, 16, 8, 8, 8, 24, 8)


def pixels():
    out = bytearray(WIDTH * HEIGHT * 4)
    row = bytearray()
    for x in range(WIDTH):
        row += bytes((x * 255 // (WIDTH - 1), 0, 0x80, 0xFF))
    for y in range(HEIGHT):
        g = y * 255 // (HEIGHT - 1)
        line = bytearray(row)
        line[1::4] = bytes([g]) * WIDTH
        out[y * WIDTH * 4:(y + 1) * WIDTH * 4] = line
    return bytes(out)


_PIXELS = None


def serve(stream):
    global _PIXELS
    if _PIXELS is None:
        _PIXELS = pixels()
    if not stream.write(header()):
        return
    nudge = _read_nudge(stream)
    if nudge != NUDGE:
        log.error("framebuffer", "expected %d zero bytes after the header, got %d: %r"
                  % (len(NUDGE), len(nudge), nudge[:32]))
    stream.write(_PIXELS)


def _read_nudge(stream):
    """What the client sends within the wait, up to one byte past a whole nudge."""
    got = b""
    deadline = time.monotonic() + NUDGE_WAIT_SECONDS
    while len(got) <= len(NUDGE):
        left = deadline - time.monotonic()
        if len(got) == len(NUDGE):
            left = min(left, 0.05)   # a longer nudge shows at once
        if left <= 0:
            break
        chunk = stream.read(timeout=left)
        if not chunk:   # time-out (None) or the client closed (b"")
            break
        got += chunk
    return got

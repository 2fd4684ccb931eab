"""The `framebuffer:` service: a version-1 header and the pixels of a fixed
picture.

Header (13 little-endian 32-bit words): version 1, bpp 32, size, width,
height, red offset 0 / length 8, blue offset 16 / length 8, green offset 8 /
length 8, alpha offset 24 / length 8 (wire order: red, blue, green, alpha).
Pixels are RGBA bytes, rows from the top; pixel (x, y) is
  R = x * 255 // (WIDTH - 1), G = y * 255 // (HEIGHT - 1), B = 0x80, A = 0xFF.

After the header the service waits up to one second for the client's nudge
(any bytes; the program sends 256 zero bytes), then sends the pixels and
closes, so a client that nudges never writes to a closed stream.
"""

import struct

WIDTH = 320
HEIGHT = 480
BPP = 32
NUDGE_WAIT_SECONDS = 1.0


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
    stream.read(timeout=NUDGE_WAIT_SECONDS)
    stream.write(_PIXELS)

"""Small image writers for the fixture: PNG (any pixels) and a baseline JPEG
made of flat 8x8 blocks (only DC coefficients, which keeps the encoder tiny
while producing a file every JPEG decoder reads)."""

import struct
import zlib


def png_bytes(width, height, pixel):
    """PNG (8-bit RGB) of pixel(x, y) -> (r, g, b)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(rows), 9))
            + chunk(b"IEND", b""))


def image_size(data):
    """(width, height) of PNG or JPEG bytes, (0, 0) when neither."""
    if data[:8] == b"\x89PNG\r\n\x1a\n" and len(data) >= 24:
        return struct.unpack(">II", data[16:24])
    if data[:2] == b"\xff\xd8":
        pos = 2
        while pos + 4 <= len(data):
            if data[pos] != 0xFF:
                break
            marker = data[pos + 1]
            length = struct.unpack(">H", data[pos + 2:pos + 4])[0]
            if marker in (0xC0, 0xC1, 0xC2) and pos + 9 <= len(data):
                height, width = struct.unpack(">HH", data[pos + 5:pos + 9])
                return width, height
            pos += 2 + length
    return 0, 0


# Standard luminance DC table (code lengths 1..16, then the symbols).
_DC_BITS = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
_DC_VALS = list(range(12))
# AC table with the end-of-block symbol only: every block is flat.
_AC_BITS = [1] + [0] * 15
_AC_VALS = [0]


def _huffman_codes(bits, vals):
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[vals[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


class _BitWriter:
    def __init__(self):
        self.out = bytearray()
        self.acc = 0
        self.n = 0

    def put(self, value, length):
        for i in range(length - 1, -1, -1):
            self.acc = (self.acc << 1) | ((value >> i) & 1)
            self.n += 1
            if self.n == 8:
                self.out.append(self.acc)
                if self.acc == 0xFF:
                    self.out.append(0)
                self.acc, self.n = 0, 0

    def flush(self):
        while self.n:
            self.put(1, 1)


def jpeg_bytes(width, height, block_colour):
    """Baseline JPEG; width and height are multiples of 8; block_colour(bx, by)
    gives the (r, g, b) of the 8x8 block in block column bx and row by."""
    dc_codes = _huffman_codes(_DC_BITS, _DC_VALS)
    ac_codes = _huffman_codes(_AC_BITS, _AC_VALS)
    writer = _BitWriter()
    previous = [0, 0, 0]
    for by in range(height // 8):
        for bx in range(width // 8):
            r, g, b = block_colour(bx, by)
            ycc = (0.299 * r + 0.587 * g + 0.114 * b,
                   128 - 0.168736 * r - 0.331264 * g + 0.5 * b,
                   128 + 0.5 * r - 0.418688 * g - 0.081312 * b)
            for c in range(3):
                # A flat block's DC coefficient is 8 * (v - 128); the
                # quantiser of 8 leaves v - 128.
                dc = max(-128, min(127, int(round(ycc[c])) - 128))
                diff = dc - previous[c]
                previous[c] = dc
                size = abs(diff).bit_length()
                code, length = dc_codes[size]
                writer.put(code, length)
                if size:
                    writer.put(diff if diff >= 0 else diff + (1 << size) - 1, size)
                code, length = ac_codes[0]
                writer.put(code, length)
    writer.flush()

    def segment(marker, body):
        return struct.pack(">BBH", 0xFF, marker, len(body) + 2) + body

    return (b"\xff\xd8"
            + segment(0xE0, b"JFIF\0\x01\x01\0\0\x01\0\x01\0\0")
            + segment(0xDB, b"\x00" + bytes([8] * 64))
            + segment(0xC0, struct.pack(">BHHB", 8, height, width, 3)
                      + b"\x01\x11\x00\x02\x11\x00\x03\x11\x00")
            + segment(0xC4, b"\x00" + bytes(_DC_BITS) + bytes(_DC_VALS))
            + segment(0xC4, b"\x10" + bytes(_AC_BITS) + bytes(_AC_VALS))
            + segment(0xDA, b"\x03\x01\x00\x02\x00\x03\x00\x00\x3f\x00")
            + bytes(writer.out)
            + b"\xff\xd9")

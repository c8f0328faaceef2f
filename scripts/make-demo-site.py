#!/usr/bin/env python3
"""Writes the pictures of the demo site (resources/demo-site/pics): GIF and
BMP files drawn here, in pure Python, so the demo needs nothing from outside.
The JPEG pictures come from make_demo_jpegs.cpp (Qt's JPEG writer)."""
import math
import os
import struct
import sys

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources", "demo-site", "pics")


def pattern(kind, w, h):
    """Yields rows of palette indices 0..255 for a few simple drawings."""
    for y in range(h):
        row = []
        for x in range(w):
            if kind == "sun":
                d = math.hypot(x - w / 2, y - h / 2)
                v = 250 if d < w / 5 else (200 if int(d) % 8 < 3 else 60 + y)
            elif kind == "waves":
                v = int(128 + 100 * math.sin(x / 6.0 + 3 * math.sin(y / 9.0)))
            elif kind == "checks":
                v = 230 if ((x // 8) + (y // 8)) % 2 else 30 + x
            else:
                v = (x * 3 + y * 5) % 256
            row.append(max(0, min(255, v)))
        yield row


def palette(kind):
    pal = []
    for i in range(256):
        if kind == "sun":
            pal.append((min(255, i + 40), int(i * 0.8), max(0, 120 - i // 2)))
        elif kind == "waves":
            pal.append((i // 4, i // 2 + 40, min(255, i + 60)))
        else:
            pal.append((i, (i * 7) % 256, 255 - i))
    return pal


def write_gif(path, kind, w, h):
    # An LZW stream that never grows its code size: 9-bit codes, a clear code
    # before the table would need a tenth bit. Simple, valid, not small.
    data = [v for row in pattern(kind, w, h) for v in row]
    codes, run = [256], 0
    for v in data:
        if run == 254:
            codes.append(256)
            run = 0
        codes.append(v)
        run += 1
    codes.append(257)
    bits, nbits, out = 0, 0, bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += 9
        while nbits >= 8:
            out.append(bits & 255)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 255)
    gif = bytearray(b"GIF89a" + struct.pack("<HHBBB", w, h, 0xF7, 0, 0))
    for r, g, b in palette(kind):
        gif += bytes((r, g, b))
    gif += b"," + struct.pack("<HHHHB", 0, 0, w, h, 0) + bytes((8,))
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        gif += bytes((len(chunk),)) + chunk
    gif += b"\x00;"
    with open(path, "wb") as f:
        f.write(gif)


def write_bmp(path, kind, w, h):
    pal = palette(kind)
    rows = list(pattern(kind, w, h))
    stride = (w * 3 + 3) & ~3
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray()
        for v in row:
            r, g, b = pal[v]
            line += bytes((b, g, r))
        pixels += line + b"\x00" * (stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


def main():
    os.makedirs(OUT, exist_ok=True)
    write_gif(os.path.join(OUT, "sunrise.gif"), "sun", 96, 72)
    write_gif(os.path.join(OUT, "sea.gif"), "waves", 96, 72)
    write_gif(os.path.join(OUT, "tiles.gif"), "checks", 64, 64)
    write_bmp(os.path.join(OUT, "harbour.bmp"), "waves", 48, 36)
    write_bmp(os.path.join(OUT, "mosaic.bmp"), "checks", 40, 40)
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes the PNG images of the skinned-control tests (run from this folder).

grid.png   20 x 12, pixel (x, y) = RGB(10x, 20y, 100): every pixel differs,
           so a shifted copy is seen as such.
grey.png   20 x 12, RGB(128, 128, 128): the mid-grey of the brightening check.
red.png, green.png, blue.png, yellow.png, cyan.png
           20 x 12 solid faces, one per button state.
"""
import struct
import zlib

WIDTH, HEIGHT = 20, 12


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def write_png(name, pixel):
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(WIDTH)) for y in range(HEIGHT))
    header = struct.pack(">IIBBBBB", WIDTH, HEIGHT, 8, 2, 0, 0, 0)  # 8-bit RGB
    with open(name, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9))
                + chunk(b"IEND", b""))


write_png("grid.png", lambda x, y: (10 * x, 20 * y, 100))
write_png("grey.png", lambda x, y: (128, 128, 128))
for name, color in [("red", (200, 0, 0)), ("green", (0, 200, 0)), ("blue", (0, 0, 200)),
                    ("yellow", (200, 200, 0)), ("cyan", (0, 200, 200))]:
    write_png(name + ".png", lambda x, y, color=color: color)

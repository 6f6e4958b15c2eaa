#!/usr/bin/env python3
"""Writes tarvenix.ico (16, 32 and 48 pixels, 32-bit colour with alpha) from
the drawing of the program icon that src/app/qt/resources/make_icon.py holds,
so both programs show the same icon:
    python3 make_ico.py
Only the standard library is used. The images are stored as plain DIBs
(BITMAPINFOHEADER, bottom-up rows, AND mask), which every Windows version and
wine reads.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "qt", "resources"))
import make_icon  # noqa: E402


def rgba_rows(size):
    raw = make_icon.render(size)
    stride = 1 + 4 * size  # each PNG row starts with its filter byte
    return [raw[y * stride + 1:(y + 1) * stride] for y in range(size)]


def dib(size):
    rows = rgba_rows(size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    for row in reversed(rows):
        for x in range(size):
            r, g, b, a = row[4 * x:4 * x + 4]
            pixels += bytes([b, g, r, a])
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(rows):
        bits = bytearray(mask_stride)
        for x in range(size):
            if row[4 * x + 3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + bytes(pixels) + bytes(mask)


def main():
    sizes = (16, 32, 48)
    images = [dib(s) for s in sizes]
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(image), offset)
        offset += len(image)
    out += b"".join(images)
    with open(os.path.join(HERE, "tarvenix.ico"), "wb") as f:
        f.write(out)


if __name__ == "__main__":
    main()

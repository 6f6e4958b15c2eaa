#!/usr/bin/env python3
"""Draws the program icon (a folder with a copy arrow) as 32x32 and 64x64 PNGs.

Only the standard library is used, so the images can be redrawn anywhere:
    python3 make_icon.py
writes tarvenix-32.png and tarvenix-64.png beside this script;
    python3 make_icon.py FOLDER
writes the icon theme's sizes into FOLDER (for the Debian package). The shapes are
described on a 64-unit grid and sampled 4x4 per pixel for smooth edges.
"""

import os
import struct
import sys
import zlib

BACKGROUND = (28, 78, 160)
FOLDER_BACK = (226, 176, 48)
FOLDER_FRONT = (250, 208, 90)
ARROW = (40, 170, 70)
OUTLINE = (255, 255, 255)


def rounded_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def arrow(x, y):
    # A right-pointing arrow: shaft and triangular head.
    if 30 <= x <= 44 and 40 <= y <= 48:
        return True
    if 43 <= x <= 56:
        half = (56 - x) * 0.85
        return abs(y - 44) <= half
    return False


def colour_at(x, y):
    """Colour of one point of the 64-unit design, or None for transparent."""
    if arrow(x, y):
        return ARROW
    # A white rim lifts the arrow off the folder.
    if arrow(x + 2, y) or arrow(x - 2, y) or arrow(x, y + 2) or arrow(x, y - 2):
        return OUTLINE
    if rounded_rect(x, y, 10, 22, 50, 50, 3):
        return FOLDER_FRONT
    if rounded_rect(x, y, 10, 16, 28, 26, 3) or rounded_rect(x, y, 10, 19, 50, 30, 3):
        return FOLDER_BACK
    if rounded_rect(x, y, 2, 2, 62, 62, 10):
        return BACKGROUND
    return None


def render(size):
    rows = []
    samples = 4
    scale = 64.0 / size
    for py in range(size):
        row = bytearray([0])  # filter type: none
        for px in range(size):
            r = g = b = a = 0
            for sy in range(samples):
                for sx in range(samples):
                    x = (px + (sx + 0.5) / samples) * scale
                    y = (py + (sy + 0.5) / samples) * scale
                    c = colour_at(x, y)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        a += 255
            n = samples * samples
            covered = a // 255
            if covered:
                row += bytes([r // covered, g // covered, b // covered, a // n])
            else:
                row += bytes([0, 0, 0, 0])
        rows.append(bytes(row))
    return b"".join(rows)


def png(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(pixels, 9)) + chunk(b"IEND", b""))


# The sizes a desktop's icon theme asks for (the hicolor theme's folders).
HICOLOR_SIZES = (16, 24, 32, 48, 64, 128, 256)


def main():
    """No argument: the two sizes the program carries, beside this script.
    A folder: every size of HICOLOR_SIZES as FOLDER/NxN/apps/tarvenix.png."""
    if len(sys.argv) > 1:
        for size in HICOLOR_SIZES:
            folder = os.path.join(sys.argv[1], "%dx%d" % (size, size), "apps")
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "tarvenix.png"), "wb") as f:
                f.write(png(size, render(size)))
        return
    here = os.path.dirname(os.path.abspath(__file__))
    for size in (32, 64):
        with open(os.path.join(here, "tarvenix-%d.png" % size), "wb") as f:
            f.write(png(size, render(size)))


if __name__ == "__main__":
    main()

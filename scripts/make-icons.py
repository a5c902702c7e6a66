#!/usr/bin/env python3
"""Renders the program's icon into the PNG sizes of the hicolor icon theme (packaging/icons/NxN.png).

The icon is packaging/icons/org.tavlo.Tavlo.svg: a blue rounded square with a white "T". Its few shapes
are drawn here with the same coordinates (on the 256-unit canvas of the SVG), 8x8 samples per pixel,
so no SVG renderer is needed. Run it again only after changing the icon; the PNGs are committed and the
program carries them as its window icon."""
import os
import struct
import zlib

HERE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "packaging", "icons")
BLUE, EDGE, WHITE = (0x1F, 0x5F, 0xA8), (0x17, 0x4A, 0x84), (0xFF, 0xFF, 0xFF)
SIZES = (16, 24, 32, 48, 64, 128, 256)
SAMPLES = 8


def in_rounded(x, y, left, top, right, bottom, radius):
    if not (left <= x <= right and top <= y <= bottom):
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def colour_at(x, y):
    """The colour of the icon at (x, y) in SVG units, or None outside it."""
    # The "T": path M56 52 H200 V98 H151 V208 H105 V98 H56 Z
    if (56 <= x <= 200 and 52 <= y <= 98) or (105 <= x <= 151 and 98 <= y <= 208):
        return WHITE
    # The square (x 8..248, corner radius 48) with its 4-unit border centred on the edge.
    if in_rounded(x, y, 10, 10, 246, 246, 46):
        return BLUE
    if in_rounded(x, y, 6, 6, 250, 250, 50):
        return EDGE
    return None


def render(size):
    scale = 256.0 / size
    rows = []
    for py in range(size):
        row = bytearray([0])  # filter: none
        for px in range(size):
            r = g = b = a = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = colour_at((px + (sx + 0.5) / SAMPLES) * scale, (py + (sy + 0.5) / SAMPLES) * scale)
                    if c:
                        r, g, b, a = r + c[0], g + c[1], b + c[2], a + 1
            n = SAMPLES * SAMPLES
            row += bytes([r // a, g // a, b // a, 255 * a // n]) if a else bytes(4)
        rows.append(bytes(row))
    return png(size, b"".join(rows))


def png(size, raw):
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)  # 8-bit RGBA
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def main():
    for size in SIZES:
        with open(os.path.join(HERE, f"{size}x{size}.png"), "wb") as out:
            out.write(render(size))


if __name__ == "__main__":
    main()

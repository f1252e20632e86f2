#!/usr/bin/env python3
"""Draws the About picture, resources/icon.png: a 128x128 tile with eight channel meters, a sound wave and "SPC".

Pure Python (zlib and struct only), so it runs anywhere: python3 scripts/make_icon.py [output.png]
The About window draws white as transparent, so the picture keeps pure white for the corners outside the tile.
"""
import math
import struct
import sys
import zlib

SIZE = 128
SCALE = 4  # supersampling for smooth edges
BIG = SIZE * SCALE

# 5x7 letters for the caption.
FONT = {
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "C": ["01111", "10000", "10000", "10000", "10000", "10000", "01111"],
}


def inside_rounded(x, y, left, top, right, bottom, radius):
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def sample(x, y):
    """Colour of one point of the picture, in picture pixels (floats)."""
    white = (255.0, 255.0, 255.0)
    if not inside_rounded(x, y, 4, 4, 124, 124, 18):
        return white
    # Night-blue to violet background.
    colour = mix((24.0, 34.0, 86.0), (92.0, 40.0, 120.0), (x + y) / 256.0)
    # Eight channel meters.
    heights = [34, 52, 44, 62, 28, 48, 58, 38]
    for i, h in enumerate(heights):
        left = 16 + i * 12.5
        if left <= x <= left + 8 and 86 - h <= y <= 86:
            t = (86 - y) / 62.0
            colour = mix((60.0, 200.0, 160.0), (250.0, 210.0, 70.0), t)
    # A sound wave across the meters.
    wave = 52 + 16 * math.sin((x - 12) / 104.0 * 2 * math.pi * 1.5) * math.exp(-((x - 64) / 70.0) ** 2)
    if 12 <= x <= 116 and abs(y - wave) <= 2.2:
        colour = (250.0, 244.0, 236.0)
    # The caption "SPC", cell size 3 pixels, centred at the bottom.
    cell = 3.0
    text_left = 64 - (3 * 5 + 2 * 2) * cell / 2
    for n, letter in enumerate("SPC"):
        glyph = FONT[letter]
        gx = (x - (text_left + n * 7 * cell)) / cell
        gy = (y - 95) / cell
        if 0 <= gx < 5 and 0 <= gy < 7 and glyph[int(gy)][int(gx)] == "1":
            colour = (250.0, 244.0, 236.0)
    return colour


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter: none
        for px in range(SIZE):
            total = [0.0, 0.0, 0.0]
            for sy in range(SCALE):
                for sx in range(SCALE):
                    c = sample(px + (sx + 0.5) / SCALE, py + (sy + 0.5) / SCALE)
                    for i in range(3):
                        total[i] += c[i]
            row += bytes(int(round(v / (SCALE * SCALE))) for v in total)
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "resources/icon.png"
    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 2, 0, 0, 0)  # 8-bit RGB
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(render(), 9)) + chunk(b"IEND", b"")
    with open(out, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    main()

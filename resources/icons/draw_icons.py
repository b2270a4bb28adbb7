#!/usr/bin/env python3
"""Draws the program's icons: a sheet holding a small boxed table with a teal title row.

Writes big.ico (32x32) and small.ico (16x16), 32-bit colour with an AND mask.
Run it again after changing the drawing; the .ico files are kept in the repository.
"""
import struct
import sys
from pathlib import Path

TEAL = (0, 128, 128, 255)
INK = (40, 40, 60, 255)
PAPER = (255, 255, 255, 255)
SHADE = (200, 205, 215, 255)
CLEAR = (0, 0, 0, 0)
RED = (200, 30, 30, 255)


def draw(size):
    """Returns rows of RGBA pixels, top row first."""
    px = [[CLEAR] * size for _ in range(size)]
    s = size / 32.0
    left, right = round(3 * s), round(28 * s)
    top, bottom = round(2 * s), round(29 * s)
    for y in range(top, bottom + 1):
        for x in range(left, right + 1):
            px[y][x] = PAPER
    # Drop shadow on the right and bottom edges of the sheet.
    for y in range(top + 1, bottom + 2):
        if right + 1 < size:
            px[y][right + 1] = SHADE
    for x in range(left + 1, right + 2):
        if bottom + 1 < size and x < size:
            px[bottom + 1][x] = SHADE
    # The table: a frame, a filled title row, three columns and ruled rows.
    t_left, t_right = left + round(2 * s), right - round(2 * s)
    t_top, t_bottom = top + round(3 * s), bottom - round(3 * s)
    title_bottom = t_top + max(2, round(5 * s))
    for y in range(t_top, title_bottom + 1):
        for x in range(t_left, t_right + 1):
            px[y][x] = TEAL
    for x in range(t_left, t_right + 1):
        px[t_top][x] = INK
        px[t_bottom][x] = INK
    for y in range(t_top, t_bottom + 1):
        px[y][t_left] = INK
        px[y][t_right] = INK
    width = t_right - t_left
    for column in (width // 3, 2 * width // 3):
        for y in range(t_top, t_bottom + 1):
            px[y][t_left + column] = INK
    step = max(2, round(4 * s))
    y = title_bottom + step
    while y < t_bottom:
        for x in range(t_left, t_right + 1):
            px[y][x] = INK
        y += step
    # A red mark in the top right corner: the page-width mark of the grid.
    for y in range(top, t_top):
        px[y][right - round(1 * s)] = RED
    return px


def ico(size):
    px = draw(size)
    xor = bytearray()
    for row in reversed(px):
        for r, g, b, a in row:
            xor += bytes((b, g, r, a))
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(px):
        bits = bytearray(mask_stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                        len(image), 6 + 16)
    return directory + entry + image


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent
    (out / "big.ico").write_bytes(ico(32))
    (out / "small.ico").write_bytes(ico(16))


if __name__ == "__main__":
    main()

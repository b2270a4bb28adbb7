#!/usr/bin/env python3
"""Draws the speed bar's eight button pictures as 16-colour BMP files, 20x18 pixels.

Every picture's background is dark cyan (0, 128, 128), the colour the speed bar replaces by the
button face; it is the top-left pixel of each. Run it again after changing a drawing; the .bmp
files are kept in the repository. With --preview FOLDER it also writes an enlarged PNG sheet of
all eight (needs ImageMagick's convert) to look at.
"""
import struct
import subprocess
import sys
from pathlib import Path

WIDTH, HEIGHT = 20, 18

# The standard 16-colour palette, in its usual order.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, FUCHSIA, AQUA, WHITE = range(8, 16)
BACKGROUND = TEAL


class Picture:
    def __init__(self):
        self.px = [[BACKGROUND] * WIDTH for _ in range(HEIGHT)]

    def dot(self, x, y, colour):
        if 0 <= x < WIDTH and 0 <= y < HEIGHT:
            self.px[y][x] = colour

    def fill(self, left, top, right, bottom, colour):
        """Fills left..right, top..bottom inclusive."""
        for y in range(top, bottom + 1):
            for x in range(left, right + 1):
                self.dot(x, y, colour)

    def hline(self, left, right, y, colour):
        self.fill(left, y, right, y, colour)

    def vline(self, x, top, bottom, colour):
        self.fill(x, top, x, bottom, colour)

    def frame(self, left, top, right, bottom, colour):
        self.hline(left, right, top, colour)
        self.hline(left, right, bottom, colour)
        self.vline(left, top, bottom, colour)
        self.vline(right, top, bottom, colour)

    def glyph(self, rows, x, y, colour):
        """Draws a glyph given as strings of '#' and '.'."""
        for dy, row in enumerate(rows):
            for dx, c in enumerate(row):
                if c == "#":
                    self.dot(x + dx, y + dy, colour)


def table_sheet(p, left, top, right, bottom, header=NAVY):
    """A white table with a coloured title row and ruled rows."""
    p.fill(left, top, right, bottom, WHITE)
    p.fill(left, top, right, top + 3, header)
    p.frame(left, top, right, bottom, BLACK)
    for y in range(top + 6, bottom, 3):
        p.hline(left, right, y, GREY)


def visibles():
    """Visible columns: three columns, the middle one hidden (grey), the others ticked."""
    p = Picture()
    for left, shown in ((1, True), (7, False), (13, True)):
        right = left + 5
        p.fill(left, 1, right, 16, WHITE if shown else SILVER)
        p.fill(left, 1, right, 4, NAVY if shown else GREY)
        p.frame(left, 1, right, 16, BLACK if shown else GREY)
        if shown:
            for y in range(7, 16, 3):
                p.hline(left + 1, right - 1, y, GREY)
    # A green tick over each shown column, a red cross over the hidden one.
    tick = [(0, 11), (1, 12), (2, 13), (3, 12), (4, 11), (5, 10)]
    for x0 in (1, 13):
        for dx, y in tick:
            p.dot(x0 + dx, y, GREEN)
            p.dot(x0 + dx, y - 1, GREEN)
    for i in range(5):
        p.dot(8 + i, 9 + i, RED)
        p.dot(12 - i, 9 + i, RED)
    return p


def widths():
    """Natural widths: a double-headed arrow between two column edges."""
    p = Picture()
    p.fill(1, 2, 18, 15, WHITE)
    p.frame(1, 2, 18, 15, BLACK)
    p.vline(3, 3, 14, BLACK)
    p.vline(16, 3, 14, BLACK)
    p.hline(4, 15, 8, RED)
    for i in range(4):
        p.vline(4 + i, 8 - i, 8 + i, RED)
        p.vline(15 - i, 8 - i, 8 + i, RED)
    p.hline(5, 14, 13, GREY)
    return p


def table():
    """Table appearance: a whole ruled table with its title row."""
    p = Picture()
    table_sheet(p, 1, 1, 18, 16)
    for x in (7, 12):
        p.vline(x, 1, 16, BLACK)
    for y in range(6, 16, 3):
        p.hline(1, 18, y, BLACK)
    return p


def column():
    """Column appearance: a table with one column picked out in yellow."""
    p = Picture()
    table_sheet(p, 1, 1, 18, 16, header=GREY)
    p.fill(7, 1, 12, 16, YELLOW)
    p.fill(7, 1, 12, 4, RED)
    for x in (7, 12):
        p.vline(x, 1, 16, BLACK)
    p.frame(1, 1, 18, 16, BLACK)
    # Lines of text in the picked column, aligned differently from the rest.
    for y in (7, 10, 13):
        p.hline(8, 11, y, BLACK)
    return p


LETTER_A = [".##.", "#..#", "#..#", "####", "#..#", "#..#"]
LETTER_Z = ["####", "...#", "..#.", ".#..", "#...", "####"]


def sort():
    """Sort: A above Z beside a downward arrow."""
    p = Picture()
    p.fill(1, 1, 10, 16, WHITE)
    p.frame(1, 1, 10, 16, GREY)
    p.glyph(LETTER_A, 4, 2, NAVY)
    p.glyph(LETTER_Z, 4, 10, NAVY)
    p.vline(14, 1, 14, BLACK)
    p.vline(15, 1, 14, BLACK)
    for i in range(1, 4):
        p.hline(14 - i, 15 + i, 14 - i, BLACK)
    p.hline(14, 15, 15, BLACK)
    return p


def filter_():
    """Filter: a funnel with rows dropping out below."""
    p = Picture()
    for i, y in enumerate(range(1, 8)):
        p.hline(2 + i, 17 - i, y, BLACK)
        if 0 < i < 6 and y > 1:
            p.hline(3 + i, 16 - i, y, YELLOW)
    p.hline(2, 17, 1, BLACK)
    p.fill(8, 8, 11, 13, BLACK)
    p.fill(9, 8, 10, 12, YELLOW)
    p.fill(9, 15, 10, 16, NAVY)
    return p


LETTER_BIG_A = [
    "....##....",
    "....##....",
    "...#..#...",
    "...#..#...",
    "..#....#..",
    "..#....#..",
    "..######..",
    ".#......#.",
    ".#......#.",
    "#........#",
    "##......##",
]


def font():
    """Choose the font: a large A in black with a small a in red."""
    p = Picture()
    p.glyph(LETTER_BIG_A, 1, 3, BLACK)
    p.glyph(LETTER_BIG_A, 2, 3, BLACK)
    small_a = [".##.", "...#", ".###", "#..#", ".###"]
    p.glyph(small_a, 14, 9, RED)
    p.hline(1, 18, 16, NAVY)
    return p


def printer():
    """Print: a printer with a sheet going in and a printed sheet coming out."""
    p = Picture()
    p.fill(5, 1, 14, 6, WHITE)        # paper going in
    p.frame(5, 1, 14, 6, BLACK)
    p.fill(1, 6, 18, 12, SILVER)      # printer body
    p.frame(1, 6, 18, 12, BLACK)
    p.hline(2, 17, 7, WHITE)
    p.dot(16, 9, LIME)
    p.fill(4, 11, 15, 16, WHITE)      # printed sheet
    p.frame(4, 11, 15, 16, BLACK)
    p.hline(6, 13, 13, BLACK)
    p.hline(6, 11, 15, BLACK)
    return p


PICTURES = {
    "visibles.bmp": visibles,
    "widths.bmp": widths,
    "table.bmp": table,
    "column.bmp": column,
    "sort.bmp": sort,
    "filter.bmp": filter_,
    "font.bmp": font,
    "print.bmp": printer,
}


def bmp(picture):
    """A 4-bit bottom-up BMP file of the picture."""
    stride = ((WIDTH * 4 + 31) // 32) * 4
    rows = bytearray()
    for row in reversed(picture.px):
        line = bytearray(stride)
        for x, colour in enumerate(row):
            line[x // 2] |= colour << (4 if x % 2 == 0 else 0)
        rows += line
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 4, 0, len(rows), 2835, 2835, 16, 16)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return header + info + palette + rows


def main():
    args = sys.argv[1:]
    preview = None
    if args[:1] == ["--preview"]:
        preview, args = Path(args[1]), args[2:]
    out = Path(args[0]) if args else Path(__file__).parent
    for name, draw in PICTURES.items():
        (out / name).write_bytes(bmp(draw()))
    if preview:
        files = [str(out / name) for name in PICTURES]
        subprocess.run(["convert", *files, "-scale", "800%", "+append",
                        str(preview / "speed-bar-pictures.png")], check=True)


if __name__ == "__main__":
    main()

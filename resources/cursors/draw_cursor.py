#!/usr/bin/env python3
"""Draws the "MoveColumn" cursor: a table column between a left and a right arrow, 32x32.

The drawing below is the cursor pixel by pixel: '#' black, 'o' white, '.' transparent; the
hot spot is the centre of the column, where the dragged column is dropped. Run it again after
changing the drawing; move_column.cur is kept in the repository. With --preview FILE it also
writes an enlarged PNG of the cursor on grey (needs ImageMagick's convert) to look at.
"""
import struct
import subprocess
import sys
from pathlib import Path

DRAWING = """
................................
................................
................................
................................
............oooooooo............
............o######o............
............o#oooo#o............
............o#oooo#o............
............o######o............
............o#oooo#o............
............o#oooo#o............
.....o......o######o......o.....
....o#o.....o#oooo#o.....o#o....
...o##o.....o#oooo#o.....o##o...
..o###oooooooo####oooooooo###o..
.o############################o.
.o############################o.
..o###oooooooo####oooooooo###o..
...o##o.....o#oooo#o.....o##o...
....o#o.....o#oooo#o.....o#o....
.....o......o######o......o.....
............o#oooo#o............
............o#oooo#o............
............o######o............
............o#oooo#o............
............o#oooo#o............
............o######o............
............oooooooo............
................................
................................
................................
................................
"""
HOT_SPOT = (15, 15)
SIZE = 32


def rows():
    lines = [line for line in DRAWING.strip().splitlines()]
    assert len(lines) == SIZE and all(len(line) == SIZE for line in lines), "the drawing is 32 x 32"
    return lines


def mask_row(bits):
    """One 1-bit row, most significant bit first, padded to 32 bits."""
    value = 0
    for bit in bits:
        value = (value << 1) | bit
    return struct.pack(">I", value)


def cursor_bytes():
    lines = rows()
    # XOR 1 with AND 0 is white, XOR 0 with AND 0 black, AND 1 leaves the screen as it is.
    xor_rows = [mask_row([1 if c == "o" else 0 for c in line]) for line in lines]
    and_rows = [mask_row([1 if c == "." else 0 for c in line]) for line in lines]
    # Bottom-up rows, the colour (XOR) mask first; the header counts both masks in its height.
    image = struct.pack("<IiiHHIIiiII", 40, SIZE, 2 * SIZE, 1, 1, 0, 0, 0, 0, 2, 0)
    image += bytes([0, 0, 0, 0, 255, 255, 255, 0])
    image += b"".join(reversed(xor_rows)) + b"".join(reversed(and_rows))
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, HOT_SPOT[0], HOT_SPOT[1], len(image), 6 + 16)
    return header + entry + image


def preview(path):
    colours = {"#": "black", "o": "white", ".": "gray60"}
    lines = rows()
    args = ["convert", "-size", f"{SIZE}x{SIZE}", "xc:gray60"]
    for y, line in enumerate(lines):
        for x, c in enumerate(line):
            if c != ".":
                args += ["-fill", colours[c], "-draw", f"point {x},{y}"]
    args += ["-scale", "800%", str(path)]
    subprocess.run(args, check=True)


if __name__ == "__main__":
    folder = Path(__file__).resolve().parent
    (folder / "move_column.cur").write_bytes(cursor_bytes())
    if len(sys.argv) == 3 and sys.argv[1] == "--preview":
        preview(sys.argv[2])

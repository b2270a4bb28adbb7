"""Reads the grid's column layout file with a reader that owes nothing to the program's code.

The file, little-endian: u32 magic 12345678 at 0, u16 20 at 4, u16 record offset at 6 (the grid
writes 128), u16 record size 48 at 8, u32 column count at 10, 12 zero bytes at 14, the 8-byte
table style at 26 (u8 line type, u16 cell height, u8 page-number position, u32 flags), the first
54 bytes of the table font at 34 (32-byte face name, i32 size in tenths of a point, u32 style,
u32 character set, two u32 and the low 16 bits of a last u32), 40 bytes at 88, then one
48-byte record per column in display order. The 40 bytes are zero, or the print options: "PRT1",
u16 key columns, u8 page-number style, u8 fit to width, u8 sum lines (where sums appear: 1 page
totals, 2 brought forward, 4 group totals, 8 no end total), then 31 zero bytes.
"""

from __future__ import annotations

import struct
from dataclasses import dataclass

MAGIC = 12345678
TAG = 20
RECORD_SIZE = 48
FIXED_PART = 128
VISIBLE = 0x1
ROW_NUMBER_SOURCE = -1


class LayoutFileError(ValueError):
    """The bytes are not a column layout file as the grid writes it."""


@dataclass(frozen=True)
class TableStyle:
    line_type: int
    cell_height: int
    page_number_position: int
    flags: int


@dataclass(frozen=True)
class TableFont:
    face_name: str
    size: int  # tenths of a point
    style: int
    char_set: int


@dataclass(frozen=True)
class LayoutColumn:
    source: int
    flags: int
    alignment: int
    max_lines: int
    type: int
    width: int
    natural_width: int
    print_width: int
    print_natural_width: int
    title_offset: int
    character_width: int
    character_width_used: int

    @property
    def visible(self) -> bool:
        return bool(self.flags & VISIBLE)


@dataclass(frozen=True)
class PrintOptions:
    key_columns: int = 0
    page_number_style: int = 0
    fit_to_width: int = 0
    sum_lines: int = 0


@dataclass(frozen=True)
class LayoutFile:
    record_offset: int
    style: TableStyle
    font: TableFont
    columns: tuple[LayoutColumn, ...]
    options: PrintOptions = PrintOptions()


def read_layout(data: bytes) -> LayoutFile:
    """Parses a whole layout file; raises LayoutFileError for anything the grid would not write."""
    if len(data) < FIXED_PART:
        raise LayoutFileError(f"{len(data)} bytes: shorter than the fixed part")
    magic, tag, record_offset, record_size, count = struct.unpack_from("<IHHHI", data, 0)
    if magic != MAGIC:
        raise LayoutFileError(f"magic {magic}, not {MAGIC}")
    if tag != TAG or record_size != RECORD_SIZE:
        raise LayoutFileError(f"tag {tag} and record size {record_size}, not {TAG} and {RECORD_SIZE}")
    if record_offset != FIXED_PART:
        raise LayoutFileError(f"records at {record_offset}, not {FIXED_PART}")
    options = PrintOptions()
    if data[88:92] == b"PRT1":
        options = PrintOptions(*struct.unpack_from("<HBBB", data, 92))
        if options == PrintOptions():
            raise LayoutFileError("a print options record with nothing in it")
        if options.sum_lines & ~0x0F:
            raise LayoutFileError(f"sum line bits {options.sum_lines:#x} that no grid writes")
        reserved = data[97:128]
    else:
        reserved = data[88:128]
    if any(data[14:26]) or any(reserved):
        raise LayoutFileError("the reserved bytes are not zero")
    if count == 0 or len(data) != record_offset + count * RECORD_SIZE:
        raise LayoutFileError(f"{count} columns do not fill {len(data)} bytes")
    style = TableStyle(*struct.unpack_from("<BHBI", data, 26))
    face, size, font_style, char_set = struct.unpack_from("<32siII", data, 34)
    font = TableFont(face.split(b"\0", 1)[0].decode("cp1251"), size, font_style, char_set)
    columns = tuple(LayoutColumn(*struct.unpack_from("<iIiiiiiiiIii", data, record_offset + i * RECORD_SIZE))
                    for i in range(count))
    return LayoutFile(record_offset, style, font, columns, options)

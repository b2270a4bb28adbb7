#!/usr/bin/env python3
"""Writes the seed BMP images for fuzz_bitmap_file beside this script: valid images of 1, 4, 8,
16, 24 and 32 bits, top-down and bottom-up, and broken ones whose headers do not fit the file."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bitmap(width, height, bits, colours_used=0, compression=0, info_size=40, zero_offset=False):
    table = colours_used or (1 << bits if bits <= 8 else 0)
    masks = 12 if compression == 3 and info_size == 40 else 0
    offset = 14 + info_size + masks + 4 * table
    stride = (width * bits + 31) // 32 * 4
    rows = abs(height)
    pixels = bytes((i * 37 + 11) & 0xFF for i in range(stride * rows))
    info = struct.pack('<IiiHHIIiiII', info_size, width, height, 1, bits, compression,
                       stride * rows, 2835, 2835, colours_used, 0)
    info += bytes(info_size - len(info))
    if compression == 3:
        mask_bytes = struct.pack('<III', 0xF800, 0x07E0, 0x001F) if bits == 16 else \
            struct.pack('<III', 0xFF0000, 0x00FF00, 0x0000FF)
        if info_size == 40:
            info += mask_bytes
        else:
            info = info[:40] + mask_bytes + info[52:]
    palette = b''.join(struct.pack('<BBBB', (i * 40) & 0xFF, (i * 90) & 0xFF, (i * 150) & 0xFF, 0)
                       for i in range(table))
    size = offset + len(pixels)
    header = b'BM' + struct.pack('<IHHI', size, 0, 0, 0 if zero_offset else offset)
    return header + info + palette + pixels


def patch(data, offset, fmt, value):
    data = bytearray(data)
    struct.pack_into(fmt, data, offset, value)
    return bytes(data)


def main():
    files = {
        'valid_1bit_bottom_up.bmp': bitmap(13, 5, 1),
        'valid_1bit_top_down.bmp': bitmap(13, -5, 1),
        'valid_4bit_bottom_up.bmp': bitmap(7, 3, 4),
        'valid_4bit_top_down.bmp': bitmap(7, -3, 4, colours_used=5),
        'valid_8bit_bottom_up.bmp': bitmap(9, 4, 8),
        'valid_8bit_top_down.bmp': bitmap(9, -4, 8, colours_used=3),
        'valid_16bit_fields.bmp': bitmap(5, 2, 16, compression=3),
        'valid_24bit_bottom_up.bmp': bitmap(6, 4, 24),
        'valid_24bit_top_down.bmp': bitmap(6, -4, 24),
        'valid_32bit_v4_fields.bmp': bitmap(3, 3, 32, compression=3, info_size=108),
        'valid_24bit_v5.bmp': bitmap(2, 2, 24, info_size=124),
        'valid_zero_offset.bmp': bitmap(7, 3, 4, zero_offset=True),
    }
    base = bitmap(7, 3, 4)
    files.update({
        'broken_truncated_rows.bmp': base[:-5],
        'broken_truncated_table.bmp': base[:70],
        'broken_offset_past_end.bmp': patch(base, 10, '<I', len(base) + 100),
        'broken_offset_in_table.bmp': patch(base, 10, '<I', 60),
        'broken_height_too_big.bmp': patch(base, 22, '<i', 300),
        'broken_width_negative.bmp': patch(base, 18, '<i', -7),
        'broken_height_min.bmp': patch(base, 22, '<i', -2**31),
        'broken_bits_2.bmp': patch(base, 28, '<H', 2),
        'broken_colours_too_many.bmp': patch(base, 46, '<I', 0xFFFFFFFF),
        'broken_info_size_huge.bmp': patch(base, 14, '<I', 0x7FFFFFFF),
        'broken_core_header.bmp': patch(base, 14, '<I', 12),
        'broken_rle8.bmp': patch(bitmap(9, 4, 8), 30, '<I', 1),
        'broken_not_bm.bmp': b'BA' + base[2:],
    })
    for name, data in files.items():
        with open(os.path.join(HERE, name), 'wb') as out:
            out.write(data)


if __name__ == '__main__':
    main()

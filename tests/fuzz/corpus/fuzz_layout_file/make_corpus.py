# Writes the seed corpus of fuzz_layout_file: column layout files that are valid or broken.
import struct

def record(source, flags=1, alignment=0, max_lines=0, kind=0, width=60, print_width=180,
           title_offset=0, characters=10):
    return struct.pack('<iIiiiiiiiIii', source, flags, alignment, max_lines, kind, width, width,
                       print_width, print_width, title_offset, characters, characters)

def options(key_columns=0, page_number_style=0, fit_to_width=0, tag=b'PRT1'):
    """The print options record in the 40 spare header bytes."""
    return (tag + struct.pack('<HBB', key_columns, page_number_style, fit_to_width)).ljust(40, b'\0')

def layout(records, style=(1, 0, 3, 6), face=b'MS Sans Serif', size=100, offset=128,
           magic=12345678, tag=20, record_size=48, count=None, padding=b'', spare=bytes(40)):
    head = struct.pack('<IHHHI', magic, tag, offset, record_size,
                       len(records) if count is None else count) + bytes(12)
    head += struct.pack('<BHBI', *style)
    head += face.ljust(32, b'\0')[:32] + struct.pack('<iIIIIH', size, 0, 1, 0, 0, 0)
    head += spare
    return head[:offset].ljust(offset, b'\0') + padding + b''.join(records)

row_numbers = record(-1, alignment=1, width=24, print_width=70)
three = [row_numbers, record(11, title_offset=3), record(12, flags=0x51, alignment=2, max_lines=3,
                                                          title_offset=8)]
files = {
    'valid_one_column.fmt': layout([row_numbers]),
    'valid_three_columns.fmt': layout(three, style=(3, 40, 5, 0x1FF), face=b'Arial', size=120),
    'valid_picture_column.fmt': layout([row_numbers, record(11, kind=201, width=120)]),
    'valid_record_offset_160.fmt': layout(three, offset=128, padding=bytes(32))[:6]
        + struct.pack('<H', 160) + layout(three, offset=128, padding=bytes(32))[8:],
    'valid_print_options.fmt': layout(three, spare=options(2, 1, 1)),
    'broken_print_options.fmt': layout(three, spare=options(0xFFFF, 9, 200)),
    'broken_magic.fmt': layout(three, magic=12345679),
    'broken_tag.fmt': layout(three, tag=21),
    'broken_record_size.fmt': layout(three, record_size=44),
    'broken_truncated_record.fmt': layout(three)[:-1],
    'broken_count_too_large.fmt': layout(three, count=4),
    'broken_count_huge.fmt': layout(three, count=0xFFFFFFFF),
    'broken_no_columns.fmt': layout([], count=0),
    'broken_offset_over_font.fmt': layout(three)[:6] + struct.pack('<H', 40) + layout(three)[8:],
    'broken_values.fmt': layout([record(5, alignment=9, max_lines=1, width=-7, print_width=0x7FFFFFFF,
                                        title_offset=0xFFFFFFF0, characters=-1)],
                                style=(0, 65535, 200, 0xFFFFFFFF), face=b'X' * 32, size=-5),
    'broken_header_only.fmt': layout(three)[:60],
}
for name, data in files.items():
    with open(name, 'wb') as f:
        f.write(data)

#!/usr/bin/python3
"""Reads an exported table back with readers that owe nothing to the program's code.

    export_reader.py FORMAT ENCODING FILE

FORMAT is txt (boxed text), tsv, csv or dbf; ENCODING is cp1251, dos (the Bulgarian DOS table:
А-Я at 0x80-0x9F, а-я at 0xA0-0xBF) or auto (dBase only: whatever the file's language driver byte
tells dbfread). Prints, in UTF-8, a first line "encoding:<name the reader used>", then one line
per record with its fields separated by U+001F; backslash, CR, LF, TAB and U+001F inside a field
are written as \\\\, \\r, \\n, \\t and \\x1f.

Records: csv and tsv give the titles and then the rows; dbf gives the field names and then the
records; txt gives each boxed block of the text (titles, column numbers, rows) with a cell's
lines joined by one space.
"""
import codecs
import csv
import io
import sys

import dbfread


# The symbols of the Bulgarian DOS table (MIK) that code page 1251 also has.
_DOS_SYMBOLS = {0xD5: "№", 0xD6: "§", 0xE6: "µ", 0xF1: "±", 0xF8: "°", 0xFA: "·", 0xFF: "\xa0"}


def _dos_decoding_table():
    table = [chr(byte) for byte in range(256)]  # everything else as Latin-1
    for offset in range(64):
        table[0x80 + offset] = chr(0x0410 + offset)
    for byte, symbol in _DOS_SYMBOLS.items():
        table[byte] = symbol
    return "".join(table)


_DOS = codecs.charmap_build(_dos_decoding_table())


def _search_dos(name):
    if name != "dos":
        return None
    decoding_table = _dos_decoding_table()
    return codecs.CodecInfo(
        name="dos",
        encode=lambda text, errors="strict": codecs.charmap_encode(text, errors, _DOS),
        decode=lambda data, errors="strict": codecs.charmap_decode(data, errors, decoding_table),
    )


codecs.register(_search_dos)


def read_csv(data, encoding):
    text = data.decode(encoding)
    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter=";"))
    records = []
    for row in rows:
        # ";" follows every field, the last one too: the reader sees one empty field more.
        if not row or row[-1] != "":
            raise ValueError("a line does not end with the separator: %r" % row)
        records.append(row[:-1])
    return records


def read_tsv(data, encoding):
    text = data.decode(encoding)
    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter="\t", quoting=csv.QUOTE_NONE))
    if len(rows) < 3:
        raise ValueError("fewer than three lines")
    columns = len(rows[1])
    if rows[0] != [""] * (columns + 1):
        raise ValueError("the first line is not one TAB per column: %r" % rows[0])
    if rows[2] != []:
        raise ValueError("no empty line after the titles: %r" % rows[2])
    return [rows[1]] + rows[3:]


def read_boxed_text(data, encoding):
    lines = data.decode(encoding).split("\r\n")
    if lines[-1] != "":
        raise ValueError("the text does not end with CR LF")
    blocks, block = [], []
    for line in lines[:-1]:
        stripped = line.lstrip(" ")
        if stripped.startswith("|"):
            block.append([cell.strip() for cell in stripped.split("|")[1:-1]])
            continue
        if block:
            blocks.append(block)
            block = []
    if block:
        blocks.append(block)
    records = []
    for block in blocks:
        columns = len(block[0])
        records.append([" ".join(line[c] for line in block if line[c]) for c in range(columns)])
    return records


def read_dbf(path, encoding):
    table = dbfread.DBF(path, encoding=None if encoding == "auto" else encoding,
                        char_decode_errors="strict", load=True)
    names = [field.name for field in table.fields]
    records = [[record[name] for name in names] for record in table.records]
    return table.encoding, [names] + records


def escape(field):
    return (field.replace("\\", "\\\\").replace("\r", "\\r").replace("\n", "\\n")
            .replace("\t", "\\t").replace("\x1f", "\\x1f"))


def main(arguments):
    file_format, encoding, path = arguments
    if file_format == "dbf":
        used, records = read_dbf(path, encoding)
    else:
        with open(path, "rb") as file:
            data = file.read()
        used = encoding
        reader = {"csv": read_csv, "tsv": read_tsv, "txt": read_boxed_text}[file_format]
        records = reader(data, encoding)
    out = io.TextIOWrapper(sys.stdout.buffer, encoding="utf-8", newline="\n")
    out.write("encoding:%s\n" % used)
    for record in records:
        out.write("\x1f".join(escape(field) for field in record) + "\n")
    out.flush()


if __name__ == "__main__":
    main(sys.argv[1:])

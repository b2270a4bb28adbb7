#!/usr/bin/env python3
"""Writes the table of a data file (.rdf) in the forms the other tools of the benchmark read.

    rdf_convert.py DATA.rdf OUT_FOLDER

OUT_FOLDER/table.tsv               UTF-8, TAB-separated, titles first (miller, column)
OUT_FOLDER/table.csv               UTF-8, comma-separated, quoted where needed (miller, csvkit)
OUT_FOLDER/table-semicolon.csv     code page 1251, ";"-separated, quoted where needed (LibreOffice)

Only titles and rows are taken; the head, header and footer are the program's own.
"""
import csv
import sys
from pathlib import Path


def read_table(path: Path):
    lines = path.read_bytes().decode("cp1251").split("\r\n")
    titles = lines[lines.index("Titles:") + 1].split("\t")
    data = lines[lines.index("Data:") + 1:]
    rows = [line.split("\t") for line in data if line != ""]
    return titles, rows


def write_csv(path: Path, titles, rows, delimiter: str, encoding: str) -> None:
    with open(path, "w", encoding=encoding, newline="") as out:
        writer = csv.writer(out, delimiter=delimiter, lineterminator="\r\n")
        writer.writerow(titles)
        writer.writerows(rows)


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    source, folder = Path(sys.argv[1]), Path(sys.argv[2])
    folder.mkdir(parents=True, exist_ok=True)
    titles, rows = read_table(source)
    with open(folder / "table.tsv", "w", encoding="utf-8", newline="") as out:
        out.write("\t".join(titles) + "\n")
        for row in rows:
            out.write("\t".join(row) + "\n")
    write_csv(folder / "table.csv", titles, rows, ",", "utf-8")
    write_csv(folder / "table-semicolon.csv", titles, rows, ";", "cp1251")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Writes a table data file (.rdf: code page 1251, CR LF line ends) of any size, the same bytes
for the same arguments, for the benchmarks and long runs.

    make-table.py OUT.rdf [--rows N] [--title TEXT] [--printer VALUE] [--page VALUE]
                          [--codetable Windows|DOS] [--seed S] [--shape SHAPE]

Six columns: "№" (Number: 1, 2, ...), "Име" (Text: first, father's and family name), "Град"
(Text), "Сума" (Number: 0.01 .. 9999.99, two decimals), "Дата" (Date: dd.mm.yyyy) and
"Бележка" (Text: one to four words, long enough to wrap in a narrow column).

Other shapes (--shape), the rows that cost a table store the most for their size:
  long-row  one row of 32 cells of 250 bytes (8 KB), then N empty lines and a last row "end"
  growing   N rows, each longer than the one before, up to 60,000 bytes in cells of 200
  wide      N rows of 32,767 one-digit cells, under 1,055 titles
"""

from __future__ import annotations

import argparse
import random
import sys

FIRST_NAMES = ["Антон", "Борислава", "Васил", "Галина", "Деян", "Евгения", "Живко", "Зорница",
               "Илиян", "Камелия", "Любомир", "Милена", "Огнян", "Павлина", "Румен", "Светла"]
FATHER_NAMES = ["Асенов", "Бойчев", "Велев", "Грозданов", "Енчев", "Кирилов", "Лазаров",
                "Младенов", "Рачев"]
FAMILY_NAMES = ["Атанасов", "Банева", "Вълчев", "Гочева", "Дончев", "Жекова", "Колев",
                "Минчева", "Пенев", "Сотирова", "Тонев"]
CITIES = ["Благоевград", "Видин", "Габрово", "Добрич", "Кърджали", "Ловеч", "Монтана", "Шумен",
          "Ямбол", "Сливен", "Хасково"]
NOTE_WORDS = ["платено", "в брой", "по сметка", "с фактура", "без фактура", "за връщане",
              "на склад", "изпратено", "отложено", "с гаранция", "проверено"]
TITLES = ["№", "Име", "Град", "Сума", "Дата", "Бележка"]
TYPES = ["Number", "Text", "Text", "Number", "Date", "Text"]
DEFAULT_PAGE = "Width 210.00, Height 297.00, Left 15.00, Top 10.00, Right 10.00, Bottom 10.00"
ROWS_PER_WRITE = 10_000


def head_lines(args: argparse.Namespace) -> list[str]:
    return [
        f"WindowTitle: {args.title}",
        f"Printer: {args.printer}",
        f"Page: {args.page}",
        "Orientation: Portrait",
        f"CodeTable: {args.codetable}",
        "Font: Arial, 10",
        "Header:",
        f"{args.title}\tВсички плащания",
        "Footer:",
        f"Редове: {args.rows}",
        "Titles:",
        "\t".join(TITLES),
        "Types:",
        "\t".join(TYPES),
        "Data:",
    ]


def row_line(number: int, pick: random.Random) -> str:
    name = " ".join(pick.choice(names) for names in (FIRST_NAMES, FATHER_NAMES, FAMILY_NAMES))
    cents = pick.randint(1, 999_999)
    date = f"{pick.randint(1, 28):02d}.{pick.randint(1, 12):02d}.{pick.randint(2015, 2026)}"
    note = " ".join(pick.sample(NOTE_WORDS, pick.randint(1, 4)))
    return "\t".join([str(number), name, pick.choice(CITIES),
                      f"{cents // 100}.{cents % 100:02d}", date, note])


def shape_lines(args: argparse.Namespace) -> tuple[list[str], object]:
    """The titles and a generator of the data lines of an odd shape."""
    if args.shape == "long-row":
        return [f"C{n}" for n in range(1, 33)], (
            ["\t".join(["w" * 250] * 32)] + [""] * args.rows + ["end"])
    if args.shape == "growing":
        def growing():
            for number in range(1, args.rows + 1):
                length = max(1, number * 60_000 // max(args.rows, 1))
                yield "\t".join("g" * min(200, length - at) for at in range(0, length, 200))
        return [f"C{n}" for n in range(1, 301)], growing()
    return [f"C{n}" for n in range(1, 1056)], (
        "\t".join(str(cell % 10) for cell in range(32_767)) for _ in range(args.rows))


def write_shape(args: argparse.Namespace) -> None:
    titles, lines = shape_lines(args)
    head = [f"WindowTitle: {args.title}", f"Printer: {args.printer}", "Titles:", "\t".join(titles),
            "Data:"]
    with open(args.out, "wb") as out:
        out.write(("\r\n".join(head) + "\r\n").encode("cp1251"))
        for line in lines:
            out.write((line + "\r\n").encode("cp1251"))


def write_table(args: argparse.Namespace) -> None:
    if args.shape != "table":
        write_shape(args)
        return
    pick = random.Random(args.seed)
    with open(args.out, "wb") as out:
        out.write(("\r\n".join(head_lines(args)) + "\r\n").encode("cp1251"))
        for first in range(1, args.rows + 1, ROWS_PER_WRITE):
            last = min(first + ROWS_PER_WRITE, args.rows + 1)
            lines = [row_line(number, pick) for number in range(first, last)]
            out.write(("\r\n".join(lines) + "\r\n").encode("cp1251"))


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("out")
    parser.add_argument("--rows", type=int, default=200)
    parser.add_argument("--title", default="Плащания по градове")
    parser.add_argument("--printer", default="Default",
                        help='the "Printer:" value: Default, a printer name, or LPT1 ...')
    parser.add_argument("--page", default=DEFAULT_PAGE,
                        help='the "Page:" value (LPT1: characters and lines, e.g. "Width 80, '
                             'Height 60, Left 2, Top 1")')
    parser.add_argument("--codetable", default="Windows", choices=["Windows", "DOS"])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--shape", default="table", choices=["table", "long-row", "growing", "wide"])
    args = parser.parse_args()
    if args.rows < 0:
        parser.error("--rows must not be negative")
    try:
        write_table(args)
    except UnicodeEncodeError as fault:
        print(f"make-table: code page 1251 has no {fault.object[fault.start:fault.end]!r}",
              file=sys.stderr)
        return 2
    except OSError as fault:
        print(f"make-table: {fault}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

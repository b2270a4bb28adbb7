"""Printing on Windows printers through "Отпечатване..." (301) into the CUPS PDF printer: one
print job per page (and per column group), named "Linta_<copy>_<page>_<group>", each page drawn
with the grid's line painters at the printer's resolution. Every job is checked in the PDF that
the PDF printers wrote (pdftotext), in the spooler's list of completed jobs, and rendered to PNG
in the run's screenshot folder to be looked at."""

from __future__ import annotations

import getpass
import os
import re
import struct
import subprocess
import tempfile
import time
from decimal import Decimal, InvalidOperation
from pathlib import Path

import pytest

from layout_file_reader import read_layout
from lintaro_harness import IDCANCEL, IDOK, HarnessError, image_pixels, image_size, printer_uri

PAGES_CAPTION = " Отпечатване на таблица"
TABLE_CAPTION = " Оформление на таблицата"
PAGE_FROM, PAGE_TO, PAGE_SUBSET, GROUP_FROM, GROUP_TO, COPIES = 101, 102, 111, 121, 122, 131
SUBSET_ALL, SUBSET_ODD, SUBSET_EVEN = "Всички страници", "Нечетни страници", "Четни (с разменени полета)"
PAGE_NUMBERS_LIST, FIRST_PAGE_NUMBER, PRINT_DATE, CELL_HEIGHT_LIST = 121, 131, 135, 112
TITLES_EACH_PAGE, HEADER_EACH_PAGE, FOOTER_EACH_PAGE = 132, 133, 134
PAGE_NUMBER_STYLE, KEY_COLUMNS, FIT_TO_WIDTH = 141, 142, 143
ONE_JOB = 141
PROGRESS_CLASS, PROGRESS_WHAT, PROGRESS_COUNT = "LintaroProgress", 101, 102

TOO_WIDE = ("Ширината на таблицата е по-голяма от полето\r\n"
            "за печат. Бихте могли да скриете част от\r\n"
            "колоните, да използвате шрифт с по-малки\r\n"
            "размери или по-широка хартия.\r\n"
            "Искате ли да продължите ?")
NO_PRINTER = "Грешка при опит за достъп\r\nдо избрания принтер !\r\nНе може да се печата."

A4_PORTRAIT = (595.0, 842.0)  # points, as the PDF printer writes A4
DATE_LINE = re.compile(r"\d\d\.\d\d\.\d{4}, \d\d:\d\d")
WM_NULL = 0x0000
EM_SETMODIFY, EM_GETMODIFY = 0x00B9, 0x00B8


# ----------------------------------------------------------------------------------------------
# Helpers


def printer_cfg(landscape: bool = False, kind: int = 0, device: str = "",
                margins_mm: tuple[int, int, int, int] = (15, 10, 10, 10)) -> bytes:
    """Printer.cfg for an A4 Windows printer; margins (left, right, top, bottom) in millimetres."""
    left, right, top, bottom = (m * 100 for m in margins_mm)
    return struct.pack("<11i260s", kind, 4 if landscape else 0, 21000, left, right, 29700, top,
                       bottom, 0, 0, 0, device.encode("cp1251"))


def row_name(number: int) -> str:
    return f"Стоков запис {number:03d}"


def table_data(rows: int, font: str = "Arial, 10", wide: bool = False, wide_words: int = 3) -> str:
    """A data file with a header (two parts on a line), a footer and Cyrillic cells. `wide` adds
    columns far wider than A4 together, each with a title of its own and `wide_words` times
    "широко съдържание" in every cell."""
    titles = ["№", "Наименование", "Град", "Сума"]
    types = ["Number", "Text", "Text", "Number"]
    extra = [f"Колона{letter}" for letter in "АБВГДЕ"] if wide else []
    lines = ["WindowTitle: Печат на страници", f"Font: {font}",
             "Header:", "Складова наличност\tФирма Пример ЕООД",
             "Footer:", "Изготвил: Иванов\tПодпис:",
             "Titles:", "\t".join(titles + extra),
             "Types:", "\t".join(types + ["Text"] * len(extra)),
             "Data:"]
    for n in range(1, rows + 1):
        cells = [str(n), row_name(n), "Пловдив" if n % 2 else "София", f"{n * 13.25:.2f}"]
        cells += [f"{title}-{n:03d} " + "широко съдържание " * wide_words for title in extra]
        lines.append("\t".join(cells))
    return "\r\n".join(lines) + "\r\n"


def start_table(lintaro, rows: int, cfg: bytes | None = None, **options):
    folder = lintaro.prepare(printer_cfg=cfg if cfg is not None else printer_cfg(),
                             files={"pages.rdf": table_data(rows, **options)})
    lintaro.start([folder / "pages.rdf"])
    return lintaro


def settle(lintaro, timeout: float = 20.0) -> None:
    """Waits until the program's thread is back in its message loop. A print longer than half a
    second answers between its pages too, with the main window disabled until it ends (or a
    message box asks something); before that it handles no messages, and a window that has not
    for a few seconds counts as hung and refuses sent messages at once: ask again until it
    answers."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            lintaro.main.send(WM_NULL)
            if lintaro.main.info().enabled or lintaro.dialogs():
                return
        except HarnessError:
            pass
        if time.monotonic() > deadline:
            raise HarnessError("the program did not come back from its work")
        time.sleep(0.2)


def eventually(check, timeout: float = 3.0) -> bool:
    deadline = time.monotonic() + timeout
    while not check():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def pick(dialog, control_id: int, choice) -> None:
    """Chooses a list entry as the user would and waits until the dialog has handled it."""
    dialog.select_combo(control_id, choice)
    edit = dialog.item(PAGE_FROM)
    edit.send(EM_SETMODIFY, 0)
    edit.post(EM_SETMODIFY, 1)
    assert eventually(lambda: edit.send(EM_GETMODIFY) == 1)
    edit.send(EM_SETMODIFY, 0)


def open_pages_to_print(lintaro):
    lintaro.key("ctrl+p")
    dialog = lintaro.wait_dialog(PAGES_CAPTION)
    assert dialog.info().owner == lintaro.main.handle
    return dialog


def new_jobs(test_env, known) -> list[Path]:
    """The PDFs of this program's jobs that are not in `known`, oldest first (another program
    may print on the same spooler meanwhile)."""
    return [p for p in test_env.pdfs() if p not in known and p.name.startswith("Linta_")]


def print_pages(lintaro, test_env, expected_jobs: int, first=None, last=None, subset=None,
                group_from=None, group_to=None, copies=None, dialog=None) -> list[Path]:
    """Prints through "PagesToPrint" as a user does and returns the new PDFs, oldest first."""
    known = test_env.pdfs()
    dialog = dialog or open_pages_to_print(lintaro)
    if first is not None:
        dialog.set_control_text(PAGE_FROM, str(first))
    if last is not None:
        dialog.set_control_text(PAGE_TO, str(last))
    if subset is not None:
        pick(dialog, PAGE_SUBSET, subset)
    if group_from is not None:
        pick(dialog, GROUP_FROM, str(group_from))
    if group_to is not None:
        pick(dialog, GROUP_TO, str(group_to))
    if copies is not None:
        pick(dialog, COPIES, str(copies))
    dialog.click(IDOK)
    dialog.wait_gone()
    if expected_jobs == 0:
        time.sleep(1.5)
        settle(lintaro)
        assert new_jobs(test_env, known) == []
        return []
    pdfs = test_env.wait_for_pdfs(expected_jobs, known, timeout=30 + 3 * expected_jobs)
    settle(lintaro)  # the last page's pause is over: no more jobs can come
    time.sleep(0.5)
    pdfs = new_jobs(test_env, known)
    assert len(pdfs) == expected_jobs, pdfs
    return pdfs


def job_name(pdf: Path) -> str:
    """The PDF printers name a PDF after its job's title."""
    match = re.match(r"Linta_\d+_\d{3,}_\d+", pdf.name)
    assert match, pdf.name
    return match.group(0)


def _ipp(test: str, *variables: str) -> list[str]:
    """Runs one ipptool test against the default printer; returns its CSV lines."""
    with tempfile.NamedTemporaryFile("w", suffix=".test", delete=False) as handle:
        handle.write(test)
    printer = os.environ.get("LINTARO_PRINTER", "PDF")
    args = ["ipptool", "-c"] + [word for v in variables for word in ("-d", v)]
    out = subprocess.run(args + [printer_uri(printer), handle.name],
                         capture_output=True, text=True).stdout
    Path(handle.name).unlink()
    return out.splitlines()


_IPP_HEAD = ('GROUP operation-attributes-tag ATTR charset attributes-charset utf-8 '
             'ATTR naturalLanguage attributes-natural-language en ATTR uri printer-uri $uri '
             f'ATTR name requesting-user-name {getpass.getuser()} ')


def completed_job_names(last: int) -> list[str]:
    """The titles of the default printer's `last` completed jobs, oldest first. The list of jobs
    gives their ids; each title is asked of its job (the spooler drops the titles of finished
    jobs from its lists, and shows a title only to the job's owner: tests and Wine are one user)."""
    ids = sorted(int(line.split(",")[0]) for line in _ipp(
        '{ NAME "jobs" OPERATION Get-Jobs ' + _IPP_HEAD +
        'ATTR keyword which-jobs completed ATTR keyword requested-attributes job-id '
        'STATUS successful-ok DISPLAY job-id }') if line.split(",")[0].isdigit())
    names = []
    for job in ids[-last:]:
        lines = _ipp('{ NAME "job" OPERATION Get-Job-Attributes ' + _IPP_HEAD +
                     'ATTR integer job-id $job ATTR keyword requested-attributes job-name '
                     'STATUS successful-ok DISPLAY job-name }', f"job={job}")
        names.append(lines[-1] if lines and lines[-1] != "job-name" else "")
    return names


def expect_jobs_completed(names: list[str]) -> None:
    """The spooler lists `names` among its latest completed jobs, in this order."""
    def ours() -> list[str]:
        # Other programs may print on the same spooler: look a little further back.
        return [n for n in completed_job_names(len(names) + 6) if n.startswith("Linta_")][-len(names):]

    assert eventually(lambda: ours() == names, timeout=10), (ours(), names)


def dark_columns(png: Path) -> tuple[int, int]:
    """The leftmost and rightmost x with a dark pixel."""
    width, height, data = image_pixels(png)
    xs = [x for y in range(height) for x in range(width)
          if sum(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) < 200]
    assert xs, f"{png} is blank"
    return min(xs), max(xs)


def dark_rows(png: Path) -> tuple[int, int]:
    """The topmost and lowest y with a dark pixel."""
    width, height, data = image_pixels(png)
    ys = [y for y in range(height)
          if any(sum(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) < 200 for x in range(width))]
    assert ys, f"{png} is blank"
    return min(ys), max(ys)


def pdf_text(test_env, pdf: Path) -> str:
    """The page's text; the printer font's hyphen comes out of pdftotext as a soft hyphen."""
    return test_env.pdf_text(pdf).replace("\u00ad", "-")


def word_boxes(pdf: Path, word: str) -> list[tuple[float, float, float, float]]:
    """(xMin, yMin, xMax, yMax) in points of every occurrence of `word` on the page."""
    html = subprocess.run(["pdftotext", "-bbox", str(pdf), "-"], check=True,
                          capture_output=True).stdout.decode("utf-8").replace("\u00ad", "-")
    boxes = []
    for match in re.finditer(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">'
                             r'([^<]*)</word>', html):
        if match.group(5) == word:
            boxes.append(tuple(float(match.group(i)) for i in range(1, 5)))
    return boxes


MM = 72 / 25.4  # points per millimetre
LETTER_PORTRAIT = (612.0, 792.0)  # points, as the PDF printer writes US Letter


def horizontal_rules(test_env, pdf: Path, name: str) -> list[int]:
    """The rules across the table on the page as pdftoppm draws it at its usual 150 dpi: the
    pixel rows dark over most of the widest dark row, each run of adjacent rows counted once."""
    (png,) = test_env.render_pdf(pdf, test_env.screenshot_dir / name, dpi=150)
    width, height, data = image_pixels(png)
    dark = bytes(1 if v < 128 else 0 for v in range(256))
    counts = [data[y * width * 3:(y + 1) * width * 3:3].translate(dark).count(1) for y in range(height)]
    widest = max(counts)
    rows = [y for y, count in enumerate(counts) if widest > 0 and count >= 0.8 * widest]
    return [y for y in rows if y - 1 not in rows]


def page_rows(text: str) -> list[int]:
    return [int(n) for n in re.findall(r"Стоков запис (\d{3})", text)]


def page_count_offered(lintaro) -> int:
    dialog = open_pages_to_print(lintaro)
    pages = int(dialog.control_text(PAGE_TO))
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    return pages


# ----------------------------------------------------------------------------------------------
# The grid against the paper: what the grid paints, read from the text it draws (the driver
# records every TextOutA call on the grid window), and what the PDF pages hold.

WM_PAINT, WM_KEYDOWN, WM_HSCROLL, WM_VSCROLL = 0x000F, 0x0100, 0x0114, 0x0115
VK_NEXT, SB_THUMBTRACK = 0x22, 5
PAGE_NUMBER_TEXT = re.compile(r"\d+\.|- \d+ -")


def grid_paints(lintaro) -> list[list[tuple[int, int, str]]]:
    """Every line of the table as the grid paints it: from the top, one paint per Page Down until
    the end, at the left end of the table."""
    grid = lintaro.grid_window()
    grid.send(WM_HSCROLL, SB_THUMBTRACK)
    grid.send(WM_VSCROLL, SB_THUMBTRACK)
    grid.record_text()
    grid.send(WM_PAINT)
    position = None
    for _ in range(2000):
        grid.send(WM_KEYDOWN, VK_NEXT)
        now = lintaro.driver.call("scrollinfo", grid.handle, "V")[3]
        if now == position:
            break
        position = now
    return grid.painted_text()


def paint_lines(paint: list[tuple[int, int, str]]) -> list[list[tuple[int, str]]]:
    """The texts of one paint by their y, top down, each line's texts from the left."""
    by_y: dict[int, list[tuple[int, str]]] = {}
    for x, y, text in paint:
        by_y.setdefault(y, []).append((x, text.strip()))
    return [sorted(by_y[y]) for y in sorted(by_y)]


def is_row(words: list[str]) -> bool:
    """A data row's line: its row number first, then cells (the column numbers are numbers
    only)."""
    return len(words) >= 2 and words[0].isdigit() and not all(w.isdigit() for w in words)


def is_page_top(words: list[str]) -> bool:
    """The column numbers or the titles, which stand over the first row of every page."""
    return (len(words) >= 2 and all(w.isdigit() for w in words)) or (bool(words) and words[0] == "No")


def grid_pages(lintaro) -> list[list[tuple[int, str]]]:
    """The grid's pages: for every page the (row number, first word of the next cell) of its
    rows. A row begins a page when the line above it is the column numbers or the titles; every
    two neighbouring lines are painted together at least once, as each Page Down keeps a line."""
    rows: dict[int, str] = {}
    starts: dict[int, bool] = {}
    for paint in grid_paints(lintaro):
        previous = None
        for line in paint_lines(paint):
            words = [text for _, text in line if text]
            if is_row(words):
                number = int(words[0])
                rows.setdefault(number, words[1].split()[0])
                if previous is not None:
                    starts[number] = starts.get(number, False) or previous == "top"
                previous = "row"
            elif is_page_top(words):
                previous = "top"
    pages: list[list[tuple[int, str]]] = []
    for number in sorted(rows):
        if not pages or starts.get(number, False):
            pages.append([])
        pages[-1].append((number, rows[number]))
    return pages


def print_first_group(lintaro, test_env, last: int | None = None) -> list[Path]:
    """Prints the pages up to `last` (all by default) of the first column group, the one with
    the row numbers, and returns their PDFs in page order."""
    lintaro.key("ctrl+p")
    dialog = lintaro.wait_dialog()
    if dialog.info().caption != PAGES_CAPTION:  # the table is wider than the paper
        assert dialog.control_text(0xFFFF) == TOO_WIDE
        dialog.click(IDOK)
        dialog.wait_gone()
        dialog = lintaro.wait_dialog(PAGES_CAPTION)
    pages = min(int(dialog.control_text(PAGE_TO)), last or 10 ** 6)
    pdfs = print_pages(lintaro, test_env, pages, last=pages, group_from=1, group_to=1, dialog=dialog)
    assert [job_name(p) for p in pdfs] == [f"Linta_1_{n:03d}_1" for n in range(1, pages + 1)]
    return pdfs


def printed_pages(lintaro, test_env, last: int | None = None) -> list[list[tuple[int, str]]]:
    """The (row number, first word of the next cell) of the rows of each printed page (see
    print_first_group)."""
    result = []
    for pdf in print_first_group(lintaro, test_env, last):
        words = [line.split() for line in pdf_text(test_env, pdf).splitlines()]
        result.append([(int(w[0]), w[1]) for w in words if is_row(w)])
        test_env.render_pdf(pdf, dpi=50)
    return result


def printed_rows_of_several_lines(test_env) -> int:
    """How many rows of the last printed page have text below their first line."""
    lines = [line.split() for line in pdf_text(test_env, new_jobs(test_env, [])[-1]).splitlines() if line.strip()]
    rows = [i for i, words in enumerate(lines) if is_row(words)]
    return sum(1 for a, b in zip(rows, rows[1:]) if b > a + 1)


def expect_grid_as_printed(lintaro, test_env, step: str, last: int | None = None) -> list[str]:
    """Compares the grid's pages with the printed ones; returns what differs (empty when
    nothing does)."""
    on_screen = grid_pages(lintaro)
    lintaro.screenshot(test_env.screenshot_dir / f"grid-as-printed-{step}.png", client=True)
    on_paper = printed_pages(lintaro, test_env, last)
    if last is None and len(on_screen) != len(on_paper):
        return [f"{step}: {len(on_screen)} pages on the grid, {len(on_paper)} printed"]
    return [f"{step}: page {n} shows rows {grid} on the grid and prints {paper}"
            for n, (grid, paper) in enumerate(zip(on_screen, on_paper), 1) if grid != paper]


VISIBLE_COLUMNS, TABLE_APPEARANCE, COLUMN_APPEARANCE, SORT, FILTER = 201, 211, 212, 222, 223


def run_dialog(lintaro, command: int, caption: str, fill) -> None:
    """Opens a dialog by its command, lets `fill` set it and presses OK."""
    lintaro.post_command(command)
    dialog = lintaro.wait_dialog(caption)
    fill(dialog)
    dialog.click(IDOK)
    dialog.wait_gone()
    settle(lintaro)


def first_rows_band(lintaro) -> tuple[int, int]:
    """The y of the text of the first two data rows in view."""
    grid = lintaro.grid_window()
    grid.record_text()
    grid.send(WM_PAINT)
    ys = []
    for paint in grid.painted_text():
        by_y: dict[int, list[str]] = {}
        for _, y, text in paint:
            by_y.setdefault(y, []).append(text.strip())
        ys = [y for y in sorted(by_y) if is_row(by_y[y])]
    assert len(ys) >= 2
    return ys[0], ys[1]


def column_rules(lintaro, test_env) -> list[int]:
    """The x of the vertical rules of the data rows: the table's left rule, then every visible
    column's right-hand rule (lines black across two rows at once, which no letter is)."""
    first, second = first_rows_band(lintaro)
    shot = lintaro.screenshot(test_env.screenshot_dir / "grid-as-printed-rules.png",
                              window=lintaro.grid_window(), client=True)
    width, height, data = image_pixels(shot)

    def black_across(top: int, bottom: int) -> set[int]:
        return {x for x in range(width)
                if all(data[(y * width + x) * 3:(y * width + x) * 3 + 3] == b"\0\0\0" for y in range(top, bottom))}

    band = max(2, (second - first) // 2)
    return sorted(black_across(first, first + band) & black_across(second, second + band))


def narrow_column(lintaro, test_env, index: int, share: float) -> None:
    """Drags the right-hand edge of visible column `index` (0: the row numbers) to the left by
    `share` of the column's width, as a user resizes it."""
    rules = column_rules(lintaro, test_env)
    left, right = rules[index], rules[index + 1]
    first, _ = first_rows_band(lintaro)
    target = right - int((right - left) * share)
    lintaro.drag(right, first + 2, target, first + 2, window=lintaro.grid_window(), steps=10)
    settle(lintaro)
    assert column_rules(lintaro, test_env)[index + 1] in range(target - 2, target + 3)


# ----------------------------------------------------------------------------------------------
# Tests


def test_each_page_is_a_job_with_its_titles_rows_header_footer_date_and_number(lintaro, test_env):
    start_table(lintaro, rows=150)
    # Page numbers at the bottom centre on every page; titles, header and footer on every page;
    # the date.
    lintaro.post_command(211)
    style = lintaro.wait_dialog(TABLE_CAPTION)
    style.select_combo(PAGE_NUMBERS_LIST, "Долу, център")
    style.set_checked(FIRST_PAGE_NUMBER, True)
    for box in (TITLES_EACH_PAGE, HEADER_EACH_PAGE, FOOTER_EACH_PAGE):
        style.set_checked(box, True)
    style.set_checked(PRINT_DATE, True)
    style.click(IDOK)
    style.wait_gone()

    dialog = open_pages_to_print(lintaro)
    pages = int(dialog.control_text(PAGE_TO))
    assert 2 <= pages <= 4, "150 rows of Arial 10 fill a few A4 pages"
    # The table fits A4: one column group, its lists disabled.
    assert dialog.combo_items(GROUP_FROM) == ["1"] and dialog.combo_items(GROUP_TO) == ["1"]
    pdfs = print_pages(lintaro, test_env, pages, dialog=dialog)

    names = [f"Linta_1_{page:03d}_1" for page in range(1, pages + 1)]
    assert [job_name(p) for p in pdfs] == names
    expect_jobs_completed(names)
    seen_rows: list[int] = []
    for page, pdf in enumerate(pdfs, 1):
        assert test_env.pdf_page_count(pdf) == 1
        assert test_env.pdf_page_size_points(pdf) == A4_PORTRAIT
        text = pdf_text(test_env, pdf)
        lines = [line.strip() for line in text.splitlines() if line.strip()]
        # Header with its two parts, column titles and numbers, footer, date, page number last.
        assert "Складова наличност" in lines[0] and "Фирма Пример ЕООД" in lines[0], lines[:3]
        assert re.search(r"№\s+Наименование\s+Град\s+Сума", text)
        assert re.search(r"Изготвил: Иванов\s+Подпис:", text)
        assert DATE_LINE.search(text)
        # "- n -" (pdftotext keeps no blanks beside the printer font's hyphens).
        assert re.fullmatch(rf"-\s*{page}\s*-", lines[-1]), lines[-3:]
        # Centred across the printable width, 15 mm to 200 mm, below everything else.
        number = max(word_boxes(pdf, str(page)), key=lambda box: box[1])  # the lowest one
        assert abs((number[0] + number[2]) / 2 - (15 + 185 / 2) * MM) < 3, number
        rows = page_rows(text)
        assert rows, f"page {page} has rows"
        seen_rows += rows
        test_env.render_pdf(pdf, dpi=50)
    # Every row has its rule under it, drawn by Poppler's renderer too (the rules once lay on the
    # edge of the clip region, where it drew none of them).
    first_rows = page_rows(pdf_text(test_env, pdfs[0]))
    assert len(horizontal_rules(test_env, pdfs[0], "page-1-rules")) >= len(first_rows) + 2
    # Every row exactly once, in order, across the pages; the cells beside them too.
    assert seen_rows == list(range(1, 151))
    last = pdf_text(test_env, pdfs[-1])
    assert re.search(r"150\s+Стоков запис 150\s+София\s+1987\.50", last)
    # The rendered page is the table: ink from the left margin (15 mm) on, not across the sheet.
    (png,) = test_env.render_pdf(pdfs[0], test_env.screenshot_dir / "page-1-at-72", dpi=72)
    left, right = dark_columns(png)
    assert 15 / 25.4 * 72 - 2 <= left <= 15 / 25.4 * 72 + 3, left
    assert right < 595 - 10 / 25.4 * 72, right


def test_odd_pages_of_2_to_5_print_3_and_5_and_even_ones_exchange_the_margins(lintaro, test_env):
    # Left margin 40 mm, right 10 mm; 20 pt rows make short pages.
    start_table(lintaro, rows=175, font="Arial, 20", cfg=printer_cfg(margins_mm=(40, 10, 10, 10)))
    assert page_count_offered(lintaro) >= 5

    odd = print_pages(lintaro, test_env, 2, first=2, last=5, subset=SUBSET_ODD)
    assert [job_name(p) for p in odd] == ["Linta_1_003_1", "Linta_1_005_1"]
    even = print_pages(lintaro, test_env, 2, first=2, last=5, subset=SUBSET_EVEN)
    assert [job_name(p) for p in even] == ["Linta_1_002_1", "Linta_1_004_1"]
    expect_jobs_completed(["Linta_1_003_1", "Linta_1_005_1", "Linta_1_002_1", "Linta_1_004_1"])
    for pdf, page in zip(odd + even, (3, 5, 2, 4)):
        text = pdf_text(test_env, pdf)
        # Page numbers at the top right by default, "n."; the rows follow the page order.
        first_line = next(line for line in text.splitlines() if line.strip())
        assert first_line.strip() == f"{page}.", first_line
        # Right-aligned in a box as wide as the printable width (the driver's A4 of 209.89 mm
        # less 50 mm) from the page's left margin, one text inset (an "o" of Arial 20 pt, about
        # 11 pt) short of its right end, as on the screen.
        (number,) = [box for box in word_boxes(pdf, f"{page}.") if box[1] < 30 * MM]
        left = 40 if page % 2 else 10
        right_end = (left + 159.89) * MM - 20 * 0.556
        assert abs(number[2] - right_end) < 3, (page, number, right_end)
    assert min(page_rows(pdf_text(test_env, odd[0]))) > max(page_rows(pdf_text(test_env, even[0])))
    # Odd pages start 40 mm from the left edge, even pages 10 mm (the margins exchanged).
    at = {}
    for pdf, page in zip(odd + even, (3, 5, 2, 4)):
        (png,) = test_env.render_pdf(pdf, test_env.screenshot_dir / f"subset-page-{page}", dpi=72)
        at[page] = dark_columns(png)[0]
    mm = 72 / 25.4
    for page in (3, 5):
        assert 40 * mm - 2 <= at[page] <= 40 * mm + 3, at
    for page in (2, 4):
        assert 10 * mm - 2 <= at[page] <= 10 * mm + 3, at


def test_three_copies_of_pages_1_to_2_print_six_jobs_in_copy_order(lintaro, test_env):
    start_table(lintaro, rows=70)
    assert page_count_offered(lintaro) >= 2
    pdfs = print_pages(lintaro, test_env, 6, first=1, last=2, copies=3)
    names = ["Linta_1_001_1", "Linta_1_002_1", "Linta_2_001_1", "Linta_2_002_1",
             "Linta_3_001_1", "Linta_3_002_1"]
    assert [job_name(p) for p in pdfs] == names
    expect_jobs_completed(names)
    texts = [pdf_text(test_env, p) for p in pdfs]
    # The copies are the same pages: page 1 has row 1, page 2 does not.
    for copy in range(3):
        assert 1 in page_rows(texts[2 * copy]) and 1 not in page_rows(texts[2 * copy + 1])
        assert page_rows(texts[2 * copy]) == page_rows(texts[0])
        assert page_rows(texts[2 * copy + 1]) == page_rows(texts[1])


def test_a_print_job_prints_its_pages_and_copies_of_every_column_group_unasked(app_factory, test_env):
    cfg = printer_cfg()
    app = app_factory(name="print_job")
    folder = app.prepare(printer_cfg=cfg, files={"pages.rdf": table_data(150), "wide.rdf": table_data(8, wide=True)})
    known = test_env.pdfs()
    run = app.run_job([folder / "pages.rdf", "/print", "2-3", "/copies", "2"])
    assert (run.exit_code, run.stderr, run.window_shown) == (0, "", False)
    pdfs = test_env.wait_for_pdfs(4, known, timeout=60)
    assert [job_name(p) for p in pdfs] == ["Linta_1_002_1", "Linta_1_003_1", "Linta_2_002_1", "Linta_2_003_1"]
    second, third = (page_rows(pdf_text(test_env, p)) for p in pdfs[:2])
    assert second and third and second[0] > 1 and third[0] == second[-1] + 1
    assert [page_rows(pdf_text(test_env, p)) for p in pdfs[2:]] == [second, third]
    assert (folder / "Printer.cfg").read_bytes() == cfg

    # Pages past the table's end: the job says how many it has and prints nothing.
    known = test_env.pdfs()
    run = app_factory(name="print_job_past").run_job([folder / "pages.rdf", "/print", "90-99"])
    assert run.exit_code == 4
    assert re.fullmatch(r"lintaro: /print page 90: the table has \d pages\r\n", run.stderr), run.stderr

    # A table wider than the paper, sorted: no question, every column group prints.
    run = app_factory(name="print_job_wide").run_job([folder / "wide.rdf", "/sort", "1", "desc", "number", "/print"])
    assert (run.exit_code, run.stderr, run.window_shown) == (0, "", False)
    pdfs = test_env.wait_for_pdfs(2, known, timeout=60)
    groups = len(pdfs)
    assert [job_name(p) for p in pdfs] == [f"Linta_1_001_{g}" for g in range(1, groups + 1)]
    assert page_rows(pdf_text(test_env, pdfs[0])) == [8, 7, 6, 5, 4, 3, 2, 1]
    assert "КолонаЕ-008" in pdf_text(test_env, pdfs[-1])
    test_env.render_pdf(pdfs[0], test_env.screenshot_dir / "print-job-sorted", dpi=60)

    # A printer that cannot be opened fails the job.
    known = test_env.pdfs()
    run = app_factory(name="print_job_no_printer").run_job(
        [folder / "pages.rdf", "/print"], printer_cfg=printer_cfg(kind=1, device="Несъществуващ принтер"))
    assert (run.exit_code, run.stderr) == (6, 'lintaro: the printer "Несъществуващ принтер" cannot be opened\r\n')
    assert new_jobs(test_env, known) == []


def test_page_numbers_without_a_page_print_nothing(lintaro, test_env):
    start_table(lintaro, rows=70)
    pages = page_count_offered(lintaro)
    assert pages == 2, "70 rows of Arial 10 make two A4 pages"
    pdfs = print_pages(lintaro, test_env, 2, first=0, last=pages + 2)
    assert [job_name(p) for p in pdfs] == ["Linta_1_001_1", "Linta_1_002_1"]
    print_pages(lintaro, test_env, 0, first=pages + 1, last=pages + 3)


def test_a_landscape_setting_prints_landscape_pages(lintaro, test_env):
    start_table(lintaro, rows=20, cfg=printer_cfg(landscape=True))
    (pdf,) = print_pages(lintaro, test_env, 1)
    assert job_name(pdf) == "Linta_1_001_1"
    # The PDF printer writes a landscape page as A4 turned by 90 degrees.
    info = subprocess.run(["pdfinfo", str(pdf)], capture_output=True, text=True).stdout
    assert re.search(r"Page rot:\s+90", info), info
    text = pdf_text(test_env, pdf)
    assert row_name(1) in text and row_name(20) in text
    (png,) = test_env.render_pdf(pdf, test_env.screenshot_dir / "landscape", dpi=72)
    assert image_size(png) == (842, 595)
    left, _ = dark_columns(png)
    assert 15 / 25.4 * 72 - 2 <= left <= 15 / 25.4 * 72 + 3, left


def test_a_table_wider_than_the_paper_asks_first_and_prints_group_by_group(lintaro, test_env):
    start_table(lintaro, rows=8, wide=True)
    # Cancel at the question: no dialog, no job.
    known = test_env.pdfs()
    lintaro.key("ctrl+p")
    box, caption, text = lintaro.wait_message_box()
    assert (caption, text) == ("Lintaro 2.0", TOO_WIDE)
    assert {c.control_id for c in box.children() if c.class_name == "Button"} == {IDOK, IDCANCEL}
    lintaro.screenshot(test_env.screenshot_dir / "too-wide.png", window=box)
    box.click(IDCANCEL)
    box.wait_gone()
    time.sleep(0.5)
    settle(lintaro)
    assert lintaro.dialogs() == []
    assert new_jobs(test_env, known) == []

    # OK: the dialog offers every column group; all of them print, each a job of its own.
    lintaro.key("ctrl+p")
    box, _, text = lintaro.wait_message_box()
    assert text == TOO_WIDE
    box.click(IDOK)
    box.wait_gone()
    dialog = lintaro.wait_dialog(PAGES_CAPTION)
    groups = dialog.combo_items(GROUP_TO)
    assert len(groups) >= 2 and groups == [str(n) for n in range(1, len(groups) + 1)]
    assert dialog.combo_selected_text(GROUP_TO) == groups[-1]
    assert dialog.control_text(PAGE_TO) == "1"
    pdfs = print_pages(lintaro, test_env, len(groups), dialog=dialog)
    assert [job_name(p) for p in pdfs] == [f"Linta_1_001_{g}" for g in groups]
    titles = ["№", "Наименование", "Град", "Сума"] + [f"Колона{c}" for c in "АБВГДЕ"]
    printed = []
    for pdf in pdfs:
        text = pdf_text(test_env, pdf)
        test_env.render_pdf(pdf, dpi=50)
        here = [t for t in titles[1:] if t in text]
        assert here, "every group prints some columns"
        # The column numbers go on from the group before, as the grid shows them: the row
        # numbers and "№" are 1 and 2, "Наименование" 3, and so on.
        numbers = next(line.split() for line in text.splitlines() if re.fullmatch(r"[\d\s]+", line.strip() or "x"))
        first = 3 + len(printed)
        if not printed:
            first = 1
        assert [int(n) for n in numbers] == list(range(first, 3 + len(printed) + len(here))), (here, numbers)
        printed += here
        # Every group prints every row's line: header and the rows' own columns.
        assert "Складова наличност" in text
    # Each column is printed in exactly one group, left to right.
    assert printed == titles[1:]
    assert row_name(8) in pdf_text(test_env, pdfs[0])
    assert "КолонаЕ-008" in pdf_text(test_env, pdfs[-1])

    # A single later group alone.
    pdfs = print_pages(lintaro, test_env, 1, group_from=2, group_to=2,
                       dialog=_after_question(lintaro))
    assert job_name(pdfs[0]) == "Linta_1_001_2"
    assert "Наименование" not in pdf_text(test_env, pdfs[0])


def page_width_marks(lintaro, test_env, name: str) -> list[int]:
    """The x of every red page-width mark across the table, in table pixels: the grid scrolled
    to the left end, then a window width further right each time, screenshot by screenshot."""
    grid = lintaro.grid_window()
    width = grid.info().client_size[0]
    info = lintaro.driver.call("scrollinfo", grid.handle, "H")
    right_end = max(0, int(info[1]) - int(info[2]))
    marks: set[int] = set()
    for offset in range(0, right_end + width, width):
        offset = min(offset, right_end)
        grid.send(WM_HSCROLL, (offset << 16) | SB_THUMBTRACK)
        time.sleep(0.2)
        png = lintaro.screenshot(test_env.screenshot_dir / f"{name}-{offset}.png", window=grid, client=True)
        shot_width, shot_height, data = image_pixels(png)
        top = 2 * shot_width * 3  # in the white band over the table, which a mark crosses too
        marks |= {offset + x for x in range(shot_width)
                  if tuple(data[top + 3 * x:top + 3 * x + 3]) == (255, 0, 0)}
    grid.send(WM_HSCROLL, SB_THUMBTRACK)
    return sorted(marks)


def test_key_columns_and_page_of_pages_print_on_every_group_of_every_page(lintaro, test_env):
    start_table(lintaro, rows=70, wide=True, wide_words=1)
    plain_groups = len(_after_question(lintaro).combo_items(GROUP_TO))
    lintaro.dialogs()[0].click(IDCANCEL)
    settle(lintaro)
    # Every group's mark but perhaps the last one's, which may lie beyond the table's end.
    plain_marks = page_width_marks(lintaro, test_env, "marks-plain")
    assert plain_groups - 1 <= len(plain_marks) <= plain_groups

    # The row numbers, "№" and "Наименование" repeat; numbers read "стр. N от M" from page 1 on.
    lintaro.post_command(211)
    style = lintaro.wait_dialog(TABLE_CAPTION)
    assert style.combo_selected_text(KEY_COLUMNS) == "Няма"
    assert style.combo_selected_text(PAGE_NUMBER_STYLE) == "Само номер"
    style.select_combo(KEY_COLUMNS, "3")
    style.select_combo(PAGE_NUMBER_STYLE, "стр. N от M")
    style.set_checked(FIRST_PAGE_NUMBER, True)
    style.click(IDOK)
    style.wait_gone()
    settle(lintaro)
    key_marks = page_width_marks(lintaro, test_env, "marks-key-columns")

    dialog = _after_question(lintaro)
    groups = len(dialog.combo_items(GROUP_TO))
    pages = int(dialog.control_text(PAGE_TO))
    assert groups >= 3 and groups > plain_groups, "the repeated columns take room on every later sheet"
    assert pages >= 2
    # The grid marks the same groups: as many marks more as groups, the first where it was, the
    # later ones nearer by the width of the repeated columns (three of them: over 100 pixels).
    assert len(key_marks) - len(plain_marks) == groups - plain_groups
    assert key_marks[0] == plain_marks[0]
    assert plain_marks[1] - key_marks[1] > 100, (plain_marks, key_marks)
    pdfs = print_pages(lintaro, test_env, 2 * groups, first=1, last=2, dialog=dialog)
    extra = [f"Колона{c}" for c in "АБВГДЕ"]
    printed_extra = []
    for index, pdf in enumerate(pdfs):
        page, group = index // groups + 1, index % groups + 1
        assert job_name(pdf) == f"Linta_1_{page:03d}_{group}"
        text = pdf_text(test_env, pdf)
        test_env.render_pdf(pdf, test_env.screenshot_dir / f"key-columns-{page}-{group}", dpi=50)
        assert f"стр. {page} от {pages}" in text, (page, group)
        # Every sheet tells its rows by their name (and the first by the titles over them).
        if page == 1:
            assert "Наименование" in text and "№" in text
        rows = page_rows(text)
        assert rows and rows == sorted(rows), (page, group)
        if group == 1:
            page_first_rows = rows
        else:
            assert rows == page_first_rows, "every group of a page holds the same rows"
        if page == 1:
            printed_extra += [t for t in extra if t in text]
    # The columns of their own still print once each, left to right.
    assert printed_extra == extra


def test_key_columns_that_leave_no_room_are_fewer_and_the_user_is_told(lintaro, test_env):
    # Every wide column is wider than the sheet on its own: only the narrow ones count, and five
    # keys would leave no room for "Сума", the last of them.
    start_table(lintaro, rows=5, wide=True, wide_words=6)
    lintaro.post_command(TABLE_APPEARANCE)
    style = lintaro.wait_dialog(TABLE_CAPTION)
    style.select_combo(KEY_COLUMNS, "5")
    style.click(IDOK)
    style.wait_gone()
    box, caption, text = lintaro.wait_message_box()
    assert (caption, text) == ("Lintaro 2.0", "Ключовите колони са по-широки от листа\r\n"
                                              "и не оставят място за другите колони.\r\n"
                                              "На всеки лист ще се повтарят само 4.")
    box.click(IDOK)
    box.wait_gone()
    settle(lintaro)
    # The second group: the four keys and the first wide column, cut at the sheet's edge.
    pdfs = print_pages(lintaro, test_env, 1, group_from=2, group_to=2, dialog=_after_question(lintaro))
    text = pdf_text(test_env, pdfs[0])
    assert all(title in text for title in ("№", "Наименование", "Град")) and "Сума" not in text
    assert "КолонаА-001" in text


def test_a_table_fitted_to_the_width_prints_one_readable_group_and_the_grid_pages_as_it(lintaro, test_env):
    start_table(lintaro, rows=150, wide=True, wide_words=1)
    plain_pages = int(_after_question(lintaro).control_text(PAGE_TO))
    lintaro.dialogs()[0].click(IDCANCEL)
    settle(lintaro)
    run_dialog(lintaro, TABLE_APPEARANCE, TABLE_CAPTION, lambda dialog: dialog.set_checked(FIT_TO_WIDTH, True))

    # No question: the table fits; one group; the smaller rows fill fewer pages.
    dialog = open_pages_to_print(lintaro)
    assert dialog.combo_items(GROUP_TO) == ["1"]
    fitted_pages = int(dialog.control_text(PAGE_TO))
    assert fitted_pages < plain_pages
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    known = test_env.pdfs()
    assert expect_grid_as_printed(lintaro, test_env, "fit-to-width") == []

    pdf = new_jobs(test_env, known)[0]
    text = pdf_text(test_env, pdf)
    assert all(f"Колона{c}-001" in text for c in "АБВГДЕ"), "every column on the one sheet"
    (png,) = test_env.render_pdf(pdf, test_env.screenshot_dir / "fit-to-width-page-1", dpi=100)
    # The whole table within the margins (15 mm left, 10 mm right of A4's 210 mm).
    left, right = dark_columns(png)
    assert 15 * 100 / 25.4 - 2 <= left and right <= (210 - 10) * 100 / 25.4 + 2, (left, right)
    # Arial 10 at the scale: smaller than 10 points, never below 40 % of it.
    boxes = word_boxes(pdf, "Стоков")
    assert boxes
    heights = {round(y2 - y1, 1) for _, y1, _, y2 in boxes}
    assert all(4.0 <= h < 10.0 for h in heights), heights


def _after_question(lintaro):
    lintaro.key("ctrl+p")
    box, _, text = lintaro.wait_message_box()
    assert text == TOO_WIDE
    box.click(IDOK)
    box.wait_gone()
    return lintaro.wait_dialog(PAGES_CAPTION)


def test_a_table_prints_on_the_printer_and_paper_its_head_laid_it_out_for(lintaro, app_factory, test_env):
    # Printer.cfg holds the A4 printer; the head names the Letter printer, in landscape.
    head = "Printer: Letter\r\nOrientation: Landscape\r\n"
    folder = lintaro.prepare(printer_cfg=printer_cfg(kind=1, device=test_env.printer),
                             files={"pages.rdf": head + table_data(60)})
    lintaro.start([folder / "pages.rdf"])
    lintaro.post_command(302)
    setup = lintaro.wait_dialog(" Настройка на печата")
    printers = setup.list_items(111)
    assert printers[setup.list_selection(111)] == test_env.second_printer
    assert setup.combo_selected_text(211) == "Пейзаж"
    setup.click(IDCANCEL)
    setup.wait_gone()
    pages = page_count_offered(lintaro)
    pdfs = print_pages(lintaro, test_env, pages)
    assert [test_env.pdf_page_size_points(p) for p in pdfs] == [LETTER_PORTRAIT] * pages
    assert sum((page_rows(pdf_text(test_env, p)) for p in pdfs), []) == list(range(1, 61))
    assert lintaro.close() == 0

    # "Default" while Printer.cfg holds Letter: laid out for A4, printed on A4, no row lost at
    # the foot of a page.
    again = app_factory()
    folder = again.prepare(printer_cfg=printer_cfg(kind=1, device=test_env.second_printer),
                           files={"pages.rdf": "Printer: Default\r\n" + table_data(150)})
    again.start([folder / "pages.rdf"])
    pages = page_count_offered(again)
    pdfs = print_pages(again, test_env, pages)
    assert [test_env.pdf_page_size_points(p) for p in pdfs] == [A4_PORTRAIT] * pages
    assert sum((page_rows(pdf_text(test_env, p)) for p in pdfs), []) == list(range(1, 151))


def test_a_head_margin_taller_than_the_paper_falls_back_to_the_previous_one(lintaro, test_env):
    # A 300 mm top margin on A4 once put every row on a sheet of its own, below the paper's end.
    folder = lintaro.prepare(printer_cfg=printer_cfg(),
                             files={"pages.rdf": "Page: Top 300.00\r\n" + table_data(70)})
    lintaro.start([folder / "pages.rdf"])
    assert page_count_offered(lintaro) == 2
    (pdf,) = print_pages(lintaro, test_env, 1, last=1)
    rows = page_rows(pdf_text(test_env, pdf))
    assert rows[0] == 1 and len(rows) > 40
    # The table starts near Printer.cfg's 10 mm top margin, under the page number.
    (first,) = word_boxes(pdf, "Складова")
    assert 10 * MM < first[1] < 25 * MM, first


def test_a_printer_that_cannot_be_opened_is_reported_and_prints_nothing(lintaro, test_env):
    start_table(lintaro, rows=5, cfg=printer_cfg(kind=1, device="Несъществуващ принтер"))
    known = test_env.pdfs()
    dialog = open_pages_to_print(lintaro)
    dialog.click(IDOK)
    dialog.wait_gone()
    box, caption, text = lintaro.wait_message_box()
    assert (caption, text) == ("Lintaro 2.0", NO_PRINTER)
    assert box.info().owner == lintaro.main.handle
    lintaro.screenshot(test_env.screenshot_dir / "no-printer.png", window=box)
    box.click(IDOK)
    box.wait_gone()
    time.sleep(0.5)
    settle(lintaro)
    assert lintaro.dialogs() == []
    assert new_jobs(test_env, known) == []


# ----------------------------------------------------------------------------------------------
# Long prints: the progress window, Cancel, and all pages as one job


def wait_progress(lintaro, timeout: float = 10.0):
    return lintaro.driver.wait(window_class=PROGRESS_CLASS, exe=lintaro.windows_exe, visible=True,
                               timeout=timeout)


def start_twenty_pages(lintaro) -> None:
    start_table(lintaro, rows=1300)
    assert page_count_offered(lintaro) >= 20, "1300 rows of Arial 10 fill twenty A4 pages"


def test_cancel_in_a_twenty_page_print_keeps_the_jobs_sent_and_the_window_answers(lintaro, test_env):
    start_twenty_pages(lintaro)
    known = test_env.pdfs()
    dialog = open_pages_to_print(lintaro)
    assert not dialog.is_checked(ONE_JOB), "page by page unless the user asks"
    dialog.set_control_text(PAGE_TO, "20")
    dialog.click(IDOK)
    dialog.wait_gone()

    progress = wait_progress(lintaro)
    info = progress.info()
    assert info.owner == lintaro.main.handle and info.caption == " Lintaro 2.0"
    assert progress.control_text(PROGRESS_WHAT) == "Отпечатване на таблицата..."
    assert re.fullmatch(r"Изпратени страници: \d+ от 20", progress.control_text(PROGRESS_COUNT))
    # No command can start meanwhile, yet the main window answers and paints at once: Page Down
    # in the grid (sent, so the call returns only when the program handled it) repaints rows of
    # the second page under the progress window.
    assert not lintaro.main.info().enabled
    grid = lintaro.grid_window()
    grid.record_text()
    grid.send(WM_KEYDOWN, VK_NEXT)
    assert eventually(lambda: any("Стоков запис 0" in text for paint in grid.painted_text()
                                  for _, _, text in paint), timeout=5)
    lintaro.screenshot(test_env.screenshot_dir / "printing-progress.png")
    lintaro.screenshot(test_env.screenshot_dir / "printing-progress-window.png", window=progress)

    test_env.wait_for_pdfs(3, known, timeout=30)
    progress.click(IDCANCEL)
    progress.wait_gone(timeout=5)
    settle(lintaro)
    assert lintaro.main.info().enabled
    time.sleep(2)
    pdfs = new_jobs(test_env, known)
    assert 3 <= len(pdfs) < 20, pdfs
    assert [job_name(p) for p in pdfs] == [f"Linta_1_{page:03d}_1" for page in range(1, len(pdfs) + 1)]
    # Commands work again: the pages dialog opens and remembers nothing of the cancelled run.
    dialog = open_pages_to_print(lintaro)
    dialog.click(IDCANCEL)
    dialog.wait_gone()


def test_one_job_prints_all_pages_groups_and_copies_in_order_as_one_pdf(lintaro, test_env):
    start_twenty_pages(lintaro)
    dialog = open_pages_to_print(lintaro)
    dialog.set_checked(ONE_JOB, True)
    (pdf,) = print_pages(lintaro, test_env, 1, last=10, copies=2, dialog=dialog)
    # Named as the first page's job; the copies follow each other, each in page order.
    assert job_name(pdf) == "Linta_1_001_1"
    assert test_env.pdf_page_count(pdf) == 20
    pages = pdf_text(test_env, pdf).split("\f")
    rows = [page_rows(page) for page in pages if page.strip()]
    assert len(rows) == 20 and all(rows)
    # Every row of pages 1 to 10 once, in order, then the same again for the second copy.
    first_copy = [row for page in rows[:10] for row in page]
    assert first_copy == list(range(1, len(first_copy) + 1)) and len(first_copy) > 500
    assert rows[10:] == rows[:10]

    # The choice holds for the next print of this run; unchecked, every page is a job again.
    dialog = open_pages_to_print(lintaro)
    assert dialog.is_checked(ONE_JOB)
    dialog.set_checked(ONE_JOB, False)
    pdfs = print_pages(lintaro, test_env, 2, first=19, last=20, dialog=dialog)
    assert [job_name(p) for p in pdfs] == ["Linta_1_019_1", "Linta_1_020_1"]


def test_closing_the_main_window_during_a_print_stops_it_and_ends_the_program(lintaro, test_env):
    start_twenty_pages(lintaro)
    known = test_env.pdfs()
    dialog = open_pages_to_print(lintaro)
    dialog.click(IDOK)
    dialog.wait_gone()
    progress = wait_progress(lintaro)
    lintaro.main.close()
    assert lintaro.exit_code(timeout=15) == 0
    time.sleep(2)
    assert 1 <= len(new_jobs(test_env, known)) < 5


# ----------------------------------------------------------------------------------------------
# The samples


SAMPLES = Path(__file__).resolve().parents[1] / "samples"


def sample_rows(name: str) -> list[list[str]]:
    lines = (SAMPLES / name).read_bytes().decode("cp1251").split("\r\n")
    return [line.split("\t") for line in lines[lines.index("Data:") + 1:] if line]


def test_the_bulgarian_sales_sample_prints_its_cyrillic_cells_in_two_groups(lintaro, test_env):
    lintaro.start([SAMPLES / "sales-bg.rdf"])
    # Its last column reaches past the printable width of A4 less 15 and 10 mm: the question
    # comes, and the remarks are the second column group.
    dialog = _after_question(lintaro)
    assert int(dialog.control_text(PAGE_TO)) >= 3
    assert dialog.combo_items(GROUP_TO) == ["1", "2"]
    pdfs = print_pages(lintaro, test_env, 2, first=1, last=1, dialog=dialog)
    assert [job_name(p) for p in pdfs] == ["Linta_1_001_1", "Linta_1_001_2"]
    first, remarks = (pdf_text(test_env, p) for p in pdfs)
    for text in (first, remarks):
        assert "Продажби по региони" in text and "Фирма Пример ЕООД" in text
    assert re.search(r"№\s+Име\s+Град\s+Сума\s+Дата", first) and "Бележка" not in first
    assert "Бележка" in remarks and "Град" not in remarks
    rows = sample_rows("sales-bg.rdf")
    # The first rows on the first page, whole: number, name, city, sum and date on one line;
    # their remarks on the second group's sheet.
    for number, name, city, amount, date, remark in rows[:5]:
        assert re.search(rf"{number}\s+{name}\s+{city}\s+{amount}\s+{date}", first), name
        assert remark in remarks.replace("\n", " ") or remark.split()[0] in remarks, remark
    # Each row line starts with the grid's row number and the sample's own "№", both n.
    printed = [int(n) for n in re.findall(r"^\s*(\d+)\s+\1\s+[А-Яа-я]", first, re.M)]
    assert printed == list(range(1, len(printed) + 1)) and 20 < len(printed) < len(rows)
    for pdf in pdfs:
        test_env.render_pdf(pdf, dpi=60)


NATIVE_CONVERTER = Path(__file__).resolve().parents[2] / "build" / "native" / "convert" / "lintaro-convert"


def native_pdf_pages(data: Path, out: Path, layout: Path | None = None) -> list[str]:
    """The pages lintaro-convert draws natively for `data` (with its column layout file, if
    given), each page's text (pdftotext)."""
    assert NATIVE_CONVERTER.exists(), f"{NATIVE_CONVERTER} is missing: build the native tree"
    extra = ["--layout", str(layout)] if layout is not None else []
    subprocess.run([str(NATIVE_CONVERTER), str(data), "--to", "pdf", "-o", str(out), *extra], check=True)
    text = subprocess.run(["pdftotext", "-layout", str(out), "-"], check=True,
                          capture_output=True).stdout.decode("utf-8").replace("\u00ad", "-")
    return text.split("\f")[:-1]


def printed_characters(text: str) -> str:
    """A page's characters line by line without blanks (how pdftotext spaces the words depends on
    the gaps between glyphs), the date line's time left out (the two are made at different
    minutes)."""
    text = DATE_LINE.sub("DATE", text.replace("\u00ad", "-"))
    return "\n".join(re.sub(r"\s+", "", line) for line in text.splitlines() if line.strip())


def leading_numbers(text: str) -> list[int]:
    """The row numbers that begin a page's lines (a number, perhaps another, then a word)."""
    return [int(n) for n in re.findall(r"^\s*(\d+)\s+(?:\d+\s+)?[^\d\s]", text, re.M)]


def generated_two_group_table() -> str:
    """Three A4 pages of rows whose remarks are too wide to print beside the other columns."""
    lines = table_data(150).split("\r\n")
    titles = lines.index("Titles:") + 1
    lines[titles] += "\tБележка"
    lines[titles + 2] += "\tText"
    for i in range(lines.index("Data:") + 1, len(lines) - 1):
        lines[i] += f"\tбележка {i:03d} " + "дълъг текст на бележката " * 3
    return "\r\n".join(lines)


@pytest.mark.parametrize("table", ["sales-bg", "generated", "key-columns", "sums"])
def test_the_native_pdf_has_the_pages_and_rows_the_printer_prints(lintaro, test_env, table):
    layout = None
    if table == "sales-bg":
        data = SAMPLES / "sales-bg.rdf"
        lintaro.start([data])
    else:
        folder = lintaro.prepare(files={"pages.rdf": generated_two_group_table()})
        data = folder / "pages.rdf"
        if table == "key-columns":
            # The row numbers and "№" on every sheet, pages as "стр. N от M", kept in the layout.
            layout = folder / "pages.fmt"
            lintaro.start([data, layout])
            lintaro.post_command(TABLE_APPEARANCE)
            style = lintaro.wait_dialog(TABLE_CAPTION)
            style.select_combo(KEY_COLUMNS, "2")
            style.select_combo(PAGE_NUMBER_STYLE, "стр. N от M")
            style.set_checked(FIRST_PAGE_NUMBER, True)
            style.click(IDOK)
            style.wait_gone()
            settle(lintaro)
        elif table == "sums":
            # The amounts summed with page totals and brought forward, kept in the layout.
            layout = folder / "pages.fmt"
            lintaro.start([data, layout])
            mark_summed(lintaro)
            place_sums(lintaro, page_totals=True, brought_forward=True)
        else:
            lintaro.start([data])
    dialog = _after_question(lintaro)
    pages = int(dialog.control_text(PAGE_TO))
    assert dialog.combo_items(GROUP_TO) == ["1", "2"]
    if table != "sales-bg":
        assert pages == 3
    printed = print_pages(lintaro, test_env, 2 * pages, dialog=dialog)
    if layout is not None:
        assert lintaro.close() == 0  # writes the layout file the converter reads
    native = native_pdf_pages(data, test_env.screenshot_dir / f"native-{table}.pdf", layout)
    # One sheet per page and column group, in the printer's order: page 1 group 1, group 2, ...
    assert [job_name(p) for p in printed] == [f"Linta_1_{page:03d}_{group}" for page in range(1, pages + 1)
                                             for group in (1, 2)]
    assert len(native) == len(printed)
    all_rows = []
    for sheet, (pdf, native_text) in enumerate(zip(printed, native)):
        wine_text = pdf_text(test_env, pdf)
        if sheet % 2 == 0:
            rows = leading_numbers(wine_text)
            assert rows, f"sheet {sheet + 1} has rows"
            assert leading_numbers(native_text) == rows, f"sheet {sheet + 1}"
            all_rows += rows
        # The same text line by line: header, titles, cells, footer, date, page number.
        assert printed_characters(native_text) == printed_characters(wine_text), f"sheet {sheet + 1}"
        if table == "key-columns":
            page = sheet // 2 + 1
            assert f"стр. {page} от {pages}" in native_text, f"sheet {sheet + 1}"
            # The remarks' sheet repeats its page's rows by their numbers.
            assert leading_numbers(native_text) == leading_numbers(wine_text) == rows, f"sheet {sheet + 1}"
        if table == "sums" and sheet % 2 == 0:
            # The same sums on both; their values are checked against the data elsewhere.
            page = sheet // 2 + 1
            assert ("Пренос от предходна страница" in native_text) == (page > 1), f"sheet {sheet + 1}"
            carried = re.search(r"^\s*Пренос\s+-?\d", native_text, re.M) is not None
            assert "Общо за страницата" in native_text and carried == (page < pages), f"sheet {sheet + 1}"
    assert all_rows == list(range(1, len(all_rows) + 1))
    # Look at the first sheet of both.
    test_env.render_pdf(printed[0], test_env.screenshot_dir / f"wine-{table}", dpi=60)
    subprocess.run(["pdftoppm", "-png", "-r", "60", "-f", "1", "-l", "1",
                    str(test_env.screenshot_dir / f"native-{table}.pdf"),
                    str(test_env.screenshot_dir / f"native-{table}")], check=True)


def test_the_furniture_sample_prints_its_pictures(lintaro, test_env):
    lintaro.start([SAMPLES / "furniture.rdf"])
    (pdf,) = print_pages(lintaro, test_env, 1)
    text = pdf_text(test_env, pdf)
    for word in ("Store 12", "March", "Item", "Price", "Photo", "Chair", "Table", "Lamp", "12.50",
                 "7.25", "Approved"):
        assert word in text, word
    (png,) = test_env.render_pdf(pdf, test_env.screenshot_dir / "furniture", dpi=100)
    width, height, data = image_pixels(png)
    # The pictures are in colour; the rest of the page is black on white.
    coloured = sum(1 for i in range(0, len(data), 3)
                   if max(data[i:i + 3]) - min(data[i:i + 3]) > 60)
    assert coloured > 200, coloured


def test_pages_of_double_height_cells_with_titles_end_at_the_bottom_margin(lintaro, test_env):
    start_table(lintaro, rows=150)
    lintaro.post_command(211)
    style = lintaro.wait_dialog(TABLE_CAPTION)
    style.select_combo(CELL_HEIGHT_LIST, "x 200 %")
    style.set_checked(TITLES_EACH_PAGE, True)
    style.click(IDOK)
    style.wait_gone()
    pdfs = print_pages(lintaro, test_env, 4, first=1, last=4)
    seen_rows: list[int] = []
    for page, pdf in enumerate(pdfs, 1):
        seen_rows += page_rows(pdf_text(test_env, pdf))
        (png,) = test_env.render_pdf(pdf, test_env.screenshot_dir / f"double-height-page-{page}", dpi=72)
        # Printer.cfg: 10 mm top and bottom margins on A4 (842 points).
        top, bottom = dark_rows(png)
        assert top >= 10 * MM - 1, (page, top)
        assert bottom <= 842 - 10 * MM, (page, bottom)
    assert seen_rows == list(range(1, len(seen_rows) + 1))


# ----------------------------------------------------------------------------------------------
# The grid is the print preview


def sequence_table(name: str, lintaro) -> dict:
    """The tables the whole sequence runs on: the two Windows-printer samples and a generated
    table wider than A4, with the column each step works on."""
    if name == "wide":
        folder = lintaro.prepare(printer_cfg=printer_cfg(), files={"pages.rdf": table_data(90, wide=True)})
        return {"path": folder / "pages.rdf", "flow": 5, "flow_title": "КолонаА", "hide": "Град",
                "sort": ("Наименование", "В намаляващ ред", "Текст"), "filter": ("Сума", "100", "1000", "Число")}
    return {
        "sales-bg": {"path": SAMPLES / "sales-bg.rdf", "flow": 2, "flow_title": "Име", "hide": "Дата",
                     "sort": ("Град", "В нарастващ ред", "Текст"), "filter": ("Сума", "6000", "9000", "Число")},
        "furniture": {"path": SAMPLES / "furniture.rdf", "flow": 2, "flow_title": "Item", "hide": "Price",
                      "sort": ("Item", "В нарастващ ред", "Текст"), "filter": ("No.", "1", "2", "Число")},
    }[name]


@pytest.mark.parametrize("name", ["sales-bg", "furniture", "wide"])
def test_the_grid_shows_the_rows_and_page_breaks_that_print_after_every_kind_of_command(lintaro, test_env, name):
    table = sequence_table(name, lintaro)
    lintaro.start([table["path"]])
    settle(lintaro)
    titles = None
    differences: list[str] = []

    # Natural widths, then the column that will flow narrowed by a drag to 45 % of its width.
    lintaro.key("ctrl+w")
    settle(lintaro)
    narrow_column(lintaro, test_env, table["flow"], 0.55)

    # Text flow on the narrowed column.
    def flow(dialog):
        dialog.select_combo(101, table["flow_title"])
        time.sleep(0.1)
        dialog.set_checked(132, True)
    run_dialog(lintaro, COLUMN_APPEARANCE, " Оформление на колоните", flow)

    # A column hidden.
    def hide(dialog):
        nonlocal titles
        titles = dialog.list_items(101)
        dialog.set_list_selected(101, titles.index(table["hide"]), False)
    run_dialog(lintaro, VISIBLE_COLUMNS, " Подбор на видими колони", hide)
    differences += expect_grid_as_printed(lintaro, test_env, f"{name}-flow-and-hide", last=3)
    if name != "furniture" and printed_rows_of_several_lines(test_env) == 0:  # its items are single words
        differences.append(f"{name}: the narrowed column was given text flow, yet every row prints one line")

    # A sort, a filter and a table look with cells twice as high.
    def sort(dialog):
        column, order, data_type = table["sort"]
        dialog.select_combo(101, column)
        dialog.select_combo(102, order)
        dialog.select_combo(103, data_type)
    run_dialog(lintaro, SORT, " Сортиране на таблицата", sort)

    def filter_rows(dialog):
        column, low, high, data_type = table["filter"]
        dialog.select_combo(101, column)
        dialog.set_control_text(111, low)
        dialog.set_control_text(112, high)
        dialog.select_combo(121, data_type)
    run_dialog(lintaro, FILTER, " Подбор", filter_rows)

    run_dialog(lintaro, TABLE_APPEARANCE, TABLE_CAPTION, lambda dialog: dialog.select_combo(112, "x 200 %"))
    differences += expect_grid_as_printed(lintaro, test_env, f"{name}-sorted-filtered-high")
    assert differences == []
    assert titles is not None and table["hide"] in titles


def test_page_numbers_end_on_screen_at_the_page_width_mark_as_they_end_at_the_margin(lintaro, test_env):
    start_table(lintaro, rows=150)
    settle(lintaro)
    grid = lintaro.grid_window()
    grid.record_text()
    number_y = None
    for _ in range(40):
        grid.send(WM_KEYDOWN, VK_NEXT)
        last = grid.painted_text()[-1]
        number_y = next((y for _, y, text in last if text == "2."), None)
        if number_y is not None and number_y > 0:
            break
    assert number_y is not None, "page 2 begins with its number"
    shot = lintaro.screenshot(test_env.screenshot_dir / "page-number-on-screen.png", window=grid, client=True)
    width, height, data = image_pixels(shot)
    pixel = lambda x, y: tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3])
    marks = [x for x in range(width) if all(pixel(x, y) == (255, 0, 0) for y in range(0, height, 7))]
    assert marks, "the page-width mark"
    ink = [x for y in range(number_y, min(number_y + 12, height)) for x in range(width) if sum(pixel(x, y)) < 200]
    # "2." ends a text inset left of the mark, as on paper it ends a text inset left of the margin.
    assert marks[0] - 16 <= max(ink) < marks[0], (max(ink), marks)


def test_flowing_cells_show_on_screen_the_lines_they_print(lintaro, test_env):
    # Glyphs whose widths round differently at the screen's and at the printer's resolution,
    # each row of one kind, over many lines: the two devices disagree about some break.
    words = ["iiil", "mmwm", "WWW", "шшщ", "ffft", "ЖЖ", "rrrj", "абвгд", "xyzzy", "ОООЮ"]
    rows = [" ".join(words[n % len(words)] for _ in range(8 + n % 4)) for n in range(16)]
    data = "\r\n".join(["WindowTitle: Пренасяне", "Font: Arial, 10", "Titles:", "Текст", "Types:", "Text",
                        "Data:"] + rows) + "\r\n"
    folder = lintaro.prepare(printer_cfg=printer_cfg(), files={"flow.rdf": data})
    lintaro.start([folder / "flow.rdf"])
    settle(lintaro)
    def flow(dialog):
        dialog.select_combo(101, "Текст")
        time.sleep(0.1)
        dialog.set_checked(132, True)
    run_dialog(lintaro, COLUMN_APPEARANCE, " Оформление на колоните", flow)
    narrow_column(lintaro, test_env, 1, 0.7)

    # Each row's lines as the grid paints them (a row cut at the window's edge is painted whole).
    on_screen: dict[int, list[str]] = {}
    for paint in grid_paints(lintaro):
        row, lines = None, []
        for line in paint_lines(paint) + [[(0, "0 end")]]:
            words = " ".join(text for _, text in line).split()
            if is_row(words) or is_page_top(words) or PAGE_NUMBER_TEXT.fullmatch(" ".join(words)):
                if row is not None and len(lines) > len(on_screen.get(row, [])):
                    on_screen[row] = lines
                row, lines = (int(words[0]), [" ".join(words[1:])]) if is_row(words) else (None, [])
            elif row is not None and words:
                lines.append(" ".join(words))
    on_paper: dict[int, list[str]] = {}
    for pdf in print_first_group(lintaro, test_env):
        row = None
        for line in pdf_text(test_env, pdf).splitlines():
            words = line.split()
            if is_row(words):
                row = int(words[0])
                on_paper[row] = [" ".join(words[1:])]
            elif row is not None and words:
                on_paper[row].append(" ".join(words))
    assert sorted(on_paper) == list(range(1, 17))
    assert any(len(lines) >= 3 for lines in on_paper.values()), "the cells flow over several lines"
    assert {n: on_screen.get(n) for n in on_paper} == on_paper


# ----------------------------------------------------------------------------------------------
# Sum lines: an amount column marked "Сумиране" in "Оформление на колоните" and the "Суми" group
# of "Оформление на таблицата". Every sum printed or painted is checked against the amounts of
# the data file added up here with decimal arithmetic.

SUM_CHECK = 135
END_TOTAL, PAGE_TOTALS, BROUGHT_FORWARD, GROUP_TOTALS = 151, 152, 153, 154
COLUMN_CAPTION = " Оформление на колоните"
# Longest first: "Общо за страницата" begins with "Общо".
SUM_LABELS = ("Пренос от предходна страница", "Общо за страницата", "Пренос", "Общо")
CITIES = ("Бургас", "Пловдив", "София")
NOT_A_NUMBER_ROW = 50


def sum_amount(row: int) -> str:
    """Amounts as people type them: thousands apart with a blank and a decimal comma, negative
    ones, plain points, and one cell that is not a number."""
    if row == NOT_A_NUMBER_ROW:
        return "н/д"
    if row % 10 == 3:
        return f"{row} 234,56"
    if row % 10 == 7:
        return f"-{row},50"
    return f"{row * 13.25:.2f}"


def sum_city(row: int) -> str:
    return CITIES[row * 7 % 3]


def sums_table_data(rows: int) -> str:
    lines = table_data(rows).split("\r\n")
    first = lines.index("Data:") + 1
    for n in range(1, rows + 1):
        cells = lines[first + n - 1].split("\t")
        cells[2], cells[3] = sum_city(n), sum_amount(n)
        lines[first + n - 1] = "\t".join(cells)
    return "\r\n".join(lines)


def amount_value(text: str) -> Decimal | None:
    """An amount read here on its own: blanks dropped, a decimal comma as a point."""
    try:
        return Decimal(re.sub(r"\s+", "", text).replace(",", "."))
    except InvalidOperation:
        return None


def amounts_of(rows, amounts=sum_amount) -> Decimal:
    """The sum of the rows' amounts (`amounts`: row number -> cell text); cells that are not
    numbers add nothing."""
    return sum((amount_value(amounts(n)) or Decimal(0) for n in rows), Decimal(0))


def sum_items(lines, groups=CITIES) -> list[tuple]:
    """The rows and sum lines of a text, top down: ("row", number) or (label, amount); a group's
    subtotal has the group's city (one of `groups`) as its label."""
    items = []
    for line in lines:
        words = line.split()
        # The row numbers, then "№", the row's number in the data file (the column numbers are
        # numbers only).
        if len(words) >= 3 and words[0].isdigit() and words[1].isdigit() and not words[2].isdigit():
            items.append(("row", int(words[1])))
            continue
        text = " ".join(words)
        for label in SUM_LABELS + tuple(groups):
            if text.startswith(label + " ") and amount_value(text[len(label):]) is not None:
                items.append((label, amount_value(text[len(label):])))
                break
    return items


def boxed_sum_items(text: str, groups=CITIES) -> list[tuple]:
    """sum_items of boxed text (an export, LPT1's bytes as text), its borders read as blanks."""
    return sum_items((line.replace("|", " ") for line in text.split("\r\n")), groups)


def check_group_sums(items: list[tuple], city_of=sum_city, amounts=sum_amount) -> list[str]:
    """Every group subtotal follows a run of rows of one city, is labelled with it and adds up
    its amounts; no row after the last subtotal. Returns the groups' labels in order."""
    run: list[int] = []
    groups = []
    for kind, value in items:
        if kind == "row":
            run.append(value)
        elif kind not in SUM_LABELS:
            assert run and {city_of(n) for n in run} == {kind}, (kind, run)
            assert value == amounts_of(run, amounts), kind
            groups.append(kind)
            run = []
    assert run == [], "rows after the last group"
    return groups


def check_sheet_sums(sheets: list[list[tuple]]) -> list[int]:
    """Page totals and brought forward on the printed sheets: the sum brought forward over the
    first row of every page but the first; under the last row the page's total, then the
    running one or, on the last page, the end total. Returns the rows in order."""
    seen: list[int] = []
    for page, items in enumerate(sheets, 1):
        rows = [n for kind, n in items if kind == "row"]
        first_row = next(i for i, (kind, _) in enumerate(items) if kind == "row")
        last_row = max(i for i, (kind, _) in enumerate(items) if kind == "row")
        opening = [] if page == 1 else [("Пренос от предходна страница", amounts_of(seen))]
        assert items[:first_row] == opening, page
        seen += rows
        closing = ("Пренос", amounts_of(seen)) if page < len(sheets) else ("Общо", amounts_of(seen))
        assert items[last_row + 1:] == [("Общо за страницата", amounts_of(rows)), closing], page
    return seen


def start_sums_table(lintaro, rows: int, layout: bool = True):
    folder = lintaro.prepare(printer_cfg=printer_cfg(), files={"sums.rdf": sums_table_data(rows)})
    lintaro.layout = folder / "sums.fmt" if layout else None
    lintaro.start([folder / "sums.rdf"] + ([lintaro.layout] if layout else []))
    return folder


def mark_summed(lintaro, title: str = "Сума", summed: bool = True) -> None:
    def fill(dialog):
        dialog.select_combo(101, title)
        time.sleep(0.1)
        assert dialog.item(SUM_CHECK).info().enabled
        dialog.set_checked(SUM_CHECK, summed)
    run_dialog(lintaro, COLUMN_APPEARANCE, COLUMN_CAPTION, fill)


def place_sums(lintaro, **boxes: bool) -> None:
    ids = {"end_total": END_TOTAL, "page_totals": PAGE_TOTALS, "brought_forward": BROUGHT_FORWARD,
           "group_totals": GROUP_TOTALS}

    def fill(dialog):
        for name, checked in boxes.items():
            dialog.set_checked(ids[name], checked)
    run_dialog(lintaro, TABLE_APPEARANCE, TABLE_CAPTION, fill)


def printed_sum_sheets(lintaro, test_env, name: str) -> list[list[tuple]]:
    sheets = []
    for page, pdf in enumerate(print_first_group(lintaro, test_env), 1):
        sheets.append(sum_items(pdf_text(test_env, pdf).splitlines()))
        test_env.render_pdf(pdf, test_env.screenshot_dir / f"{name}-{page}", dpi=60)
    return sheets


def anchored_sum_lines(texts: list[list[tuple]]) -> set[tuple]:
    """The sum lines of item lists (each a paint of the grid, or all printed sheets in one), each
    with the row nearest above it (below it for the brought-forward line, which opens a page)."""
    found = set()
    for items in texts:
        for i, (kind, value) in enumerate(items):
            step = 1 if kind == "Пренос от предходна страница" else -1
            j = i + step
            while 0 <= j < len(items) and items[j][0] != "row":
                j += step
            if kind != "row" and 0 <= j < len(items):
                found.add((kind, value, items[j][1]))
    return found


def grid_items(lintaro) -> list[list[tuple]]:
    """sum_items of each paint of the grid."""
    return [sum_items(" ".join(text for _, text in line) for line in paint_lines(paint))
            for paint in grid_paints(lintaro)]


def grid_sum_lines(lintaro) -> set[tuple]:
    return anchored_sum_lines(grid_items(lintaro))


def test_page_totals_and_brought_forward_print_the_sums_of_the_data_and_the_grid_shows_them(
        lintaro, app_factory, test_env):
    start_sums_table(lintaro, 150)
    plain = lintaro.screenshot(test_env.screenshot_dir / "sums-grid-plain.png", client=True)
    mark_summed(lintaro)
    # The page totals make the column wider at once, so that no sum loses a digit.
    place_sums(lintaro, page_totals=True, brought_forward=True)
    shot = lintaro.screenshot(test_env.screenshot_dir / "sums-grid.png", client=True)
    assert shot.read_bytes() != plain.read_bytes()
    sheets = printed_sum_sheets(lintaro, test_env, "sums-page")
    assert len(sheets) == 3
    assert check_sheet_sums(sheets) == list(range(1, 151))
    # The row that is not a number is left out and told under the total.
    assert amounts_of([NOT_A_NUMBER_ROW]) == 0
    last_text = pdf_text(test_env, new_jobs(test_env, [])[-1])
    assert re.search(r"\b1\b[^\n]*числ", last_text), last_text[-300:]
    # The grid shows the same lines after the same rows.
    on_paper = anchored_sum_lines([[item for sheet in sheets for item in sheet]])
    assert grid_sum_lines(lintaro) == on_paper
    lintaro.screenshot(test_env.screenshot_dir / "sums-grid-end.png", client=True)
    assert lintaro.close() == 0

    # Kept in the layout file: the next run shows the same lines.
    again = app_factory(name="sums_again")
    again.start([lintaro.folder / "sums.rdf", lintaro.layout], folder=lintaro.folder)
    assert grid_sum_lines(again) == on_paper
    again.post_command(TABLE_APPEARANCE)
    dialog = again.wait_dialog(TABLE_CAPTION)
    assert [dialog.is_checked(b) for b in (END_TOTAL, PAGE_TOTALS, BROUGHT_FORWARD, GROUP_TOTALS)] == [
        True, True, True, False]
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    assert again.close() == 0
    stored = read_layout(lintaro.layout.read_bytes())
    assert stored.options.sum_lines == 0x3
    assert [c.flags & 0x80 for c in stored.columns] == [0, 0, 0, 0, 0x80]

    # Written before sums were placed (byte 96 zero): the end total alone; and before columns
    # were summed at all: no sum line.
    data = bytearray(lintaro.layout.read_bytes())
    data[96] = 0
    lintaro.layout.write_bytes(bytes(data))
    older = app_factory(name="sums_older")
    older.start([lintaro.folder / "sums.rdf", lintaro.layout], folder=lintaro.folder)
    assert {kind for kind, _, _ in grid_sum_lines(older)} == {"Общо"}
    assert older.close() == 0
    data = bytearray(lintaro.layout.read_bytes())
    for column in range(len(stored.columns)):
        data[128 + 48 * column + 4] &= 0x7F
    lintaro.layout.write_bytes(bytes(data))
    oldest = app_factory(name="sums_oldest")
    oldest.start([lintaro.folder / "sums.rdf", lintaro.layout], folder=lintaro.folder)
    painted = [item for items in grid_items(oldest) for item in items]
    assert {n for kind, n in painted if kind == "row"} == set(range(1, 151))
    assert {kind for kind, _ in painted} == {"row"}
    assert oldest.close() == 0


def test_group_totals_follow_each_run_of_the_sorted_city(lintaro, test_env):
    start_sums_table(lintaro, 40, layout=False)
    mark_summed(lintaro)
    place_sums(lintaro, group_totals=True)

    def sort(dialog):
        dialog.select_combo(101, "Град")
        dialog.select_combo(102, "В нарастващ ред")
        dialog.select_combo(103, "Текст")
    run_dialog(lintaro, SORT, " Сортиране на таблицата", sort)
    items = [item for sheet in printed_sum_sheets(lintaro, test_env, "sums-groups") for item in sheet]
    assert check_group_sums(items) == list(CITIES)
    assert items[-1] == ("Общо", amounts_of(range(1, 41)))
    assert sorted(n for kind, n in items if kind == "row") == list(range(1, 41))


def check_running_sums(items: list[tuple], rows: int, amounts=sum_amount) -> int:
    """Checks the sum lines of a whole table's text, whatever marks its pages: "Общо за
    страницата" adds the rows since the page began, "Пренос" (which ends a page) and "Пренос от
    предходна страница" every row so far, "Общо" every row; returns how many pages ended with a
    "Пренос"."""
    seen: list[int] = []
    page: list[int] = []
    carried = 0
    for kind, value in items:
        if kind == "row":
            seen.append(value)
            page.append(value)
        elif kind == "Общо за страницата":
            assert value == amounts_of(page, amounts), (len(seen), value)
        elif kind == "Пренос":
            assert value == amounts_of(seen, amounts), (len(seen), value)
            page = []
            carried += 1
        elif kind == "Пренос от предходна страница":
            assert page == [] and value == amounts_of(seen, amounts), (len(seen), value)
    assert sorted(seen) == list(range(1, rows + 1))
    assert items[-1] == ("Общо", amounts_of(seen, amounts))
    return carried


def hostile_sums_data() -> bytes:
    """Amounts at the edges: the largest 64-bit whole number, numbers past 64 bits (counted as
    no numbers), control bytes in the cells beside them, and 255-byte remarks (summed later)."""
    rows = [
        ["Първи".encode("cp1251"), b"1 234,56", b"1", b"x" * 255],
        ["Ред\x01\x02\x1b@".encode("cp1251"), b"-0,01", b"2", b"form\x0cfeed"],
        ["Голямо".encode("cp1251"), b"9" * 40, b"3", b""],
        ["По-голямо".encode("cp1251"), b"123456789012345678901234567890", b"4", b""],
        ["Най-голямо".encode("cp1251"), b"9223372036854775807", b"5", b""],
    ] + [[f"Ред {n}".encode("cp1251"), f"{n},25".encode(), str(n).encode(), b""] for n in range(6, 13)]
    head = "WindowTitle: Суми\r\nFont: Arial, 10\r\nTitles:\r\nИме\tСума\tБрой\tБележка\r\n" \
           "Types:\r\nText\tNumber\tNumber\tText\r\nData:\r\n"
    return head.encode("cp1251") + b"".join(b"\t".join(row) + b"\r\n" for row in rows)


HOSTILE_SUM = Decimal("1234.56") - Decimal("0.01") + Decimal("9223372036854775807") + sum(
    Decimal(f"{n}.25") for n in range(6, 13))
HOSTILE_COUNT = sum(range(1, 13))


def end_total_line(text: str) -> str:
    lines = [line for line in text.splitlines() if re.match(r"\s*Общо\s", line)]
    assert len(lines) == 1, text[-600:]
    return lines[0]


def test_hostile_amounts_sum_exactly_in_every_column_group_hidden_and_fitted(lintaro, test_env):
    folder = lintaro.prepare(printer_cfg=printer_cfg(), files={})
    (folder / "hostile.rdf").write_bytes(hostile_sums_data())
    lintaro.start([folder / "hostile.rdf"])
    mark_summed(lintaro, "Сума")
    mark_summed(lintaro, "Брой")

    # The 255-byte remarks print in a group of their own; "Сума" repeats there as a key column
    # with its sum, the label over the columns before it.
    def keys(dialog):
        dialog.select_combo(KEY_COLUMNS, "3")
    run_dialog(lintaro, TABLE_APPEARANCE, TABLE_CAPTION, keys)
    dialog = _after_question(lintaro)
    groups = len(dialog.combo_items(GROUP_TO))
    assert groups >= 2
    sheets = [pdf_text(test_env, pdf) for pdf in print_pages(lintaro, test_env, groups, dialog=dialog)]
    total = f"{HOSTILE_SUM:,.2f}".replace(",", " ").replace(".", ",")
    for number, text in enumerate(sheets, 1):
        line = end_total_line(text)
        assert total in line, (number, line)
        assert "2 стойности не са числа" in text, number
    assert re.search(rf"\s{HOSTILE_COUNT}\s*$", end_total_line(sheets[0]))

    # Every column summed: the row numbers hold the label, cut to their width; the sums stand.
    mark_summed(lintaro, "Име")
    mark_summed(lintaro, "Бележка")
    (pdf,) = print_pages(lintaro, test_env, 1, group_to=1, dialog=_after_question(lintaro))
    text = pdf_text(test_env, pdf)
    test_env.render_pdf(pdf, test_env.screenshot_dir / "sums-hostile-all-summed", dpi=60)
    assert total in text and re.search(rf"\s{HOSTILE_COUNT}\s*$", text, re.M)

    # "Сума" hidden: its sum goes, the count stays; shown again and fitted to the width: back.
    def hide_amounts(dialog):
        listbox = dialog.item(101)
        height = listbox.send(0x01A1, 0, 0)  # LB_GETITEMHEIGHT
        lintaro.click(10, height * 2 + height // 2, window=listbox)  # "No", "Име", "Сума"
    run_dialog(lintaro, VISIBLE_COLUMNS, " Подбор на видими колони", hide_amounts)
    (pdf,) = print_pages(lintaro, test_env, 1, group_to=1, dialog=_after_question(lintaro))
    text = pdf_text(test_env, pdf)
    assert total not in text and re.search(rf"\s{HOSTILE_COUNT}\s*$", text, re.M)
    run_dialog(lintaro, VISIBLE_COLUMNS, " Подбор на видими колони", hide_amounts)

    def fit(dialog):
        dialog.set_checked(FIT_TO_WIDTH, True)
    run_dialog(lintaro, TABLE_APPEARANCE, TABLE_CAPTION, fit)
    # The remarks are too wide even at the smallest scale: the first group has both sums.
    (pdf,) = print_pages(lintaro, test_env, 1, group_to=1, dialog=_after_question(lintaro))
    text = pdf_text(test_env, pdf)
    test_env.render_pdf(pdf, test_env.screenshot_dir / "sums-hostile-fitted", dpi=60)
    assert total in text and re.search(rf"\s{HOSTILE_COUNT}\s*$", text, re.M)

    # Sorted by the names, control bytes and all, with group totals: every name its own group,
    # its subtotal under it, labelled with the name; the table's total still last.
    mark_summed(lintaro, "Име", summed=False)
    place_sums(lintaro, group_totals=True)

    def by_name(dialog):
        dialog.select_combo(101, "Име")
        dialog.select_combo(102, "В нарастващ ред")
        dialog.select_combo(103, "Текст")
    run_dialog(lintaro, SORT, " Сортиране на таблицата", by_name)
    (pdf,) = print_pages(lintaro, test_env, 1, group_to=1, dialog=_after_question(lintaro))
    lines = [line.split() for line in pdf_text(test_env, pdf).splitlines() if line.strip()]
    assert ["Ред", "10", "10,25", "10"] in lines and ["Ред", "6", "6,25", "6"] in lines
    assert lines.index(["Ред", "10", "10,25", "10"]) == 1 + next(
        i for i, words in enumerate(lines) if words[1:3] == ["Ред", "10"])
    assert lines[-2][0] == "Общо" and total.split()[0] in lines[-2]
    assert lintaro.close() == 0

"""Printing on the dot-matrix printer through "PagesToPrint" (LPT1 mapped to a file), and print
setup through "PrintSetup": the spooler's printers, switching targets, the dot-matrix options,
the refusals, and Printer.cfg written on OK and used by the next start."""

from __future__ import annotations

import os
import re
import struct
import subprocess
import sys
import time
from pathlib import Path

import pytest

from lintaro_harness import IDCANCEL, IDOK, MESSAGE_TEXT_ID

# The sample tables and pictures kept with the tests.
SAMPLES = Path(__file__).resolve().parents[1] / "samples"

PAGES_CAPTION = " Отпечатване на таблица"
SETUP_CAPTION = " Настройка на печата"
SHEET_PROMPT = "Моля, поставете нов лист хартия."
PAGE_FROM, PAGE_TO, PAGE_SUBSET, GROUP_FROM, GROUP_TO, COPIES = 101, 102, 111, 121, 122, 131
SUBSETS = ["Всички страници", "Нечетни страници", "Четни (с разменени полета)"]

TARGET, PRINTERS, UNITS = 101, 111, 221
WIDTH, LEFT, RIGHT, HEIGHT, TOP, BOTTOM = 201, 202, 203, 204, 205, 206
SIZE_FIELDS = [WIDTH, LEFT, RIGHT, HEIGHT, TOP, BOTTOM]
ORIENTATION, MODEL, MODE, MANUAL_FEED, DOS_CYRILLIC = 211, 301, 302, 303, 304
TARGETS = ["Принтерът, избран в Windows", "Друг принтер под Windows", "LPT1: (матричен принтер)"]
MODELS = ["Неизвестен", "EPSON Емулация", "IBM Емулация"]
MODES = ["Не се управлява", "Draft 10", "Draft 12", "Compression"]
MILLIMETRES = "(задават се в милиметри)"
COUNTS = "(брой знаци, брой редове)"
# The spooler's printers as the test environment sets them up: A4 at 300 dpi (2479 x 3508
# pixels, no unprintable strip) and US Letter with a 12 pt (4.23 mm) strip on the left.
A4_FIELDS = ["209.89", "", "", "297.01", "", ""]
LETTER_WIDTH, LETTER_HEIGHT, LETTER_LEFT_STRIP = 21590, 27940, 423

# The EPSON emulation in Draft 12 (the report's "Printer: LPT1, EPSON1, Draft 12").
EPSON_DRAFT12_BEGIN = b"\x1b\x4d\x12"
EPSON_DRAFT12_END = b"\x1b\x50"
# The report's lines are 147 characters on 96-character paper: printing asks first.
TOO_WIDE = ("Ширината на таблицата е по-голяма от полето\r\n"
            "за печат. Бихте могли да скриете част от\r\n"
            "колоните, да използвате шрифт с по-малки\r\n"
            "размери или по-широка хартия.\r\n"
            "Искате ли да продължите ?")

WM_NULL = 0x0000
EM_GETSEL = 0x00B0
EM_GETMODIFY = 0x00B8
EM_SETMODIFY = 0x00B9


# ----------------------------------------------------------------------------------------------
# Helpers


def settle(lintaro) -> None:
    """Waits until the program's thread is back in its message loop."""
    lintaro.main.send(WM_NULL)


def printer_cfg_fields(data: bytes) -> dict:
    assert len(data) == 304
    values = struct.unpack("<11i260s", data)
    names = ["kind", "flags", "width", "left", "right", "height", "top", "bottom", "model",
             "mode", "feed"]
    fields = dict(zip(names, values[:11]))
    raw_name = values[11]
    fields["device"] = raw_name.split(b"\0", 1)[0].decode("cp1251")
    fields["device_tail"] = raw_name[len(fields["device"]):]
    return fields


def size_texts(dialog) -> list[str]:
    return [dialog.control_text(i) for i in SIZE_FIELDS]


def enabled(dialog, control_id: int) -> bool:
    return dialog.item(control_id).info().enabled


def open_print_setup(lintaro):
    lintaro.post_command(302)
    dialog = lintaro.wait_dialog(SETUP_CAPTION)
    assert dialog.info().owner == lintaro.main.handle
    return dialog


def eventually(check, timeout: float = 3.0) -> bool:
    """The driver posts the notifications of a pick, so the dialog handles them a moment later:
    waits until `check()` holds."""
    deadline = time.monotonic() + timeout
    while not check():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def flush(dialog, edit_id: int = LEFT) -> None:
    """Waits until the dialog has handled every message posted to its thread so far: posted
    messages are handled in order, so once a modified flag posted to one of its edits is set,
    the picks posted before it (and what they changed) are done."""
    edit = dialog.item(edit_id)
    edit.send(EM_SETMODIFY, 0)
    edit.post(EM_SETMODIFY, 1)
    assert eventually(lambda: edit.send(EM_GETMODIFY) == 1)
    edit.send(EM_SETMODIFY, 0)


def pick(dialog, control_id: int, choice, edit_id: int = LEFT) -> None:
    """Chooses an entry of a drop-down list as the user would, and waits for its effect."""
    dialog.select_combo(control_id, choice)
    flush(dialog, edit_id)


def pick_printer(dialog, name: str) -> None:
    dialog.select_list(PRINTERS, name)
    flush(dialog)


def expect_message(lintaro, text: str, owner) -> None:
    box = lintaro.wait_dialog("Lintaro 2.0")
    assert box.control_text(MESSAGE_TEXT_ID) == text
    assert box.info().owner == owner.handle
    box.click(IDOK)
    box.wait_gone()


def lpt1_pages(data: bytes) -> list[bytes]:
    """The pages sent to LPT1: each starts with the report's one top-margin line (CR LF) and the
    begin sequence, and ends with the end sequence."""
    marker = b"\r\n" + EPSON_DRAFT12_BEGIN
    assert data.startswith(marker), data[:20]
    pages = [marker + part for part in data.split(marker)[1:]]
    for page in pages:
        assert page.endswith(EPSON_DRAFT12_END), page[-20:]
    return pages


def dos_text(data: bytes) -> str:
    """Bytes in the Bulgarian DOS table: А-я at 0x80-0xBF, the rest as ASCII."""
    return "".join(chr(0x0410 + b - 0x80) if 0x80 <= b <= 0xBF else chr(b) for b in data)


def report_rows() -> list[list[str]]:
    lines = (SAMPLES / "lpt-report.rdf").read_bytes().decode("cp1251").split("\r\n")
    return [line.split("\t") for line in lines[lines.index("Data:") + 1:] if line]


def answer_too_wide(lintaro, answer: int) -> None:
    box, caption, text = lintaro.wait_message_box()
    assert (caption, text) == ("Lintaro 2.0", TOO_WIDE)
    assert box.info().owner == lintaro.main.handle
    box.click(answer)
    box.wait_gone()


def open_pages_to_print(lintaro, too_wide: bool = False):
    # "Печат" -> "Отпечатване..." by keyboard; a table wider than the paper asks first.
    lintaro.key("alt", "Right", "Down", "Return")
    if too_wide:
        answer_too_wide(lintaro, IDOK)
    dialog = lintaro.wait_dialog(PAGES_CAPTION)
    assert dialog.info().owner == lintaro.main.handle
    return dialog


def answer_sheet_prompts(lintaro, count: int, last_answer: int = IDOK) -> None:
    """Presses OK on `count` sheet prompts (the last one answered with `last_answer`), then
    checks that no further prompt comes."""
    for index in range(count):
        box, caption, text = lintaro.wait_message_box()
        assert (caption, text) == ("Lintaro 2.0", SHEET_PROMPT)
        # OK and Cancel, no icon.
        kinds = {c.control_id: c.class_name for c in box.children()}
        assert kinds.get(IDOK) == "Button" and kinds.get(IDCANCEL) == "Button"
        box.click(last_answer if index == count - 1 else IDOK)
        box.wait_gone()
    time.sleep(0.5)
    assert lintaro.dialogs() == []
    settle(lintaro)


@pytest.fixture
def report(lintaro, test_env):
    lintaro.start([SAMPLES / "lpt-report.rdf"])
    test_env.clear_lpt1()
    return lintaro


def full_print(lintaro, test_env) -> tuple[int, bytes]:
    """All pages: returns the page count and LPT1's bytes."""
    test_env.clear_lpt1()
    dialog = open_pages_to_print(lintaro, too_wide=True)
    pages = int(dialog.control_text(PAGE_TO))
    dialog.click(IDOK)
    dialog.wait_gone()
    answer_sheet_prompts(lintaro, pages)
    return pages, test_env.read_lpt1()


def full_print_fitting(lintaro, test_env) -> tuple[int, bytes]:
    """All pages of a table that fits the paper: no question before the pages."""
    test_env.clear_lpt1()
    dialog = open_pages_to_print(lintaro)
    pages = int(dialog.control_text(PAGE_TO))
    dialog.click(IDOK)
    dialog.wait_gone()
    answer_sheet_prompts(lintaro, pages)
    return pages, test_env.read_lpt1()


# ----------------------------------------------------------------------------------------------
# Dot-matrix printing through "PagesToPrint"


def test_pages_to_print_offers_all_pages_one_column_group_and_copies(report, test_env):
    dialog = open_pages_to_print(report, too_wide=True)
    assert dialog.control_text(PAGE_FROM) == "1"
    assert int(dialog.control_text(PAGE_TO)) >= 2, "the report runs over several pages"
    assert dialog.combo_items(PAGE_SUBSET) == SUBSETS
    assert dialog.combo_selection(PAGE_SUBSET) == 0
    # One column group: both lists hold only 1 and are disabled.
    for control_id in (GROUP_FROM, GROUP_TO):
        assert dialog.combo_items(control_id) == ["1"]
        assert dialog.combo_selection(control_id) == 0
        assert not enabled(dialog, control_id)
    assert dialog.combo_items(COPIES) == ["1", "2", "3", "4", "5"]
    assert dialog.combo_selection(COPIES) == 0
    report.screenshot(test_env.screenshot_dir / "pages-to-print.png", window=dialog)
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    # Cancel: no prompt, nothing on LPT1.
    time.sleep(0.3)
    assert report.dialogs() == []
    assert test_env.read_lpt1() == b""


def test_all_pages_go_to_lpt1_each_after_a_sheet_prompt(report, test_env):
    pages, data = full_print(report, test_env)
    sent = lpt1_pages(data)
    assert len(sent) == pages
    assert data.count(EPSON_DRAFT12_BEGIN) == pages
    # Cyrillic in the DOS table: letters at 0x80-0xBF; above them only the DOS "№" (0xD5) of the
    # first column's title, which would otherwise have printed as the letter "щ" (0xB9).
    assert {b for b in data if b >= 0xC0} == {0xD5}
    assert 0xB9 not in data
    text = dos_text(data)
    assert "Име" in text and "Град" in text and "Бележка" in text
    for row in report_rows():
        assert row[2] in text  # every city of the report
    # Every line keeps the report's left margin of two characters.
    for page in sent:
        lines = page[2 + len(EPSON_DRAFT12_BEGIN):-len(EPSON_DRAFT12_END)].split(b"\r\n")
        printed = [line for line in lines if line.strip()]
        assert printed and all(line.startswith(b"  ") for line in printed)


def test_a_page_range_and_the_odd_pages_print_those_pages_only(report, test_env):
    pages, data = full_print(report, test_env)
    every_page = lpt1_pages(data)
    assert pages >= 2

    test_env.clear_lpt1()
    dialog = open_pages_to_print(report, too_wide=True)
    dialog.set_control_text(PAGE_FROM, "2")
    dialog.set_control_text(PAGE_TO, "2")
    dialog.click(IDOK)
    dialog.wait_gone()
    answer_sheet_prompts(report, 1)
    assert test_env.read_lpt1() == every_page[1]

    test_env.clear_lpt1()
    dialog = open_pages_to_print(report, too_wide=True)
    pick(dialog, PAGE_SUBSET, "Нечетни страници", PAGE_FROM)
    dialog.click(IDOK)
    dialog.wait_gone()
    odd = every_page[0::2]
    answer_sheet_prompts(report, len(odd))
    assert test_env.read_lpt1() == b"".join(odd)

    test_env.clear_lpt1()
    dialog = open_pages_to_print(report, too_wide=True)
    pick(dialog, PAGE_SUBSET, "Четни (с разменени полета)", PAGE_FROM)
    dialog.click(IDOK)
    dialog.wait_gone()
    even = every_page[1::2]
    answer_sheet_prompts(report, len(even))
    assert test_env.read_lpt1() == b"".join(even)


def test_a_print_job_sends_the_pages_to_lpt1_as_the_print_command_without_a_prompt(report, app_factory, test_env):
    pages, data = full_print(report, test_env)
    every_page = lpt1_pages(data)
    assert pages >= 2
    test_env.clear_lpt1()
    run = app_factory(name="lpt1_job").run_job([SAMPLES / "lpt-report.rdf", "/print"])
    assert (run.exit_code, run.stderr, run.window_shown) == (0, "", False)
    assert test_env.read_lpt1() == data
    # One page, twice: copies repeat the range.
    test_env.clear_lpt1()
    run = app_factory(name="lpt1_job_copies").run_job([SAMPLES / "lpt-report.rdf", "/print", "2", "/copies", "2"])
    assert (run.exit_code, run.stderr, run.window_shown) == (0, "", False)
    assert test_env.read_lpt1() == every_page[1] * 2
    # Sorted by city: the first page's first row is the city first in the alphabet.
    test_env.clear_lpt1()
    run = app_factory(name="lpt1_job_sorted").run_job([SAMPLES / "lpt-report.rdf", "/sort", "Град", "/print", "1"])
    assert (run.exit_code, run.stderr) == (0, "")
    first_city = min(row[2] for row in report_rows())
    # The row numbered 1 in the grid's own column, whatever its number in the report.
    rows = [line for line in dos_text(test_env.read_lpt1()).split("\r\n")
            if re.match(r"\s*\|\s+1\s+\|\s+\d+\s+\|\s+[А-Я]", line)]
    assert rows and first_city in rows[0], rows[:2]
    test_env.clear_lpt1()


def test_page_numbers_past_32_bits_are_refused_and_a_huge_last_page_stops_at_the_last(report, test_env):
    pages, data = full_print(report, test_env)
    every_page = lpt1_pages(data)
    test_env.clear_lpt1()
    dialog = open_pages_to_print(report, too_wide=True)
    for text, limit in (("4294967298", "по-голям от 2147483647 !"), ("-99999999999", "по-малък от -2147483648 !")):
        dialog.set_control_text(PAGE_TO, text)
        dialog.click(IDOK)
        expect_message(report, "Номерът на страницата не може да бъде\r\n" + limit, dialog)
        assert dialog.exists()
        selection = dialog.item(PAGE_TO).send(EM_GETSEL) & 0xFFFFFFFF
        assert (selection & 0xFFFF, selection >> 16) == (0, len(text))
    # The widest range there is: the real pages and no more (counting on to the last number
    # once kept the program busy long after the last sheet).
    dialog.set_control_text(PAGE_FROM, "-2147483648")
    dialog.set_control_text(PAGE_TO, "2147483647")
    dialog.click(IDOK)
    dialog.wait_gone()
    answer_sheet_prompts(report, pages)
    assert test_env.read_lpt1() == b"".join(every_page)


def test_cancel_at_the_sheet_prompt_ends_printing(report, test_env):
    dialog = open_pages_to_print(report, too_wide=True)
    dialog.click(IDOK)
    dialog.wait_gone()
    # The first prompt comes before anything is sent; Cancel there sends nothing at all.
    answer_sheet_prompts(report, 1, last_answer=IDCANCEL)
    assert test_env.read_lpt1() == b""
    # OK for the first page, Cancel for the second: exactly one page went out.
    dialog = open_pages_to_print(report, too_wide=True)
    dialog.click(IDOK)
    dialog.wait_gone()
    answer_sheet_prompts(report, 2, last_answer=IDCANCEL)
    assert len(lpt1_pages(test_env.read_lpt1())) == 1


def test_the_converter_sends_lpt1_the_bytes_the_print_command_sends(lintaro, test_env, tmp_path):
    """lintaro-convert --to lpt writes every page as the print command sends it when every sheet
    is put in: margins, control codes, DOS letters and the page breaks, here for the report laid
    out by a layout file whose wrapped bold column makes the rows' heights differ."""
    from test_export import report_layout  # the layout file the export comparison uses
    data = tmp_path / "report.rdf"
    data.write_bytes((SAMPLES / "lpt-report.rdf").read_bytes())
    layout = report_layout(tmp_path / "report.fmt")
    lintaro.start([data, layout])
    pages, sent = full_print(lintaro, test_env)
    assert pages >= 3
    for words in ([data, "--to", "lpt"], [data, "--layout", layout, "--to", "lpt"]):
        result = subprocess.run([str(test_env.convert_exe), *map(str, words)], capture_output=True)
        assert result.returncode == 0 and result.stderr == b""
        if "--layout" in words:
            assert result.stdout == sent
            assert len(lpt1_pages(result.stdout)) == pages
        else:
            # Without the layout file the columns are the data file's own: other pages.
            assert result.stdout != sent and result.stdout.count(EPSON_DRAFT12_BEGIN) >= 2


def test_the_progress_window_follows_the_pages_sent_and_its_cancel_stops_after_the_current_one(
        report, test_env):
    dialog = open_pages_to_print(report, too_wide=True)
    # One stream to the port: no choice of print jobs to offer.
    assert not dialog.item(141).info().visible
    pages = int(dialog.control_text(PAGE_TO))
    assert pages >= 3, "the report runs over three pages at least"
    dialog.click(IDOK)
    dialog.wait_gone()
    first, _, text = report.wait_message_box()
    assert text == SHEET_PROMPT
    time.sleep(0.6)  # as a user takes a moment: the run has then taken more than half a second
    first.click(IDOK)
    first.wait_gone()
    progress = report.driver.wait(window_class="LintaroProgress", exe=report.windows_exe, visible=True,
                                  timeout=10)
    assert progress.control_text(101) == "Изпращане на страниците към LPT1..."
    assert progress.control_text(102) == f"Изпратени страници: 1 от {pages}"
    # Cancel while the next sheet is asked for: that page is still printed, then no more.
    box, caption, text = report.wait_message_box()
    assert text == SHEET_PROMPT
    progress.click(IDCANCEL)
    box.click(IDOK)
    box.wait_gone()
    progress.wait_gone(timeout=10)
    time.sleep(0.5)
    assert report.dialogs() == []
    settle(report)
    assert len(lpt1_pages(test_env.read_lpt1())) == 2
    assert report.main.info().enabled


def report_copy(tmp_path: Path, page: str, extra_head: str = "", extra_rows: str = "") -> Path:
    """The report with another "Page:" line, more head lines and more rows."""
    text = (SAMPLES / "lpt-report.rdf").read_bytes().decode("cp1251")
    text = text.replace("Page: Width 96, Height 60, Left 2, Top 1, Right 0, Bottom 2", page, 1)
    text = text.replace("Orientation:", extra_head + "Orientation:", 1) + extra_rows
    path = tmp_path / "report.rdf"
    path.write_bytes(text.encode("cp1251"))
    return path


def test_a_report_wider_than_the_paper_asks_first_and_cancel_prints_nothing(report, test_env):
    report.key("alt", "Right", "Down", "Return")
    answer_too_wide(report, IDCANCEL)
    time.sleep(0.3)
    assert report.dialogs() == []
    assert test_env.read_lpt1() == b""


def test_continuous_paper_pages_fill_their_forms_and_no_cell_byte_commands_the_printer(
        lintaro, tmp_path, test_env):
    # 200 characters hold the report's 147: no question. A cell's ESC sequence, form feed, shift
    # codes and a line break inside a cell (kept by the data file) must not reach the printer.
    path = report_copy(tmp_path, "Page: Width 200, Height 60, Left 2, Top 1, Right 0, Bottom 2",
                       extra_head="PaperFeed: Auto\r\n",
                       extra_rows="61\tКонтрол\x1bE\x0c\tВарна\t1.00\t01.01.2026\tред 1\nред 2\x0e\x0f\r\n")
    lintaro.start([path])
    pages, data = full_print_fitting(lintaro, test_env)
    assert pages >= 2
    assert data.count(EPSON_DRAFT12_BEGIN) == pages
    # Page n (from 0) begins after 60 n lines and its one top-margin line: no drift.
    at = -1
    for page in range(pages):
        at = data.index(EPSON_DRAFT12_BEGIN, at + 1)
        assert data[:at].count(b"\r\n") == 60 * page + 1, page
    assert data.count(b"\r\n") == 60 * pages
    # No control byte but the line ends and the framing of each page.
    text = data.replace(EPSON_DRAFT12_BEGIN, b"").replace(EPSON_DRAFT12_END, b"").replace(b"\r\n", b"")
    assert all(b >= 0x20 for b in text)
    assert "Контрол E " in dos_text(data) and "ред 1 ред 2" in dos_text(data)


# ----------------------------------------------------------------------------------------------
# Print setup


def test_print_setup_shows_the_default_printer_and_its_paper(lintaro, test_env):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    assert dialog.combo_items(TARGET) == TARGETS
    assert dialog.combo_selected_text(TARGET) == TARGETS[0]
    printers = dialog.list_items(PRINTERS)
    assert test_env.printer in printers and test_env.second_printer in printers
    # The default printer is the one selected for the first target; the list is not for choosing.
    assert printers[dialog.list_selection(PRINTERS)] == test_env.printer
    assert not enabled(dialog, PRINTERS)
    assert dialog.control_text(UNITS) == MILLIMETRES
    assert size_texts(dialog) == A4_FIELDS
    assert not enabled(dialog, WIDTH) and not enabled(dialog, HEIGHT)
    assert all(enabled(dialog, i) for i in (LEFT, RIGHT, TOP, BOTTOM, ORIENTATION, MANUAL_FEED))
    assert not any(enabled(dialog, i) for i in (MODEL, MODE, DOS_CYRILLIC))
    assert dialog.combo_items(ORIENTATION) == ["Портрет", "Пейзаж"]
    assert dialog.combo_selected_text(ORIENTATION) == "Портрет"
    assert dialog.combo_items(MODEL) == MODELS
    assert dialog.combo_items(MODE) == MODES
    lintaro.screenshot(test_env.screenshot_dir / "print-setup.png", window=dialog)
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    settle(lintaro)
    assert lintaro.read_printer_cfg() is None  # cancel writes nothing


def test_switching_targets_resets_sizes_and_enabling(lintaro, test_env):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    pick(dialog, TARGET, TARGETS[2])
    assert size_texts(dialog) == ["80", "", "", "60", "", ""]
    assert dialog.control_text(UNITS) == COUNTS
    assert dialog.list_selection(PRINTERS) == -1
    assert not enabled(dialog, PRINTERS)
    assert enabled(dialog, WIDTH) and enabled(dialog, HEIGHT)
    assert not enabled(dialog, ORIENTATION)
    assert enabled(dialog, MODEL) and enabled(dialog, DOS_CYRILLIC) and enabled(dialog, MANUAL_FEED)
    # "Неизвестен": the mode list shows "Не се управлява" and is disabled.
    assert dialog.combo_selected_text(MODEL) == MODELS[0]
    assert dialog.combo_selected_text(MODE) == MODES[0]
    assert not enabled(dialog, MODE)
    lintaro.screenshot(test_env.screenshot_dir / "print-setup-lpt1.png", window=dialog)

    # Back to a Windows printer: A4 in hundredths, then the chosen printer's paper and strips.
    pick(dialog, TARGET, TARGETS[1])
    assert dialog.control_text(UNITS) == MILLIMETRES
    assert enabled(dialog, PRINTERS)
    assert dialog.list_selection(PRINTERS) == -1
    assert size_texts(dialog) == ["210.00", "", "", "297.00", "", ""]
    assert not enabled(dialog, WIDTH) and enabled(dialog, ORIENTATION)
    assert not enabled(dialog, MODEL) and not enabled(dialog, MODE)
    pick_printer(dialog, test_env.second_printer)
    assert size_texts(dialog) == ["215.90", "4.23", "", "279.40", "", ""]
    # A margin wider than the strip stays as typed when another printer is picked.
    dialog.set_control_text(LEFT, "20.00")
    dialog.set_control_text(TOP, "12.5")
    pick_printer(dialog, test_env.printer)
    assert size_texts(dialog) == ["209.89", "20.00", "", "297.01", "12.50", ""]

    # The default printer's target selects Windows' default printer and locks the list.
    pick(dialog, TARGET, TARGETS[0])
    printers = dialog.list_items(PRINTERS)
    assert printers[dialog.list_selection(PRINTERS)] == test_env.printer
    assert not enabled(dialog, PRINTERS)
    dialog.click(IDCANCEL)
    dialog.wait_gone()


def test_print_modes_write_the_characters_per_line(lintaro):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    pick(dialog, TARGET, TARGETS[2])
    pick(dialog, MODEL, "EPSON Емулация")
    assert enabled(dialog, MODE)
    for mode, width in [("Draft 12", "96"), ("Compression", "137"), ("Draft 10", "80"),
                        ("Draft 12", "96"), ("Не се управлява", "80")]:
        pick(dialog, MODE, mode)
        assert dialog.control_text(WIDTH) == width, mode
    # The mode already stored changes nothing: a width typed by hand stays.
    dialog.set_control_text(WIDTH, "120")
    pick(dialog, MODE, "Не се управлява")
    assert dialog.control_text(WIDTH) == "120"
    # Back to "Неизвестен": the mode list returns to "Не се управлява" and is disabled.
    pick(dialog, MODE, "Draft 12")
    pick(dialog, MODEL, MODELS[0])
    assert dialog.combo_selected_text(MODE) == MODES[0]
    assert not enabled(dialog, MODE)
    dialog.click(IDCANCEL)
    dialog.wait_gone()


def test_a_margin_below_the_printers_strip_is_refused_set_and_focused(lintaro, test_env):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    pick(dialog, TARGET, TARGETS[1])
    pick_printer(dialog, test_env.second_printer)
    dialog.set_control_text(LEFT, "1.00")
    dialog.click(IDOK)
    expect_message(lintaro, "Лявото поле не може да бъде\r\nпо-малко от 4.23 милиметра !", dialog)
    assert dialog.exists()
    assert dialog.control_text(LEFT) == "4.23"
    # The field has the focus with its whole text selected: typing replaces it.
    selection = dialog.item(LEFT).send(EM_GETSEL) & 0xFFFFFFFF
    assert (selection & 0xFFFF, selection >> 16) == (0, 4)
    lintaro.type_text("5.5", window=dialog)
    assert dialog.control_text(LEFT) == "5.5"
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    settle(lintaro)
    assert lintaro.read_printer_cfg() is None


def test_a_number_a_size_field_cannot_hold_is_refused_never_wrapped(lintaro, test_env):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    # 42949673 mm in hundredths once wrapped to 0.04 mm.
    dialog.set_control_text(LEFT, "42949673")
    dialog.click(IDOK)
    expect_message(lintaro, "Лявото поле не може да бъде\r\nпо-голямо от 21474836.47 милиметра !", dialog)
    assert dialog.control_text(LEFT) == "42949673"
    selection = dialog.item(LEFT).send(EM_GETSEL) & 0xFFFFFFFF
    assert (selection & 0xFFFF, selection >> 16) == (0, 8)
    dialog.set_control_text(LEFT, "")
    # On LPT1 a width of 4294967376 once became 80; a field holds at most 999 characters or lines.
    pick(dialog, TARGET, TARGETS[2])
    for field, text, message in (
            (WIDTH, "4294967376", "Ширината не може да бъде\r\nпо-голяма от 999 знака !"),
            (TOP, "1000", "Горното поле не може да бъде\r\nпо-голямо от 999 реда !")):
        dialog.set_control_text(field, text)
        dialog.click(IDOK)
        expect_message(lintaro, message, dialog)
        assert dialog.exists() and dialog.control_text(field) == text
        dialog.set_control_text(field, "")
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    settle(lintaro)
    assert lintaro.read_printer_cfg() is None


def test_printer_cfg_values_print_setup_would_refuse_fall_back_at_start_up(lintaro, app_factory, test_env):
    # Edited by hand: Letter with a negative left margin and a top margin past the paper.
    cfg = struct.pack("<11i260s", 1, 0, 21590, -2000, 1000, 27940, 30000, 500, 0, 0, 0,
                      test_env.second_printer.encode("cp1251"))
    lintaro.start(printer_cfg=cfg)
    dialog = open_print_setup(lintaro)
    # The negative left margin falls back alone (to none, raised to Letter's strip); the top
    # and bottom margins, leaving no room together, fall back as a pair.
    assert size_texts(dialog) == ["215.90", "4.23", "10.00", "279.40", "", ""]
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    assert lintaro.close() == 0
    # LPT1 with margins of 21474836.47 characters and lines: 80 by 60 without margins.
    again = app_factory()
    cfg = struct.pack("<11i260s", 2, 0, 80, 2147483647, 0, 60, 2147483647, 0, 3, 2, 1, b"LPT1")
    again.start(printer_cfg=cfg, folder=lintaro.folder)
    dialog = open_print_setup(again)
    assert size_texts(dialog) == ["80", "", "", "60", "", ""]
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    assert again.close() == 0
    # A kind print setup does not offer: Windows' default printer, not the dot-matrix printer.
    third = app_factory()
    third.start(printer_cfg=struct.pack("<11i260s", -1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, b""),
                folder=lintaro.folder)
    dialog = open_print_setup(third)
    assert dialog.combo_selected_text(TARGET) == TARGETS[0] and size_texts(dialog) == A4_FIELDS
    dialog.click(IDCANCEL)
    dialog.wait_gone()


def test_head_margins_print_setup_would_refuse_never_reach_lpt1(lintaro, test_env):
    # Left and top of 21474836.47 once overflowed every line and sent 2^31 line ends a page.
    head = ("Printer: LPT1, EPSON1, Draft 12\r\n"
            "Page: Width 0.96, Height 0.60, Left 21474836.47, Top 21474836.47\r\n")
    rows = "".join(f"{n}\tИме {n}\r\n" for n in range(1, 6))
    folder = lintaro.prepare(files={"t.rdf": head + "Titles:\r\n№\tИме\r\nTypes:\r\nNumber\tText\r\nData:\r\n" + rows})
    lintaro.start([folder / "t.rdf"])
    test_env.clear_lpt1()
    dialog = open_pages_to_print(lintaro)
    dialog.click(IDOK)
    dialog.wait_gone()
    answer_sheet_prompts(lintaro, 1)
    data = test_env.read_lpt1()
    # No top margin, no left margin: the begin sequence first, every line from its first column.
    assert data.startswith(EPSON_DRAFT12_BEGIN) and data.endswith(EPSON_DRAFT12_END)
    lines = [line for line in data[len(EPSON_DRAFT12_BEGIN):-len(EPSON_DRAFT12_END)].split(b"\r\n") if line]
    boxed = [line for line in lines if b"|" in line or b"+" in line]
    assert boxed and all(line[:1] in (b"+", b"|") for line in boxed), lines[:3]
    assert len(data) < 10000


def test_margins_leaving_no_room_keep_the_dialog_open_without_a_message(lintaro, test_env):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    dialog.set_control_text(LEFT, "105.00")
    dialog.set_control_text(RIGHT, "104.89")  # with 209.89 wide paper: nothing left
    dialog.click(IDOK)
    time.sleep(0.5)
    assert lintaro.dialogs() == [dialog]
    dialog.set_control_text(RIGHT, "104.88")
    dialog.click(IDOK)
    dialog.wait_gone()
    settle(lintaro)
    assert printer_cfg_fields(lintaro.read_printer_cfg())["right"] == 10488


def test_negative_dot_matrix_margins_are_refused_one_by_one(lintaro):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    pick(dialog, TARGET, TARGETS[2])
    for control_id, text in ((LEFT, "-5"), (TOP, "-3"), (BOTTOM, "-70")):
        dialog.set_control_text(control_id, text)
    refusals = [(LEFT, "Лявото поле не може да бъде\r\nпо-малко от 0 знака !", "2"),
                (TOP, "Горното поле не може да бъде\r\nпо-малко от 0 реда !", "1"),
                (BOTTOM, "Долното поле не може да бъде\r\nпо-малко от 0 реда !", "2")]
    for control_id, message, corrected in refusals:
        dialog.click(IDOK)
        expect_message(lintaro, message, dialog)
        assert dialog.exists()
        assert dialog.control_text(control_id) == ""  # 0, shown empty, focused to be typed over
        assert lintaro.read_printer_cfg() is None
        dialog.set_control_text(control_id, corrected)
    dialog.click(IDOK)
    dialog.wait_gone()
    settle(lintaro)
    fields = printer_cfg_fields(lintaro.read_printer_cfg())
    assert (fields["left"], fields["top"], fields["bottom"]) == (2, 1, 2)


def test_another_printer_without_a_choice_is_refused(lintaro):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    pick(dialog, TARGET, TARGETS[2])  # clears the printer list's selection
    pick(dialog, TARGET, TARGETS[1])
    dialog.click(IDOK)
    expect_message(lintaro, "Не е избран принтер !", dialog)
    assert dialog.exists()
    dialog.click(IDCANCEL)
    dialog.wait_gone()


def test_without_a_default_printer_the_default_target_is_refused(lintaro, tmp_path):
    # libcups pointed at a socket that does not exist: Windows sees no printer at all.
    saved = os.environ.get("CUPS_SERVER")
    os.environ["CUPS_SERVER"] = str(tmp_path / "no-spooler.sock")
    try:
        lintaro.start()
    finally:
        if saved is None:
            del os.environ["CUPS_SERVER"]
        else:
            os.environ["CUPS_SERVER"] = saved
    dialog = open_print_setup(lintaro)
    # Start-up fell back to the dot-matrix printer; the list is empty.
    assert dialog.combo_selected_text(TARGET) == TARGETS[2]
    assert dialog.list_items(PRINTERS) == []
    pick(dialog, TARGET, TARGETS[0])
    assert size_texts(dialog) == ["210.00", "", "", "297.00", "", ""]
    dialog.click(IDOK)
    expect_message(lintaro, "Не е избран принтер !", dialog)
    dialog.click(IDCANCEL)
    dialog.wait_gone()


def test_ok_for_lpt1_writes_printer_cfg_and_a_restart_uses_it(lintaro, app_factory, test_env):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    pick(dialog, TARGET, TARGETS[2])
    pick(dialog, MODEL, "EPSON Емулация")
    pick(dialog, MODE, "Draft 12")
    dialog.set_control_text(LEFT, "3")
    dialog.set_control_text(TOP, "2 lines")  # read as a whole number: 2
    dialog.set_control_text(BOTTOM, "4")
    dialog.set_checked(MANUAL_FEED, False)
    dialog.set_checked(DOS_CYRILLIC, True)
    flush(dialog)
    dialog.click(IDOK)
    dialog.wait_gone()
    settle(lintaro)
    fields = printer_cfg_fields(lintaro.read_printer_cfg())
    assert fields == {"kind": 2, "flags": 2, "width": 96, "left": 3, "right": 0, "height": 60,
                      "top": 2, "bottom": 4, "model": 3, "mode": 2, "feed": 1,
                      "device": "LPT1", "device_tail": bytes(256)}
    assert lintaro.close() == 0

    again = app_factory()
    again.start(folder=lintaro.folder)
    dialog = open_print_setup(again)
    assert dialog.combo_selected_text(TARGET) == TARGETS[2]
    assert size_texts(dialog) == ["96", "3", "", "60", "2", "4"]
    assert dialog.control_text(UNITS) == COUNTS
    assert dialog.combo_selected_text(MODEL) == "EPSON Емулация"
    assert dialog.combo_selected_text(MODE) == "Draft 12"
    assert enabled(dialog, MODE)
    assert not dialog.is_checked(MANUAL_FEED) and dialog.is_checked(DOS_CYRILLIC)
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    # And printing now goes to LPT1, 96 characters wide after the 3-character margin.
    test_env.clear_lpt1()
    dialog = open_pages_to_print(again)
    dialog.set_control_text(PAGE_TO, "1")
    dialog.click(IDOK)
    dialog.wait_gone()
    answer_sheet_prompts(again, 1)
    data = test_env.read_lpt1()
    assert data.startswith(b"\r\n\r\n" + EPSON_DRAFT12_BEGIN)
    # Continuous paper: the page is filled to the paper's 60 lines after its end sequence.
    assert data.count(b"\r\n") == 60
    assert data.rstrip(b"\r\n").endswith(EPSON_DRAFT12_END)
    lines = [line for line in data[7:data.rindex(EPSON_DRAFT12_END)].split(b"\r\n") if line.strip()]
    assert lines and all(line.startswith(b"   ") for line in lines)
    rules = [line for line in lines if line.strip().startswith(b"+")]
    assert rules and all(line.startswith(b"   +") for line in rules)


def test_ok_for_another_printer_adopts_its_paper_and_a_restart_uses_it(lintaro, app_factory,
                                                                         test_env):
    lintaro.start()
    dialog = open_print_setup(lintaro)
    pick(dialog, TARGET, TARGETS[1])
    pick_printer(dialog, test_env.second_printer)
    dialog.set_control_text(RIGHT, "10.5")
    dialog.set_control_text(TOP, "15")
    dialog.set_control_text(BOTTOM, "7.25")
    pick(dialog, ORIENTATION, "Пейзаж")
    dialog.set_checked(MANUAL_FEED, True)  # sheets fed by hand: paper feed 0
    flush(dialog)
    dialog.click(IDOK)
    dialog.wait_gone()
    settle(lintaro)
    fields = printer_cfg_fields(lintaro.read_printer_cfg())
    assert fields == {"kind": 1, "flags": 4, "width": LETTER_WIDTH, "left": LETTER_LEFT_STRIP,
                      "right": 1050, "height": LETTER_HEIGHT, "top": 1500, "bottom": 725,
                      "model": 0, "mode": 0, "feed": 0, "device": test_env.second_printer,
                      "device_tail": bytes(260 - len(test_env.second_printer))}
    assert lintaro.close() == 0

    again = app_factory()
    again.start(folder=lintaro.folder)
    dialog = open_print_setup(again)
    assert dialog.combo_selected_text(TARGET) == TARGETS[1]
    printers = dialog.list_items(PRINTERS)
    assert printers[dialog.list_selection(PRINTERS)] == test_env.second_printer
    assert size_texts(dialog) == ["215.90", "4.23", "10.50", "279.40", "15.00", "7.25"]
    assert dialog.combo_selected_text(ORIENTATION) == "Пейзаж"
    dialog.click(IDCANCEL)
    dialog.wait_gone()


def test_print_setup_lays_the_table_out_for_the_new_page(lintaro, test_env):
    lintaro.start([SAMPLES / "sales-bg.rdf"])
    time.sleep(0.3)
    before = lintaro.screenshot(test_env.screenshot_dir / "setup-layout-before.png", client=True)
    dialog = open_print_setup(lintaro)
    pick(dialog, TARGET, TARGETS[2])
    pick(dialog, MODEL, "EPSON Емулация")
    pick(dialog, MODE, "Compression")
    dialog.click(IDOK)
    dialog.wait_gone()
    settle(lintaro)
    time.sleep(0.3)
    after = lintaro.screenshot(test_env.screenshot_dir / "setup-layout-after.png", client=True)
    assert before.read_bytes() != after.read_bytes()
    fields = printer_cfg_fields(lintaro.read_printer_cfg())
    assert (fields["kind"], fields["width"], fields["mode"]) == (2, 137, 3)


def test_the_converter_sends_a_big_tables_lpt1_pages_made_on_every_core_as_the_print_command_does(
        lintaro, test_env, tmp_path):
    """A table of thousands of rows has its LPT1 pages made on several threads by lintaro-convert:
    every page the print command sends, in order, byte for byte."""
    from test_export import MAKE_TABLE
    data = tmp_path / "big.rdf"
    subprocess.run([sys.executable, str(MAKE_TABLE), str(data), "--rows", "2500", "--printer", "LPT1, EPSON1, Draft 12",
                    "--page", "Width 255, Height 999, Left 2, Top 1, Right 0, Bottom 2"], check=True)
    lintaro.start([data])
    pages, sent = full_print_fitting(lintaro, test_env)
    assert pages >= 5
    assert len(lpt1_pages(sent)) == pages
    result = subprocess.run([str(test_env.convert_exe), str(data), "--to", "lpt"], capture_output=True)
    assert result.returncode == 0 and result.stderr == b""
    assert result.stdout == sent


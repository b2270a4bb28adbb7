"""Export through the "ExportTable" dialog: every sample table in every format and code table,
read back with the independent reader (export_reader.py); the extension following the format;
the kept choices; the file chooser; a path longer than the box; files that cannot be written."""

from __future__ import annotations

import os
import pty
import random
import re
import signal
import stat
import struct
import subprocess
import sys
import threading
import time
from pathlib import Path

import pytest

from lintaro_harness import IDCANCEL, IDOK, MESSAGE_TEXT_ID, image_pixels, windows_path
from wine_process import FileHolder

# The sample tables and pictures kept with the tests.
SAMPLES = Path(__file__).resolve().parents[1] / "samples"
MAKE_TABLE = Path(__file__).resolve().parents[2] / "scripts" / "make-table.py"
READER = Path(__file__).resolve().parent / "export_reader.py"

EXPORT_CAPTION = " Експорт на таблица"
PATH_ID, FORMAT_ID, CODE_TABLE_ID, CHOOSE_FILE_ID = 101, 102, 103, 703
FORMATS = ["Нормален ASCII текст", "Текстове разделени с табулации (за Excel)",
           "Текстов файл в CSV формат (за Excel)", "Във формата на DBASE III, IV"]
CODE_TABLES = ["Windows", "DOS"]
# Format text -> (extension the program gives the file, export_reader format)
FORMAT_FILES = {
    FORMATS[0]: ("txt", "txt"),
    FORMATS[1]: ("txt", "tsv"),
    FORMATS[2]: ("csv", "csv"),
    FORMATS[3]: ("dbf", "dbf"),
}
EM_GETMODIFY = 0x00B8
EM_SETMODIFY = 0x00B9


def read_rdf(path: Path) -> tuple[list[str], list[list[str]]]:
    """Titles and rows of a data file as the table shows them, read here on their own (cp1251,
    CR LF, TAB-separated)."""
    lines = path.read_bytes().decode("cp1251").split("\r\n")
    titles = lines[lines.index("Titles:") + 1].split("\t")
    data = lines[lines.index("Data:") + 1:]
    rows = [line.split("\t") for line in data if line != ""]
    rows = [row + [""] * (len(titles) - len(row)) for row in rows]
    # The table leads with the program's own row-number column, "No", counting from 1.
    return ["No"] + titles, [[str(number)] + row for number, row in enumerate(rows, 1)]


def read_back(reader_format: str, encoding: str, path: Path) -> tuple[str, list[list[str]]]:
    result = subprocess.run([sys.executable, str(READER), reader_format, encoding, str(path)],
                            capture_output=True, check=True)
    lines = result.stdout.decode("utf-8").split("\n")
    assert lines[-1] == ""
    assert lines[0].startswith("encoding:")
    return lines[0][len("encoding:"):], [line.split("\x1f") for line in lines[1:-1]]


def flush(dialog) -> None:
    """Waits until the dialog has handled every message posted to its thread so far (the
    driver posts a pick's notification): posted messages are handled in order, so once a
    modified flag posted to the path box is set, the picks before it are done."""
    edit = dialog.item(PATH_ID)
    edit.send(EM_SETMODIFY, 0)
    edit.post(EM_SETMODIFY, 1)
    deadline = time.monotonic() + 3.0
    while edit.send(EM_GETMODIFY) != 1:
        assert time.monotonic() < deadline, "the dialog does not handle its messages"
        time.sleep(0.05)
    edit.send(EM_SETMODIFY, 0)


def pick(dialog, control_id: int, choice) -> None:
    """Chooses an entry of a drop-down list as the user would, and waits for its effect."""
    dialog.select_combo(control_id, choice)
    flush(dialog)


def open_export_dialog(lintaro):
    lintaro.post_command(311)
    dialog = lintaro.wait_dialog(EXPORT_CAPTION)
    assert dialog.info().owner == lintaro.main.handle
    return dialog


def finish(lintaro, dialog) -> None:
    """OK, then wait until the main window has handled the export (a sent message returns only
    once the command is over)."""
    dialog.click(IDOK)
    dialog.wait_gone()
    lintaro.main.send(0)  # WM_NULL


def export(lintaro, path: Path, format_text: str, code_table: str) -> None:
    dialog = open_export_dialog(lintaro)
    dialog.set_control_text(PATH_ID, windows_path(path))
    pick(dialog, FORMAT_ID, format_text)
    pick(dialog, CODE_TABLE_ID, code_table)
    finish(lintaro, dialog)


def expected_records(reader_format: str, titles, rows) -> list[list[str]]:
    if reader_format in ("csv", "tsv"):
        return [titles] + rows
    return rows


def as_read_from_dos(text: str) -> str:
    """What a reader of the DOS table gives back: the same text, as long as every character is
    ASCII, a Cyrillic letter or one of the symbols that table has (the samples hold only "№")."""
    for char in text:
        assert ord(char) < 0x80 or "А" <= char <= "я" or char in "№§µ±°·\xa0", repr(char)
    return text


def red_pixels(image: Path) -> int:
    width, height, data = image_pixels(image)
    return sum(1 for i in range(0, len(data), 3)
               if data[i] > 180 and data[i + 1] < 90 and data[i + 2] < 90)


def has_cyrillic(rows) -> bool:
    return any("\u0400" <= ch <= "\u04ff" for row in rows for cell in row for ch in cell)


def data_rows_of_boxed_text(records, titles) -> list[list[str]]:
    """The boxed text repeats titles and column numbers on each page: keep the data rows."""
    numbers = [str(i + 1) for i in range(len(titles))]
    return [r for r in records if r != titles and r != numbers]


def check_export(path: Path, reader_format: str, code_table: str, shown_titles, shown_rows,
                 name: str) -> None:
    """Reads the file back with the independent reader: the table's titles and rows, in the code
    table asked for."""
    encoding = "dos" if code_table == "DOS" else ("auto" if reader_format == "dbf" else "cp1251")
    used, records = read_back(reader_format, encoding, path)
    assert used == ("dos" if code_table == "DOS" else "cp1251"), name
    titles, rows = shown_titles, shown_rows
    if code_table == "DOS":
        titles = [as_read_from_dos(t) for t in shown_titles]
        rows = [[as_read_from_dos(c) for c in row] for row in shown_rows]
    if reader_format == "txt":
        body = data_rows_of_boxed_text(records, titles)
        assert records[0] == titles, name
        assert body == rows, name
    elif reader_format == "dbf":
        assert len(records[0]) == len(titles), name
        assert all(re.fullmatch(r"FIELD\d{3}", field) for field in records[0]), records[0]
        assert records[1:] == rows, name
    else:
        assert records == expected_records(reader_format, titles, rows), name
    if reader_format != "dbf" and has_cyrillic(shown_rows):
        # Windows small letters lie at 0xE0-0xFF; in the DOS table the letters end at
        # 0xBF and only DOS symbols (the "№" of a title, 0xD5) stand above them.
        above_letters = {b for b in path.read_bytes() if b >= 0xC0}
        if code_table == "DOS":
            assert above_letters <= {0xD5}, name
        else:
            assert max(above_letters) >= 0xE0, name


@pytest.mark.parametrize("sample", ["furniture.rdf", "sales-bg.rdf", "lpt-report.rdf"])
def test_every_sample_in_every_format_and_code_table_reads_back(lintaro, tmp_path, sample):
    shown_titles, shown_rows = read_rdf(SAMPLES / sample)
    assert shown_rows, "the sample has rows"
    lintaro.start([SAMPLES / sample])
    for format_text in FORMATS:
        extension, reader_format = FORMAT_FILES[format_text]
        for code_table in CODE_TABLES:
            name = f"{reader_format}-{code_table.lower()}"
            path = tmp_path / f"{name}.{extension}"
            export(lintaro, path, format_text, code_table)
            assert path.exists(), f"{format_text} / {code_table} wrote no {path.name}"
            check_export(path, reader_format, code_table, shown_titles, shown_rows, name)
    assert lintaro.dialogs() == []


def test_choosing_a_format_switches_the_extension_at_once_and_ok_stores_it(lintaro, tmp_path):
    lintaro.start([SAMPLES / "sales-bg.rdf"])
    dialog = open_export_dialog(lintaro)
    # Opened for the first time: an empty path, plain text, Windows.
    assert dialog.control_text(PATH_ID) == ""
    assert dialog.combo_items(FORMAT_ID) == FORMATS
    assert dialog.combo_selection(FORMAT_ID) == 0
    assert dialog.combo_items(CODE_TABLE_ID) == CODE_TABLES
    assert dialog.combo_selection(CODE_TABLE_ID) == 0
    # An empty path stays empty whatever the format.
    pick(dialog, FORMAT_ID, FORMATS[3])
    assert dialog.control_text(PATH_ID) == ""
    folder = windows_path(tmp_path)
    dialog.set_control_text(PATH_ID, folder + "\\TABLE.TXT")
    pick(dialog, FORMAT_ID, FORMATS[2])
    assert dialog.control_text(PATH_ID) == folder + "\\TABLE.csv"
    pick(dialog, FORMAT_ID, FORMATS[3])
    assert dialog.control_text(PATH_ID) == folder + "\\TABLE.dbf"
    pick(dialog, FORMAT_ID, FORMATS[1])
    assert dialog.control_text(PATH_ID) == folder + "\\TABLE.txt"
    dialog.set_control_text(PATH_ID, folder + "\\noext")
    pick(dialog, FORMAT_ID, FORMATS[0])
    assert dialog.control_text(PATH_ID) == folder + "\\noext.txt"
    dialog.set_control_text(PATH_ID, folder + "\\TABLE.TXT")
    pick(dialog, FORMAT_ID, FORMATS[2])
    pick(dialog, CODE_TABLE_ID, "DOS")
    finish(lintaro, dialog)
    assert (tmp_path / "TABLE.csv").exists()
    # The request is kept: the next export opens with the path, CSV and DOS.
    dialog = open_export_dialog(lintaro)
    assert dialog.control_text(PATH_ID) == folder + "\\TABLE.csv"
    assert dialog.combo_selected_text(FORMAT_ID) == FORMATS[2]
    assert dialog.combo_selected_text(CODE_TABLE_ID) == "DOS"
    # A path typed with another extension while CSV stays chosen gets ".csv" on OK.
    dialog.set_control_text(PATH_ID, folder + "\\second.dat")
    finish(lintaro, dialog)
    assert (tmp_path / "second.csv").exists()
    assert not (tmp_path / "second.dat").exists()
    # Cancel keeps the previous request and writes nothing.
    dialog = open_export_dialog(lintaro)
    dialog.set_control_text(PATH_ID, folder + "\\cancelled.txt")
    pick(dialog, FORMAT_ID, FORMATS[0])
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    lintaro.main.send(0)
    assert not (tmp_path / "cancelled.txt").exists()
    dialog = open_export_dialog(lintaro)
    assert dialog.control_text(PATH_ID) == folder + "\\second.csv"
    assert dialog.combo_selected_text(FORMAT_ID) == FORMATS[2]
    lintaro.key("Escape", window=dialog)
    dialog.wait_gone()


def test_the_menu_item_and_a_typed_path_longer_than_the_box(lintaro, tmp_path, test_env):
    lintaro.start([SAMPLES / "furniture.rdf"])
    # "Печат" -> "Експорт..." by keyboard: Alt, Right to the second menu, down past 301 and 302.
    lintaro.key("alt", "Right", "Down", "Down", "Down", "Return")
    dialog = lintaro.wait_dialog(EXPORT_CAPTION)
    # The path box has the focus and scrolls: every typed character is kept.
    folder = tmp_path / ("a-rather-long-folder-name-that-does-not-fit-the-box-" + "x" * 40)
    folder.mkdir()
    path = windows_path(folder / "typed-by-keyboard.csv")
    assert len(path) > 120
    lintaro.type_text(path, window=dialog)
    assert dialog.control_text(PATH_ID) == path
    lintaro.screenshot(test_env.screenshot_dir / "export-long-path.png", window=dialog)
    lintaro.key("Tab", window=dialog)  # on to the format list
    lintaro.key("Down", "Down", window=dialog)  # the CSV entry, by keyboard
    assert dialog.combo_selected_text(FORMAT_ID) == FORMATS[2]
    lintaro.key("Return", window=dialog)  # Enter presses the default button
    dialog.wait_gone()
    lintaro.main.send(0)
    titles, rows = read_rdf(SAMPLES / "furniture.rdf")
    used, records = read_back("csv", "cp1251", folder / "typed-by-keyboard.csv")
    assert records == [titles] + rows


def test_file_chooser_starts_empty_offers_the_three_types_and_fills_the_path(lintaro, tmp_path,
                                                                             test_env):
    lintaro.start([SAMPLES / "sales-bg.rdf"])
    dialog = open_export_dialog(lintaro)
    dialog.set_control_text(PATH_ID, "C:\\earlier.txt")
    pick(dialog, FORMAT_ID, FORMATS[2])
    dialog.click(CHOOSE_FILE_ID)
    chooser = lintaro.driver.wait(window_class="#32770", owner=dialog, visible=True)
    assert chooser.info().owner == dialog.handle
    # The chooser starts from an empty name, not from the path in the box.
    name_box = [c for c in chooser.children() if c.class_name == "Edit"][0]
    assert chooser.driver.call("text", name_box.handle)[0] == ""
    # The file types offered, in order, the first one chosen.
    type_list = [c for c in chooser.children() if c.class_name == "ComboBox"
                 and "Text files (*.txt)" in chooser.driver.call("cbitems", c.handle)[1:]][0]
    fields = chooser.driver.call("cbitems", type_list.handle)
    assert fields[1:] == ["Text files (*.txt)", "CSV files (*.csv)", "dBase files (*.dbf)"]
    assert int(fields[0]) == 1, "the chosen format's type is shown"
    lintaro.screenshot(test_env.screenshot_dir / "export-file-chooser.png", window=chooser)
    # An existing name is not asked about here: it is not the name that will be written.
    (tmp_path / "chosen.dat").write_bytes(b"kept")
    chooser.driver.call("settext", name_box.handle, windows_path(tmp_path / "chosen.dat"))
    chooser.click(IDOK)
    chooser.wait_gone()
    # The format stays CSV, so the box shows the name OK will write.
    assert dialog.control_text(PATH_ID).lower() == windows_path(tmp_path / "chosen.csv").lower()
    finish(lintaro, dialog)
    assert (tmp_path / "chosen.csv").exists()
    assert (tmp_path / "chosen.dat").read_bytes() == b"kept"


def test_file_chooser_cancelled_leaves_the_path(lintaro, tmp_path):
    lintaro.start([SAMPLES / "sales-bg.rdf"])
    dialog = open_export_dialog(lintaro)
    dialog.set_control_text(PATH_ID, "C:\\kept.txt")
    dialog.click(CHOOSE_FILE_ID)
    chooser = lintaro.driver.wait(window_class="#32770", owner=dialog, visible=True)
    chooser.click(IDCANCEL)
    chooser.wait_gone()
    assert dialog.control_text(PATH_ID) == "C:\\kept.txt"
    dialog.click(IDCANCEL)
    dialog.wait_gone()


def test_a_file_that_cannot_be_created_is_reported(lintaro, tmp_path, test_env):
    lintaro.start([SAMPLES / "sales-bg.rdf"])
    missing = windows_path(tmp_path / "no-such-folder" / "out.txt")
    dialog = open_export_dialog(lintaro)
    dialog.set_control_text(PATH_ID, missing)
    dialog.click(IDOK)
    dialog.wait_gone()
    box, caption, text = lintaro.wait_message_box()
    assert caption == "Lintaro 2.0"
    assert text == "Файлът не може да бъде създаден:\r\n" + missing
    assert box.info().owner == lintaro.main.handle
    shot = lintaro.screenshot(test_env.screenshot_dir / "export-cannot-create.png", window=box)
    assert red_pixels(shot) > 50, "the stop icon (a red disc) is shown"
    box.click(IDOK)
    box.wait_gone()
    assert not (tmp_path / "no-such-folder").exists()
    assert lintaro.is_running()


def test_an_empty_path_writes_nothing_and_says_nothing(lintaro, tmp_path):
    lintaro.start([SAMPLES / "sales-bg.rdf"], folder=tmp_path / "app")
    dialog = open_export_dialog(lintaro)
    dialog.click(IDOK)
    dialog.wait_gone()
    lintaro.main.send(0)
    time.sleep(0.3)
    assert lintaro.dialogs() == []
    assert {p.name for p in (tmp_path / "app").iterdir()} <= {"lintaro.exe", "wine-output.log"}
    assert lintaro.is_running()


def test_a_write_that_fails_is_reported(lintaro, test_env):
    # /dev/full opens like a file but refuses every byte ("no space left").
    lintaro.start([SAMPLES / "sales-bg.rdf"])
    dialog = open_export_dialog(lintaro)
    dialog.set_control_text(PATH_ID, "Z:\\dev\\full")
    dialog.click(IDOK)
    dialog.wait_gone()
    box, caption, text = lintaro.wait_message_box()
    assert caption == "Lintaro 2.0"
    assert text == "Грешка при записа във файла:\r\nZ:\\dev\\full\r\nФайлът е непълен."
    shot = lintaro.screenshot(test_env.screenshot_dir / "export-write-failed.png", window=box)
    assert red_pixels(shot) > 50
    box.click(IDOK)
    box.wait_gone()
    assert lintaro.is_running()


def test_a_large_table_on_a_disk_that_fills_keeps_whole_records_counted_and_is_reported(
        lintaro, tmp_path):
    # 20,000 rows: each export is several of the blocks the program writes at once, and larger
    # than the 1 MB disk it is written to.
    from test_save_faults import small_tmpfs

    data = tmp_path / "large.rdf"
    subprocess.run([sys.executable, str(Path(__file__).resolve().parents[2] / "scripts" / "make-table.py"),
                    str(data), "--rows", "20000"], check=True)
    titles, rows = read_rdf(data)
    lintaro.start([data])
    with small_tmpfs(tmp_path / "disk", 1) as disk:
        for format_text, reader_format in ((FORMATS[3], "dbf"), (FORMATS[2], "csv")):
            whole = tmp_path / f"whole.{reader_format}"
            export(lintaro, whole, format_text, "Windows")
            assert whole.stat().st_size > 3 * (1 << 19), "larger than the disk"
            cut = disk / f"cut.{reader_format}"
            export_dialog = open_export_dialog(lintaro)
            export_dialog.set_control_text(PATH_ID, windows_path(cut))
            pick(export_dialog, FORMAT_ID, format_text)
            export_dialog.click(IDOK)
            export_dialog.wait_gone()
            box, caption, text = lintaro.wait_message_box()
            assert text == f"Грешка при записа във файла:\r\n{windows_path(cut)}\r\nФайлът е непълен."
            box.click(IDOK)
            box.wait_gone()

            written, full = cut.read_bytes(), whole.read_bytes()
            assert 0 < len(written) < len(full)
            if reader_format == "dbf":
                header, record = struct.unpack_from("<HH", full, 8)
                count = struct.unpack_from("<I", written, 4)[0]
                # Whole records only, and the count names exactly them.
                assert (len(written) - header) % record == 0
                assert count == (len(written) - header) // record
                assert written[:4] + written[8:] == full[:4] + full[8:len(written)]
                _, records = read_back("dbf", "cp1251", cut)
                assert records[1:] == rows[:count]
                assert count > 5000
            else:
                assert written == full[:len(written)] and written.endswith(b"\r\n")
                _, records = read_back("csv", "cp1251", cut)
                assert records[0] == titles
                assert records[1:] == rows[:len(records) - 1]
                assert len(records) > 5000
            cut.unlink()
    assert lintaro.is_running()

def test_cancel_in_a_million_row_export_removes_the_file_and_says_so(lintaro, tmp_path, test_env):
    # Four million rows: the boxed text then takes well over a second after the progress window
    # shows at half a second, so Cancel reaches the export while it still runs.
    table = tmp_path / "million.rdf"
    subprocess.run([sys.executable, str(MAKE_TABLE), str(table), "--rows", "4000000"], check=True)
    lintaro.start([table], timeout=180)
    target = tmp_path / "million.txt"
    dialog = open_export_dialog(lintaro)
    dialog.set_control_text(PATH_ID, windows_path(target))
    # Boxed text, the slowest format: written in large blocks, CSV can end in half a second.
    pick(dialog, FORMAT_ID, FORMATS[0])
    dialog.click(IDOK)
    dialog.wait_gone()

    progress = lintaro.driver.wait(window_class="LintaroProgress", exe=lintaro.windows_exe, visible=True,
                                   timeout=30)
    # Read what the window says first and press Cancel at once: the export goes on meanwhile.
    doing, count = progress.control_text(101), progress.control_text(102)
    owner, main_enabled = progress.info().owner, lintaro.main.info().enabled
    written_meanwhile = target.exists()
    # Cancel twice: the second press finds the stop on its way and changes nothing.
    progress.click(IDCANCEL)
    progress.click(IDCANCEL)
    assert doing == "Експорт на таблицата във файл..."
    assert re.fullmatch(r"Записани редове: \d+ от 4000000", count)
    assert owner == lintaro.main.handle and not main_enabled
    assert written_meanwhile, "the rows go to the file as they are written"
    box, caption, text = lintaro.wait_message_box(timeout=30)
    lintaro.screenshot(test_env.screenshot_dir / "export-cancelled.png")
    assert caption == "Lintaro 2.0"
    assert text == "Експортът е прекъснат.\r\nНепълният файл е изтрит:\r\n" + windows_path(target)
    assert not progress.exists()
    assert not target.exists()
    box.click(IDOK)
    box.wait_gone()
    assert lintaro.main.info().enabled
    assert lintaro.is_running()

    # Closing the program during the export stops it too, removes the file and ends at once.
    dialog = open_export_dialog(lintaro)
    dialog.click(IDOK)
    dialog.wait_gone()
    lintaro.driver.wait(window_class="LintaroProgress", exe=lintaro.windows_exe, visible=True, timeout=30)
    lintaro.main.close()
    assert lintaro.exit_code(timeout=30) == 0
    assert not target.exists()


# ----------------------------------------------------------------------------------------------
# Files that must not be replaced, and paths that name no usable file


def message_over(lintaro, dialog) -> tuple:
    box = lintaro.driver.wait(window_class="#32770", owner=dialog, visible=True)
    return box, box.info().caption, box.control_text(MESSAGE_TEXT_ID)


def answer_replace_question(lintaro, dialog, path: str, answer: int) -> None:
    box, caption, text = message_over(lintaro, dialog)
    assert (caption, text) == ("Lintaro 2.0", f"Файлът вече съществува:\r\n{path}\r\nДа бъде ли заменен?")
    assert {c.control_id for c in box.children() if c.class_name == "Button"} == {IDOK, IDCANCEL}
    box.click(answer)
    box.wait_gone()


def expect_refusal(lintaro, dialog, text: str) -> None:
    """A stop message over the dialog; after OK the dialog is still open for another name."""
    box, caption, shown = message_over(lintaro, dialog)
    assert (caption, shown) == ("Lintaro 2.0", text)
    assert red_pixels(lintaro.screenshot(window=box)) > 50, "the stop icon (a red disc)"
    box.click(IDOK)
    box.wait_gone()
    assert dialog.exists()


def test_the_tables_own_files_are_refused_and_another_file_is_replaced_only_when_agreed(
        lintaro, app_factory):
    folder = lintaro.prepare(files={"sales.rdf": (SAMPLES / "sales-bg.rdf").read_bytes(),
                                    "old.csv": "old;\r\n"})
    data, layout = folder / "sales.rdf", folder / "sales.fmt"
    lintaro.start([data, layout])
    dialog = open_export_dialog(lintaro)
    pick(dialog, FORMAT_ID, FORMATS[0])
    own = [(windows_path(data), "данните на таблицата"),
           (windows_path(folder).upper() + "\\SUB\\..\\SALES.RDF", "данните на таблицата"),
           (windows_path(folder / "Printer.cfg"), "настройките на печата")]
    for path, what in own:
        dialog.set_control_text(PATH_ID, path)
        dialog.click(IDOK)
        expect_refusal(lintaro, dialog, f"Изходният файл е файлът с {what}\r\n"
                                        "и не може да бъде заменен.")
    # An existing file: Cancel keeps it and the dialog; OK replaces it.
    old = windows_path(folder / "old.csv")
    pick(dialog, FORMAT_ID, FORMATS[2])
    dialog.set_control_text(PATH_ID, old)
    dialog.click(IDOK)
    answer_replace_question(lintaro, dialog, old, IDCANCEL)
    assert dialog.exists() and (folder / "old.csv").read_bytes() == b"old;\r\n"
    dialog.click(IDOK)
    answer_replace_question(lintaro, dialog, old, IDOK)
    dialog.wait_gone()
    lintaro.main.send(0)
    titles, rows = read_rdf(SAMPLES / "sales-bg.rdf")
    assert read_back("csv", "cp1251", folder / "old.csv")[1] == [titles] + rows
    assert data.read_bytes() == (SAMPLES / "sales-bg.rdf").read_bytes()
    # The layout file, once written, is refused as well.
    assert lintaro.close() == 0
    again = app_factory(name="export_again")
    again.start([data, layout], folder=folder)
    dialog = open_export_dialog(again)
    pick(dialog, FORMAT_ID, FORMATS[1])
    dialog.set_control_text(PATH_ID, windows_path(layout))
    dialog.click(IDOK)
    expect_refusal(again, dialog, "Изходният файл е файлът с оформлението на таблицата\r\n"
                                  "и не може да бъде заменен.")
    assert again.close() == 0


def test_paths_that_name_no_usable_file_are_refused_never_cut(lintaro, tmp_path):
    lintaro.start([SAMPLES / "sales-bg.rdf"], folder=tmp_path / "app")
    dialog = open_export_dialog(lintaro)
    deep = tmp_path / ("d" * 150)
    deep.mkdir()
    long_path = windows_path(deep / ("n" * (291 - len(windows_path(deep)) - 5))) + ".csv"
    assert len(long_path) == 291
    refusals = [
        (long_path, "Пътят на изходния файл е твърде дълъг:\r\nпозволени са най-много 259 знака."),
        (windows_path(tmp_path) + "\\", "Не е зададено име на изходния файл."),
        ("relative.csv", "Изходният файл трябва да се зададе с точен път,\r\nнапример C:\\Данни\\Таблица.txt"),
        (windows_path(deep), "Изходният път е папка, а не файл."),
    ]
    for path, text in refusals:
        dialog.set_control_text(PATH_ID, path)
        dialog.click(IDOK)
        expect_refusal(lintaro, dialog, text)
        assert dialog.control_text(PATH_ID) == path, "the typed path stays as it was typed"
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    assert list(deep.iterdir()) == []
    assert not list(tmp_path.glob("*.csv"))
    assert {p.name for p in (tmp_path / "app").iterdir()} <= {"lintaro.exe", "wine-output.log"}
    assert lintaro.close() == 0


def write_rdf(path: Path, titles: list[str], rows: list[list[str]]) -> Path:
    text = ("Titles:\r\n" + "\t".join(titles) + "\r\nData:\r\n"
            + "".join("\t".join(row) + "\r\n" for row in rows))
    path.write_bytes(text.encode("cp1251"))
    return path


def test_quotes_and_control_bytes_of_cells_never_split_a_record(lintaro, tmp_path):
    # The DOS table writes „ “ « » as '"': the CSV quoting must see those quotes. A cell's line
    # break (kept by the data file), form feed and ESC must not end a tab-separated record.
    rows = [["ЕТ „Иван; син“", "ред 1\nред 2"], ["„Бяло“ АД", "лист\x0cвтори"], ["«Рила»", "esc\x1b@"]]
    lintaro.start([write_rdf(tmp_path / "firms.rdf", ["Фирма", "Бележка"], rows)])
    titles = ["No", "Фирма", "Бележка"]
    csv_rows = [["1", 'ЕТ "Иван; син"', "ред 1\\nред 2"], ["2", '"Бяло" АД', "лист втори"],
                ["3", '"Рила"', "esc @"]]
    export(lintaro, tmp_path / "dos.csv", FORMATS[2], "DOS")
    assert read_back("csv", "dos", tmp_path / "dos.csv") == ("dos", [titles] + csv_rows)
    tsv_rows = [row[:2] + [row[2].replace("\\n", " ")] for row in csv_rows]
    export(lintaro, tmp_path / "dos.txt", FORMATS[1], "DOS")
    assert read_back("tsv", "dos", tmp_path / "dos.txt") == ("dos", [titles] + tsv_rows)
    export(lintaro, tmp_path / "win.txt", FORMATS[1], "Windows")
    assert read_back("tsv", "cp1251", tmp_path / "win.txt") == (
        "cp1251", [titles, ["1", "ЕТ „Иван; син“", "ред 1 ред 2"]] + [["2", "„Бяло“ АД", "лист втори"],
                                                                  ["3", "«Рила»", "esc @"]])
    for name in ("dos.csv", "dos.txt", "win.txt"):
        assert b"\x0c" not in (tmp_path / name).read_bytes() and b"\x1b" not in (tmp_path / name).read_bytes()


def test_a_big_tables_boxed_text_made_on_two_threads_reads_back_cell_for_cell(lintaro, tmp_path, test_env):
    # 9,000 rows: the program makes the rows of a table this big on two threads, in batches,
    # a run of rows at a time from column reads. Every cell reads back where it stood, its
    # control bytes and line feeds as blanks, in both code tables; the converter agrees.
    pick = random.Random(47)
    words, controls = ["ред", "Бяло", "лист", "esc@", "a", "София"], ["\x01", "\x07", "\x0c", "\x1b", "\x1f", "\n"]
    rows = [["" if pick.random() < 0.1 else
             (pick.choice(controls) if pick.random() < 0.5 else " ").join(
                 pick.choice(words) for _ in range(pick.randint(1, 4))) for _ in range(3)]
            for _ in range(9000)]
    titles = ["Име", "Град", "Бележка"]
    data = write_rdf(tmp_path / "big.rdf", titles, rows)
    # A header of its own: without one the header shows the file's path, which differs in Wine.
    data.write_bytes("Header:\r\nБележки\r\n".encode("cp1251") + data.read_bytes())
    shown = [[str(number)] + [re.sub("[\x00-\x1f]", " ", cell) for cell in row] for number, row in enumerate(rows, 1)]
    assert sum(cell != re.sub("[\x00-\x1f]", " ", cell) for row in rows for cell in row) > 5000
    lintaro.start([data])
    for code_table, encoding in (("Windows", "cp1251"), ("DOS", "dos")):
        path = tmp_path / f"big-{code_table}.txt"
        export(lintaro, path, FORMATS[0], code_table)
        assert read_back("txt", encoding, path)[0] == encoding
        assert data_rows_of_boxed_text(read_back("txt", encoding, path)[1], ["No"] + titles) == shown, code_table
        written = path.read_bytes()
        assert not re.search(rb"[\x00-\x09\x0b\x0c\x0e-\x1f]|\r(?!\n)|(?<!\r)\n", written), code_table
        converted = convert(test_env, data, "--to", "text", *(["--dos"] if code_table == "DOS" else []))
        assert converted.returncode == 0 and converted.stdout == written, code_table


def test_columns_that_repeat_never_repeat_or_overflow_what_the_store_keeps_once_export_every_cell(
        lintaro, tmp_path):
    # 140,000 rows: row codes that never repeat, 30 cities, 70,000 names each on two rows (more
    # than a column keeps once, so the last ones keep their own bytes), a 255-byte note drawn
    # from three, and two-letter marks. Every cell comes back where it stood, through the
    # tab-separated and the CSV export, each read by the independent reader.
    cities = [f"град {number} Велико" for number in range(30)]
    notes = [letter * 255 for letter in "абв"]
    rows = [[f"R{index:07d}", cities[index * 7 % 30], f"Иван Петров {index // 2:05d}",
             notes[index % 3] if index % 5 else "", "ab" if index % 2 else "вг"] for index in range(140000)]
    titles = ["Код", "Град", "Име", "Бележка", "Знак"]
    data = write_rdf(tmp_path / "repeated.rdf", titles, rows)
    shown_titles, shown_rows = read_rdf(data)
    assert len(shown_rows) == 140000 and shown_rows[139999][3] == "Иван Петров 69999"
    lintaro.start([data])
    for format_text in (FORMATS[1], FORMATS[2]):
        extension, reader_format = FORMAT_FILES[format_text]
        path = tmp_path / f"repeated-{reader_format}.{extension}"
        export(lintaro, path, format_text, "Windows")
        check_export(path, reader_format, "Windows", shown_titles, shown_rows, reader_format)
    assert lintaro.dialogs() == []


def test_boxed_text_numbers_its_pages_as_the_table_dialog_says(lintaro, tmp_path):
    rows = [[f"Ред {n:03d}", str(n)] for n in range(1, 201)]
    lintaro.start([write_rdf(tmp_path / "long.rdf", ["Име", "Брой"], rows)])
    lintaro.post_command(211)
    dialog = lintaro.wait_dialog(" Оформление на таблицата")
    dialog.select_combo(141, "стр. N от M")
    dialog.select_combo(121, "Горе, център")
    dialog.set_checked(131, True)  # page 1 numbered too
    finish(lintaro, dialog)
    export(lintaro, tmp_path / "long.txt", FORMATS[0], "Windows")
    lines = (tmp_path / "long.txt").read_bytes().decode("cp1251").split("\r\n")
    numbers = [line.strip() for line in lines if line.strip().startswith("стр.")]
    pages = len(numbers)
    assert pages >= 2, "200 rows fill several pages"
    assert numbers == [f"стр. {n} от {pages}" for n in range(1, pages + 1)]
    # Centred over the table, as "- N -" was.
    line = next(line for line in lines if "стр. 1 от" in line)
    table_width = len(lines[next(i for i, text in enumerate(lines) if text.startswith("+"))])
    assert abs(line.index("стр.") - (table_width - len(numbers[0])) // 2) <= 1


def test_a_dbase_record_past_65535_bytes_is_refused_and_no_file_is_written(lintaro, tmp_path,
                                                                          test_env):
    # 260 columns of 255-byte cells; each row fills 26 of them, so every row keeps all its cells.
    titles = [f"C{i}" for i in range(260)]
    rows = [[("x" * 255 if start <= i < start + 26 else "") for i in range(260)]
            for start in range(0, 260, 26)]
    lintaro.start([write_rdf(tmp_path / "wide.rdf", titles, rows)])
    target = tmp_path / "wide.dbf"
    dialog = open_export_dialog(lintaro)
    dialog.set_control_text(PATH_ID, windows_path(target))
    pick(dialog, FORMAT_ID, FORMATS[3])
    dialog.click(IDOK)
    dialog.wait_gone()
    box, caption, text = lintaro.wait_message_box()
    assert caption == "Lintaro 2.0"
    assert text == ("Таблицата е твърде широка за формата DBASE:\r\n"
                    "един запис може да има до 65535 знака\r\n"
                    "и до 2046 полета.\r\n"
                    "Скрийте част от колоните.")
    assert box.info().owner == lintaro.main.handle
    shot = lintaro.screenshot(test_env.screenshot_dir / "export-dbase-too-wide.png", window=box)
    assert red_pixels(shot) > 50
    box.click(IDOK)
    box.wait_gone()
    assert not target.exists()
    # The same table as CSV is written whole.
    export(lintaro, tmp_path / "wide.csv", FORMATS[2], "Windows")
    used, records = read_back("csv", "cp1251", tmp_path / "wide.csv")
    assert records[0] == ["No"] + titles and len(records) == 11
    assert records[10][-1] == "x" * 255


# ----------------------------------------------------------------------------------------------
# lintaro-convert: the same bytes as the program's own export, without Windows

MAKE_TABLE = Path(__file__).resolve().parents[2] / "scripts" / "make-table.py"
CONVERTER_FORMATS = {FORMATS[0]: "text", FORMATS[1]: "tsv", FORMATS[2]: "csv", FORMATS[3]: "dbf"}


def convert(test_env, *args, cwd=None) -> subprocess.CompletedProcess:
    words = [a if isinstance(a, bytes) else str(a) for a in args]
    return subprocess.run([str(test_env.convert_exe), *words], capture_output=True,
                          cwd=cwd, stdin=subprocess.DEVNULL)


def write_layout_file(path: Path, font: str, size: int, style: tuple, columns: list, sum_lines: int = 0) -> Path:
    """A column layout file as the grid writes it, made here from its documented bytes: style is
    (line type, cell height, page-number position, flags); each column (source, flags, alignment,
    max lines, type, screen width, print width); `sum_lines` the byte of the print options that
    says where sums appear."""
    head = struct.pack("<IHHHI", 12345678, 20, 128, 48, len(columns)) + bytes(12)
    head += struct.pack("<BHBI", *style)
    options = b"PRT1" + bytes([0, 0, 0, 0, sum_lines]) if sum_lines else b""
    head += struct.pack("<32siIIIIH", font.encode("cp1251"), size, 0, 1, 0, 0, 0) + options.ljust(40, b"\0")
    assert len(head) == 128
    body = b"".join(struct.pack("<iIiiiiiiiIii", source, flags, alignment, lines, kind, width, width,
                                print_width, print_width, 0, 0, 0)
                    for source, flags, alignment, lines, kind, width, print_width in columns)
    path.write_bytes(head + body)
    return path


def report_layout(path: Path, leaving_out: tuple = (), sum_lines: int = 0) -> Path:
    """The report's columns rearranged: "№" hidden, names bold and wrapped in a narrow column,
    notes wrapped over at most two lines, dates last; Times New Roman 12 pt, thick rules, taller
    rows, titles, header and footer on every page, page numbers at the bottom centre. Columns of
    the sources in `leaving_out` are not in the file: the program adds them at the end, as wide
    as their cells in the file's font. With `sum_lines` the amounts are summed there."""
    visible, flow, bold = 0x1, 0x10, 0x40
    summed = 0x80 if sum_lines else 0
    return write_layout_file(path, "Times New Roman", 120, (2, 40, 5, 0x1 | 0x2 | 0x4 | 0x20 | 0x40 | 0x80), [
        column for column in [
            (-1, visible, 1, 0, 1, 40, 120),
            (12, visible | flow | bold, 0, 0, 0, 90, 260),
            (11, 0, 1, 0, 1, 30, 90),
            (13, visible, 2, 0, 0, 80, 240),
            (14, visible | summed, 1, 0, 1, 70, 210),
            (16, visible | flow, 0, 2, 0, 80, 230),
            (15, visible, 0, 0, 2, 80, 240),
        ] if column[0] not in leaving_out], sum_lines)


def program_exports(lintaro, tmp_path: Path, name: str) -> dict:
    """Every format and code table as the program exports them: {(format, dos): bytes}."""
    exported = {}
    for format_text, target in CONVERTER_FORMATS.items():
        for code_table in CODE_TABLES:
            path = tmp_path / f"{name}-{target}-{code_table}.{FORMAT_FILES[format_text][0]}"
            export(lintaro, path, format_text, code_table)
            exported[(target, code_table == "DOS")] = path.read_bytes()
    return exported


@pytest.mark.parametrize("table", ["furniture.rdf", "sales-bg.rdf", "sales-bg.rdf+layout",
                                   "lpt-report.rdf+layout", "generated-2500+layout",
                                   "generated-2500+layout-without-names-and-amounts",
                                   "generated-2500+layout-with-sums"])
def test_the_converter_writes_the_programs_export_byte_for_byte(lintaro, tmp_path, test_env, table):
    name, _, with_layout = table.partition("+")
    if name.startswith("generated"):
        data = tmp_path / "generated.rdf"
        subprocess.run([sys.executable, str(MAKE_TABLE), str(data), "--rows", "2500"], check=True)
    else:
        # Copied with its pictures, so that the layout file can sit beside it.
        for picture in SAMPLES.glob("*.bmp"):
            (tmp_path / picture.name).write_bytes(picture.read_bytes())
        data = tmp_path / name
        data.write_bytes((SAMPLES / name).read_bytes())
    leaving_out = (12, 14) if with_layout.endswith("without-names-and-amounts") else ()
    sums = 0x1 | 0x2 if with_layout.endswith("with-sums") else 0  # page totals, brought forward
    layout = report_layout(tmp_path / "report.fmt", leaving_out, sums) if with_layout else None
    if layout is not None:
        layout_bytes = layout.read_bytes()
    lintaro.start([data] + ([layout] if layout else []))
    expected = program_exports(lintaro, tmp_path, "program")
    if layout is not None:
        # The program took the file as it stands: nothing changed, nothing rewritten.
        assert layout.read_bytes() == layout_bytes
    for (target, dos), program_bytes in expected.items():
        out = tmp_path / f"converted-{target}-{dos}.out"
        result = convert(test_env, data, *(["--layout", layout] if layout else []), "--to", target,
                         *(["--dos"] if dos else []), "-o", out)
        assert result.returncode == 0, result.stderr
        assert result.stdout == b"" and result.stderr == b""
        assert out.read_bytes() == program_bytes, f"{table} {target} dos={dos}"
    if name.startswith("generated"):
        # Several pages, each opened by the titles again: the pagination was compared too.
        assert expected[("text", False)].count("Бележка".encode("cp1251")) > 3
    if sums:
        assert expected[("text", False)].count("Пренос от предходна страница".encode("cp1251")) > 3


def test_the_converter_sorts_and_filters_as_the_dialogs_do_and_writes_to_standard_output(
        lintaro, tmp_path, test_env):
    data = SAMPLES / "sales-bg.rdf"
    # The rows of Бургас, by amount, highest first.
    result = convert(test_env, data, "--to", "csv", "--filter", "Град".encode("cp1251"), "Бургас".encode("cp1251"),
                     "Бургас".encode("cp1251"), "--sort", "4", "desc", "number")
    assert result.returncode == 0, result.stderr
    lines = result.stdout.decode("cp1251").split("\r\n")
    assert lines[0] == "No;№;Име;Град;Сума;Дата;Бележка;" and lines[-1] == ""
    rows = [line.split(";") for line in lines[1:-1]]
    source_rows = read_rdf(data)[1]
    assert len(rows) == sum(1 for row in source_rows if row[3] == "Бургас") > 1
    assert all(row[3] == "Бургас" for row in rows)
    amounts = [float(row[4]) for row in rows]
    assert amounts == sorted(amounts, reverse=True)
    assert [row[0] for row in rows] == [str(i) for i in range(1, len(rows) + 1)]
    # dBase to a pipe: made in memory, the record count patched in.
    piped = convert(test_env, data, "--to", "dbf", "-o", "-")
    assert piped.returncode == 0 and struct.unpack_from("<I", piped.stdout, 4)[0] == len(read_rdf(data)[1])


@pytest.mark.parametrize("args, code, message", [
    (["--to", "csv"], 1, "no data file given"),
    (["{data}"], 1, "no format given"),
    (["{data}", "--to", "xls"], 1, "unknown format 'xls'"),
    (["{data}", "--to", "csv", "--to", "tsv"], 1, "--to given twice"),
    (["{data}", "--to", "csv", "--colour"], 1, "unknown switch --colour"),
    (["{data}", "--to", "csv", "-o"], 1, "-o needs a value"),
    (["{data}", "{data}", "--to", "csv"], 1, "more than one data file"),
    (["{data}", "--to", "csv", "--sort"], 1, "--sort"),
    (["{data}", "--to", "csv", "--filter", "1", "a"], 1, "--filter"),
    (["{missing}", "--to", "csv"], 2, "cannot read"),
    (["{folder}", "--to", "csv"], 2, "cannot read"),
    # Reading fails at the first block (the converter's own memory is no file to read).
    (["/proc/self/mem", "--to", "csv"], 2, "cannot read /proc/self/mem: Input/output error"),
    (["{not_table}", "--to", "csv"], 2, "holds no table"),
    (["{data}", "--layout", "{missing}", "--to", "csv"], 3, "cannot read"),
    (["{data}", "--layout", "{not_table}", "--to", "csv"], 3, "is not a column layout file"),
    (["{data}", "--to", "csv", "--sort", "Цвят"], 4, "--sort"),
    (["{data}", "--to", "csv", "--filter", "1", "900", "999", "number"], 5, "no row passes"),
    (["{not_table}", "--to", "csv", "-o", "{not_table}"], 7, "would replace the file being converted"),
    (["{data}", "--layout", "{out}", "--to", "csv", "-o", "{tmp}/./out.csv"], 7, "would replace the file"),
    (["{data}", "--to", "csv", "-o", "{folder}"], 7, "is a folder"),
    (["{data}", "--to", "csv", "-o", "{missing}/out.csv"], 7, "cannot create"),
    (["{lpt}", "--to", "pdf", "-o", "{out}"], 9, "dot-matrix printer, which has no PDF pages"),
    (["{data}", "--to", "pdf", "--pages", "99", "-o", "{out}"], 1, "--pages starts after the last page"),
    (["{data}", "--to", "lpt", "-o", "{out}"], 9, "names no LPT1 printer"),
])
def test_the_converter_refuses_bad_input_with_one_line_and_its_exit_code(test_env, tmp_path, args, code,
                                                                         message):
    (tmp_path / "not-a-table.rdf").write_bytes(b"WindowTitle: x\r\nData:\r\n1\t2\r\n")
    (tmp_path / "out.csv").write_bytes(b"kept")
    names = {"data": SAMPLES / "sales-bg.rdf", "lpt": SAMPLES / "lpt-report.rdf", "missing": tmp_path / "missing", "folder": tmp_path,
             "not_table": tmp_path / "not-a-table.rdf", "out": tmp_path / "out.csv", "tmp": tmp_path}
    words = [a.format(**names).encode("cp1251") for a in args]
    result = convert(test_env, *words)
    assert result.returncode == code, result.stderr
    assert result.stdout == b""
    lines = result.stderr.decode("cp1251").splitlines()
    assert len(lines) == 1 and lines[0].startswith("lintaro-convert: ") and message in lines[0], lines
    # Nothing half-written is left behind, and a file that was there stays as it was.
    assert sorted(p.name for p in tmp_path.iterdir()) == ["not-a-table.rdf", "out.csv"]
    assert (tmp_path / "out.csv").read_bytes() == b"kept"
    assert (tmp_path / "not-a-table.rdf").read_bytes() == b"WindowTitle: x\r\nData:\r\n1\t2\r\n"


def test_the_converter_help_lists_every_format_and_exit_code(test_env):
    result = convert(test_env, "--help")
    assert result.returncode == 0 and result.stderr == b""
    text = result.stdout.decode()
    assert text.startswith("Usage: lintaro-convert DATA")
    for word in ("text", "tsv", "csv", "dbf", "lpt", "--layout", "--dos", "--sort", "--filter", "-o"):
        assert word in text
    for code in (1, 2, 3, 4, 5, 7, 8, 9):
        assert f" {code} " in text.replace("\n", " ")


def test_the_converter_keeps_links_and_fifos_what_they_are(test_env, tmp_path):
    data = SAMPLES / "furniture.rdf"
    expected = convert(test_env, data, "--to", "dbf").stdout
    # A link to the output: the file it names is replaced, the link stays a link.
    (tmp_path / "target.dbf").write_bytes(b"old")
    (tmp_path / "link.dbf").symlink_to(tmp_path / "target.dbf")
    assert convert(test_env, data, "--to", "dbf", "-o", tmp_path / "link.dbf").returncode == 0
    assert (tmp_path / "link.dbf").is_symlink() and (tmp_path / "target.dbf").read_bytes() == expected
    # A FIFO (as a device like /dev/null) is written as a stream, never replaced by a file.
    fifo = tmp_path / "pipe"
    os.mkfifo(fifo)
    received = []
    reader = threading.Thread(target=lambda: received.append(fifo.read_bytes()))
    reader.start()
    result = convert(test_env, data, "--to", "dbf", "-o", fifo)
    reader.join(timeout=10)
    assert result.returncode == 0, result.stderr
    assert stat.S_ISFIFO(os.lstat(fifo).st_mode)
    assert received == [expected]
    assert sorted(p.name for p in tmp_path.iterdir()) == ["link.dbf", "pipe", "target.dbf"]
    # The data file read from a FIFO, whose bytes arrive in small pieces: the same table, for the
    # cells-only formats and for the paginated one alike.
    source = tmp_path / "source.rdf"
    os.mkfifo(source)
    content = (SAMPLES / "sales-bg.rdf").read_bytes()

    def write_in_pieces() -> None:
        with open(source, "wb", buffering=0) as stream:
            for start in range(0, len(content), 97):
                stream.write(content[start:start + 97])
                time.sleep(0.001)

    for target in ("csv", "text"):
        writer = threading.Thread(target=write_in_pieces)
        writer.start()
        piped = convert(test_env, source, "--to", target)
        writer.join(timeout=10)
        assert piped.returncode == 0, piped.stderr
        assert piped.stdout == convert(test_env, SAMPLES / "sales-bg.rdf", "--to", target).stdout, target
        assert piped.stdout.count(b"\r\n") > 10


def test_a_big_conversion_shows_progress_on_a_terminal_only_and_an_ended_one_leaves_no_temporary_file(
        test_env, tmp_path):
    data = tmp_path / "big.rdf"
    subprocess.run([sys.executable, str(MAKE_TABLE), str(data), "--rows", "300000"], check=True)
    target = tmp_path / "big.txt"
    target.write_bytes(b"yesterday's report")
    for signal_number in (signal.SIGTERM, signal.SIGINT):
        process = subprocess.Popen([str(test_env.convert_exe), str(data), "--to", "text", "-o", str(target)],
                                   stderr=subprocess.PIPE)
        deadline = time.monotonic() + 60
        while not list(tmp_path.glob("big.txt.part*")):
            assert process.poll() is None and time.monotonic() < deadline, "no temporary file was made"
            time.sleep(0.01)
        process.send_signal(signal_number)
        assert process.wait(timeout=30) == -signal_number
        assert sorted(p.name for p in tmp_path.iterdir()) == ["big.rdf", "big.txt"]
        assert target.read_bytes() == b"yesterday's report"
    # To a pipe nothing but the output; to a terminal the stages, each over the one before.
    piped = convert(test_env, data, "--to", "csv", "-o", tmp_path / "big.csv")
    assert (piped.returncode, piped.stderr) == (0, b"")
    controller, terminal = pty.openpty()
    process = subprocess.Popen([str(test_env.convert_exe), str(data), "--to", "csv", "-o", str(tmp_path / "big.csv")],
                               stderr=terminal, stdout=subprocess.DEVNULL)
    os.close(terminal)
    shown = b""
    while True:
        try:
            chunk = os.read(controller, 4096)
        except OSError:
            break
        if not chunk:
            break
        shown += chunk
    assert process.wait(timeout=60) == 0
    os.close(controller)
    assert b"\rlintaro-convert: reading " in shown and b"\rlintaro-convert: writing 300000 rows" in shown
    assert shown.endswith(b"\r\x1b[K")  # the last stage is wiped when the work is done
    # Rows this many are made on every core, batch by batch: each format reads back as the
    # table, every row whole and in its place.
    titles, rows = read_rdf(data)
    for target, reader_format, dos in (("csv", "csv", False), ("tsv", "tsv", False), ("dbf", "dbf", True),
                                       ("text", "txt", False)):
        out = tmp_path / f"big-read-back.{target}"
        result = convert(test_env, data, "--to", target, *(["--dos"] if dos else []), "-o", out)
        assert result.returncode == 0, result.stderr
        check_export(out, reader_format, "DOS" if dos else "Windows", titles, rows, f"300000 rows to {target}")
        out.unlink()



@pytest.mark.parametrize("middle", ["long row", "empty lines"])
def test_a_big_file_converts_as_the_same_table_read_through_a_pipe(test_env, tmp_path, middle):
    # A big file's rows are read in two halves at once, a pipe's in order: whatever lies at the
    # middle of the rows (a row cut at the record limit, empty and LF-only lines), with CR-only
    # line ends among CR LF ones, both give the same bytes.
    made = tmp_path / "made.rdf"
    subprocess.run([sys.executable, str(MAKE_TABLE), str(made), "--rows", "130000"], check=True)
    raw = made.read_bytes()
    rows_start = raw.index(b"Data:\r\n") + len(b"Data:\r\n")
    rows = raw[rows_start:].split(b"\r\n")
    body = b"".join(row + (b"\r" if n % 3 == 0 else b"\r\n") for n, row in enumerate(rows[:-1]))
    at_middle = (b"\t".join([b"x" * 250] * 300) + b"\r\n" if middle == "long row"
                 else b"\r\n\r\n\n\r" * 3000 + b"\r" * 1000)
    half = body.index(b"\r", len(body) // 2) + 1
    data = tmp_path / "big.rdf"
    data.write_bytes(raw[:rows_start] + body[:half] + at_middle + body[half:])
    assert data.stat().st_size > 8 << 20  # big enough to be read in halves
    for target in ("csv", "dbf"):
        from_file = tmp_path / f"file.{target}"
        from_pipe = tmp_path / f"pipe.{target}"
        assert convert(test_env, data, "--to", target, "-o", from_file).returncode == 0
        piped = subprocess.run(["bash", "-c", 'exec "$0" <(cat "$1") --to "$2" -o "$3"', str(test_env.convert_exe),
                                str(data), target, str(from_pipe)], capture_output=True)
        assert piped.returncode == 0, piped.stderr
        assert from_file.read_bytes() == from_pipe.read_bytes(), target
    written = from_file.read_bytes()
    # Every row made one record: the table's, the row at the middle and its empty rows.
    assert struct.unpack_from("<I", written, 4)[0] == 130000 + (1 if middle == "long row" else 3000 * 3 + 1000)


def test_the_converter_sorts_and_filters_as_the_export_job_does_byte_for_byte(app_factory, test_env, tmp_path):
    # (data file, the steps as the converter spells them); the job spells them with "/".
    cases = [
        ("furniture.rdf", ["--sort", "3", "desc", "number"]),
        ("furniture.rdf", ["--filter", "Price", "7", "", "number", "--sort", "Item", "desc"]),
        # Сума between 2000 and 8000, then by Град (the third column the Sort dialog lists).
        ("sales-bg.rdf", ["--filter", "5", "2000", "8000", "number", "--sort", "3"]),
        ("sales-bg.rdf", ["--sort", "2", "desc", "--filter", "1", "10", "40", "number"]),
        # Thousands of rows: keys, widths and cells read many rows at a time by the program, one
        # by one by the converter; by Име as text, then Сума 1000-6000 by Град alphabetically.
        ("generated", ["--sort", "2", "desc", "text"]),
        ("generated", ["--filter", "5", "1000", "6000", "number", "--sort", "3", "alpha"]),
    ]
    generated = tmp_path / "generated.rdf"
    subprocess.run([sys.executable, str(MAKE_TABLE), str(generated), "--rows", "2500"], check=True)
    for index, (name, steps) in enumerate(cases):
        data = generated if name == "generated" else SAMPLES / name
        job_steps = ["/" + word[2:] if word.startswith("--") else word for word in steps]
        for target in ("text", "dbf"):
            by_job = tmp_path / f"job-{index}.{target}"
            run = export_job(app_factory, [data, "/export", target, by_job] + job_steps,
                             name=f"job_{index}_{target}")
            assert (run.exit_code, run.stderr) == (0, ""), steps
            by_converter = tmp_path / f"converted-{index}.{target}"
            result = convert(test_env, data, "--to", target, *steps, "-o", by_converter)
            assert result.returncode == 0, result.stderr
            assert by_converter.read_bytes() == by_job.read_bytes(), (name, steps, target)
        assert by_job.read_bytes()[4:8] != b"\0\0\0\0"  # rows were kept

# ----------------------------------------------------------------------------------------------
# Unattended export jobs: lintaro.exe DATA /export FORMAT OUT [/dos] [/sort ...] [/filter ...]

# Switch name -> (format text in the dialog, export_reader format)
JOB_FORMATS = {"text": (FORMATS[0], "txt"), "tsv": (FORMATS[1], "tsv"), "csv": (FORMATS[2], "csv"),
               "dbf": (FORMATS[3], "dbf")}


def export_job(app_factory, args=(), name="export_job", **options):
    run = app_factory(name=name).run_job(args, **options)
    assert run.window_shown is False
    return run


def test_export_jobs_write_every_format_byte_for_byte_as_the_dialog(lintaro, app_factory, tmp_path):
    sample = SAMPLES / "sales-bg.rdf"
    shown_titles, shown_rows = read_rdf(sample)
    lintaro.start([sample])
    for switch, (format_text, reader_format) in JOB_FORMATS.items():
        for code_table in CODE_TABLES:
            name = f"{switch}-{code_table.lower()}"
            # The job keeps the name it is given, whatever the format.
            path = tmp_path / f"{name}.job"
            args = [sample, "/EXPORT", switch.upper(), path] + (["/dos"] if code_table == "DOS" else [])
            run = export_job(app_factory, args, name=name)
            assert (run.exit_code, run.stderr) == (0, ""), name
            check_export(path, reader_format, code_table, shown_titles, shown_rows, name)
            by_dialog = tmp_path / f"{name}.{FORMAT_FILES[format_text][0]}"
            export(lintaro, by_dialog, format_text, code_table)
            assert path.read_bytes() == by_dialog.read_bytes(), name


FURNITURE_TITLES = ["No", "No.", "Item", "Price", "Photo"]


def test_export_jobs_sort_and_filter_in_order_as_the_dialogs(app_factory, tmp_path):
    data = SAMPLES / "furniture.rdf"
    out = tmp_path / "rows.csv"
    cases = [
        # The Sort dialog lists No., Item, Price, Photo: the third is Price.
        (["/sort", "3", "desc", "number"], [["1", "1", "Chair", "12.50", "chair.bmp"],
                                            ["2", "3", "Lamp", "7.25", "missing.bmp"],
                                            ["3", "2", "Table", "", "table.bmp"]]),
        # The Filter dialog lists the row numbers first: the third is Item.
        (["/filter", "3", "B", "M"], [["1", "1", "Chair", "12.50", "chair.bmp"],
                                      ["2", "3", "Lamp", "7.25", "missing.bmp"]]),
        # A filter then a sort of what it kept, by title.
        (["/filter", "Price", "7", "20", "number", "/sort", "Item", "desc"],
         [["1", "3", "Lamp", "7.25", "missing.bmp"], ["2", "1", "Chair", "12.50", "chair.bmp"]]),
        # An open upper bound keeps the empty keys too, which rank after every text.
        (["/filter", "Price", "7", "", "number", "/sort", "Item", "desc"],
         [["1", "2", "Table", "", "table.bmp"], ["2", "3", "Lamp", "7.25", "missing.bmp"],
          ["3", "1", "Chair", "12.50", "chair.bmp"]]),
    ]
    for steps, rows in cases:
        run = export_job(app_factory, [data, "/export", "csv", out] + steps)
        assert (run.exit_code, run.stderr) == (0, ""), steps
        assert read_back("csv", "cp1251", out) == ("cp1251", [FURNITURE_TITLES] + rows), steps
        out.unlink()
    # A Cyrillic title and bounds, as typed at the console in the Windows code table.
    sample = SAMPLES / "sales-bg.rdf"
    titles, rows = read_rdf(sample)
    city = titles.index("Град")
    run = export_job(app_factory, raw_line=f'{windows_path(sample)} /filter Град "София" София /export tsv '
                                           f'"{windows_path(out)}"')
    assert (run.exit_code, run.stderr) == (0, "")
    kept = [row for row in rows if row[city] == "София"]
    assert kept and len(kept) < len(rows)
    _, records = read_back("tsv", "cp1251", out)
    assert [r[1:] for r in records[1:]] == [r[1:] for r in kept]
    out.unlink()

    misfits = [
        (["/filter", "Item", "", ""], 5, "/filter keeps no row of the table"),
        (["/sort", "Nope"], 4, '/sort finds no visible column titled "Nope"'),
        (["/sort", "5"], 4, "/sort column 5: the table offers 4 columns for it"),
        (["/filter", "6", "a", "b"], 4, "/filter column 6: the table offers 5 columns for it"),
    ]
    for steps, code, message in misfits:
        run = export_job(app_factory, [data, "/export", "csv", out] + steps)
        assert (run.exit_code, run.stderr) == (code, f"lintaro: {message}\r\n"), steps
        assert not out.exists()


def test_an_export_job_never_writes_a_held_file_or_the_tables_own(app_factory, tmp_path, test_env):
    data = tmp_path / "own.rdf"
    data.write_bytes((SAMPLES / "furniture.rdf").read_bytes())
    held = tmp_path / "held.csv"
    held.write_bytes(b"old")
    with FileHolder(test_env, held, hold_ms=20000) as holder:
        holder.wait_holding()
        run = export_job(app_factory, [data, "/export", "csv", held])
    assert (run.exit_code, run.stderr) == (7, f"lintaro: {windows_path(held)} cannot be created\r\n")
    assert held.read_bytes() == b"old"
    run = export_job(app_factory, [data, "/export", "dbf", data])
    assert (run.exit_code, run.stderr) == (7, f"lintaro: /export would replace the table's own file {windows_path(data)}\r\n")
    assert data.read_bytes() == (SAMPLES / "furniture.rdf").read_bytes()
    run = export_job(app_factory, [data, "/export", "csv", tmp_path])
    assert (run.exit_code, run.stderr) == (7, f"lintaro: {windows_path(tmp_path)} is a folder\r\n")
    # A disk that refuses every byte: the file is incomplete and the job says so.
    run = export_job(app_factory, [data, "/export", "text", "Z:\\dev\\full"])
    assert (run.exit_code, run.stderr) == (7, "lintaro: writing Z:\\dev\\full failed; the file is incomplete\r\n")


def test_boxed_text_and_lpt1_carry_the_sums_and_the_other_formats_none(lintaro, tmp_path, test_env):
    """Sum lines belong to the page: the boxed text and the pages sent to LPT1 have them with the
    same sums as the printed page, LPT1's on every page; tab-separated, CSV and dBase files stay
    the table's rows, byte for byte as before. lintaro-convert with the layout file the program
    kept writes the same bytes."""
    from test_windows_printing import boxed_sum_items, check_running_sums, mark_summed, place_sums, sums_table_data
    from test_print_dialogs import dos_text, full_print_fitting
    data = tmp_path / "sums.rdf"
    lpt1 = "Printer: LPT1, EPSON1, Draft 12\r\nPage: Width 96, Height 60, Left 2, Top 1, Right 0, Bottom 2\r\n"
    data.write_bytes(sums_table_data(150).replace("Font:", lpt1 + "Font:", 1).encode("cp1251"))
    layout = tmp_path / "sums.fmt"
    lintaro.start([data, layout])
    plain = program_exports(lintaro, tmp_path, "plain")
    mark_summed(lintaro)
    place_sums(lintaro, page_totals=True, brought_forward=True)
    summed = program_exports(lintaro, tmp_path, "summed")
    for (target, dos), content in summed.items():
        if target == "text":
            text = dos_text(content) if dos else content.decode("cp1251")
            assert check_running_sums(boxed_sum_items(text), 150) >= 2, (target, dos)
            assert content != plain[(target, dos)]
        else:
            assert content == plain[(target, dos)], (target, dos)
    # Read back on their own: the titles and the 120 rows, nothing more.
    _, records = read_back("csv", "cp1251", tmp_path / "summed-csv-Windows.csv")
    assert len(records) == 151 and records[-1][1] == "150"
    dbf = (tmp_path / "summed-dbf-Windows.dbf").read_bytes()
    assert struct.unpack_from("<I", dbf, 4)[0] == 150
    pages, summed[("lpt", False)] = full_print_fitting(lintaro, test_env)
    assert pages >= 3
    assert check_running_sums(boxed_sum_items(dos_text(summed[("lpt", False)])), 150) == pages - 1
    assert lintaro.close() == 0
    for (target, dos), program_bytes in summed.items():
        result = convert(test_env, data, "--layout", layout, "--to", target, *(["--dos"] if dos else []))
        assert result.returncode == 0, result.stderr
        assert result.stdout == program_bytes, (target, dos)


# Sum lines in the boxed text: a layout file, written here, that sums the sales table's "Сума".

def sales_layout(sum_lines: int, shown: int = 7) -> bytes:
    """The row numbers and the six columns of sales-bg.rdf and lpt-report.rdf (store columns 11 to
    16), the first `shown` of them visible, "Сума" (14) right-aligned and summed; titles and
    column numbers, rules under every row."""
    header = bytearray(128)
    struct.pack_into("<IHHHI", header, 0, 12345678, 20, 128, 48, 7)
    struct.pack_into("<BHBI", header, 26, 1, 0, 3, 0x2 | 0x4)
    struct.pack_into("<32siII", header, 34, b"Arial", 100, 0, 204)
    header[88:97] = b"PRT1" + bytes([0, 0, 0, 0, sum_lines])
    records = b""
    for place, source in enumerate((-1, 11, 12, 13, 14, 15, 16)):
        flags, alignment = (0x81, 1) if source == 14 else (0x1, 1 if source == -1 else 0)
        if place >= shown:
            flags = 0
        records += struct.pack("<iIiiiiiiiIii", source, flags, alignment, 0, 0, 80, 80, 300, 300, 0, 0, 0)
    return bytes(header) + records


def check_boxed_sums(text: str, rows: list[list[str]], shown: int) -> None:
    """Reads the boxed text with the printed pages' reader, by the rows' "№": every sum is what
    the data file's rows above it add up to, one group per city after its run of rows, more than
    one page. A sum line is its label over the first four columns, the sum in the column's own
    format (a dot, two decimals) under "Сума", then a blank cell for each of the `shown` columns
    after it."""
    from test_windows_printing import SUM_LABELS, boxed_sum_items, check_group_sums, check_running_sums
    amounts = {int(row[1]): row[4] for row in rows}
    cities = {int(row[1]): row[3] for row in rows}
    items = boxed_sum_items(text, sorted(set(cities.values())))
    carried = check_running_sums(items, len(rows), amounts.get)
    groups = check_group_sums(items, cities.get, amounts.get)
    assert sorted(groups) == sorted(set(cities.values())) and len(groups) > 1
    labels = [kind for kind, _ in items]
    assert labels.count("Общо за страницата") == carried + 1 == labels.count("Пренос от предходна страница") + 1 > 1
    sum_lines = re.findall(rf"^ *\| ({'|'.join(SUM_LABELS + tuple(groups))})[^|]*\| +(\S+) \|((?: +\|)*)\r?$", text, re.M)
    assert len(sum_lines) == len(items) - len(rows)
    for label, total, after in sum_lines:
        assert re.fullmatch(r"-?\d+\.\d\d", total) and after.count("|") == shown - 5, (label, total, after)


def test_export_and_print_jobs_write_the_sums_of_pages_groups_and_table_in_boxed_text(app_factory, tmp_path,
                                                                                    test_env):
    """Sorted by "Град" with page totals, brought forward and group totals: /export writes them
    to a text file, /print sends them to LPT1 in the Bulgarian DOS table (No, №, Име, Град, Сума
    only); the tab-separated export carries the rows alone."""
    from test_print_dialogs import dos_text
    sort = ["/sort", "Град", "asc", "alpha"]
    for command, sample, shown in (("export", "sales-bg.rdf", 7), ("print", "lpt-report.rdf", 5)):
        data = SAMPLES / sample
        _, rows = read_rdf(data)
        layout = tmp_path / f"{command}.rff"
        layout.write_bytes(sales_layout(0x1 | 0x2 | 0x4, shown))
        if command == "export":
            out = tmp_path / "sums.txt"
            run = export_job(app_factory, [data, layout, "/export", "text", out] + sort)
            text = out.read_bytes().decode("cp1251")
        else:
            test_env.clear_lpt1()
            run = app_factory(name="print_sums").run_job([data, layout, "/print"] + sort)
            text = dos_text(test_env.read_lpt1())
        assert (run.exit_code, run.stderr) == (0, ""), command
        check_boxed_sums(text, rows, shown)

    tsv = tmp_path / "sums.tsv"
    run = export_job(app_factory, [SAMPLES / "sales-bg.rdf", tmp_path / "export.rff", "/export", "tsv", tsv],
                     name="export_tsv")
    assert (run.exit_code, run.stderr) == (0, "")
    assert len(read_back("tsv", "cp1251", tsv)[1]) == 1 + len(read_rdf(SAMPLES / "sales-bg.rdf")[1])

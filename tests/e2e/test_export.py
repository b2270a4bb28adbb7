"""Export through the "ExportTable" dialog: every sample table in every format and code table,
read back with the independent reader (export_reader.py); the extension following the format;
the kept choices; the file chooser; a path longer than the box; files that cannot be written."""

from __future__ import annotations

import re
import subprocess
import sys
import time
from pathlib import Path

import pytest

from lintaro_harness import IDCANCEL, IDOK, MESSAGE_TEXT_ID, image_pixels, windows_path

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


def test_cancel_in_a_million_row_export_removes_the_file_and_says_so(lintaro, tmp_path, test_env):
    table = tmp_path / "million.rdf"
    subprocess.run([sys.executable, str(MAKE_TABLE), str(table), "--rows", "1000000"], check=True)
    lintaro.start([table], timeout=180)
    target = tmp_path / "million.csv"
    dialog = open_export_dialog(lintaro)
    dialog.set_control_text(PATH_ID, windows_path(target))
    pick(dialog, FORMAT_ID, FORMATS[2])
    dialog.click(IDOK)
    dialog.wait_gone()

    progress = lintaro.driver.wait(window_class="LintaroProgress", exe=lintaro.windows_exe, visible=True,
                                   timeout=30)
    assert progress.info().owner == lintaro.main.handle
    assert progress.control_text(101) == "Експорт на таблицата във файл..."
    assert re.fullmatch(r"Записани редове: \d+ от 1000000", progress.control_text(102))
    assert not lintaro.main.info().enabled
    assert target.exists(), "the rows go to the file as they are written"
    lintaro.screenshot(test_env.screenshot_dir / "export-progress.png")
    # Cancel twice: the second press finds the stop on its way and changes nothing.
    progress.click(IDCANCEL)
    progress.click(IDCANCEL)
    box, caption, text = lintaro.wait_message_box(timeout=30)
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

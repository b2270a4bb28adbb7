"""Table and column appearance: the "TableProperties" and "ColumnProperties" dialogs opened by the
commands "Оформление на таблицата..." (211) and "Оформление на колоните..." (212), and what
they change in the grid on the screen and in the column layout file written on exit.

The layout file keeps the TableStyle at offset 26 and the column records (flags, alignment, line
limit) from offset 128, so every setting is checked there after the program has closed. Column
titles are not kept in that file (they come from the data file on every start); they are
checked by opening the dialog again. Screenshots of every step are kept in the run's screenshot
folder to be looked at."""

from __future__ import annotations

import re
import struct
import time
from pathlib import Path

import pytest

from lintaro_harness import IDCANCEL, IDOK, WM_CLOSE, image_pixels
from test_windows_printing import print_pages
from layout_file_reader import PrintOptions, read_layout

TABLE_APPEARANCE = 211
COLUMN_APPEARANCE = 212
TABLE_CAPTION = " Оформление на таблицата"
COLUMN_CAPTION = " Оформление на колоните"
SS_ETCHEDFRAME = 0x12
BS_DEFPUSHBUTTON = 0x1
CBS_DROPDOWNLIST = 0x3
ES_AUTOHSCROLL = 0x80
STATIC_ID = 0xFFFF  # labels and frames have no id of their own

# "TableProperties": check box id -> (text, table flag).
TABLE_CHECK_BOXES = {
    101: ("Отпечатване на главата с получер шрифт (Bold)", 0x1),
    102: ("Номериране на колоните", 0x2),
    103: ("Разделяне на редовете с линии", 0x4),
    104: ("Сива глава", 0x8),
    131: ("Номериране на 1 страница", 0x10),
    132: ("Глава на всяка страница", 0x20),
    133: ("Header на всяка страница", 0x40),
    134: ("Footer на всяка страница", 0x80),
    135: ("Отпечатване на дата и час", 0x100),
}
LINE_TYPES = ["Единична тънка", "Единична дебела", "Двойна"]
CELL_HEIGHTS = ["Нормална", "x 120 %", "x 140 %", "x 160 %", "x 180 %", "x 200 %"]
CELL_HEIGHT_VALUES = [0, 20, 40, 60, 80, 100]
PAGE_NUMBERS = ["Няма", "Горе, ляво", "Горе, център", "Горе, дясно", "Долу, ляво",
                "Долу, център", "Долу, дясно"]
TABLE_LABELS = ["Вид на линията", "Височина на клетките", "Номериране на страниците", "Вид на номера",
                "Ключови колони"]
TABLE_FIRST_GROUP = [101, 102, 103, 104, 111, 112]
TABLE_SECOND_GROUP = [121, 131, 132, 133, 134, 135]
PAGE_NUMBER_STYLE, KEY_COLUMNS, FIT_TO_WIDTH = 141, 142, 143
TABLE_THIRD_GROUP = [PAGE_NUMBER_STYLE, KEY_COLUMNS, FIT_TO_WIDTH]
PAGE_NUMBER_STYLES = ["Само номер", "стр. N от M"]
KEY_COLUMN_COUNTS = ["Няма", "1", "2", "3", "4", "5"]
# The framed group "Суми": check box id -> (text, SumPlacement bit; the end total is stored as
# its absence, NoEndTotal).
SUM_FRAME = 150
END_TOTAL, PAGE_TOTALS, BROUGHT_FORWARD, GROUP_TOTALS = 151, 152, 153, 154
SUM_CHECK_BOXES = {
    END_TOTAL: ("Общо в края на таблицата", 0x8),
    PAGE_TOTALS: ("Общо за страницата и пренос в края на всяка страница", 0x1),
    BROUGHT_FORWARD: ("Пренос от предходна страница в началото на всяка страница", 0x2),
    GROUP_TOTALS: ("Междинни суми при сортиране по колона", 0x4),
}
BS_GROUPBOX = 0x7

# "ColumnProperties".
COLUMN_LIST, TITLE, ALIGNMENT, BOLD, TEXT_FLOW, LINE_LIMIT, ABBREVIATE = 101, 111, 121, 131, 132, 133, 134
SUM = 135
ALIGNMENTS = ["Ляво", "Център", "Дясно"]
LINE_LIMITS = ["Няма"] + [f"{n} реда" for n in range(2, 9)]
COLUMN_LABELS = ["Колона", "Заглавие на колоната", "Изравняване на текста",
                 "Ограничение за броя редове"]
COLUMN_CHECK_BOXES = {
    BOLD: "Отпечатване с получер шрифт (Bold)",
    TEXT_FLOW: "Пренасяне (разливане) на текста",
    ABBREVIATE: "Съкращаване на текста (имена, дати, време)",
    SUM: "Сумиране",
}

DEFAULT_STYLE = (1, 0, 3, 6)  # thin lines, normal height, page numbers top right, ColNumbers+HorzLines
VISIBLE, TEXT_FLOW_BIT, ABBREVIATE_BIT, BOLD_BIT, SUM_BIT = 0x1, 0x10, 0x20, 0x40, 0x80


def table_data() -> str:
    """A table on short pages (wide top and bottom margins on A4, so that page breaks, page
    numbers, headers and footers show on one screen), with a page header and footer and 40 rows."""
    rows = "".join(f"{i}\tКлиент {i}\tбележка към ред {i}\t{i * 7}.50\r\n" for i in range(1, 41))
    return ("WindowTitle: Оформление\r\n"
            "Page: Left 10.00 Top 110.00 Right 10.00 Bottom 120.00\r\n"
            "Header:\r\nСклад 12\tМарт\r\n"
            "Footer:\r\nОдобрил\r\n"
            "Titles:\r\nNo.\tИме\tБележка\tСума\r\n"
            "Types:\r\nNumber\tText\tText\tNumber\r\n"
            "Data:\r\n" + rows)


COLUMN_TITLES = ["No", "No.", "Име", "Бележка", "Сума"]


# ---------------------------------------------------------------------------------------------
# The layout file


def read_style(layout: Path) -> tuple[int, int, int, int]:
    """(line type, cell height, page-number position, flags) from a column layout file."""
    return struct.unpack_from("<BHBI", layout.read_bytes(), 26)


def write_style(layout: Path, style: tuple[int, int, int, int]) -> None:
    data = bytearray(layout.read_bytes())
    struct.pack_into("<BHBI", data, 26, *style)
    layout.write_bytes(bytes(data))


def read_columns(layout: Path) -> list[tuple[int, int, int, int, int]]:
    """(source, flags, alignment, max lines, type) of every column record."""
    data = layout.read_bytes()
    records_at, record_size = struct.unpack_from("<HH", data, 6)
    count = struct.unpack_from("<I", data, 10)[0]
    return [struct.unpack_from("<iIiii", data, records_at + i * record_size) for i in range(count)]


def set_column_fields(layout: Path, index: int, flags: int, alignment: int, max_lines: int) -> None:
    data = bytearray(layout.read_bytes())
    records_at, record_size = struct.unpack_from("<HH", data, 6)
    struct.pack_into("<Iii", data, records_at + index * record_size + 4, flags, alignment, max_lines)
    layout.write_bytes(bytes(data))


# ---------------------------------------------------------------------------------------------
# Screens


def changed_pixels(before: Path, after: Path) -> int:
    w1, h1, a = image_pixels(before)
    w2, h2, b = image_pixels(after)
    assert (w1, h1) == (w2, h2), "the grid kept its size"
    return sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])


def count_colour(path: Path, rgb: tuple[int, int, int]) -> int:
    _, _, data = image_pixels(path)
    wanted = bytes(rgb)
    return sum(1 for i in range(0, len(data), 3) if data[i:i + 3] == wanted)


def dark_pixels(path: Path, from_x: int = 0) -> int:
    """Pixels of text and rules (not the gray band, not the red page-width mark)."""
    width, height, data = image_pixels(path)
    return sum(1 for y in range(height) for x in range(from_x, width)
               if sum(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) < 200)


def grid_shot(lintaro, test_env, name: str) -> Path:
    time.sleep(0.3)  # the repaint after the dialog has gone
    return lintaro.screenshot(test_env.screenshot_dir / f"appearance-{name}.png",
                              window=lintaro.grid_window(), client=True)


# ---------------------------------------------------------------------------------------------
# Driving the dialogs


def open_dialog(lintaro, command: int, caption: str):
    lintaro.post_command(command)
    dialog = lintaro.wait_dialog(caption)
    assert dialog.info().owner == lintaro.main.handle
    return dialog


def open_dialog_from_menu(lintaro, command: int, caption: str):
    """Opens a dialog as a user does: Alt, then Down through "Таблица" to the item, Enter.
    Before 211 come 201 and 202 (the separator is skipped); 212 follows 211."""
    downs = {TABLE_APPEARANCE: 3, COLUMN_APPEARANCE: 4}[command]
    lintaro.key("alt", *["Down"] * downs, "Return")
    dialog = lintaro.wait_dialog(caption)
    assert dialog.info().owner == lintaro.main.handle
    return dialog


def close_with(dialog, button: int) -> None:
    dialog.click(button)
    dialog.wait_gone()


def table_state(dialog) -> dict:
    """What the table dialog shows: the checked boxes' flags and the three lists' selections."""
    flags = sum(flag for box, (_, flag) in TABLE_CHECK_BOXES.items() if dialog.is_checked(box))
    return {"flags": flags, "line": dialog.combo_selected_text(111),
            "height": dialog.combo_selected_text(112), "pages": dialog.combo_selected_text(121)}


def column_state(dialog) -> dict:
    return {"title": dialog.control_text(TITLE), "alignment": dialog.combo_selected_text(ALIGNMENT),
            "bold": dialog.is_checked(BOLD), "flow": dialog.is_checked(TEXT_FLOW),
            "limit": dialog.combo_selected_text(LINE_LIMIT), "abbreviate": dialog.is_checked(ABBREVIATE),
            "limit_enabled": dialog.item(LINE_LIMIT).info().enabled,
            "abbreviate_enabled": dialog.item(ABBREVIATE).info().enabled}


def controls_by_id(dialog) -> dict:
    return {child.control_id: child for child in dialog.children()}


def inside(inner, outer) -> bool:
    return (outer[0] <= inner[0] and outer[1] <= inner[1] and inner[2] <= outer[2]
            and inner[3] <= outer[3])


def frames_of(dialog) -> list[tuple[int, int, int, int]]:
    """Screen rectangles of the dialog's etched frames, top to bottom."""
    frames = []
    for child in dialog.children():
        if child.class_name == "Static" and child.control_id == STATIC_ID:
            info = dialog.driver.call("info", child.handle)
            fields = dict(field.partition("=")[::2] for field in info)
            if int(fields["style"], 16) & 0x1F == SS_ETCHEDFRAME:
                frames.append(tuple(int(v) for v in fields["rect"].split(",")))
    return sorted(frames, key=lambda rect: rect[1])


def labels_of(dialog) -> list[str]:
    return [child.text for child in dialog.children()
            if child.class_name == "Static" and child.control_id == STATIC_ID and child.text]


@pytest.fixture
def table_app(lintaro):
    """The program on the test table, with a layout file named on the command line."""
    folder = lintaro.prepare(files={"appearance.rdf": table_data()})
    lintaro.layout = folder / "appearance.rff"
    lintaro.start([folder / "appearance.rdf", lintaro.layout])
    time.sleep(0.3)
    return lintaro


def restart_with_layout(app_factory, first, name: str):
    """Starts the program again in the first run's folder, on the same data and layout file."""
    again = app_factory(name=name)
    again.start([first.folder / "appearance.rdf", first.layout], folder=first.folder)
    again.layout = first.layout
    time.sleep(0.3)
    return again


# ---------------------------------------------------------------------------------------------
# "TableProperties"


def test_table_dialog_shows_its_controls_groups_and_the_current_style(table_app):
    dialog = open_dialog_from_menu(table_app, TABLE_APPEARANCE, TABLE_CAPTION)
    controls = controls_by_id(dialog)
    for box, (text, _) in TABLE_CHECK_BOXES.items():
        assert (controls[box].class_name, controls[box].text) == ("Button", text)
    assert (controls[FIT_TO_WIDTH].class_name, controls[FIT_TO_WIDTH].text) == ("Button", "Побиране в ширината на листа")
    for combo, items in ((111, LINE_TYPES), (112, CELL_HEIGHTS), (121, PAGE_NUMBERS),
                         (PAGE_NUMBER_STYLE, PAGE_NUMBER_STYLES), (KEY_COLUMNS, KEY_COLUMN_COUNTS)):
        assert controls[combo].class_name == "ComboBox"
        assert dialog.item(combo).info().style & 0x3 == CBS_DROPDOWNLIST
        assert dialog.combo_items(combo) == items
    assert sorted(labels_of(dialog)) == sorted(TABLE_LABELS)
    assert controls[IDOK].text == "Ok" and dialog.item(IDOK).info().style & 0xF == BS_DEFPUSHBUTTON
    assert controls[IDCANCEL].text == "Отказ"

    # Three etched frames: the title band, lines and height above; page numbering and what every
    # page repeats below; how the table goes onto the sheets at the bottom.
    frames = frames_of(dialog)
    assert len(frames) == 3
    for group, frame in ((TABLE_FIRST_GROUP, frames[0]), (TABLE_SECOND_GROUP, frames[1]),
                         (TABLE_THIRD_GROUP, frames[2])):
        for control in group:
            assert inside(dialog.item(control).info().rect, frame), control

    # A new table's style: ColNumbers and HorzLines, thin lines, normal height, top right.
    assert table_state(dialog) == {"flags": 0x6, "line": "Единична тънка", "height": "Нормална",
                                   "pages": "Горе, дясно"}
    # And the plain way onto paper: the number alone, no key columns, no scaling.
    assert dialog.combo_selected_text(PAGE_NUMBER_STYLE) == "Само номер"
    assert dialog.combo_selected_text(KEY_COLUMNS) == "Няма"
    assert not dialog.is_checked(FIT_TO_WIDTH)

    # The framed group "Суми" below them, its four boxes inside it and above the buttons; a new
    # table has the end total alone, which shows only once a column is summed.
    assert (controls[SUM_FRAME].class_name, controls[SUM_FRAME].text) == ("Button", "Суми")
    assert dialog.item(SUM_FRAME).info().style & 0xF == BS_GROUPBOX
    sum_frame = dialog.item(SUM_FRAME).info().rect
    assert sum_frame[1] >= frames[2][3]
    for box, (text, _) in SUM_CHECK_BOXES.items():
        assert (controls[box].class_name, controls[box].text) == ("Button", text)
        assert inside(dialog.item(box).info().rect, sum_frame), box
        assert dialog.item(box).info().rect[3] <= dialog.item(IDOK).info().rect[1], box
    assert {box: dialog.is_checked(box) for box in SUM_CHECK_BOXES} == {
        END_TOTAL: True, PAGE_TOTALS: False, BROUGHT_FORWARD: False, GROUP_TOTALS: False}
    table_app.screenshot(table_app.env.screenshot_dir / "appearance-table-dialog.png", window=dialog)
    close_with(dialog, IDCANCEL)
    assert table_app.close() == 0
    assert read_style(table_app.layout) == DEFAULT_STYLE


# One step of the walk through the table dialog: what the user changes, the style that results
# and a check of the grid's picture against the one before. Where a step moves the rows up or
# down (headers, footers and dates on every page, say) the amount of ink says little, and only
# the change of the picture is checked; the screenshots are kept to be looked at.
def _more_gray(before, after):
    assert count_colour(after, (0xC0, 0xC0, 0xC0)) > count_colour(before, (0xC0, 0xC0, 0xC0)) + 100


def _more_ink(before, after):
    assert dark_pixels(after) > dark_pixels(before)


def _less_ink(before, after):
    assert dark_pixels(after) < dark_pixels(before)


def _less_ink_right_of_table(before, after):
    """The page number at the top right of page 2 is gone (the table ends well left of x 400)."""
    assert dark_pixels(after, from_x=400) < dark_pixels(before, from_x=400)


TABLE_STEPS = [
    # name, (check box id, state) or (combo id, item text), style after the step, screen check
    ("bold-header", (101, True), (1, 0, 3, 0x7), _more_ink),
    ("no-column-numbers", (102, False), (1, 0, 3, 0x5), None),
    ("no-row-lines", (103, False), (1, 0, 3, 0x1), _less_ink),
    ("gray-header", (104, True), (1, 0, 3, 0x9), _more_gray),
    ("thick-lines", (111, "Единична дебела"), (2, 0, 3, 0x9), _more_ink),
    ("double-lines", (111, "Двойна"), (3, 0, 3, 0x9), None),
    ("cell-height-200", (112, "x 200 %"), (3, 100, 3, 0x9), _less_ink),
    ("page-numbers-bottom-centre", (121, "Долу, център"), (3, 100, 5, 0x9), _less_ink_right_of_table),
    ("number-first-page", (131, True), (3, 100, 5, 0x19), _more_ink),
    ("titles-every-page", (132, True), (3, 100, 5, 0x39), _more_ink),
    ("header-every-page", (133, True), (3, 100, 5, 0x79), None),
    ("footer-every-page", (134, True), (3, 100, 5, 0xF9), None),
    ("date-every-page", (135, True), (3, 100, 5, 0x1F9), None),
    ("normal-height", (112, "Нормална"), (3, 0, 5, 0x1F9), _more_ink),
    ("no-page-numbers", (121, "Няма"), (3, 0, 0, 0x1F9), None),
]


def _state_for(style) -> dict:
    line_type, cell_height, position, flags = style
    return {"flags": flags, "line": LINE_TYPES[line_type - 1],
            "height": CELL_HEIGHTS[CELL_HEIGHT_VALUES.index(cell_height)],
            "pages": PAGE_NUMBERS[position]}


def test_every_table_setting_changes_the_grid_and_the_layout_file(table_app, test_env):
    before = grid_shot(table_app, test_env, "00-start")
    for number, (name, (control, value), style, screen_check) in enumerate(TABLE_STEPS, 1):
        dialog = open_dialog(table_app, TABLE_APPEARANCE, TABLE_CAPTION)
        if isinstance(value, bool):
            dialog.set_checked(control, value)
        else:
            dialog.select_combo(control, value)
        close_with(dialog, IDOK)
        after = grid_shot(table_app, test_env, f"{number:02d}-{name}")
        # Every setting shows in the paginated grid: the picture is not the one before.
        assert changed_pixels(before, after) > 0, name
        if screen_check:
            screen_check(before, after)
        # The grid took the style: the dialog opens on it again.
        dialog = open_dialog(table_app, TABLE_APPEARANCE, TABLE_CAPTION)
        assert table_state(dialog) == _state_for(style), name
        close_with(dialog, IDCANCEL)
        before = after
    assert table_app.close() == 0
    assert read_style(table_app.layout) == TABLE_STEPS[-1][2]


def test_cancel_escape_and_the_close_box_change_nothing(table_app, test_env):
    before = grid_shot(table_app, test_env, "cancel-before")
    for how in ("cancel", "escape", "close box"):
        dialog = open_dialog(table_app, TABLE_APPEARANCE, TABLE_CAPTION)
        for box in TABLE_CHECK_BOXES:
            dialog.set_checked(box, not dialog.is_checked(box))
        dialog.select_combo(111, "Двойна")
        dialog.select_combo(112, "x 160 %")
        dialog.select_combo(121, "Долу, ляво")
        if how == "cancel":
            dialog.click(IDCANCEL)
        elif how == "escape":
            table_app.key("Escape", window=dialog)
        else:
            dialog.post(WM_CLOSE)
        dialog.wait_gone()
        dialog = open_dialog(table_app, TABLE_APPEARANCE, TABLE_CAPTION)
        assert table_state(dialog) == _state_for(DEFAULT_STYLE), how
        close_with(dialog, IDCANCEL)
    assert changed_pixels(before, grid_shot(table_app, test_env, "cancel-after")) == 0
    assert table_app.close() == 0
    assert read_style(table_app.layout) == DEFAULT_STYLE


def test_a_stored_value_no_list_entry_stands_for_is_kept(table_app, app_factory):
    assert table_app.close() == 0
    # Written by some other run: a cell height of 30 and bottom-right page numbers; a centred
    # column with a line limit of 12. (The grid mends alignments it does not know when it
    # reads the file, so an odd alignment never reaches the dialog.)
    write_style(table_app.layout, (2, 30, 6, 0x6))
    set_column_fields(table_app.layout, 3, VISIBLE, 2, 12)
    second = restart_with_layout(app_factory, table_app, "odd_value")

    dialog = open_dialog(second, TABLE_APPEARANCE, TABLE_CAPTION)
    assert dialog.combo_selection(112) == -1, "no entry stands for 30 %"
    assert table_state(dialog) == {"flags": 0x6, "line": "Единична дебела", "height": None,
                                   "pages": "Долу, дясно"}
    dialog.set_checked(104, True)
    close_with(dialog, IDOK)

    dialog = open_dialog(second, COLUMN_APPEARANCE, COLUMN_CAPTION)
    assert dialog.combo_selected_text(ALIGNMENT) == "Дясно", "the row-number column comes first"
    select_column(dialog, "Бележка")
    # No line limit selected, rather than the "Няма" of the column shown before.
    assert dialog.combo_selected_text(ALIGNMENT) == "Център"
    assert dialog.combo_selection(LINE_LIMIT) == -1
    dialog.set_checked(BOLD, True)
    close_with(dialog, IDOK)

    assert second.close() == 0
    assert read_style(second.layout) == (2, 30, 6, 0xE)
    assert read_columns(second.layout)[3][1:4] == (VISIBLE | BOLD_BIT, 2, 12)


def test_print_options_are_kept_in_the_layout_file_and_an_older_file_keeps_todays_look(
        table_app, app_factory, test_env):
    before = grid_shot(table_app, test_env, "options-00-plain")
    dialog = open_dialog(table_app, TABLE_APPEARANCE, TABLE_CAPTION)
    dialog.select_combo(PAGE_NUMBER_STYLE, "стр. N от M")
    dialog.select_combo(KEY_COLUMNS, "2")
    dialog.set_checked(FIT_TO_WIDTH, True)
    # Sums at the foot of every page and after each group, none at the end.
    dialog.set_checked(END_TOTAL, False)
    dialog.set_checked(PAGE_TOTALS, True)
    dialog.set_checked(GROUP_TOTALS, True)
    close_with(dialog, IDOK)
    # The page numbers read "стр. N от M" at once.
    assert changed_pixels(before, grid_shot(table_app, test_env, "options-01-page-of-pages")) > 0
    assert table_app.close() == 0
    stored = read_layout(table_app.layout.read_bytes())
    assert stored.options == PrintOptions(key_columns=2, page_number_style=1, fit_to_width=1, sum_lines=0xD)
    assert (stored.style.line_type, stored.style.cell_height, stored.style.page_number_position,
            stored.style.flags) == DEFAULT_STYLE

    # The next run opens on them.
    second = restart_with_layout(app_factory, table_app, "options_kept")
    dialog = open_dialog(second, TABLE_APPEARANCE, TABLE_CAPTION)
    assert dialog.combo_selected_text(PAGE_NUMBER_STYLE) == "стр. N от M"
    assert dialog.combo_selected_text(KEY_COLUMNS) == "2"
    assert dialog.is_checked(FIT_TO_WIDTH)
    assert {box: dialog.is_checked(box) for box in SUM_CHECK_BOXES} == {
        END_TOTAL: False, PAGE_TOTALS: True, BROUGHT_FORWARD: False, GROUP_TOTALS: True}
    close_with(dialog, IDCANCEL)
    assert second.close() == 0

    # The same file as a program without the options wrote it: today's look and choices.
    data = bytearray(table_app.layout.read_bytes())
    data[88:128] = bytes(40)
    table_app.layout.write_bytes(bytes(data))
    third = restart_with_layout(app_factory, table_app, "options_absent")
    assert changed_pixels(before, grid_shot(third, test_env, "options-02-older-file")) == 0
    dialog = open_dialog(third, TABLE_APPEARANCE, TABLE_CAPTION)
    assert dialog.combo_selected_text(PAGE_NUMBER_STYLE) == "Само номер"
    assert dialog.combo_selected_text(KEY_COLUMNS) == "Няма"
    assert not dialog.is_checked(FIT_TO_WIDTH)
    assert [dialog.is_checked(box) for box in SUM_CHECK_BOXES] == [True, False, False, False]
    close_with(dialog, IDCANCEL)
    assert third.close() == 0
    assert read_layout(table_app.layout.read_bytes()).options == PrintOptions()


# ---------------------------------------------------------------------------------------------
# "ColumnProperties"


def select_column(dialog, title: str) -> None:
    dialog.select_combo(COLUMN_LIST, title)
    time.sleep(0.1)


def test_column_dialog_shows_its_controls_and_offers_only_visible_columns(table_app, app_factory):
    dialog = open_dialog_from_menu(table_app, COLUMN_APPEARANCE, COLUMN_CAPTION)
    controls = controls_by_id(dialog)
    for box, text in COLUMN_CHECK_BOXES.items():
        assert (controls[box].class_name, controls[box].text) == ("Button", text)
    assert controls[TITLE].class_name == "Edit"
    assert dialog.item(TITLE).info().style & ES_AUTOHSCROLL == 0, "the title box does not scroll"
    for combo in (COLUMN_LIST, ALIGNMENT, LINE_LIMIT):
        assert dialog.item(combo).info().style & 0x3 == CBS_DROPDOWNLIST
    assert dialog.combo_items(ALIGNMENT) == ALIGNMENTS
    assert dialog.combo_items(LINE_LIMIT) == LINE_LIMITS
    assert sorted(labels_of(dialog)) == sorted(COLUMN_LABELS)
    assert controls[IDOK].text == "Ok" and dialog.item(IDOK).info().style & 0xF == BS_DEFPUSHBUTTON
    assert controls[IDCANCEL].text == "Отказ"
    frames = frames_of(dialog)
    assert len(frames) == 2
    assert inside(dialog.item(COLUMN_LIST).info().rect, frames[0])
    for control in (TITLE, ALIGNMENT, BOLD, TEXT_FLOW, LINE_LIMIT, ABBREVIATE, SUM):
        assert inside(dialog.item(control).info().rect, frames[1]), control
    assert dialog.item(SUM).info().rect[3] <= dialog.item(IDOK).info().rect[1]

    # Every column of a fresh table is visible; the row-number column comes first, right-aligned.
    assert dialog.combo_items(COLUMN_LIST) == ["No", "No.", "Име", "Бележка", "Сума"]
    assert dialog.combo_selection(COLUMN_LIST) == 0
    assert column_state(dialog) == {"title": "No", "alignment": "Дясно", "bold": False, "flow": False,
                                    "limit": "Няма", "abbreviate": False, "limit_enabled": False,
                                    "abbreviate_enabled": True}
    # The row numbers are never summed: the box is off and cannot be checked.
    assert not dialog.is_checked(SUM) and not dialog.item(SUM).info().enabled
    select_column(dialog, "Бележка")
    assert column_state(dialog)["title"] == "Бележка"
    assert column_state(dialog)["alignment"] == "Ляво"
    assert not dialog.is_checked(SUM) and dialog.item(SUM).info().enabled
    # Text flow enables the line limit and disables abbreviation, and back.
    dialog.set_checked(TEXT_FLOW, True)
    state = column_state(dialog)
    assert (state["limit_enabled"], state["abbreviate_enabled"]) == (True, False)
    dialog.set_checked(TEXT_FLOW, False)
    state = column_state(dialog)
    assert (state["limit_enabled"], state["abbreviate_enabled"]) == (False, True)
    close_with(dialog, IDCANCEL)
    assert table_app.close() == 0

    # Hide "Име" (column 2) through the layout file: it is no longer offered, and an edit of the
    # others leaves its record as it was.
    records = read_columns(table_app.layout)
    set_column_fields(table_app.layout, 2, records[2][1] & ~VISIBLE | BOLD_BIT, *records[2][2:4])
    second = restart_with_layout(app_factory, table_app, "hidden_column")
    dialog = open_dialog(second, COLUMN_APPEARANCE, COLUMN_CAPTION)
    assert dialog.combo_items(COLUMN_LIST) == ["No", "No.", "Бележка", "Сума"]
    select_column(dialog, "Сума")
    dialog.set_checked(BOLD, True)
    close_with(dialog, IDOK)
    assert second.close() == 0
    after = read_columns(second.layout)
    assert after[2][1:] == (records[2][1] & ~VISIBLE | BOLD_BIT,) + records[2][2:]
    assert after[4][1] == records[4][1] | BOLD_BIT


def test_a_picture_column_is_never_summed(lintaro):
    lintaro.start([Path(__file__).resolve().parents[1] / "samples" / "furniture.rdf"])
    dialog = open_dialog(lintaro, COLUMN_APPEARANCE, COLUMN_CAPTION)
    enabled = {}
    for title in ("No", "No.", "Item", "Price", "Photo"):
        select_column(dialog, title)
        enabled[title] = dialog.item(SUM).info().enabled
    assert enabled == {"No": False, "No.": True, "Item": True, "Price": True, "Photo": False}
    close_with(dialog, IDCANCEL)


def test_editing_several_columns_in_one_visit_changes_them_all(table_app, test_env):
    before = grid_shot(table_app, test_env, "columns-before")
    dialog = open_dialog(table_app, COLUMN_APPEARANCE, COLUMN_CAPTION)
    select_column(dialog, "Име")
    dialog.set_control_text(TITLE, "   Име на клиента  ")
    dialog.select_combo(ALIGNMENT, "Дясно")
    select_column(dialog, "Сума")
    dialog.set_control_text(TITLE, "Сума в лева")
    dialog.select_combo(ALIGNMENT, "Център")
    dialog.set_checked(BOLD, True)
    dialog.set_checked(SUM, True)
    table_app.screenshot(table_app.env.screenshot_dir / "appearance-column-dialog.png", window=dialog)
    # "Бележка": abbreviation first, then text flow with a limit: text flow wins on OK.
    select_column(dialog, "Бележка")
    dialog.set_checked(ABBREVIATE, True)
    dialog.set_checked(TEXT_FLOW, True)
    dialog.select_combo(LINE_LIMIT, "3 реда")
    assert column_state(dialog)["abbreviate"], "the check stays, only disabled"
    close_with(dialog, IDOK)
    after = grid_shot(table_app, test_env, "columns-after")
    assert changed_pixels(before, after) > 0

    # The dialog opens on the grid's new records: both titles trimmed and changed.
    dialog = open_dialog(table_app, COLUMN_APPEARANCE, COLUMN_CAPTION)
    assert dialog.combo_items(COLUMN_LIST) == ["No", "No.", "Име на клиента", "Бележка", "Сума в лева"]
    select_column(dialog, "Име на клиента")
    assert column_state(dialog) == {"title": "Име на клиента", "alignment": "Дясно", "bold": False,
                                    "flow": False, "limit": "Няма", "abbreviate": False,
                                    "limit_enabled": False, "abbreviate_enabled": True}
    select_column(dialog, "Сума в лева")
    assert column_state(dialog)["alignment"] == "Център"
    assert column_state(dialog)["bold"]
    assert dialog.is_checked(SUM)
    select_column(dialog, "Бележка")
    assert column_state(dialog) == {"title": "Бележка", "alignment": "Ляво", "bold": False,
                                    "flow": True, "limit": "3 реда", "abbreviate": False,
                                    "limit_enabled": True, "abbreviate_enabled": False}
    close_with(dialog, IDCANCEL)
    assert table_app.close() == 0

    columns = read_columns(table_app.layout)
    assert [c[0] for c in columns] == [-1, 11, 12, 13, 14]
    flags_alignment_limit = [c[1:4] for c in columns]
    assert flags_alignment_limit[1] == (VISIBLE, 1, 0)                  # "No.": untouched
    assert flags_alignment_limit[2] == (VISIBLE, 1, 0)                  # "Име": "Дясно" is 1
    assert flags_alignment_limit[3] == (VISIBLE | TEXT_FLOW_BIT, 0, 3)  # "Бележка": no abbreviation
    assert flags_alignment_limit[4] == (VISIBLE | BOLD_BIT | SUM_BIT, 2, 0)  # "Сума": "Център" is 2


def test_cancelling_the_column_dialog_changes_nothing_and_repaints(table_app, test_env):
    before = grid_shot(table_app, test_env, "column-cancel-before")
    dialog = open_dialog(table_app, COLUMN_APPEARANCE, COLUMN_CAPTION)
    select_column(dialog, "Име")
    dialog.set_control_text(TITLE, "Друго")
    dialog.set_checked(BOLD, True)
    select_column(dialog, "Сума")
    dialog.select_combo(ALIGNMENT, "Център")
    close_with(dialog, IDCANCEL)
    after = grid_shot(table_app, test_env, "column-cancel-after")
    assert changed_pixels(before, after) == 0, "the grid is painted as it was, with no trace"
    dialog = open_dialog(table_app, COLUMN_APPEARANCE, COLUMN_CAPTION)
    assert dialog.combo_items(COLUMN_LIST) == ["No", "No.", "Име", "Бележка", "Сума"]
    select_column(dialog, "Име")
    assert not column_state(dialog)["bold"]
    close_with(dialog, IDCANCEL)
    assert table_app.close() == 0
    columns = read_columns(table_app.layout)
    # The loader's alignments: numbers right, text left.
    assert [c[1:4] for c in columns[1:]] == [(VISIBLE, 1, 0), (VISIBLE, 0, 0), (VISIBLE, 0, 0),
                                            (VISIBLE, 1, 0)]


# ---------------------------------------------------------------------------------------------
# Rows and pages follow every column change at once


def ruled_rows(path: Path) -> tuple[list[int], int]:
    """The y of every horizontal rule across the table's left end, and the y of the first dotted
    page-break line (the height when none is in view)."""
    width, height, data = image_pixels(path)
    black = lambda x, y: data[(y * width + x) * 3:(y * width + x) * 3 + 3] == b"\0\0\0"
    rules = [y for y in range(height) if all(black(x, y) for x in range(5, 25))]
    dotted = [y for y in range(height) if all(black(x, y) == (x % 3 == 1) for x in range(60))]
    return rules, dotted[0] if dotted else height


def first_page_rows(path: Path) -> tuple[int, int]:
    """(rows on the first page, height of its first row) as the grid shows them: the rules under
    the column numbers down to the page break."""
    rules, page_break = ruled_rows(path)
    row_rules = [y for y in rules[3:] if y < page_break]
    return len(row_rules), row_rules[0] - rules[2]


def printed_first_page_rows(lintaro, test_env) -> list[int]:
    (pdf,) = print_pages(lintaro, test_env, 1, first=1, last=1)
    return [int(n) for n in re.findall(r"Клиент (\d+)", test_env.pdf_text(pdf))]


def test_text_flow_line_limit_and_hiding_lay_the_rows_out_at_once(table_app, test_env):
    before = grid_shot(table_app, test_env, "flow-before")
    rows, row_height = first_page_rows(before)
    assert printed_first_page_rows(table_app, test_env) == list(range(1, rows + 1))
    # "Бележка" narrowed to half its width: its notes need two or three lines.
    width, _, data = image_pixels(before)
    rules, _ = ruled_rows(before)
    y = rules[2] + row_height // 2
    edges = [x for x in range(width)
             if all(data[(row * width + x) * 3:(row * width + x) * 3 + 3] == b"\0\0\0"
                    for row in range(rules[2] + 1, rules[3]))]
    table_app.drag(edges[4], y, (edges[3] + edges[4]) // 2, y, window=table_app.grid_window(), steps=10)

    dialog = open_dialog(table_app, COLUMN_APPEARANCE, COLUMN_CAPTION)
    select_column(dialog, "Бележка")
    dialog.set_checked(TEXT_FLOW, True)
    close_with(dialog, IDOK)
    flowing = grid_shot(table_app, test_env, "flow-wrapped")
    wrapped_rows, wrapped_height = first_page_rows(flowing)
    assert wrapped_height >= row_height + 2 * (row_height - 2) // 2, "the first row is two lines or more"
    assert wrapped_rows < rows
    assert printed_first_page_rows(table_app, test_env) == list(range(1, wrapped_rows + 1))
    # At most two lines: the rows shrink and more of them fit the page.
    dialog = open_dialog(table_app, COLUMN_APPEARANCE, COLUMN_CAPTION)
    select_column(dialog, "Бележка")
    dialog.select_combo(LINE_LIMIT, "2 реда")
    close_with(dialog, IDOK)
    limited_rows, limited_height = first_page_rows(grid_shot(table_app, test_env, "flow-limited"))
    assert row_height < limited_height < wrapped_height and wrapped_rows < limited_rows < rows
    assert printed_first_page_rows(table_app, test_env) == list(range(1, limited_rows + 1))

    # Hidden, the column takes its lines along: the rows and pages are as they were.
    table_app.post_command(201)
    visible = table_app.wait_dialog(" Подбор на видими колони")
    visible.set_list_selected(101, 3, False)
    close_with(visible, IDOK)
    hidden = grid_shot(table_app, test_env, "flow-hidden")
    assert first_page_rows(hidden) == (rows, row_height)
    assert printed_first_page_rows(table_app, test_env) == list(range(1, rows + 1))

"""Visible columns, sorting, filtering and restoring, driven through the menu commands, the
dialogs and the mouse.

The order of the rows on the grid is checked against the picture of the same table loaded
with its rows already in the expected order: the grid's client area must be identical pixel
for pixel, row numbers, every cell and the rules included. The titles are wider than every cell
so that natural widths, which are measured when a table is loaded, do not depend on which rows
a file holds."""

from __future__ import annotations

import random
import time
from pathlib import Path

import pytest

from lintaro_harness import IDCANCEL, IDOK, image_pixels
from test_export import FORMATS, export, read_back
from test_grid import Picture, first_row_and_rules

VISIBLE_COLUMNS, SORT, FILTER, RESTORE = 201, 222, 223, 224
VISIBLE_CAPTION = " Подбор на видими колони"
SORT_CAPTION = " Сортиране на таблицата"
FILTER_CAPTION = " Подбор"
MESSAGE_TITLE = "Lintaro 2.0"
LIST, ALL, NONE = 101, 701, 702
SORT_COLUMN, SORT_ORDER, SORT_TYPE = 101, 102, 103
FILTER_COLUMN, FILTER_FROM, FILTER_TO, FILTER_TYPE = 101, 111, 112, 121
LB_GETITEMHEIGHT = 0x01A1
KEY_TYPES = ["Текст", "Число", "Азбучно", "Сума (1 234,56)", "Дата (дд.мм.гггг)"]

TITLES = ["Наименование", "Стойност", "Бележка"]
TYPES = ["Text", "Number", "Text"]
# Stored order: name, value, note. Rows 2 and 6 share the value 9; row 3 has no value.
ROWS = {
    1: ("Da", "10", "x1"),
    2: ("B", "9", "x2"),
    3: ("A", "", "x3"),
    4: ("Czech", "100", "x4"),
    5: ("D", "12,5", "x5"),
    6: ("C", "9", "x6"),
}
# By value as numbers, descending: the empty value last, the two 9s in their stored order.
BY_VALUE_DESCENDING = [4, 5, 1, 2, 6, 3]
# Then from B to D by name, as text: Da and A drop out, Czech stays.
NAMES_B_TO_D = [4, 5, 2, 6]


def table_file(rows, titles=TITLES, types=TYPES, columns=None) -> str:
    """A data file with the given stored rows (numbers of ROWS) and columns (indexes)."""
    columns = list(range(len(titles))) if columns is None else columns
    lines = ["WindowTitle: Склад", "Titles:", "\t".join(titles[c] for c in columns),
             "Types:", "\t".join(types[c] for c in columns), "Data:"]
    lines += ["\t".join(ROWS[r][c] for c in columns) for r in rows]
    return "\r\n".join(lines) + "\r\n"


def settle() -> None:
    time.sleep(0.4)


def grid_shot(app, name: str) -> Path:
    settle()
    return app.screenshot(app.env.screenshot_dir / f"sort-filter-{name}.png", window=app.grid_window(),
                          client=True)


def reference_shot(app_factory, tested, rows, name: str) -> Path:
    """The grid of the table loaded with `rows` in that order, from the same path as the table of
    the closed program `tested` (the path shows above the table)."""
    reference = app_factory(name=f"reference_{name}")
    folder = reference.prepare(files={"table.rdf": table_file(rows)}, folder=tested.folder)
    reference.start([folder / "table.rdf"])
    shot = grid_shot(reference, f"expected-{name}")
    assert reference.close() == 0
    return shot


def same_picture(a: Path, b: Path) -> bool:
    return image_pixels(a) == image_pixels(b)


def click_control(app, dialog, control_id: int) -> None:
    """Clicks the middle of a dialog control with the mouse."""
    left, top, right, bottom = dialog.item(control_id).info().rect
    x, y = dialog.info().client_origin
    app.click((left + right) // 2 - x, (top + bottom) // 2 - y, window=dialog)


def click_list_line(app, dialog, index: int) -> None:
    """Clicks line `index` of the dialog's list box (which toggles it in a multiple-selection list)."""
    listbox = dialog.item(LIST)
    height = listbox.send(LB_GETITEMHEIGHT, 0, 0)
    app.click(10, height * index + height // 2, window=listbox)


def texts_of(dialog) -> dict:
    return {child.control_id: child.text for child in dialog.children()}


def labels_of(dialog) -> list[str]:
    return [child.text for child in dialog.children() if child.class_name == "Static" and child.text]


@pytest.fixture
def table(lintaro):
    folder = lintaro.prepare(files={"table.rdf": table_file(list(ROWS))})
    lintaro.start([folder / "table.rdf"])
    settle()
    return lintaro


# Where a user reaches each command: the toolbar button's left edge in the main window's client
# area, and the keys that choose the item in the "Таблица" menu (separators are skipped).
TOOLBAR_LEFT = {VISIBLE_COLUMNS: 10, SORT: 138, FILTER: 170}
MENU_DOWNS = {VISIBLE_COLUMNS: 1, SORT: 5, FILTER: 6, RESTORE: 7}


def give_command(app, command: int, via: str = "menu") -> None:
    """The command from the toolbar (a mouse click), the menu (keyboard) or posted as they do."""
    if via == "toolbar":
        app.click(TOOLBAR_LEFT[command] + 15, 17)
    elif via == "menu":
        app.key("alt", *["Down"] * MENU_DOWNS[command], "Return")
    else:
        app.post_command(command)


def open_dialog(app, command: int, caption: str, via: str = "post"):
    give_command(app, command, via)
    dialog = app.wait_dialog(caption)
    assert dialog.info().owner == app.main.handle
    return dialog


# ---- Visible columns --------------------------------------------------------------------------

def test_visible_columns_hide_refuse_none_and_show_all(table, test_env):
    loaded = grid_shot(table, "loaded")

    dialog = open_dialog(table, VISIBLE_COLUMNS, VISIBLE_CAPTION, via="toolbar")
    texts = texts_of(dialog)
    assert (texts[IDOK], texts[IDCANCEL], texts[ALL], texts[NONE]) == ("Ok", "Отказ", "Всичко", "Нищо")
    # Every column is listed, the row numbers first; all of them are visible.
    assert dialog.list_items(LIST) == ["No"] + TITLES
    assert dialog.list_selected(LIST) == [0, 1, 2, 3]
    table.screenshot(test_env.screenshot_dir / "sort-filter-visible-columns-dialog.png", window=dialog)
    # A click on "Стойност" takes it out of the selection; OK hides the column.
    click_list_line(table, dialog, 2)
    assert dialog.list_selected(LIST) == [0, 1, 3]
    click_control(table, dialog, IDOK)
    dialog.wait_gone()
    hidden = grid_shot(table, "value-hidden")
    assert not same_picture(hidden, loaded)

    # The hidden column is still listed, unselected, and the sort and filter lists leave it out;
    # only the filter offers the row numbers.
    dialog = open_dialog(table, VISIBLE_COLUMNS, VISIBLE_CAPTION, via="menu")
    assert dialog.list_items(LIST) == ["No"] + TITLES
    assert dialog.list_selected(LIST) == [0, 1, 3]
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    sort = open_dialog(table, SORT, SORT_CAPTION)
    assert sort.combo_items(SORT_COLUMN) == ["Наименование", "Бележка"]
    sort.click(IDCANCEL)
    sort.wait_gone()
    flt = open_dialog(table, FILTER, FILTER_CAPTION)
    assert flt.combo_items(FILTER_COLUMN) == ["No", "Наименование", "Бележка"]
    flt.click(IDCANCEL)
    flt.wait_gone()
    assert same_picture(grid_shot(table, "value-hidden-after-cancels"), hidden)

    # "Нищо" then OK: the refusal, and the dialog stays open with nothing selected.
    dialog = open_dialog(table, VISIBLE_COLUMNS, VISIBLE_CAPTION)
    click_control(table, dialog, NONE)
    assert dialog.list_selected(LIST) == []
    click_control(table, dialog, IDOK)
    box, caption, text = table.wait_message_box()
    assert box.info().owner == dialog.handle
    assert caption == MESSAGE_TITLE
    assert text == "В таблицата трябва да има\r\nпоне една видима колона !"
    table.screenshot(test_env.screenshot_dir / "sort-filter-no-visible-column.png", window=box)
    box.click(IDOK)
    box.wait_gone()
    assert dialog.exists()
    assert dialog.list_selected(LIST) == []

    # "Всичко" then OK shows every column again: the grid is the loaded one.
    click_control(table, dialog, ALL)
    assert dialog.list_selected(LIST) == [0, 1, 2, 3]
    click_control(table, dialog, IDOK)
    dialog.wait_gone()
    assert same_picture(grid_shot(table, "all-visible-again"), loaded)

    # Hiding through the dialog draws what a table without that column draws.
    dialog = open_dialog(table, VISIBLE_COLUMNS, VISIBLE_CAPTION)
    click_list_line(table, dialog, 2)
    dialog.click(IDOK)
    dialog.wait_gone()
    hidden_again = grid_shot(table, "value-hidden-again")
    assert same_picture(hidden_again, hidden)


def test_visible_columns_cancel_changes_nothing(table):
    loaded = grid_shot(table, "before-cancel")
    dialog = open_dialog(table, VISIBLE_COLUMNS, VISIBLE_CAPTION)
    click_control(table, dialog, NONE)
    click_list_line(table, dialog, 1)
    click_control(table, dialog, IDCANCEL)
    dialog.wait_gone()
    assert table.dialogs() == []
    assert same_picture(grid_shot(table, "after-cancel"), loaded)
    dialog = open_dialog(table, VISIBLE_COLUMNS, VISIBLE_CAPTION)
    assert dialog.list_selected(LIST) == [0, 1, 2, 3]
    table.key("Escape", window=dialog)
    dialog.wait_gone()


# ---- Sort, filter, restore -----------------------------------------------------------------------

def test_sort_dialog_offers_columns_order_and_type(table, test_env):
    dialog = open_dialog(table, SORT, SORT_CAPTION)
    assert labels_of(dialog) == ["Ще сортираме по", "Подреждане", "Тип на данните"]
    texts = texts_of(dialog)
    assert (texts[IDOK], texts[IDCANCEL]) == ("Ok", "Отказ")
    assert dialog.combo_items(SORT_COLUMN) == TITLES
    assert dialog.combo_items(SORT_ORDER) == ["В нарастващ ред", "В намаляващ ред"]
    assert dialog.combo_items(SORT_TYPE) == KEY_TYPES
    assert [dialog.combo_selection(i) for i in (SORT_COLUMN, SORT_ORDER, SORT_TYPE)] == [0, 0, 0]
    table.screenshot(test_env.screenshot_dir / "sort-filter-sort-dialog.png", window=dialog)
    dialog.click(IDCANCEL)
    dialog.wait_gone()


def test_filter_dialog_offers_columns_range_and_type(table, test_env):
    dialog = open_dialog(table, FILTER, FILTER_CAPTION)
    assert labels_of(dialog) == ["Ще подбираме по", "От", "До (включително)", "Тип на данните"]
    assert dialog.combo_items(FILTER_COLUMN) == ["No"] + TITLES
    assert dialog.combo_selection(FILTER_COLUMN) == 0
    assert (dialog.control_text(FILTER_FROM), dialog.control_text(FILTER_TO)) == ("", "")
    assert dialog.combo_items(FILTER_TYPE) == KEY_TYPES
    assert dialog.combo_selection(FILTER_TYPE) == 0
    # The range fields scroll sideways and take more than they show.
    assert dialog.item(FILTER_FROM).info().style & 0x0080  # ES_AUTOHSCROLL
    table.screenshot(test_env.screenshot_dir / "sort-filter-filter-dialog.png", window=dialog)
    table.key("Escape", window=dialog)
    dialog.wait_gone()


def sort_by(app, column: str, order: str, data_type: str) -> None:
    dialog = open_dialog(app, SORT, SORT_CAPTION, via="toolbar")
    dialog.select_combo(SORT_COLUMN, column)
    dialog.select_combo(SORT_ORDER, order)
    dialog.select_combo(SORT_TYPE, data_type)
    click_control(app, dialog, IDOK)
    dialog.wait_gone()


def filter_by(app, column: str, low: str, high: str, data_type: str, typed: bool = False,
              via: str = "menu"):
    dialog = open_dialog(app, FILTER, FILTER_CAPTION, via=via)
    dialog.select_combo(FILTER_COLUMN, column)
    if typed:
        click_control(app, dialog, FILTER_FROM)
        app.type_text(low, window=dialog)
        click_control(app, dialog, FILTER_TO)
        app.type_text(high, window=dialog)
        assert (dialog.control_text(FILTER_FROM), dialog.control_text(FILTER_TO)) == (low, high)
    else:
        dialog.set_control_text(FILTER_FROM, low)
        dialog.set_control_text(FILTER_TO, high)
    dialog.select_combo(FILTER_TYPE, data_type)
    click_control(app, dialog, IDOK)
    dialog.wait_gone()


def test_sort_filter_no_match_and_restore_on_the_grid(table, app_factory, test_env):
    loaded = grid_shot(table, "stored-order")

    # Numbers, descending: 100, 12,5, 10, 9 (row 2), 9 (row 6), then the empty value.
    sort_by(table, "Стойност", "В намаляващ ред", "Число")
    sorted_shot = grid_shot(table, "by-value-descending")

    # Names from B to D (typed with the keyboard), as text: B, C, Czech and D stay.
    filter_by(table, "Наименование", "B", "D", "Текст", typed=True)
    filtered_shot = grid_shot(table, "names-b-to-d")

    # A range nothing lies in: the message, and the rows stay as they were.
    filter_by(table, "Стойност", "500", "600", "Число", via="toolbar")
    box, caption, text = table.wait_message_box()
    assert box.info().owner == table.main.handle
    assert caption == MESSAGE_TITLE
    assert text == "Няма записи, отговарящи\r\nна зададеното условие."
    table.screenshot(test_env.screenshot_dir / "sort-filter-no-match.png", window=box)
    click_control(table, box, IDOK)
    box.wait_gone()
    assert same_picture(grid_shot(table, "after-no-match"), filtered_shot)

    # Restore: every row, in stored order, numbered from 1 again.
    give_command(table, RESTORE, "menu")
    assert same_picture(grid_shot(table, "restored"), loaded)
    assert table.close() == 0

    assert same_picture(sorted_shot, reference_shot(app_factory, table, BY_VALUE_DESCENDING, "by-value"))
    assert same_picture(filtered_shot, reference_shot(app_factory, table, NAMES_B_TO_D, "names"))


def test_sort_as_text_ascending_and_cancel(table, app_factory):
    loaded = grid_shot(table, "text-sort-start")
    # Cancel leaves the rows alone.
    dialog = open_dialog(table, SORT, SORT_CAPTION)
    dialog.select_combo(SORT_ORDER, "В намаляващ ред")
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    assert same_picture(grid_shot(table, "text-sort-cancelled"), loaded)
    # The same value column as text: "10" < "100" < "12,5" < "9", the empty value last.
    sort_by(table, "Стойност", "В нарастващ ред", "Текст")
    as_text = grid_shot(table, "by-value-as-text")
    assert table.close() == 0
    assert same_picture(as_text, reference_shot(app_factory, table, [1, 4, 5, 2, 6, 3], "value-as-text"))


# ---- A table of several pages: where the view stands afterwards ----------------------------------

def long_table_file(rows) -> str:
    """Row i (1-based) of a long table: the name "Ред i" and the value (i * 37) % 101."""
    lines = ["WindowTitle: Склад", "Titles:", "Наименование\tСтойност", "Types:", "Text\tNumber", "Data:"]
    lines += [f"Ред {i}\t{(i * 37) % 101}" for i in rows]
    return "\r\n".join(lines) + "\r\n"


# Fewer than 100 rows: the row numbers then need two digits before and after the filter, so the
# row-number column is as wide in the filtered table as in one loaded with those rows alone.
LONG_ROWS = list(range(1, 91))


def page_down_with_the_scroll_bar(app, times: int) -> None:
    """Clicks the lower part of the grid's vertical scroll bar, as a user pages down."""
    grid = app.grid_window().info()
    left, top, right, bottom = grid.rect
    x, y = grid.client_origin
    for _ in range(times):
        app.click(right - 8 - x, bottom - 60 - y, window=app.grid_window())
    settle()


def long_reference_shot(app_factory, tested, rows, name: str, pages_down: int) -> Path:
    reference = app_factory(name=f"reference_{name}")
    folder = reference.prepare(files={"long.rdf": long_table_file(rows)}, folder=tested.folder)
    reference.start([folder / "long.rdf"])
    settle()
    page_down_with_the_scroll_bar(reference, pages_down)
    shot = grid_shot(reference, f"expected-{name}")
    assert reference.close() == 0
    return shot


def test_sort_keeps_the_scroll_position_and_filter_returns_to_the_top(lintaro, app_factory):
    folder = lintaro.prepare(files={"long.rdf": long_table_file(LONG_ROWS)})
    lintaro.start([folder / "long.rdf"])
    settle()
    top = grid_shot(lintaro, "long-top")
    page_down_with_the_scroll_bar(lintaro, 2)
    assert not same_picture(grid_shot(lintaro, "long-scrolled"), top), "the scroll bar moved the view"

    sort_by(lintaro, "Стойност", "В намаляващ ред", "Число")
    sorted_scrolled = grid_shot(lintaro, "long-sorted-scrolled")
    filter_by(lintaro, "Стойност", "50", "80", "Число")
    filtered = grid_shot(lintaro, "long-filtered")
    assert lintaro.close() == 0

    by_value = sorted(LONG_ROWS, key=lambda i: -((i * 37) % 101))  # Python's sort is stable too
    assert same_picture(sorted_scrolled, long_reference_shot(app_factory, lintaro, by_value, "long-sorted", 2))
    kept = [i for i in by_value if 50 <= (i * 37) % 101 <= 80]
    assert same_picture(filtered, long_reference_shot(app_factory, lintaro, kept, "long-filtered", 0))


def hide_value_column(app) -> None:
    dialog = open_dialog(app, VISIBLE_COLUMNS, VISIBLE_CAPTION)
    click_list_line(app, dialog, 2)
    click_control(app, dialog, IDOK)
    dialog.wait_gone()


def test_with_a_column_hidden_the_lists_still_name_grid_columns(table, app_factory):
    """The sort and filter lists skip the hidden column, yet choosing "Бележка" (second in the sort
    list, third in the filter list) must act on the notes, not on what sits at that position."""
    hide_value_column(table)
    filter_by(table, "Бележка", "x4", "x6", "Текст")
    sort_by(table, "Бележка", "В намаляващ ред", "Текст")
    shot = grid_shot(table, "hidden-value-notes")
    assert table.close() == 0

    reference = app_factory(name="reference_hidden_value")
    folder = reference.prepare(files={"table.rdf": table_file([6, 5, 4])}, folder=table.folder)
    reference.start([folder / "table.rdf"])
    settle()
    hide_value_column(reference)
    assert same_picture(shot, grid_shot(reference, "expected-hidden-value-notes"))
    assert reference.close() == 0


def test_an_empty_bound_leaves_its_side_open(table, app_factory):
    # Up to 100 with no lower bound: every value but the empty one, "12,5" read as 12.
    filter_by(table, "Стойност", "", "100", "Число")
    settle()
    assert table.dialogs() == [], "no message: rows were found"
    shot = grid_shot(table, "up-to-100")
    assert table.close() == 0
    assert same_picture(shot, reference_shot(app_factory, table, [1, 2, 4, 5, 6], "up-to-100"))


def test_with_only_the_moved_row_numbers_shown_sort_has_nothing_to_do(table):
    grid = table.grid_window()
    titles_top, _, rules, _ = first_row_and_rules(Picture(grid_shot(table, "numbers-before-move")))
    # "No" dropped on "Стойност", then every other column hidden.
    table.drag((rules[0] + rules[1]) // 2, titles_top + 4, (rules[2] + rules[3]) // 2, titles_top + 4,
               window=grid)
    moved = grid_shot(table, "numbers-moved")
    dialog = open_dialog(table, VISIBLE_COLUMNS, VISIBLE_CAPTION)
    assert dialog.list_items(LIST) == ["Наименование", "Стойност", "No", "Бележка"]
    for line in (0, 1, 3):
        dialog.set_list_selected(LIST, line, False)
    dialog.click(IDOK)
    dialog.wait_gone()

    dialog = open_dialog(table, SORT, SORT_CAPTION)
    assert dialog.combo_items(SORT_COLUMN) == []
    assert not dialog.item(IDOK).info().enabled
    table.key("Return", window=dialog)
    dialog.command(IDOK)  # what Enter sends to a dialog whatever its button's state
    settle()
    assert dialog.exists(), "OK has nothing to do"
    dialog.click(IDCANCEL)
    dialog.wait_gone()

    dialog = open_dialog(table, VISIBLE_COLUMNS, VISIBLE_CAPTION)
    dialog.click(ALL)
    dialog.click(IDOK)
    dialog.wait_gone()
    assert same_picture(grid_shot(table, "numbers-all-shown"), moved), "the rows kept their order"


# ---- Keys read the Bulgarian way: alphabetical, amounts, dates -----------------------------------

# Names in dictionary order; the names of one entry are equal to the reader (case is ignored)
# and keep their stored order.
NAMES_IN_ORDER = [["2 лева"], ["10 лева"], ["Zlatko"], ["Ана"], ["Анна", "АННА", "анна"], ["Борис"], ["вера"],
                  ["Гергана"], ["Ели"], ["Ёлка"], ["Иван"], ["Иванов"], ["Йордан"], ["Пенка"], ["ул. 9"],
                  ["ул. 10"], ["Христо"], ["Щерю"], ["Ъглов"], ["ьо"], ["Юлия"], ["Ябълков"]]
# Amounts as written, with the value a reader sees; None: no number, ranked with the empty key.
AMOUNTS = [("-5,00 лв.", -5), ("12,5", 12.5), ("99 999 999,99", 99999999.99), ("лв.", None), ("1 234,56", 1234.56),
           ("12,50", 12.5), (",50", 0.5), ("5 000,50", 5000.5), ("", None), ("1.234,57 лв.", 1234.57),
           ("5000,51", 5000.51), ("999,99", 999.99), ("1 000", 1000)]
# Dates as written, with the day they mean; None: not a possible date. Two-digit years are read
# against this year: 99 is 1999, 05 is 2005.
DATES = [("31.12.2023", "2023-12-31"), ("1.1.2024", "2024-01-01"), ("31.02.2024", None),
         ("15.02.2024 г.", "2024-02-15"), ("5.5.99", "1999-05-05"), ("2024-03-31", "2024-03-31"),
         ("", None), ("01.04.2024г.", "2024-04-01"), ("29.02.2024", "2024-02-29"), ("7.6.05", "2005-06-07"),
         ("утре", None)]
BULGARIAN_TITLES = ["Име", "Сума", "Дата"]
TAB_SEPARATED = FORMATS[1]


def bulgarian_rows() -> list[tuple[str, str, str]]:
    """Stored rows: the names shuffled (fixed seed), amounts and dates repeating beside them."""
    names = [name for group in NAMES_IN_ORDER for name in group] + [""]
    random.Random(22).shuffle(names)
    return [(name, AMOUNTS[i % len(AMOUNTS)][0], DATES[i % len(DATES)][0]) for i, name in enumerate(names)]


def bulgarian_table_file(rows) -> str:
    lines = ["WindowTitle: Плащания", "Titles:", "\t".join(BULGARIAN_TITLES), "Types:", "Text\tText\tText", "Data:"]
    lines += ["\t".join(row) for row in rows]
    return "\r\n".join(lines) + "\r\n"


def exported_rows(app, path: Path) -> list[list[str]]:
    """The table as the tab-separated export gives it, read back on its own: titles, then rows."""
    export(app, path, TAB_SEPARATED, "Windows")
    encoding, records = read_back("tsv", "cp1251", path)
    assert records[0] == ["No"] + BULGARIAN_TITLES
    return records[1:]


def numbered(rows) -> list[list[str]]:
    return [[str(number)] + list(row) for number, row in enumerate(rows, 1)]


def test_alphabetical_amount_and_date_sort_and_filter_read_back_from_the_export(lintaro, tmp_path):
    rows = bulgarian_rows()
    folder = lintaro.prepare(files={"payments.rdf": bulgarian_table_file(rows)})
    lintaro.start([folder / "payments.rdf"])
    settle()
    rank = {name: place for place, group in enumerate(NAMES_IN_ORDER) for name in group}
    amount = dict(AMOUNTS)
    day = dict(DATES)
    last = float("inf")

    # Alphabetical, ascending: dictionary order, equal names in stored order, the empty name last.
    sort_by(lintaro, "Име", "В нарастващ ред", "Азбучно")
    by_name = sorted(rows, key=lambda row: rank.get(row[0], last))
    assert [row[0] for row in by_name][:8] == ["2 лева", "10 лева", "Zlatko", "Ана"] + \
        [name for name in [row[0] for row in rows] if name.lower() == "анна"] + ["Борис"]
    assert exported_rows(lintaro, tmp_path / "by-name.txt") == numbered(by_name)

    # Amounts, descending: by value, no number and empty last; a sort starts from the order
    # shown, so equal values keep the order by name.
    sort_by(lintaro, "Сума", "В намаляващ ред", "Сума (1 234,56)")
    with_value = [row for row in by_name if amount[row[1]] is not None]
    by_amount = sorted(with_value, key=lambda row: -amount[row[1]]) + \
        [row for row in by_name if amount[row[1]] is None]
    assert by_amount[0][1] == "99 999 999,99"
    assert exported_rows(lintaro, tmp_path / "by-amount.txt") == numbered(by_amount)

    # Dates, ascending: impossible dates rank with the empty ones, in the order shown before.
    sort_by(lintaro, "Дата", "В нарастващ ред", "Дата (дд.мм.гггг)")
    by_date = sorted([row for row in by_amount if day[row[2]]], key=lambda row: day[row[2]]) + \
        [row for row in by_amount if day[row[2]] is None]
    assert by_date[0][2] == "5.5.99"
    assert exported_rows(lintaro, tmp_path / "by-date.txt") == numbered(by_date)

    # Filters compare their bounds the same way; each starts from every row in stored order.
    give_command(lintaro, RESTORE, "menu")
    filter_by(lintaro, "Име", "а", "в", "Азбучно")
    assert lintaro.dialogs() == []
    # Digits and Latin come before "а"; "вера" comes after "в".
    kept = [row for row in rows if rank["Ана"] <= rank.get(row[0], last) <= rank["Борис"]]
    assert exported_rows(lintaro, tmp_path / "names-a-to-v.txt") == numbered(kept)

    give_command(lintaro, RESTORE, "menu")
    filter_by(lintaro, "Сума", "1 000", "5 000,50", "Сума (1 234,56)", typed=True)
    kept = [row for row in rows if amount[row[1]] is not None and 1000 <= amount[row[1]] <= 5000.5]
    assert {row[1] for row in kept} == {"1 234,56", "5 000,50", "1.234,57 лв.", "1 000"}
    assert exported_rows(lintaro, tmp_path / "amounts.txt") == numbered(kept)

    give_command(lintaro, RESTORE, "menu")
    filter_by(lintaro, "Дата", "01.01.2024", "31.03.2024", "Дата (дд.мм.гггг)")
    kept = [row for row in rows if day[row[2]] is not None and "2024-01-01" <= day[row[2]] <= "2024-03-31"]
    assert {row[2] for row in kept} == {"1.1.2024", "15.02.2024 г.", "2024-03-31", "29.02.2024"}
    assert exported_rows(lintaro, tmp_path / "dates.txt") == numbered(kept)
    assert lintaro.close() == 0


def test_empty_rows_keep_their_places_through_sort_filter_and_restore(lintaro, tmp_path):
    # Runs of rows without cells (CR-only lines and lines of tabs) fill whole blocks of the
    # row index and cross its pages (16,384 rows), with rows with cells between them; the
    # stored order after a sort or a filter is the file's order again, empty rows included.
    rows = []
    for index in range(40000):
        has_cells = index % 1000 in (0, 1, 255, 256, 999) or index in (16383, 16384, 16385, 39999)
        rows.append((f"N{index:05d}", str(index % 7), "") if has_cells else ("", "", ""))
    lines = ["WindowTitle: Плащания", "Titles:", "\t".join(BULGARIAN_TITLES), "Types:", "Text\tText\tText", "Data:"]
    lines += ["\t".join(row) if any(row) or index % 2 else "" for index, row in enumerate(rows)]
    folder = lintaro.prepare(files={"empty-rows.rdf": "\r\n".join(lines) + "\r\n"})
    lintaro.start([folder / "empty-rows.rdf"])
    settle()
    assert exported_rows(lintaro, tmp_path / "stored.txt") == numbered(rows)

    # By value, descending: equal values in stored order, the rows without one last.
    sort_by(lintaro, "Сума", "В намаляващ ред", "Число")
    with_value = [row for row in rows if row[1]]
    by_value = sorted(with_value, key=lambda row: -int(row[1])) + [row for row in rows if not row[1]]
    assert exported_rows(lintaro, tmp_path / "by-value.txt") == numbered(by_value)
    give_command(lintaro, RESTORE, "menu")
    assert exported_rows(lintaro, tmp_path / "restored.txt") == numbered(rows)

    filter_by(lintaro, "Име", "N16000", "N17999", "Текст")
    kept = [row for row in rows if "N16000" <= row[0] <= "N17999"]
    assert [row[0] for row in kept] == ["N16000", "N16001", "N16255", "N16256", "N16383", "N16384", "N16385",
                                        "N16999", "N17000", "N17001", "N17255", "N17256", "N17999"]
    assert exported_rows(lintaro, tmp_path / "kept.txt") == numbered(kept)
    give_command(lintaro, RESTORE, "menu")
    assert exported_rows(lintaro, tmp_path / "restored-again.txt") == numbered(rows)
    assert lintaro.close() == 0


def test_the_new_key_types_fit_their_lists(table, test_env):
    """The longest type name shows whole in both dialogs once chosen (looked at in the shots)."""
    for command, caption, combo in ((SORT, SORT_CAPTION, SORT_TYPE), (FILTER, FILTER_CAPTION, FILTER_TYPE)):
        dialog = open_dialog(table, command, caption)
        dialog.select_combo(combo, "Дата (дд.мм.гггг)")
        assert dialog.combo_selected_text(combo) == "Дата (дд.мм.гггг)"
        table.screenshot(test_env.screenshot_dir / f"sort-filter-date-type-{command}.png", window=dialog)
        dialog.click(IDCANCEL)
        dialog.wait_gone()


# Keys a hostile table holds: control bytes, 255 bytes, hundreds of digits, impossible dates,
# nothing but blanks or punctuation.
HOSTILE_KEYS = ["\x01\x02\x1b[0m", "7" * 255, "9" * 250, "31.02.2024", "0.0.0", "99999999,99", "12.o3.2024",
                "   ", "--", "-0", "4294967376", "1e9", "12,5", "abc", "", "\x7f"]


def test_hostile_keys_sort_and_filter_without_losing_a_row(lintaro, tmp_path):
    rows = [(f"r{i}", key, key, key) for i, key in enumerate(HOSTILE_KEYS)]
    lines = ["WindowTitle: Ключове", "Titles:", "Ред\tИме\tСума\tДата", "Types:", "Text\tText\tText\tText", "Data:"]
    lines += ["\t".join(row) for row in rows]
    folder = lintaro.prepare(files={"hostile.rdf": "\r\n".join(lines) + "\r\n"})
    lintaro.start([folder / "hostile.rdf"])
    settle()
    stored = sorted(row[0] for row in rows)
    empty_row = f"r{HOSTILE_KEYS.index('')}"

    def shown() -> list[str]:
        """The rows' own names in the order the export gives them (the export writes control
        bytes as blanks, so the names identify the rows)."""
        path = tmp_path / f"hostile-{len(list(tmp_path.iterdir()))}.txt"
        export(lintaro, path, TAB_SEPARATED, "Windows")
        return [record[1] for record in read_back("tsv", "cp1251", path)[1][1:]]

    for column, data_type in (("Име", "Азбучно"), ("Сума", "Сума (1 234,56)"), ("Дата", "Дата (дд.мм.гггг)")):
        for order in ("В нарастващ ред", "В намаляващ ред"):
            sort_by(lintaro, column, order, data_type)
            now = shown()
            assert sorted(now) == stored, f"{column} {order}: every row once"
            if data_type == "Азбучно":
                assert now[-1] == empty_row, "the empty key last"
    # Not one of them is a possible date: sorted by date, the rows stay in the order shown.
    before = shown()
    sort_by(lintaro, "Дата", "В нарастващ ред", "Дата (дд.мм.гггг)")
    assert shown() == before

    # Bounds of every kind; a filter keeps some of the rows or says that none matched.
    for column, low, high, data_type in (("Сума", "-0", "4294967376", "Сума (1 234,56)"),
                                        ("Сума", "abc", "", "Сума (1 234,56)"),
                                        ("Име", "-", "7" * 126, "Азбучно"),
                                        ("Дата", "31.02.2024", "0.0.0", "Дата (дд.мм.гггг)")):
        give_command(lintaro, RESTORE, "menu")
        filter_by(lintaro, column, low, high, data_type)
        settle()
        boxes = [box for box in lintaro.dialogs() if box.text == MESSAGE_TITLE]
        if boxes:
            boxes[0].click(IDOK)
            boxes[0].wait_gone()
        kept = shown()
        assert kept and set(kept) <= set(stored), f"{column} {low!r}..{high!r}"
    assert lintaro.close() == 0

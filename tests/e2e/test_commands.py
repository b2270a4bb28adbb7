"""Commands and menus: the menu bar, reached by keyboard and mouse; the context menu; the
accelerators; the About box; ending the program; the font chooser.

Which command reached the main window is observed with the driver's command spy: it records
every WM_COMMAND that arrives at the main window's procedure, however it was delivered."""

from __future__ import annotations

import struct
import time
from dataclasses import dataclass

import pytest

from lintaro_harness import (IDCANCEL, IDOK, WM_CLOSE, HarnessError, _decode_field, colour_count,
                             image_pixels, windows_path)

MENU_BAR = [
    ("Таблица", [
        (201, "Видими колони..."),
        (202, "Естествени ширини\tCtrl + W"),
        None,
        (211, "Оформление на таблицата..."),
        (212, "Оформление на колоните..."),
        None,
        (222, "Сортиране..."),
        (223, "Подбор..."),
        (224, "Възстановяване"),
        None,
        (291, "Избор на шрифт..."),
        None,
        (181, "За продукта..."),
        None,
        (191, "Край на работата\tAlt + F4"),
    ]),
    ("Печат", [
        (301, "Отпечатване...\tCtrl + P"),
        (302, "Настройка на печата..."),
        None,
        (311, "Експорт..."),
    ]),
]
CONTEXT_MENU = [
    (201, "Видими колони..."),
    (202, "Естествени ширини"),
    (211, "Оформление на таблицата..."),
    (212, "Оформление на колоните..."),
    None,
    (301, "Отпечатване..."),
]
# Items whose command opens a window or ends the program are driven by their own tests.
QUIET_ITEMS = [(p, i, item) for p, (_, items) in enumerate(MENU_BAR)
               for i, item in enumerate(items) if item and item[0] not in (181, 191, 291)]
MF_SEPARATOR = 0x800
MFS_GRAYED_OR_DISABLED = 0x3
MFS_CHECKED = 0x8
ABOUT_CAPTION = " За продукта и производителя"
ABOUT_FRAME_ID, ABOUT_ICON_ID = 1101, 1102
ABOUT_TEXT_IDS = [1103, 1104, 1105, 1106]
WM_RBUTTONDOWN = 0x0204
WM_CHAR = 0x0102
# The grid does not yet pass keys, accelerator commands and right clicks on to the main window.
POPUP_MENU_CLASS = "#32768"


@dataclass
class MenuItem:
    depth: int
    id: int
    type: int
    state: int
    has_submenu: bool
    rect: tuple[int, int, int, int]  # on the screen while the menu is shown
    text: str

    @property
    def separator(self) -> bool:
        return bool(self.type & MF_SEPARATOR)

    @property
    def centre(self) -> tuple[int, int]:
        left, top, right, bottom = self.rect
        return (left + right) // 2, (top + bottom) // 2


def read_menu(driver, window) -> list[MenuItem]:
    """The menu of a window (its menu bar, or the menu a popup menu window shows), depth first."""
    items = []
    for field in driver.call_raw(["menu", window.handle])[1]:
        parts = field.split(",", 9)
        depth, item_id, item_type, state, submenu, left, top, right, bottom = parts[:9]
        items.append(MenuItem(int(depth), int(item_id), int(item_type, 16), int(state, 16),
                              submenu == "1", (int(left), int(top), int(right), int(bottom)),
                              _decode_field(parts[9])))
    return items


def menu_structure(items: list[MenuItem]):
    """The items as MENU_BAR lists them: drop-downs with (id, text) or None for a separator."""
    structure = []
    for item in items:
        if item.depth == 0:
            structure.append((item.text, []))
        else:
            structure[-1][1].append(None if item.separator else (item.id, item.text))
    return structure


def flat_items(items: list[MenuItem]):
    return [None if item.separator else (item.id, item.text) for item in items]


class CommandSpy:
    """Records the WM_COMMANDs that reach the program's main window from now on."""

    def __init__(self, lintaro):
        self.lintaro = lintaro
        self.driver = lintaro.driver
        self.driver.call("spy", lintaro.main.handle)

    def ids(self) -> list[int]:
        return [int(f.split(",")[0]) for f in self.driver.call("commands", self.lintaro.main.handle)]

    def wait_ids(self, count: int, timeout: float = 5.0) -> list[int]:
        deadline = time.monotonic() + timeout
        while len(self.ids()) < count and time.monotonic() < deadline:
            time.sleep(0.05)
        time.sleep(0.2)  # and nothing more arrives
        return self.ids()

    def clear(self) -> None:
        self.driver.call("spy", self.lintaro.main.handle)


def popup_windows(lintaro):
    return lintaro.driver.find(window_class=POPUP_MENU_CLASS, exe=lintaro.windows_exe, visible=True)


def wait_popup(lintaro, count: int = 1, timeout: float = 5.0):
    deadline = time.monotonic() + timeout
    while True:
        popups = popup_windows(lintaro)
        if len(popups) >= count:
            return popups
        if time.monotonic() > deadline:
            raise HarnessError(f"no popup menu within {timeout} s")
        time.sleep(0.05)


def wait_no_popup(lintaro, timeout: float = 5.0) -> bool:
    deadline = time.monotonic() + timeout
    while popup_windows(lintaro):
        if time.monotonic() > deadline:
            return False
        time.sleep(0.05)
    return True


def keys_to_item(drop_down: int, index: int) -> list[str]:
    """Alt opens the menu bar on its first title; Right moves along the bar, Down opens the
    drop-down on its first item and moves on, skipping separators."""
    items = MENU_BAR[drop_down][1]
    steps = sum(1 for item in items[:index] if item is not None)
    return ["alt"] + ["Right"] * drop_down + ["Down"] * (1 + steps) + ["Return"]


@pytest.fixture
def started(lintaro):
    lintaro.start()
    time.sleep(0.3)
    return lintaro


def test_menu_bar_has_the_items_texts_and_separators_in_order(started, driver):
    items = read_menu(driver, started.main)
    assert menu_structure(items) == MENU_BAR
    # No item is ever greyed, disabled or checked.
    for item in items:
        if not item.separator:
            assert item.state & (MFS_GRAYED_OR_DISABLED | MFS_CHECKED) == 0, item
    assert [i.has_submenu for i in items if i.depth == 0] == [True, True]


@pytest.mark.parametrize("drop_down,index,item", QUIET_ITEMS,
                         ids=[f"{item[0]}" for _, _, item in QUIET_ITEMS])
def test_each_menu_item_by_keyboard_sends_its_command(started, drop_down, index, item):
    spy = CommandSpy(started)
    started.key(*keys_to_item(drop_down, index))
    assert spy.wait_ids(1) == [item[0]]
    assert wait_no_popup(started)
    assert started.is_running()


def open_drop_down_with_mouse(lintaro, driver, drop_down: int):
    bar = read_menu(driver, lintaro.main)
    title = [item for item in bar if item.depth == 0][drop_down]
    assert title.rect[2] > title.rect[0], "the menu bar title has a rectangle on the screen"
    x, y = title.centre
    main_x, main_y = lintaro.main.info().client_origin
    lintaro.click(x - main_x, y - main_y)
    return wait_popup(lintaro)[0]


@pytest.mark.parametrize("drop_down,index,item", QUIET_ITEMS,
                         ids=[f"{item[0]}" for _, _, item in QUIET_ITEMS])
def test_each_menu_item_by_mouse_sends_its_command(started, driver, drop_down, index, item):
    spy = CommandSpy(started)
    popup = open_drop_down_with_mouse(started, driver, drop_down)
    shown = read_menu(driver, popup)
    assert flat_items(shown) == MENU_BAR[drop_down][1]
    x, y = shown[index].centre
    main_x, main_y = started.main.info().client_origin
    started.click(x - main_x, y - main_y)
    assert spy.wait_ids(1) == [item[0]]
    assert wait_no_popup(started)


def test_escape_closes_an_open_drop_down_without_a_command(started, driver):
    spy = CommandSpy(started)
    started.key("alt", "Down")
    wait_popup(started)
    started.key("Escape", "Escape")
    assert wait_no_popup(started)
    assert spy.wait_ids(0) == []


def check_about_box(lintaro, driver) -> None:
    box = lintaro.wait_dialog(ABOUT_CAPTION)
    info = box.info()
    assert info.owner == lintaro.main.handle
    texts = {child.control_id: (child.class_name, child.text) for child in box.children()}
    assert [texts[i] for i in ABOUT_TEXT_IDS] == [
        ("Static", "Lintaro"), ("Static", "Версия 2.0"), ("Static", "Програма за форматиране"),
        ("Static", "и отпечатване на таблици")]
    assert texts[IDOK] == ("Button", "Ok")
    assert box.item(IDOK).info().style & 0xF == 0x1  # the default push button
    assert box.item(ABOUT_ICON_ID).info().style & 0x1F == 0x3  # SS_ICON
    assert box.item(ABOUT_FRAME_ID).info().style & 0x1F == 0x12  # SS_ETCHEDFRAME
    return box


def test_about_box_opens_from_the_menu_and_closes_with_ok(started, driver, test_env):
    started.key(*keys_to_item(0, MENU_BAR[0][1].index((181, "За продукта..."))))
    box = check_about_box(started, driver)
    shot = started.screenshot(test_env.screenshot_dir / "about-box.png", window=box)
    # The frame, icon and texts draw on the dialog face: more than one colour in the picture.
    assert colour_count(shot, (0, 0, 0)) > 0
    ok = box.item(IDOK).info()
    box_origin = box.info().client_origin
    started.click((ok.rect[0] + ok.rect[2]) // 2 - box_origin[0],
                  (ok.rect[1] + ok.rect[3]) // 2 - box_origin[1], window=box)
    box.wait_gone()
    assert started.is_running()
    assert started.dialogs() == []


def test_about_box_by_mouse_closes_with_escape(started, driver):
    popup = open_drop_down_with_mouse(started, driver, 0)
    about = [i for i in read_menu(driver, popup) if i.id == 181][0]
    x, y = about.centre
    origin = started.main.info().client_origin
    started.click(x - origin[0], y - origin[1])
    box = check_about_box(started, driver)
    started.key("Escape", window=box)
    box.wait_gone()
    assert started.is_running()


def test_end_of_work_from_the_menu_ends_with_code_0(started):
    main = started.main
    started.key(*keys_to_item(0, len(MENU_BAR[0][1]) - 1))
    assert started.exit_code() == 0
    assert not main.exists()


def test_alt_f4_ends_with_code_0(started):
    main = started.main
    started.key("alt+F4")
    assert started.exit_code() == 0
    assert not main.exists()


def test_the_ctrl_w_character_entry_of_the_accelerators_sends_natural_widths(started):
    spy = CommandSpy(started)
    # Ctrl+W as the ASCII control character 0x17, through the program's own message loop.
    started.main.post(WM_CHAR, 0x17, 1)
    assert spy.wait_ids(1) == [202]


def test_accelerators_work_while_the_grid_has_the_focus(started, driver):
    grid = started.grid_window()
    spy = CommandSpy(started)
    started.click(200, 200)  # a click on the table gives it the keyboard focus
    started.key("ctrl+w")
    started.key("ctrl+p")
    assert spy.wait_ids(2) == [202, 301]
    assert grid.exists()


def test_right_click_on_the_table_opens_the_context_menu_at_the_pointer(started, driver, test_env):
    spy = CommandSpy(started)
    started.click(300, 200, button=3)
    popup = wait_popup(started)[0]
    items = read_menu(driver, popup)
    assert flat_items(items) == CONTEXT_MENU
    origin = started.main.info().client_origin
    assert popup.info().rect[:2] == (origin[0] + 300, origin[1] + 200)
    started.screenshot(test_env.screenshot_dir / "context-menu.png")
    # Choosing "Отпечатване..." sends the same command as the menu bar item.
    x, y = items[-1].centre
    started.click(x - origin[0], y - origin[1])
    assert spy.wait_ids(1) == [301]
    assert wait_no_popup(started)


def test_right_button_in_the_main_window_shows_the_context_menu_there(started, driver, test_env):
    """The main window's own right-button handling (the table forwards its clicks to it)."""
    spy = CommandSpy(started)
    started.main.post(WM_RBUTTONDOWN, 0x0002, (120 << 16) | 300)
    popup = wait_popup(started)[0]
    items = read_menu(driver, popup)
    assert flat_items(items) == CONTEXT_MENU
    origin = started.main.info().client_origin
    assert popup.info().rect[:2] == (origin[0] + 300, origin[1] + 120)
    started.screenshot(test_env.screenshot_dir / "context-menu.png")
    x, y = items[-1].centre
    started.click(x - origin[0], y - origin[1])
    assert spy.wait_ids(1) == [301]
    assert wait_no_popup(started)


@pytest.mark.parametrize("keys", ["shift+F10", "Menu"])
def test_shift_f10_and_the_menu_key_open_the_context_menu_at_the_tables_top_left(started, driver, keys):
    spy = CommandSpy(started)
    started.key(keys)
    popups = wait_popup(started)
    time.sleep(0.5)
    assert len(popup_windows(started)) == 1, "one menu, not one per key event"
    items = read_menu(driver, popups[0])
    assert flat_items(items) == CONTEXT_MENU
    assert popups[0].info().rect[:2] == started.grid_window().info().client_origin
    # The menu works as after a right click: Down, Down, Return chooses its second item.
    started.key("Down", "Down", "Return")
    assert spy.wait_ids(1) == [CONTEXT_MENU[1][0]]
    assert wait_no_popup(started)
    # F10 alone stays the menu bar's key.
    started.key("F10", "Escape")
    assert popup_windows(started) == []


@pytest.mark.parametrize("index", [0, 1, 2, 3])
def test_context_menu_items_by_keyboard(started, index):
    spy = CommandSpy(started)
    started.main.post(WM_RBUTTONDOWN, 0x0002, (250 << 16) | 250)
    wait_popup(started)
    started.key(*(["Down"] * (index + 1)), "Return")
    assert spy.wait_ids(1) == [CONTEXT_MENU[index][0]]


def test_font_chooser_opens_over_the_grid_and_cancel_changes_nothing(started, test_env):
    before = started.screenshot(test_env.screenshot_dir / "font-before.png", client=True)
    started.key(*keys_to_item(0, MENU_BAR[0][1].index((291, "Избор на шрифт..."))))
    chooser = started.wait_dialog()
    # Owned by the grid window, the chooser belongs to the grid's top-level window.
    assert chooser.info().owner == started.main.handle
    started.screenshot(test_env.screenshot_dir / "font-chooser.png", window=chooser)
    chooser.click(IDCANCEL)
    chooser.wait_gone()
    after = started.screenshot(test_env.screenshot_dir / "font-after-cancel.png", client=True)
    assert image_pixels(before) == image_pixels(after)


# ----------------------------------------------------------------------------------------------
# Closing the main window while a command waits for the user

EXPORT_CAPTION, PAGES_CAPTION = " Експорт на таблица", " Отпечатване на таблица"
EXPORT_PATH_ID, CHOOSE_FILE_ID = 101, 703
# A4 on the default Windows printer; LPT1 with sheets fed by hand (a prompt before each page).
WINDOWS_PRINTER_CFG = struct.pack("<11i260s", 0, 0, 21000, 1500, 1000, 29700, 1000, 1000, 0, 0, 0, b"")
MANUAL_LPT1_CFG = struct.pack("<11i260s", 2, 0, 80, 0, 0, 60, 0, 0, 0, 0, 0, b"LPT1")


def wide_table() -> str:
    """A table far wider than A4, so that printing on a Windows printer asks first."""
    titles = ["Име"] + [f"Колона{n}" for n in range(1, 9)]
    rows = ["\t".join([f"ред {r}"] + ["широко съдържание на клетката" for _ in titles[1:]])
            for r in range(1, 6)]
    return "\r\n".join(["WindowTitle: Затваряне", "Titles:", "\t".join(titles), "Types:",
                        "\t".join(["Text"] * len(titles)), "Data:", *rows]) + "\r\n"


def open_by_command(command_id):
    def open_it(app):
        app.post_command(command_id)
        return app.wait_dialog()
    return open_it


def answer_too_wide_then(app):
    app.post_command(301)
    box = app.wait_dialog()
    box.click(IDOK)
    box.wait_gone()
    return app.wait_dialog(PAGES_CAPTION)


def sheet_prompt(app):
    dialog = answer_too_wide_then(app)  # the table is wider than the dot-matrix paper as well
    dialog.click(IDOK)
    dialog.wait_gone()
    return app.wait_dialog()


def export_dialog_then(step):
    def open_it(app):
        app.post_command(311)
        dialog = app.wait_dialog(EXPORT_CAPTION)
        return step(app, dialog)
    return open_it


def file_chooser(app, dialog):
    dialog.click(CHOOSE_FILE_ID)
    return app.driver.wait(window_class="#32770", owner=dialog, visible=True)


def replace_question(app, dialog):
    dialog.set_control_text(EXPORT_PATH_ID, windows_path(app.folder / "old.txt"))
    dialog.click(IDOK)
    return app.driver.wait(window_class="#32770", owner=dialog, visible=True)


def cannot_create_message(app, dialog):
    dialog.set_control_text(EXPORT_PATH_ID, windows_path(app.folder / "no-such-folder" / "out.txt"))
    dialog.click(IDOK)
    dialog.wait_gone()
    return app.wait_dialog()


def changed_dialog(command_id, column=None, boxes=()):
    """A dialog with check boxes changed and not yet taken (the sum boxes, say)."""
    def open_it(app):
        app.post_command(command_id)
        dialog = app.wait_dialog()
        if column is not None:
            dialog.select_combo(101, column)
        for box in boxes:
            dialog.set_checked(box, True)
        return dialog
    return open_it


def context_menu(app):
    app.main.post(WM_RBUTTONDOWN, 0x0002, (200 << 16) | 300)
    return wait_popup(app)[0]


CLOSE_DURING = {
    "context-menu": (WINDOWS_PRINTER_CFG, context_menu),
    "about": (WINDOWS_PRINTER_CFG, open_by_command(181)),
    "visible-columns": (WINDOWS_PRINTER_CFG, open_by_command(201)),
    "table-appearance": (WINDOWS_PRINTER_CFG, open_by_command(211)),
    "column-appearance": (WINDOWS_PRINTER_CFG, open_by_command(212)),
    "table-appearance-sums-changed": (WINDOWS_PRINTER_CFG, changed_dialog(211, boxes=(151, 152, 153, 154))),
    "column-appearance-sum-changed": (WINDOWS_PRINTER_CFG, changed_dialog(212, "Колона1", boxes=(135,))),
    "sort": (WINDOWS_PRINTER_CFG, open_by_command(222)),
    "filter": (WINDOWS_PRINTER_CFG, open_by_command(223)),
    "font-chooser": (WINDOWS_PRINTER_CFG, open_by_command(291)),
    "too-wide-question": (WINDOWS_PRINTER_CFG, open_by_command(301)),
    "pages-to-print": (WINDOWS_PRINTER_CFG, answer_too_wide_then),
    "sheet-prompt": (MANUAL_LPT1_CFG, sheet_prompt),
    "print-setup": (WINDOWS_PRINTER_CFG, open_by_command(302)),
    "export": (WINDOWS_PRINTER_CFG, open_by_command(311)),
    "export-file-chooser": (WINDOWS_PRINTER_CFG, export_dialog_then(file_chooser)),
    "export-replace-question": (WINDOWS_PRINTER_CFG, export_dialog_then(replace_question)),
    "export-error-message": (WINDOWS_PRINTER_CFG, export_dialog_then(cannot_create_message)),
}


@pytest.mark.parametrize("case", list(CLOSE_DURING))
def test_closing_the_main_window_while_a_command_waits_ends_with_code_0_and_saves_the_layout(
        lintaro, test_env, case):
    cfg, open_modal = CLOSE_DURING[case]
    folder = lintaro.prepare(printer_cfg=cfg, files={"table.rdf": wide_table(), "old.txt": "old"})
    layout = folder / "table.fmt"
    lintaro.start([folder / "table.rdf", layout])
    test_env.clear_lpt1()
    modal = open_modal(lintaro)
    lintaro.screenshot(test_env.screenshot_dir / f"close-during-{case}.png", window=modal)
    lintaro.main.post(WM_CLOSE)
    assert lintaro.exit_code() == 0
    # The natural widths found at loading were kept: the layout file was written whole.
    written = layout.read_bytes()
    assert struct.unpack_from("<IHHHI", written) == (12345678, 20, 128, 48, 10)
    assert len(written) == 128 + 10 * 48
    # What the open dialog had changed was never taken: no column summed.
    assert all(not struct.unpack_from("<I", written, 128 + 48 * i + 4)[0] & 0x80 for i in range(10))
    assert (folder / "old.txt").read_bytes() == b"old"
    if case == "sheet-prompt":
        assert test_env.read_lpt1() == b"", "nothing printed after the prompt was closed"

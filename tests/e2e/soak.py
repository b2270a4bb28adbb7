#!/usr/bin/python3
"""Soak run of the real lintaro.exe under Wine: start/close cycles on one layout file, then
thousands of random commands on one running program, counting what the program holds.

    soak.py [--cycles N] [--commands N] [--seed S] [--out DIR] [--replay COMMANDS.jsonl]

Needs the test environment (scripts/test-env.sh, lintaro_env_start) and the Windows build
(lintaro.exe, wdrive.exe and its hooks); scripts/soak.sh does all of it. tests/e2e/test_soak.py
runs a short soak as part of the suite.

Counts come from inside the program through the driver's resource hook
(tests/e2e/driver/wdrive_resource_hook.cpp): GDI objects by walking the GDI handle table with
GetObjectType, USER objects (own windows, menus, cursors and icons, accelerator tables), kernel
handles from the system handle list, and memory. Under Wine 8 GetGuiResources and
GetProcessHandleCount are stubs that answer 0; their answers are logged beside the counts.

Cycles: the program starts on the sample table and a layout file, and closes as a user closes it
(WM_CLOSE, Alt+F4, the "Край на работата" command in turn). Every cycle must end with exit code 0,
without a message box or a crash report, and leave the layout file as the reader of
layout_file_reader.py expects: untouched, or with exactly the change made in that cycle.

Commands: sorting, filtering, restoring, visible columns, table and column appearance, the table
font, print setup, natural widths, scrolling, column edges dragged and the context menu. A plan of
random commands is made from the seed alone (so the same seed gives the same plan, whatever the
program does); each plan entry holds numbers that are applied modulo what the dialog offers when
it runs. Every command goes the way a user's does: the menu command id posted to the main window
and its dialog filled and confirmed through the driver, the keyboard (Ctrl+W, scrolling keys,
Enter and Escape in dialogs), the mouse on the grid (column edges, the scroll bars, the context
menu). The plan and the outcome of every command are logged as JSON lines; --replay runs a
logged plan again.

A leak is a count of GDI objects, USER objects or kernel handles that grows with the number of
commands or cycles: the counts after a warm-up are compared with the counts at the end, and a
least-squares slope per 1000 commands is given. Heap and memory figures are reported beside them;
the first use of a dialog, a cursor or a printer fills caches of Wine's once, which shows as a step
before the middle of the run, not as growth after it.

About once in a thousand starts Wine's loader cannot set the new process up and it ends with code 1
before any code of the program runs; such a start is noted and tried again (WINE_LOADER_FAILURE).
"""

from __future__ import annotations

import argparse
import json
import os
import random
import re
import shutil
import subprocess
import sys
import time
from contextlib import contextmanager
from dataclasses import dataclass, field
from pathlib import Path
from typing import Callable, Optional

sys.path.insert(0, str(Path(__file__).resolve().parent))

from layout_file_reader import LayoutFile, LayoutFileError, read_layout  # noqa: E402
from lintaro_harness import (  # noqa: E402
    IDCANCEL,
    IDOK,
    MESSAGE_TEXT_ID,
    Driver,
    HarnessError,
    Lintaro,
    TestEnvironment,
    Window,
)

REPOSITORY = Path(__file__).resolve().parents[2]
SAMPLE_TABLE = REPOSITORY / "tests" / "samples" / "sales-bg.rdf"
# The sample's columns: the grid's row numbers, then the store's columns 11 .. 16.
TITLES_BY_SOURCE = {-1: "No", 11: "№", 12: "Име", 13: "Град", 14: "Сума", 15: "Дата", 16: "Бележка"}

# Command ids (resources/resource_ids.h).
IDM_EXIT, IDM_VISIBLE_COLUMNS, IDM_NATURAL_WIDTHS = 191, 201, 202
IDM_TABLE_APPEARANCE, IDM_COLUMN_APPEARANCE = 211, 212
IDM_SORT, IDM_FILTER, IDM_RESTORE_ROWS = 222, 223, 224
IDM_CHOOSE_FONT, IDM_PRINT_SETUP = 291, 302
IDC_GRID = 1001

# Dialogs: captions and control ids.
VISIBLE_CAPTION = " Подбор на видими колони"
SORT_CAPTION = " Сортиране на таблицата"
FILTER_CAPTION = " Подбор"
TABLE_CAPTION = " Оформление на таблицата"
COLUMN_CAPTION = " Оформление на колоните"
VISIBLE_LIST, VISIBLE_ALL, VISIBLE_NONE = 101, 701, 702
SORT_COLUMN, SORT_ORDER, SORT_TYPE = 101, 102, 103
FILTER_COLUMN, FILTER_FROM, FILTER_TO, FILTER_TYPE = 101, 111, 112, 121
TABLE_CHECK_BOXES = {101: 0x1, 102: 0x2, 103: 0x4, 104: 0x8, 131: 0x10, 132: 0x20, 133: 0x40,
                     134: 0x80, 135: 0x100}
TABLE_LINE_TYPE, TABLE_CELL_HEIGHT, TABLE_PAGE_NUMBERS = 111, 112, 121
CELL_HEIGHTS = [0, 20, 40, 60, 80, 100]
COLUMN_LIST, COLUMN_TITLE, COLUMN_ALIGNMENT = 101, 111, 121
COLUMN_BOLD, COLUMN_TEXT_FLOW, COLUMN_LINE_LIMIT, COLUMN_ABBREVIATE = 131, 132, 133, 134
SETUP_CAPTION = " Настройка на печата"
SETUP_TARGET, SETUP_PRINTERS = 101, 111
# The font chooser's lists of faces and of sizes (cmb1, cmb3 of the common dialog).
FONT_FACE, FONT_SIZE = 0x470, 0x472

MESSAGE_TITLE = "Lintaro 2.0"
# The messages a soak may meet; anything else is a failure.
EXPECTED_MESSAGES = {
    "Няма записи, отговарящи\r\nна зададеното условие.": "no-match",
    "В таблицата трябва да има\r\nпоне една видима колона !": "no-visible-column",
}
POPUP_MENU_CLASS = "#32768"
WM_CHAR, WM_HSCROLL, WM_VSCROLL = 0x0102, 0x0114, 0x0115
SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN, SB_THUMBTRACK = 0, 1, 2, 3, 5

# The counts a leak is judged by.
LEAK_KEYS = ("gdi", "user", "handles")


# --------------------------------------------------------------------------------------------
# Counting inside the program


def read_counts(driver: Driver, window: Window) -> dict[str, int]:
    """What the program that owns `window` holds now (see wdrive_resource_hook.cpp)."""
    fields = driver.call("resources", window.handle, "count", timeout=40)
    return {key: int(value) for key, value in (f.split("=", 1) for f in fields)}


def settle(driver: Driver, window: Window, timeout: float = 10.0) -> None:
    """Waits until the program's thread has taken every message posted before and no keyboard
    or mouse input waits in its queue."""
    deadline = time.monotonic() + timeout
    while True:
        if driver.call("resources", window.handle, "sync") == ["input=0"]:
            return
        if time.monotonic() > deadline:
            raise HarnessError("the program's input queue did not empty")
        time.sleep(0.01)


def unix_memory_kb(pid: int) -> dict[str, int]:
    """Resident set size and its peak of a Unix process (the Wine process of the program)."""
    values = {}
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                values[key] = int(rest.split()[0])
    except OSError:
        pass
    return values


# What Wine's loader says when it cannot set a new process up (the address it needs for the
# shared user data is taken); seen about once in a thousand starts, before any code of the program
# runs. The process then ends with code 1.
WINE_LOADER_FAILURE = "failed to map the shared user data"


@contextmanager
def loader_errors_logged():
    """Lets the processes started inside report the loader's errors (the test environment
    silences every channel of Wine's debug output)."""
    saved = os.environ.get("WINEDEBUG")
    os.environ["WINEDEBUG"] = (saved + "," if saved else "") + "err+virtual"
    try:
        yield
    finally:
        if saved is None:
            del os.environ["WINEDEBUG"]
        else:
            os.environ["WINEDEBUG"] = saved


def start_program(make_app: "AppFactory", name: str, args: list, folder: Path, result: "SoakResult",
                  attempts: int = 3) -> Lintaro:
    """Starts the program; a start that Wine's loader failed (see WINE_LOADER_FAILURE) is noted in
    the result and tried again. Any other failure to start is the program's."""
    for attempt in range(1, attempts + 1):
        app = make_app(name)
        log_size = wine_log_size(folder)
        try:
            with loader_errors_logged():
                app.start(args, folder=folder)
            return app
        except HarnessError:
            app.stop()
            output = wine_output_since(folder, log_size)
            if attempt == attempts or app.process.returncode != 1 or WINE_LOADER_FAILURE not in output:
                raise
            result.wine_start_failures.append(f"{name}: {output.strip().splitlines()[-1]}")
    raise AssertionError("unreachable")


def slope_per_thousand(points: list[tuple[int, int]]) -> float:
    """Least-squares slope of (commands, count) points, in count per 1000 commands."""
    if len(points) < 2:
        return 0.0
    n = len(points)
    mean_x = sum(x for x, _ in points) / n
    mean_y = sum(y for _, y in points) / n
    spread = sum((x - mean_x) ** 2 for x, _ in points)
    if spread == 0:
        return 0.0
    return 1000.0 * sum((x - mean_x) * (y - mean_y) for x, y in points) / spread


# --------------------------------------------------------------------------------------------
# Real input (X server)


def xdotool(*args) -> None:
    subprocess.run(["xdotool", *map(str, args)], check=True)


def grab_rgb(rect: tuple[int, int, int, int]) -> tuple[int, int, bytes]:
    """Width, height and RGB bytes of a screen area (left, top, right, bottom)."""
    left, top, right, bottom = rect
    width, height = right - left, bottom - top
    data = subprocess.run(["import", "-silent", "-window", "root", "-crop", f"{width}x{height}+{left}+{top}",
                           "+repage", "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    if len(data) != width * height * 3:
        raise HarnessError("unexpected screen grab size")
    return width, height, data


def column_rules(width: int, height: int, data: bytes, y: int, reach: int = 10) -> list[int]:
    """x of the vertical rules through row y of a grab: pixels dark from y - reach to y + reach
    (taller than any glyph of the table font), runs of adjacent x (thick and double rules) taken
    by their first x."""
    if y - reach < 0 or y + reach >= height:
        return []

    def dark(x: int, row: int) -> bool:
        offset = (row * width + x) * 3
        return data[offset] + data[offset + 1] + data[offset + 2] < 200

    rules: list[int] = []
    for x in range(width):
        if all(dark(x, row) for row in range(y - reach, y + reach + 1)):
            if not rules or x - rules[-1] > 3:
                rules.append(x)
    return rules


# --------------------------------------------------------------------------------------------
# The plan


FILTER_TEXTS = ["София", "Пловдив", "Варна", "Бургас", "Русе", "А", "Г", "Д", "М", "Я", "доставено",
                "Иван", "xyz", "", " ", "abc", "-", "1e999", "9" * 40, "Я" * 126, " 12 ", "0,5", "--3",
                "01.03.2026", "31.12.2026", "15.07.2026"]
COLUMN_TITLES = ["Клиент", "Сума (лв.)", "", "Ж" * 150, "Дълго заглавие на колоната"]
SCROLL_KEYS = ["Next", "Prior", "Down", "Up", "ctrl+Next", "ctrl+Prior"]
SCROLL_CLICKS = ["v_line_up", "v_line_down", "v_page_up", "v_page_down", "h_line_left", "h_line_right",
                 "h_page_left", "h_page_right"]

# Kind of command → weight in the plan.
WEIGHTS = {
    "sort": 12, "filter": 10, "restore": 6, "visible": 8, "table_look": 10, "column_look": 8,
    "natural_widths": 8, "scroll_key": 12, "scroll_bar": 8, "scroll_click": 5, "resize": 10,
    "context_menu": 3, "font": 3, "print_setup": 3,
}


def _confirm(rng: random.Random) -> str:
    return rng.choice(["ok"] * 7 + ["cancel", "enter", "escape"])


def _filter_value(rng: random.Random) -> str:
    choice = rng.randrange(4)
    if choice == 0:
        return str(rng.randint(0, 320))
    if choice == 1:
        return f"{rng.randint(1000, 9999)}.{rng.randint(0, 99):02d}"
    return rng.choice(FILTER_TEXTS)


def make_plan(kind: str, rng: random.Random) -> dict:
    """One command with every choice it needs drawn from `rng` (numbers applied modulo what the
    program offers when it runs)."""
    plan: dict = {"kind": kind}
    if kind == "sort":
        plan.update(column=rng.randrange(1000), order=rng.randrange(2), type=rng.randrange(2), confirm=_confirm(rng))
    elif kind == "filter":
        plan.update(column=rng.randrange(1000), low=_filter_value(rng), high=_filter_value(rng),
                    type=rng.randrange(2), confirm=_confirm(rng))
    elif kind == "visible":
        mode = rng.choice(["toggle"] * 6 + ["none", "all"])
        plan.update(mode=mode, lines=[rng.randrange(1000) for _ in range(rng.randint(1, 3))], confirm=_confirm(rng))
    elif kind == "table_look":
        changes = []
        for _ in range(rng.randint(1, 3)):
            control = rng.choice(list(TABLE_CHECK_BOXES) + [TABLE_LINE_TYPE, TABLE_CELL_HEIGHT, TABLE_PAGE_NUMBERS])
            changes.append([control, rng.randrange(1000)])
        plan.update(changes=changes, confirm=_confirm(rng))
    elif kind == "column_look":
        plan.update(column=rng.randrange(1000), alignment=rng.randrange(3), bold=rng.randrange(2),
                    flow=rng.randrange(2), limit=rng.randrange(8), abbreviate=rng.randrange(2),
                    title=rng.choice(COLUMN_TITLES) if rng.randrange(10) == 0 else None, confirm=_confirm(rng))
    elif kind == "font":
        plan.update(face=rng.randrange(1000), size=rng.randrange(1000), confirm=_confirm(rng))
    elif kind == "print_setup":
        plan.update(target=rng.randrange(3), printer=rng.randrange(1000), confirm=_confirm(rng))
    elif kind == "natural_widths":
        plan.update(via=rng.choice(["ctrl+w", "ctrl+w", "post", "char"]))
    elif kind == "scroll_key":
        plan.update(key=rng.choice(SCROLL_KEYS), times=rng.randint(1, 4))
    elif kind == "scroll_bar":
        plan.update(bar=rng.choice("VH"), code=rng.choice([SB_LINEUP, SB_LINEDOWN, SB_PAGEUP, SB_PAGEDOWN, SB_THUMBTRACK]),
                    position=rng.randrange(4000))
    elif kind == "scroll_click":
        plan.update(part=rng.choice(SCROLL_CLICKS))
    elif kind == "resize":
        plan.update(edge=rng.randrange(1000), delta=rng.choice([d for d in range(-60, 84, 6) if d]),
                    row=rng.randrange(1000))
    elif kind == "context_menu":
        plan.update(choice=rng.choice(["escape", "natural_widths", "visible_cancel"]), x=rng.randrange(1000),
                    y=rng.randrange(1000))
    return plan


def warmup_length(count: int) -> int:
    """Commands before the counts a leak is judged from: every kind twice (the first use of a
    dialog, a cursor or a printer fills caches of Wine's for good), then a tenth of the rest."""
    every_kind = 2 * len(WEIGHTS)
    return min(count, every_kind + max(0, count - every_kind) // 10)


def make_plans(seed: int, count: int) -> list[dict]:
    """The plan of `count` commands: every kind twice in a row, then kinds drawn by weight."""
    rng = random.Random(seed)
    kinds = list(WEIGHTS)
    weights = [WEIGHTS[k] for k in kinds]
    order = (kinds * 2)[:count] + [rng.choices(kinds, weights)[0] for _ in range(max(0, count - 2 * len(kinds)))]
    return [make_plan(kind, rng) for kind in order]


# --------------------------------------------------------------------------------------------
# Working the program


def pick_combo(dialog: Window, control: int, number: int) -> None:
    """Chooses entry `number` modulo the entries of a drop-down list, as a user's pick (nothing
    when the list is empty)."""
    count = len(dialog.combo_items(control))
    if count:
        dialog.select_combo(control, number % count)


class Session:
    """One running program and the ways a user works it."""

    def __init__(self, app: Lintaro, driver: Driver):
        self.app = app
        self.driver = driver
        self.main = app.main
        self.grid = app.grid_window(IDC_GRID)

    def settle(self) -> None:
        settle(self.driver, self.main)

    def counts(self) -> dict[str, int]:
        self.settle()
        values = read_counts(self.driver, self.main)
        values.update(unix_memory_kb(self.app.process.pid))
        return values

    def foreground(self, window: Optional[Window] = None) -> None:
        window = window or self.main
        if self.driver.call("foreground")[0] != window.handle:
            window.make_foreground()

    def keys(self, *combos: str, window: Optional[Window] = None) -> None:
        self.foreground(window)
        xdotool("key", "--delay", "20", *combos)
        time.sleep(0.03)
        self.settle()

    def open_dialog(self, command: int, caption: str) -> Window:
        self.app.post_command(command)
        return self.app.wait_dialog(caption, timeout=10)

    def message_boxes(self) -> list[Window]:
        return [w for w in self.app.dialogs() if w.info().caption == MESSAGE_TITLE]

    def dismiss_messages(self) -> list[str]:
        """Closes every message box of the program with its OK button; returns their kinds."""
        kinds = []
        for box in self.message_boxes():
            text = box.control_text(MESSAGE_TEXT_ID)
            if text not in EXPECTED_MESSAGES:
                raise HarnessError(f"unexpected message: {text!r}")
            kinds.append(EXPECTED_MESSAGES[text])
            box.click(IDOK)
            box.wait_gone()
        return kinds

    def finish(self, dialog: Window, confirm: str) -> str:
        """Confirms or cancels a dialog the way `confirm` says; returns the outcome, with the kinds
        of the messages that followed."""
        if confirm == "ok":
            dialog.click(IDOK)
        elif confirm == "cancel":
            dialog.click(IDCANCEL)
        else:
            self.keys("Return" if confirm == "enter" else "Escape", window=dialog)
        self.settle()
        messages = self.dismiss_messages()
        outcome = confirm if not messages else confirm + ":" + ",".join(messages)
        if dialog.exists():
            # Still open after a refusal: the visible columns dialog takes every column again,
            # any other is cancelled.
            if messages == ["no-visible-column"]:
                dialog.click(VISIBLE_ALL)
                dialog.click(IDOK)
                outcome += ":all"
            else:
                dialog.click(IDCANCEL)
                outcome += ":cancel"
        dialog.wait_gone()
        self.settle()
        return outcome

    # ---- the commands ----
    def sort(self, plan: dict) -> str:
        dialog = self.open_dialog(IDM_SORT, SORT_CAPTION)
        # With only the row numbers visible the list is empty, and OK must still be safe.
        pick_combo(dialog, SORT_COLUMN, plan["column"])
        dialog.select_combo(SORT_ORDER, plan["order"])
        dialog.select_combo(SORT_TYPE, plan["type"])
        return self.finish(dialog, plan["confirm"])

    def filter(self, plan: dict) -> str:
        dialog = self.open_dialog(IDM_FILTER, FILTER_CAPTION)
        pick_combo(dialog, FILTER_COLUMN, plan["column"])
        dialog.set_control_text(FILTER_FROM, plan["low"])
        dialog.set_control_text(FILTER_TO, plan["high"])
        dialog.select_combo(FILTER_TYPE, plan["type"])
        return self.finish(dialog, plan["confirm"])

    def restore(self, plan: dict) -> str:
        self.app.post_command(IDM_RESTORE_ROWS)
        self.settle()
        return "done"

    def visible(self, plan: dict) -> str:
        dialog = self.open_dialog(IDM_VISIBLE_COLUMNS, VISIBLE_CAPTION)
        if plan["mode"] == "none":
            dialog.click(VISIBLE_NONE)
        elif plan["mode"] == "all":
            dialog.click(VISIBLE_ALL)
        else:
            count = len(dialog.list_items(VISIBLE_LIST))
            selected = set(dialog.list_selected(VISIBLE_LIST))
            for line in plan["lines"]:
                index = line % count
                dialog.set_list_selected(VISIBLE_LIST, index, index not in selected)
                selected ^= {index}
        return self.finish(dialog, plan["confirm"])

    def table_look(self, plan: dict) -> str:
        dialog = self.open_dialog(IDM_TABLE_APPEARANCE, TABLE_CAPTION)
        for control, value in plan["changes"]:
            if control in TABLE_CHECK_BOXES:
                dialog.set_checked(control, not dialog.is_checked(control))
            else:
                pick_combo(dialog, control, value)
        return self.finish(dialog, plan["confirm"])

    def column_look(self, plan: dict) -> str:
        dialog = self.open_dialog(IDM_COLUMN_APPEARANCE, COLUMN_CAPTION)
        pick_combo(dialog, COLUMN_LIST, plan["column"])
        dialog.select_combo(COLUMN_ALIGNMENT, plan["alignment"])
        dialog.set_checked(COLUMN_BOLD, bool(plan["bold"]))
        dialog.set_checked(COLUMN_TEXT_FLOW, bool(plan["flow"]))
        if plan["flow"]:
            dialog.select_combo(COLUMN_LINE_LIMIT, plan["limit"])
        else:
            dialog.set_checked(COLUMN_ABBREVIATE, bool(plan["abbreviate"]))
        if plan["title"] is not None:
            dialog.set_control_text(COLUMN_TITLE, plan["title"])
        return self.finish(dialog, plan["confirm"])

    def font(self, plan: dict) -> str:
        """The table font from the font chooser: a face, then one of the sizes it offers."""
        self.app.post_command(IDM_CHOOSE_FONT)
        dialog = self.app.wait_dialog(timeout=10)
        pick_combo(dialog, FONT_FACE, plan["face"])
        self.settle()  # the chooser fills the sizes of the face it was told of
        pick_combo(dialog, FONT_SIZE, plan["size"])
        self.settle()
        return self.finish(dialog, plan["confirm"])

    def print_setup(self, plan: dict) -> str:
        """Where printing goes: the default printer, another one of the list, or LPT1."""
        dialog = self.open_dialog(IDM_PRINT_SETUP, SETUP_CAPTION)
        dialog.select_combo(SETUP_TARGET, plan["target"])
        self.settle()
        if plan["target"] == 1:
            printers = dialog.list_items(SETUP_PRINTERS)
            if printers:
                dialog.select_list(SETUP_PRINTERS, plan["printer"] % len(printers))
                self.settle()
        return self.finish(dialog, plan["confirm"])

    def natural_widths(self, plan: dict) -> str:
        if plan["via"] == "ctrl+w":
            self.keys("ctrl+w")
        elif plan["via"] == "char":
            self.main.post(WM_CHAR, 0x17, 1)  # what TranslateMessage makes of Ctrl+W
            self.settle()
        else:
            self.app.post_command(IDM_NATURAL_WIDTHS)
            self.settle()
        return plan["via"]

    def scroll_key(self, plan: dict) -> str:
        self.keys(*[plan["key"]] * plan["times"])
        return plan["key"]

    def scroll_bar(self, plan: dict) -> str:
        message = WM_VSCROLL if plan["bar"] == "V" else WM_HSCROLL
        self.grid.post(message, plan["code"] | ((plan["position"] & 0xFFFF) << 16), 0)
        self.settle()
        return f"{plan['bar']}{plan['code']}"

    def scroll_click(self, plan: dict) -> str:
        """A click on an arrow or beside the thumb of one of the grid's scroll bars, placed from
        the grid window's rectangle (the bars are 17 pixels thick, inside a 2-pixel edge)."""
        left, top, right, bottom = self.grid.info().rect
        width, height, bar = right - left, bottom - top, 17
        vertical_x, horizontal_y = width - 2 - bar // 2, height - 2 - bar // 2
        x, y = {
            "v_line_up": (vertical_x, 2 + bar // 2),
            "v_line_down": (vertical_x, height - 2 - bar - bar // 2),
            "v_page_up": (vertical_x, 2 + bar + 10),
            "v_page_down": (vertical_x, height - 2 - 2 * bar - 10),
            "h_line_left": (2 + bar // 2, horizontal_y),
            "h_line_right": (width - 2 - bar - bar // 2, horizontal_y),
            "h_page_left": (2 + bar + 10, horizontal_y),
            "h_page_right": (width - 2 - 2 * bar - 10, horizontal_y),
        }[plan["part"]]
        self.foreground()
        xdotool("mousemove", left + x, top + y, "sleep", "0.05", "click", "1")
        time.sleep(0.03)
        self.settle()
        return plan["part"]

    def grid_client_rect(self) -> tuple[int, int, int, int]:
        info = self.grid.info()
        x, y = info.client_origin
        return x, y, x + info.client_size[0], y + info.client_size[1]

    def table_rules(self, row: int = 0) -> tuple[int, list[int]]:
        """A row of the grid's client area that crosses the table, and the x of the vertical
        rules there: rows are tried from the bottom up, starting with the `row`-th (modulo their
        number); (0, []) when none crosses two rules."""
        rect = self.grid_client_rect()
        width, height, data = grab_rgb(rect)
        rows = list(range(height - 14, 24, -12))
        start = row % max(len(rows), 1)
        for y in rows[start:] + rows[:start]:
            rules = column_rules(width, height, data, y)
            if len(rules) >= 2:
                return y, rules
        return 0, []

    def resize(self, plan: dict) -> str:
        """Drags a column's right rule on a table row by `delta` pixels with the mouse."""
        rect = self.grid_client_rect()
        width = rect[2] - rect[0]
        y, rules = self.table_rules(plan["row"])
        if not rules:
            return "no-table-row"
        x = rules[1 + plan["edge"] % (len(rules) - 1)]
        target = max(0, min(width - 1, x + plan["delta"]))
        self.foreground()
        origin_x, origin_y = rect[0], rect[1]
        # No --sync on the moves: xdotool then waits 15 s for a pointer that is already there or
        # that the program's confinement of the cursor during the drag keeps from getting there.
        steps = []
        for step in range(1, 5):
            steps += ["mousemove", origin_x + x + (target - x) * step // 4, origin_y + y, "sleep", "0.02"]
        xdotool("mousemove", origin_x + x, origin_y + y, "sleep", "0.05", "mousedown", "1", "sleep", "0.05",
                *steps, "mouseup", "1")
        time.sleep(0.03)
        self.settle()
        width, height, after = grab_rgb(rect)
        moved = column_rules(width, height, after, y) != rules
        return "moved" if moved else "unchanged"

    def expected_rules(self, layout: LayoutFile) -> list[int]:
        """Where the table of this layout, not scrolled sideways, draws its vertical rules in the
        grid's client area: 4 pixels in, then after each visible column its width and a rule as
        wide as the line type."""
        x, rules = 4, [4]
        for column in layout.columns:
            if column.visible:
                x += layout.style.line_type + column.width
                rules.append(x)
        width = self.grid_client_rect()[2] - self.grid_client_rect()[0]
        return [r for r in rules if r < width]

    def context_menu(self, plan: dict) -> str:
        rect = self.grid_client_rect()
        x = rect[0] + 20 + plan["x"] % max(rect[2] - rect[0] - 40, 1)
        y = rect[1] + 20 + plan["y"] % max(rect[3] - rect[1] - 40, 1)
        self.foreground()
        xdotool("mousemove", x, y, "sleep", "0.05", "click", "3")
        self.wait_popup(True)
        if plan["choice"] == "escape":
            xdotool("key", "Escape")
        elif plan["choice"] == "natural_widths":
            xdotool("key", "--delay", "20", "Down", "Down", "Return")
        else:
            xdotool("key", "--delay", "20", "Down", "Return")
        self.wait_popup(False)
        if plan["choice"] == "visible_cancel":
            dialog = self.app.wait_dialog(VISIBLE_CAPTION, timeout=10)
            return "context:" + self.finish(dialog, "cancel")
        self.settle()
        return plan["choice"]

    def wait_popup(self, shown: bool, timeout: float = 5.0) -> None:
        deadline = time.monotonic() + timeout
        while bool(self.driver.find(window_class=POPUP_MENU_CLASS, exe=self.app.windows_exe, visible=True)) != shown:
            if time.monotonic() > deadline:
                raise HarnessError("the context menu did not " + ("open" if shown else "close"))
            time.sleep(0.03)

    def run(self, plan: dict) -> str:
        return getattr(self, plan["kind"])(plan)

    def recover(self) -> None:
        """After a failed command: closes whatever menus and dialogs of the program are open."""
        for _ in range(5):
            popups = self.driver.find(window_class=POPUP_MENU_CLASS, exe=self.app.windows_exe, visible=True)
            dialogs = self.app.dialogs()
            if not popups and not dialogs:
                return
            if popups:
                xdotool("key", "Escape")
            for dialog in dialogs:
                try:
                    dialog.close()
                except HarnessError:
                    pass
            time.sleep(0.3)


# --------------------------------------------------------------------------------------------
# Results


@dataclass
class SoakResult:
    cycles_done: int = 0
    cycle_failures: list[str] = field(default_factory=list)
    cycle_counts: list[dict] = field(default_factory=list)  # counts of a started program, by cycle
    cycle_peak_rss_kb: int = 0
    wine_start_failures: list[str] = field(default_factory=list)  # loader failures, started again
    layout_loads: Optional[bool] = None
    commands_done: int = 0
    command_failures: list[str] = field(default_factory=list)
    outcomes: dict[str, int] = field(default_factory=dict)
    samples: list[dict] = field(default_factory=list)  # counts by commands done
    warmup: int = 0
    seconds: float = 0.0

    def sample_at(self, commands: int) -> dict:
        """The counts after that many commands (the last ones when the run ended before)."""
        return next((s for s in self.samples if s["commands"] == commands), self.samples[-1])

    def growth(self, key: str) -> int:
        """The count at the end less the count after the warm-up."""
        return self.samples[-1][key] - self.sample_at(self.warmup)[key]

    def middle_sample(self) -> dict:
        """The counts half-way between the warm-up and the end: a cache that fills once shows as a
        step before it, a leak keeps growing after it."""
        half = (self.warmup + self.samples[-1]["commands"]) // 2
        return min(self.samples, key=lambda s: abs(s["commands"] - half))

    def slope(self, key: str) -> float:
        return slope_per_thousand([(s["commands"], s[key]) for s in self.samples if s["commands"] >= self.warmup])

    def cycle_growth(self, key: str) -> int:
        return self.cycle_counts[-1][key] - self.cycle_counts[0][key] if self.cycle_counts else 0

    def leaks(self, tolerance: int) -> list[str]:
        found = []
        for key in LEAK_KEYS:
            if self.samples and self.growth(key) > tolerance:
                found.append(f"{key}: {self.growth(key):+d} from {self.warmup} to {self.commands_done} commands "
                             f"({self.slope(key):+.2f} per 1000)")
            if self.cycle_counts and self.cycle_growth(key) > tolerance:
                found.append(f"{key} at start-up: {self.cycle_growth(key):+d} over {self.cycles_done} cycles")
        return found

    def figures(self) -> list[tuple[str, str]]:
        rows = [("start/close cycles done", str(self.cycles_done)),
                ("cycle failures", str(len(self.cycle_failures))),
                ("starts that Wine's loader failed (started again)", str(len(self.wine_start_failures))),
                ("layout file loads at the end", {None: "not checked", True: "yes", False: "NO"}[self.layout_loads])]
        if self.cycle_counts:
            first, last = self.cycle_counts[0], self.cycle_counts[-1]
            for key, name in (("gdi", "GDI objects"), ("user", "USER objects"), ("handles", "kernel handles")):
                rows.append((f"{name} at start-up, first/last cycle", f"{first[key]} / {last[key]}"))
            rows.append(("peak resident memory of a cycle (KB)", str(self.cycle_peak_rss_kb)))
        rows += [("commands done", str(self.commands_done)),
                 ("command failures", str(len(self.command_failures)))]
        if self.samples:
            start, warm, middle, end = self.samples[0], self.sample_at(self.warmup), self.middle_sample(), self.samples[-1]
            for key, name in (("gdi", "GDI objects"), ("user", "USER objects"), ("handles", "kernel handles"),
                              ("heap_kb", "heap in use (KB)"), ("heap_blocks", "heap blocks in use"),
                              ("private_kb", "private memory (KB)"), ("working_set_kb", "working set (KB)")):
                peak = max(s[key] for s in self.samples)
                rows.append((f"{name}: before / after warm-up ({warm['commands']}) / {middle['commands']} / end / max",
                             f"{start[key]} / {warm[key]} / {middle[key]} / {end[key]} / {peak}   "
                             f"({self.slope(key):+.2f} per 1000 commands)"))
            rows.append(("peak working set (KB)", str(max(s.get("peak_working_set_kb", 0) for s in self.samples))))
            rows.append(("peak resident memory, VmHWM (KB)", str(max(s.get("VmHWM", 0) for s in self.samples))))
            rows.append(("GetGuiResources GDI / USER, GetProcessHandleCount",
                         f"{end['gdi_api']} / {end['user_api']} / {end['handles_api']}"))
        rows.append(("seconds", f"{self.seconds:.0f}"))
        return rows

    def table(self) -> str:
        rows = self.figures()
        width = max(len(name) for name, _ in rows)
        return "\n".join(f"{name.ljust(width)}  {value}" for name, value in rows)

    def summary(self) -> dict:
        data = {k: v for k, v in self.__dict__.items()}
        data["figures"] = self.figures()
        return data


def _log(log, record: dict) -> None:
    if log is not None:
        log.write(json.dumps(record, ensure_ascii=False) + "\n")
        log.flush()


# --------------------------------------------------------------------------------------------
# Start/close cycles


AppFactory = Callable[[str], Lintaro]


def expected_visible_list(layout: LayoutFile) -> tuple[list[str], list[int]]:
    """What the visible columns dialog must show for this layout: titles in file order, and the
    visible ones selected."""
    titles = [TITLES_BY_SOURCE[c.source] for c in layout.columns]
    return titles, [i for i, c in enumerate(layout.columns) if c.visible]


def check_layout_shown(session: Session, layout: LayoutFile) -> list[str]:
    """Differences between what the program shows and the layout file: the visible columns dialog
    (order, titles, selection), the table appearance dialog (flags, line type, height, page
    numbers) and the column rules on the grid (widths)."""
    problems = []
    titles, selected = expected_visible_list(layout)
    dialog = session.open_dialog(IDM_VISIBLE_COLUMNS, VISIBLE_CAPTION)
    shown = (dialog.list_items(VISIBLE_LIST), dialog.list_selected(VISIBLE_LIST))
    if shown != (titles, selected):
        problems.append(f"visible columns dialog shows {shown}, the file says {(titles, selected)}")
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    dialog = session.open_dialog(IDM_TABLE_APPEARANCE, TABLE_CAPTION)
    flags = sum(flag for box, flag in TABLE_CHECK_BOXES.items() if dialog.is_checked(box))
    style = layout.style
    shown_style = (flags, dialog.combo_selection(TABLE_LINE_TYPE), dialog.combo_selection(TABLE_CELL_HEIGHT),
                   dialog.combo_selection(TABLE_PAGE_NUMBERS))
    file_style = (style.flags, style.line_type - 1, CELL_HEIGHTS.index(style.cell_height),
                  style.page_number_position)
    if shown_style != file_style:
        problems.append(f"table appearance dialog shows {shown_style}, the file says {file_style}")
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    session.settle()
    _, rules = session.table_rules()
    if rules != session.expected_rules(layout):
        problems.append(f"the grid draws column rules at {rules}, the file's widths put them at "
                        f"{session.expected_rules(layout)}")
    return problems


def wine_log_size(folder: Path) -> int:
    log = folder / "wine-output.log"
    return log.stat().st_size if log.exists() else 0


def wine_output_since(folder: Path, since: int) -> str:
    """What the program's Wine processes wrote to their output file from byte `since` on."""
    log = folder / "wine-output.log"
    if not log.exists():
        return ""
    with open(log, "rb") as output:
        output.seek(since)
        return output.read().decode(errors="replace")


def crash_signs(folder: Path, since: int = 0) -> list[str]:
    """Lines of Wine's report of an unhandled exception in the program's output since `since`."""
    return [line for line in wine_output_since(folder, since).splitlines()
            if re.search(r"Unhandled|page fault|exception", line, re.I)]


class CycleRunner:
    """Start/close cycles of the program on one data file and one layout file in one folder."""

    CLOSE_WAYS = ("wm_close", "alt_f4", "exit_command")

    def __init__(self, make_app: AppFactory, driver: Driver, folder: Path, log=None):
        self.make_app = make_app
        self.driver = driver
        self.folder = folder
        self.log = log
        self.data = folder / "sales.rdf"
        self.layout = folder / "sales.rff"
        self.files = {"sales.rdf", "sales.rff", "lintaro.exe", "wine-output.log"}

    def start(self, name: str, result: SoakResult) -> Session:
        app = start_program(self.make_app, name, [self.data, self.layout], self.folder, result)
        session = Session(app, self.driver)
        session.settle()
        return session

    def close(self, session: Session, way: str) -> int:
        if way == "wm_close":
            session.main.close()
        elif way == "alt_f4":
            session.foreground()
            xdotool("key", "alt+F4")
        else:
            session.app.post_command(IDM_EXIT)
        code = session.app.exit_code(20)
        session.app.stop()
        return code

    def prepare(self, result: SoakResult) -> LayoutFile:
        """The first run makes a layout that differs from a new table's in every part the file
        keeps: a hidden column, other table flags and line type, a column dragged wider."""
        self.folder.mkdir(parents=True, exist_ok=True)
        shutil.copy2(SAMPLE_TABLE, self.data)
        if self.layout.exists():
            self.layout.unlink()
        session = self.start("soak-prepare", result)
        dialog = session.open_dialog(IDM_VISIBLE_COLUMNS, VISIBLE_CAPTION)
        dialog.set_list_selected(VISIBLE_LIST, 3, False)  # "Град"
        session.finish(dialog, "ok")
        dialog = session.open_dialog(IDM_TABLE_APPEARANCE, TABLE_CAPTION)
        dialog.set_checked(101, True)  # bold titles
        dialog.set_checked(104, True)  # gray titles
        dialog.select_combo(TABLE_LINE_TYPE, 1)  # thick rules
        session.finish(dialog, "ok")
        outcome = session.resize({"edge": 1, "delta": 40, "row": 0})
        if outcome != "moved":
            raise HarnessError(f"the column edge drag of the first run did nothing ({outcome})")
        code = self.close(session, "wm_close")
        if code != 0:
            raise HarnessError(f"the first run ended with code {code}")
        layout = read_layout(self.layout.read_bytes())
        if [c.visible for c in layout.columns] != [True, True, True, False, True, True, True]:
            raise HarnessError(f"the first run saved visibility {[c.visible for c in layout.columns]}")
        if layout.style.flags & 0x9 != 0x9 or layout.style.line_type != 2:
            raise HarnessError(f"the first run saved the style {layout.style}")
        if all(c.width == c.natural_width for c in layout.columns):
            raise HarnessError("no column of the first run kept a dragged width")
        return layout

    def run(self, cycles: int, result: SoakResult, count_every: int, modify_every: int) -> None:
        layout_bytes = self.layout.read_bytes()
        for cycle in range(1, cycles + 1):
            way = self.CLOSE_WAYS[cycle % len(self.CLOSE_WAYS)]
            modify = modify_every > 0 and cycle % modify_every == 0
            record = {"cycle": cycle, "close": way}
            problems = []
            session = None
            log_size = wine_log_size(self.folder)
            try:
                session = self.start("soak-cycle", result)
                if session.app.dialogs():
                    problems.append("a dialog showed at start-up")
                if cycle == 1 or cycle % count_every == 0 or cycle == cycles:
                    counts = session.counts()
                    result.cycle_counts.append(dict(counts, cycle=cycle))
                    result.cycle_peak_rss_kb = max(result.cycle_peak_rss_kb, counts.get("VmHWM", 0))
                    record["counts"] = {k: counts[k] for k in LEAK_KEYS}
                if modify:
                    # The date line on every page, in or out: the file must take exactly that.
                    dialog = session.open_dialog(IDM_TABLE_APPEARANCE, TABLE_CAPTION)
                    dialog.set_checked(135, not dialog.is_checked(135))
                    session.finish(dialog, "ok")
                code = self.close(session, way)
                record["exit"] = code
                if code != 0:
                    problems.append(f"exit code {code}")
                problems += [f"crash sign: {line}" for line in crash_signs(self.folder, log_size)]
                data = self.layout.read_bytes()
                read_layout(data)
                if modify:
                    changed = [i for i in range(len(data)) if data[i] != layout_bytes[i]] if len(data) == len(layout_bytes) else None
                    if changed != [26 + 5]:  # the flags' second byte holds PageDate (0x100)
                        problems.append(f"the date-line change rewrote bytes {changed}")
                elif data != layout_bytes:
                    problems.append("the layout file changed without a change")
                layout_bytes = data
                extra = sorted(p.name for p in self.folder.iterdir() if p.name not in self.files)
                if extra:
                    problems.append(f"files left in the folder: {extra}")
            except Exception as error:  # noqa: BLE001 - a soak records every failure and goes on
                problems.append(f"{type(error).__name__}: {error}")
                if session is not None:
                    session.app.stop()
            result.cycles_done = cycle
            if problems:
                record["problems"] = problems
                result.cycle_failures.append(f"cycle {cycle}: {'; '.join(problems)}")
            _log(self.log, record)

    def check_final(self, result: SoakResult) -> None:
        """The layout file still parses and loads: the program starts on it and shows its columns
        and style; closing without a change leaves it byte for byte."""
        before = self.layout.read_bytes()
        problems = []
        try:
            layout = read_layout(before)
            session = self.start("soak-final", result)
            problems += check_layout_shown(session, layout)
            code = self.close(session, "wm_close")
            if code != 0:
                problems.append(f"exit code {code}")
            if self.layout.read_bytes() != before:
                problems.append("the layout file changed")
        except (HarnessError, LayoutFileError) as error:
            problems.append(f"{type(error).__name__}: {error}")
        result.layout_loads = not problems
        result.cycle_failures += [f"final load: {p}" for p in problems]
        _log(self.log, {"final_layout_check": problems or "ok"})


# --------------------------------------------------------------------------------------------
# Random commands


def run_commands(make_app: AppFactory, driver: Driver, folder: Path, plans: list[dict], result: SoakResult,
                 sample_every: int, log=None, progress: Optional[Callable[[str], None]] = None) -> None:
    """Runs the plans on one program started on the sample table (with a layout file of its own),
    taking counts before, after the warm-up (warmup_length), every `sample_every` commands and at
    the end."""
    folder.mkdir(parents=True, exist_ok=True)
    shutil.copy2(SAMPLE_TABLE, folder / "commands.rdf")
    app = start_program(make_app, "soak-commands", [folder / "commands.rdf", folder / "commands.rff"], folder,
                        result)
    session = Session(app, driver)
    result.warmup = warmup_length(len(plans))
    started = time.monotonic()

    def sample(done: int) -> None:
        counts = dict(session.counts(), commands=done)
        result.samples.append(counts)
        _log(log, {"sample": counts})
        if progress:
            progress(f"{done} commands, {time.monotonic() - started:.0f} s: gdi {counts['gdi']} user {counts['user']} "
                     f"handles {counts['handles']} private {counts['private_kb']} KB")

    sample(0)
    for index, plan in enumerate(plans, 1):
        t0 = time.monotonic()
        try:
            outcome = session.run(plan)
        except Exception as error:  # noqa: BLE001 - a soak records every failure and goes on
            outcome = f"FAILED {type(error).__name__}: {error}"
            result.command_failures.append(f"command {index} {json.dumps(plan, ensure_ascii=False)}: {error}")
            if not app.is_running():
                result.command_failures.append(f"the program ended with code {app.process.returncode}")
                _log(log, {"i": index, "plan": plan, "outcome": outcome})
                break
            try:
                session.recover()
            except Exception:  # noqa: BLE001 - the next command shows whether recovery worked
                pass
        result.commands_done = index
        key = plan["kind"] + ":" + outcome.split(" ", 1)[0] if outcome.startswith("FAILED") else plan["kind"] + ":" + outcome
        result.outcomes[key] = result.outcomes.get(key, 0) + 1
        _log(log, {"i": index, "plan": plan, "outcome": outcome, "s": round(time.monotonic() - t0, 3)})
        if index == result.warmup or index % sample_every == 0 or index == len(plans):
            sample(index)
    if app.is_running():
        code = app.close(20)
        if code != 0:
            result.command_failures.append(f"exit code {code} after the commands")
        signs = crash_signs(folder)
        if signs:
            result.command_failures.append(f"crash signs: {signs}")
    app.stop()


# --------------------------------------------------------------------------------------------
# Command line


def _factory(env: TestEnvironment, driver: Driver) -> AppFactory:
    return lambda name: Lintaro(env, driver, name=name)


def main(argv: Optional[list[str]] = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--cycles", type=int, default=1000)
    parser.add_argument("--commands", type=int, default=10000)
    parser.add_argument("--seed", type=int, default=20251208)
    parser.add_argument("--out", type=Path, default=None, help="folder for logs (default: the run folder's soak/)")
    parser.add_argument("--replay", type=Path, default=None, help="a commands log whose plans to run instead")
    parser.add_argument("--tolerance", type=int, default=2, help="growth of a count still not called a leak")
    args = parser.parse_args(argv)

    env = TestEnvironment.from_os()
    out = args.out or env.run_dir / "soak"
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)
    if args.replay:
        plans = [json.loads(line)["plan"] for line in args.replay.read_text().splitlines() if '"plan"' in line]
    else:
        plans = make_plans(args.seed, args.commands)
    say = lambda text: print(text, flush=True)  # noqa: E731
    result = SoakResult()
    started = time.monotonic()
    driver = Driver(env.wdrive_exe)
    try:
        with open(out / "cycles.jsonl", "w") as log:
            _log(log, {"seed": args.seed, "cycles": args.cycles})
            cycles = CycleRunner(_factory(env, driver), driver, out / "cycles", log)
            if args.cycles > 0:
                cycles.prepare(result)
                cycles.run(args.cycles, result, count_every=max(1, args.cycles // 20), modify_every=25)
                say(f"{result.cycles_done} cycles, {len(result.cycle_failures)} failures, "
                    f"{time.monotonic() - started:.0f} s")
                cycles.check_final(result)
        with open(out / "commands.jsonl", "w") as log:
            _log(log, {"seed": args.seed, "commands": len(plans), "replay": str(args.replay or "")})
            if plans:
                run_commands(_factory(env, driver), driver, out / "commands", plans, result,
                             sample_every=max(10, len(plans) // 20), log=log, progress=say)
    finally:
        driver.close()
    result.seconds = time.monotonic() - started
    leaks = result.leaks(args.tolerance)
    (out / "summary.json").write_text(json.dumps(dict(result.summary(), leaks=leaks), ensure_ascii=False, indent=1))
    say("")
    say(result.table())
    for failure in result.cycle_failures + result.command_failures:
        say(f"FAILURE {failure}")
    for failure in result.wine_start_failures:
        say(f"WINE LOADER (started again) {failure}")
    for leak in leaks:
        say(f"LEAK {leak}")
    say(f"logs: {out}")
    return 1 if (result.cycle_failures or result.command_failures or leaks) else 0


if __name__ == "__main__":
    sys.exit(main())

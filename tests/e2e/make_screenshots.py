#!/usr/bin/env python3
"""Makes the user guide's screenshots (docs/guide/images/) from the real lintaro.exe under Wine.

    python3 tests/e2e/make_screenshots.py

Builds nothing: the Windows tree must be built (bash scripts/build.sh win). Takes the Wine lock
(/tmp/lintaro-wine.lock) and starts and stops the test environment as the end-to-end tests do;
when the environment is already started (LINTARO_ENV_READY=1), whoever started it holds the lock
and it is used as it is. Every step drives the program as a user would (menus, keys, dialogs,
mouse); a step that does not get the window it waits for stops the script with an error and a
non-zero exit code, leaving the images made so far. The images are cropped to the window,
dialog or menu and saved as 8-bit palette PNGs without time stamps, and images/version.txt and
the marked line of docs/guide/README.md say which program they show.
"""

from __future__ import annotations

import fcntl
import os
import re
import subprocess
import sys
import time
from datetime import datetime, timezone
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from lintaro_harness import (IDCANCEL, IDOK, MESSAGE_TEXT_ID, Driver, HarnessError,  # noqa: E402
                             Lintaro, TestEnvironment, Window, park_pointer, screenshot_rect,
                             start_environment, stop_environment)

REPOSITORY = Path(__file__).resolve().parents[2]
IMAGES = REPOSITORY / "docs" / "guide" / "images"
GUIDE_START = REPOSITORY / "docs" / "guide" / "README.md"
VERSION_MARK = re.compile(r"(<!-- screenshots-version -->).*?(<!-- /screenshots-version -->)", re.S)
WINE_LOCK = "/tmp/lintaro-wine.lock"
MESSAGE_TITLE = "Lintaro 2.0"
POPUP_MENU_CLASS = "#32768"
SPEED_BAR_CLASS = "SpeedBarWndClass"
TOOLTIP_CLASS = "tooltips_class32"

# Command ids (resources/resource_ids.h) and dialog control ids used below.
IDM_ABOUT, IDM_VISIBLE_COLUMNS, IDM_TABLE_APPEARANCE, IDM_COLUMN_APPEARANCE = 181, 201, 211, 212
IDM_SORT, IDM_FILTER, IDM_RESTORE_ROWS, IDM_CHOOSE_FONT = 222, 223, 224, 291
IDM_PRINT, IDM_PRINT_SETUP, IDM_EXPORT = 301, 302, 311
VISIBLE_LIST, VISIBLE_NONE = 101, 702
TABLE_KEY_COLUMNS, TABLE_FIT_TO_WIDTH = 142, 143
TABLE_END_TOTAL, TABLE_PAGE_TOTALS, TABLE_BROUGHT_FORWARD, TABLE_GROUP_TOTALS = 151, 152, 153, 154
COLUMN_LIST, COLUMN_SUM = 101, 135
SORT_COLUMN, SORT_ORDER, SORT_TYPE = 101, 102, 103
FILTER_COLUMN, FILTER_FROM, FILTER_TO, FILTER_TYPE = 101, 111, 112, 121
SETUP_ORIENTATION = 211
PAGES_FROM, PAGES_TO = 101, 102
EXPORT_PATH, EXPORT_FORMAT, EXPORT_CODE_TABLE = 101, 102, 103

# The sample tables live where an office computer keeps its reports: C:\Otcheti in the prefix.
REPORTS_FOLDER = "Otcheti"
SALES_SAMPLE = REPOSITORY / "tests" / "samples" / "sales-bg.rdf"


def wide_table() -> str:
    """A payroll list of twelve columns: wider than an A4 sheet standing up."""
    titles = ["№", "Име, презиме, фамилия", "Длъжност", "Отдел", "Постъпил на", "Основна заплата",
              "Добавки", "Осигуровки", "Данък", "За получаване", "Банкова сметка", "Бележка"]
    types = ["Number", "Text", "Text", "Text", "Date", "Number", "Number", "Number", "Number",
             "Number", "Text", "Text"]
    names = ["Мария Иванова Петрова", "Георги Петров Колев", "Иван Стефанов Георгиев",
             "Елена Димитрова Маринова", "Петър Николов Тодоров", "Десислава Христова Ангелова",
             "Николай Иванов Костадинов", "Цветелина Петрова Стоянова", "Стефан Георгиев Попов",
             "Радослава Николаева Вълчева", "Димитър Христов Илиев"]
    jobs = ["счетоводител", "шофьор", "склададжия", "технолог", "продавач-консултант", "инженер"]
    departments = ["Счетоводство", "Транспорт", "Склад", "Производство", "Магазин Център"]
    rows = []
    for n in range(1, 41):
        base = 1200 + (n * 137) % 1800
        extra = (n * 53) % 300
        insurance = round((base + extra) * 0.1378, 2)
        tax = round((base + extra - insurance) * 0.10, 2)
        net = base + extra - insurance - tax
        rows.append("\t".join([
            str(n), names[n % len(names)], jobs[n % 6], departments[n % 5],
            f"{1 + n % 28:02d}.{1 + n % 12:02d}.{2005 + n % 20}", f"{base:.2f}", f"{extra:.2f}",
            f"{insurance:.2f}", f"{tax:.2f}", f"{net:.2f}", f"BG{80 + n:02d}UNCR7000{15230000 + n * 7919}",
            "болничен 3 дни" if n % 9 == 0 else ""]))
    head = ["WindowTitle: Ведомост за заплати - март 2026", "Printer: Default",
            "Page: Width 210.00, Height 297.00, Left 15.00, Top 10.00, Right 10.00, Bottom 10.00",
            "Orientation: Portrait", "CodeTable: Windows", "Font: Arial, 10",
            "Header:", "Ведомост за заплати\tмесец март 2026", "Footer:", "Съставил:\tПроверил:"]
    return "\r\n".join([*head, "Titles:", "\t".join(titles), "Types:", "\t".join(types), "Data:",
                        *rows]) + "\r\n"


# --------------------------------------------------------------------------------------------
# Images


def save_png(raw: Path, name: str) -> Path:
    """The screenshot as an 8-bit palette PNG without time stamps in docs/guide/images/."""
    target = IMAGES / name
    subprocess.run(["convert", str(raw), "-strip", "-define", "png:exclude-chunks=date,time",
                    "PNG8:" + str(target)], check=True)
    raw.unlink()
    print(f"  {target.relative_to(REPOSITORY)}")
    return target


def save_pdf_page(env: TestEnvironment, pdf: Path, name: str) -> Path:
    """The first page of a printed PDF, small enough to show the whole sheet."""
    pages = env.render_pdf(pdf, env.screenshot_dir / ("raw-" + Path(name).stem), dpi=50)
    if not pages:
        raise HarnessError(f"{pdf} has no page to show")
    for extra in pages[1:]:
        extra.unlink()
    return save_png(pages[0], name)


def shoot_rect(env: TestEnvironment, name: str, rect: tuple[int, int, int, int]) -> Path:
    width, height = 1024, 768
    left, top, right, bottom = rect
    rect = (max(left, 0), max(top, 0), min(right, width), min(bottom, height))
    time.sleep(0.4)  # let the last paint reach the screen
    return save_png(screenshot_rect(env.screenshot_dir / ("raw-" + name), rect), name)


def shoot(app: Lintaro, name: str, window: Window | None = None) -> Path:
    return shoot_rect(app.env, name, (window or app.main).info().rect)


def union(*rects: tuple[int, int, int, int], margin: int = 0) -> tuple[int, int, int, int]:
    return (min(r[0] for r in rects) - margin, min(r[1] for r in rects) - margin,
            max(r[2] for r in rects) + margin, max(r[3] for r in rects) + margin)


# --------------------------------------------------------------------------------------------
# Steps a user takes


def wait_for(what: str, find, timeout: float = 10.0):
    deadline = time.monotonic() + timeout
    while True:
        found = find()
        if found:
            return found
        if time.monotonic() > deadline:
            raise HarnessError(f"{what} did not appear within {timeout} s")
        time.sleep(0.05)


def popup_menu(app: Lintaro) -> Window:
    return wait_for("a menu", lambda: app.driver.find(window_class=POPUP_MENU_CLASS,
                                                      exe=app.windows_exe, visible=True))[0]


def open_dialog(app: Lintaro, command_id: int, caption: str) -> Window:
    """Chooses a command (as its menu item does) and waits for its dialog."""
    app.post_command(command_id)
    try:
        dialog = app.wait_dialog(caption)
    except HarnessError:
        raise HarnessError(f"the dialog {caption!r} did not open") from None
    time.sleep(0.3)
    return dialog


def close_dialog(dialog: Window, button: int) -> None:
    dialog.click(button)
    dialog.wait_gone()
    time.sleep(0.3)


def message_box(app: Lintaro, expected_start: str) -> Window:
    box = app.wait_dialog(MESSAGE_TITLE)
    text = box.control_text(MESSAGE_TEXT_ID)
    if not text.startswith(expected_start):
        raise HarnessError(f"expected a message starting {expected_start!r}, got {text!r}")
    time.sleep(0.3)
    return box


def shoot_menus(app: Lintaro) -> None:
    main = app.main.info().rect
    for name, keys in (("menu-table.png", ["alt", "Down"]), ("menu-print.png", ["alt", "Right", "Down"])):
        app.key(*keys)
        menu = popup_menu(app).info().rect
        shoot_rect(app.env, name, union((main[0], main[1], menu[2], menu[1] + 40), menu, margin=6))
        app.key("Escape", "Escape")
    app.click(260, 190, window=app.grid_window(), button=3)
    menu = popup_menu(app).info().rect
    shoot_rect(app.env, "context-menu.png", (menu[0] - 200, menu[1] - 90, menu[2] + 8, menu[3] + 8))
    app.key("Escape")


def shoot_speed_bar(app: Lintaro) -> None:
    bars = [c for c in app.main.children() if c.class_name == SPEED_BAR_CLASS]
    if len(bars) != 1:
        raise HarnessError("no speed bar")
    # The buttons take the bar's left end only.
    left, top, _, bottom = Window(app.driver, bars[0].handle).info().rect
    bar = (left, top, left + 290, bottom)
    shoot_rect(app.env, "toolbar.png", bar)
    # The pointer resting on "Сортиране" shows its tooltip.
    origin = app.main.info().client_origin
    app.move_mouse(bar[0] - origin[0] + 138 + 15, bar[1] - origin[1] + 17)
    tip = wait_for("the tooltip", lambda: [w for w in app.driver.find(
        window_class=TOOLTIP_CLASS, exe=app.windows_exe, visible=True) if w.text == "Сортиране"])[0]
    shoot_rect(app.env, "toolbar-tooltip.png", union(bar, tip.info().rect))
    park_pointer()


def set_up_sums(app: Lintaro) -> None:
    """"Сумиране" for the amounts, then the total, page totals and amounts carried over."""
    dialog = open_dialog(app, IDM_COLUMN_APPEARANCE, " Оформление на колоните")
    dialog.select_combo(COLUMN_LIST, "Сума")
    dialog.set_checked(COLUMN_SUM, True)
    shoot(app, "column-appearance.png", dialog)
    close_dialog(dialog, IDOK)
    dialog = open_dialog(app, IDM_TABLE_APPEARANCE, " Оформление на таблицата")
    for box in (TABLE_END_TOTAL, TABLE_PAGE_TOTALS, TABLE_BROUGHT_FORWARD):
        dialog.set_checked(box, True)
    shoot(app, "table-appearance.png", dialog)
    close_dialog(dialog, IDOK)


def scroll_to_first_page_end(app: Lintaro) -> None:
    """Pages down until the first page's end (its totals and the page break) is in view."""
    app.focus()
    for _ in range(2):
        app.key("Next")
    time.sleep(0.5)


def shoot_group_sums(app: Lintaro) -> None:
    """Sorted by town, with a subtotal after each town's rows."""
    dialog = open_dialog(app, IDM_SORT, " Сортиране на таблицата")
    dialog.select_combo(SORT_COLUMN, "Град")
    dialog.select_combo(SORT_TYPE, "Азбучно")
    close_dialog(dialog, IDOK)
    dialog = open_dialog(app, IDM_TABLE_APPEARANCE, " Оформление на таблицата")
    dialog.set_checked(TABLE_GROUP_TOTALS, True)
    close_dialog(dialog, IDOK)
    app.focus()
    app.key("ctrl+Prior", "Next")
    shoot(app, "main-group-sums.png")


def shoot_sort_and_filter(app: Lintaro) -> None:
    dialog = open_dialog(app, IDM_SORT, " Сортиране на таблицата")
    dialog.select_combo(SORT_COLUMN, "Сума")
    dialog.select_combo(SORT_ORDER, "В намаляващ ред")
    dialog.select_combo(SORT_TYPE, "Сума (1 234,56)")
    shoot(app, "sort.png", dialog)
    close_dialog(dialog, IDOK)
    shoot(app, "main-sorted.png")

    dialog = open_dialog(app, IDM_FILTER, " Подбор")
    dialog.select_combo(FILTER_COLUMN, "Дата")
    dialog.set_control_text(FILTER_FROM, "01.03.2026")
    dialog.set_control_text(FILTER_TO, "31.03.2026")
    dialog.select_combo(FILTER_TYPE, "Дата (дд.мм.гггг)")
    shoot(app, "filter.png", dialog)
    close_dialog(dialog, IDOK)
    shoot(app, "main-filtered.png")

    # A second filter narrows the first: no sale of March reaches a million.
    dialog = open_dialog(app, IDM_FILTER, " Подбор")
    dialog.select_combo(FILTER_COLUMN, "Сума")
    dialog.set_control_text(FILTER_FROM, "1 000 000")
    dialog.set_control_text(FILTER_TO, "")
    dialog.select_combo(FILTER_TYPE, "Сума (1 234,56)")
    dialog.click(IDOK)
    box = message_box(app, "Няма записи")
    shoot(app, "message-no-rows.png", box)
    close_dialog(box, IDOK)
    app.post_command(IDM_RESTORE_ROWS)
    time.sleep(0.5)


def shoot_visible_columns(app: Lintaro) -> None:
    dialog = open_dialog(app, IDM_VISIBLE_COLUMNS, " Подбор на видими колони")
    notes = dialog.list_items(VISIBLE_LIST).index("Бележка")
    dialog.set_list_selected(VISIBLE_LIST, notes, False)
    shoot(app, "visible-columns.png", dialog)
    dialog.click(VISIBLE_NONE)
    dialog.click(IDOK)
    box = message_box(app, "В таблицата трябва да има")
    shoot(app, "message-no-visible-column.png", box)
    close_dialog(box, IDOK)
    close_dialog(dialog, IDCANCEL)


def shoot_plain_dialogs(app: Lintaro) -> None:
    app.post_command(IDM_CHOOSE_FONT)
    chooser = app.wait_dialog()
    time.sleep(0.5)
    shoot(app, "font.png", chooser)
    close_dialog(chooser, IDCANCEL)

    dialog = open_dialog(app, IDM_PRINT_SETUP, " Настройка на печата")
    shoot(app, "print-setup.png", dialog)
    close_dialog(dialog, IDCANCEL)

    # The notes column reaches past the sheet's printable width (the red line).
    app.key("ctrl+p")
    box = message_box(app, "Ширината на таблицата")
    shoot(app, "message-too-wide.png", box)
    close_dialog(box, IDOK)
    dialog = app.wait_dialog(" Отпечатване на таблица")
    time.sleep(0.3)
    shoot(app, "pages-to-print.png", dialog)
    close_dialog(dialog, IDCANCEL)

    dialog = open_dialog(app, IDM_EXPORT, " Експорт на таблица")
    dialog.select_combo(EXPORT_FORMAT, "Текстов файл в CSV формат (за Excel)")
    dialog.select_combo(EXPORT_CODE_TABLE, "Windows")
    dialog.set_control_text(EXPORT_PATH, f"C:\\{REPORTS_FOLDER}\\prodajbi-2026.csv")
    shoot(app, "export.png", dialog)
    close_dialog(dialog, IDCANCEL)

    dialog = open_dialog(app, IDM_ABOUT, " За продукта и производителя")
    shoot(app, "about.png", dialog)
    close_dialog(dialog, IDOK)


def sales_table_session(env: TestEnvironment, driver: Driver) -> None:
    app = Lintaro(env, driver, name="guide-sales")
    try:
        app.start([f"C:\\{REPORTS_FOLDER}\\prodajbi-2026.rdf"])
        time.sleep(0.5)
        shoot(app, "main.png")
        shoot_speed_bar(app)
        shoot_menus(app)
        shoot_visible_columns(app)
        shoot_plain_dialogs(app)
        shoot_sort_and_filter(app)
        set_up_sums(app)
        scroll_to_first_page_end(app)
        shoot(app, "main-sums.png")
        shoot_group_sums(app)
        if app.close() != 0:
            raise HarnessError("the program did not end with code 0")
    finally:
        app.stop()


def wide_table_session(env: TestEnvironment, driver: Driver) -> None:
    app = Lintaro(env, driver, name="guide-wide")
    try:
        app.start([f"C:\\{REPORTS_FOLDER}\\vedomost-03-2026.rdf"])
        time.sleep(0.5)
        shoot(app, "wide-table.png")

        # The row numbers, the number and the name repeated on every sheet across.
        dialog = open_dialog(app, IDM_TABLE_APPEARANCE, " Оформление на таблицата")
        dialog.select_combo(TABLE_KEY_COLUMNS, "3")
        shoot(app, "table-appearance-keys.png", dialog)
        close_dialog(dialog, IDOK)

        # The first page of both column groups on paper: the printer writes PDFs here.
        known = env.pdfs()
        app.key("ctrl+p")
        close_dialog(message_box(app, "Ширината на таблицата"), IDOK)
        dialog = app.wait_dialog(" Отпечатване на таблица")
        dialog.set_control_text(PAGES_FROM, "1")
        dialog.set_control_text(PAGES_TO, "1")
        time.sleep(0.3)
        shoot(app, "pages-to-print-groups.png", dialog)
        close_dialog(dialog, IDOK)
        printed = env.wait_for_pdfs(2, known, timeout=60)
        for number, pdf in enumerate(printed[:2], start=1):
            save_pdf_page(env, pdf, f"printed-group-{number}.png")
        time.sleep(2.0)  # the program waits a second after each page before it takes commands

        # The sheet lying down.
        dialog = open_dialog(app, IDM_PRINT_SETUP, " Настройка на печата")
        dialog.select_combo(SETUP_ORIENTATION, "Пейзаж")
        shoot(app, "print-setup-landscape.png", dialog)
        close_dialog(dialog, IDOK)
        app.key("End")  # the right end, where the sheet's edge now lies
        time.sleep(0.5)
        shoot(app, "wide-table-landscape.png")
        app.key("Home")

        # Fitted to the width of the sheet.
        dialog = open_dialog(app, IDM_TABLE_APPEARANCE, " Оформление на таблицата")
        dialog.select_combo(TABLE_KEY_COLUMNS, "Няма")
        dialog.set_checked(TABLE_FIT_TO_WIDTH, True)
        close_dialog(dialog, IDOK)
        shoot(app, "wide-table-fitted.png")
        if app.close() != 0:
            raise HarnessError("the program did not end with code 0")
    finally:
        app.stop()


# --------------------------------------------------------------------------------------------
# Version stamp


def write_version() -> None:
    def git(*args: str) -> str:
        return subprocess.run(["git", "-C", str(REPOSITORY), *args], check=True, capture_output=True,
                              text=True).stdout.strip()
    commit = git("rev-parse", "--short=10", "HEAD")
    committed = git("log", "-1", "--format=%cd", "--date=format:%d.%m.%Y")
    made = datetime.now(timezone.utc).strftime("%d.%m.%Y")
    line = (f"Снимките показват Lintaro 2.0 от версия (commit) `{commit}` от {committed} г., "
            f"направени на {made} г.")
    (IMAGES / "version.txt").write_text(line + "\n", encoding="utf-8")
    text = GUIDE_START.read_text(encoding="utf-8")
    if not VERSION_MARK.search(text):
        raise HarnessError(f"{GUIDE_START} has no <!-- screenshots-version --> mark")
    GUIDE_START.write_text(VERSION_MARK.sub(lambda m: m.group(1) + line + m.group(2), text),
                           encoding="utf-8")


# --------------------------------------------------------------------------------------------


def make_all() -> None:
    env = TestEnvironment.from_os()
    reports = Path(os.environ["WINEPREFIX"]) / "drive_c" / REPORTS_FOLDER
    reports.mkdir(parents=True, exist_ok=True)
    (reports / "prodajbi-2026.rdf").write_bytes(SALES_SAMPLE.read_bytes())
    (reports / "vedomost-03-2026.rdf").write_bytes(wide_table().encode("cp1251"))
    IMAGES.mkdir(parents=True, exist_ok=True)
    driver = Driver(env.wdrive_exe)
    try:
        sales_table_session(env, driver)
        wide_table_session(env, driver)
    finally:
        driver.close()
    write_version()


def main() -> int:
    if os.environ.get("LINTARO_ENV_READY") == "1":
        make_all()
        return 0
    with open(WINE_LOCK, "a") as lock:
        print(f"waiting for {WINE_LOCK}", flush=True)
        fcntl.flock(lock, fcntl.LOCK_EX)
        start_environment()
        try:
            make_all()
        finally:
            stop_environment()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except (HarnessError, subprocess.CalledProcessError) as error:
        print(f"make_screenshots: {error}", file=sys.stderr)
        sys.exit(1)

"""The speed bar: its place and size, its pictures, tooltips, and what a press, a move off and
back on, and a release send (observed with the command spy and the font chooser it opens)."""

from __future__ import annotations

import subprocess
import time

import pytest

from lintaro_harness import IDCANCEL, Window, colour_count, image_pixels, pixel
from test_commands import CommandSpy

BAR_CLASS = "SpeedBarWndClass"
BUTTONS = [  # command id, left edge, tooltip
    (201, 10, "Видими колони"),
    (202, 42, "Естествени ширини"),
    (211, 74, "Оформление на таблицата"),
    (212, 106, "Оформление на колоните"),
    (222, 138, "Сортиране"),
    (223, 170, "Подбор"),
    (291, 202, "Избор на шрифт"),
    (301, 240, "Отпечатване"),
]
FONT_BUTTON_CENTRE = (202 + 15, 17)
TEAL = (0, 128, 128)  # the pictures' background, never shown
WM_SYSCOMMAND, SC_MAXIMIZE = 0x0112, 0xF030


@pytest.fixture
def started(lintaro):
    lintaro.start()
    time.sleep(0.3)
    return lintaro


def speed_bar(lintaro):
    bars = [c for c in lintaro.main.children() if c.class_name == BAR_CLASS]
    assert len(bars) == 1
    return Window(lintaro.driver, bars[0].handle)


def bar_rect_in_client(lintaro):
    info = speed_bar(lintaro).info()
    origin = lintaro.main.info().client_origin
    left, top, right, bottom = info.rect
    return left - origin[0], top - origin[1], right - origin[0], bottom - origin[1]


def xdotool(*args) -> None:
    subprocess.run(["xdotool", *map(str, args)], check=True)


def test_the_bar_spans_the_client_area_top_36_pixels_high(started):
    main_info = started.main.info()
    assert bar_rect_in_client(started) == (0, 0, main_info.client_size[0], 36)
    grid = started.grid_window().info()
    assert grid.rect[1] - main_info.client_origin[1] == 36


def test_resizing_keeps_the_bar_36_high_and_client_wide(started):
    started.main.post(WM_SYSCOMMAND, SC_MAXIMIZE, 0)
    deadline = time.monotonic() + 5
    while started.main.info().size == (896, 576) and time.monotonic() < deadline:
        time.sleep(0.05)
    time.sleep(0.3)
    main_info = started.main.info()
    assert main_info.size != (896, 576)
    assert bar_rect_in_client(started) == (0, 0, main_info.client_size[0], 36)
    assert started.grid_window().info().rect[1] - main_info.client_origin[1] == 36


def test_screenshot_shows_menu_bar_and_eight_drawn_buttons(started, test_env):
    shot = started.screenshot(test_env.screenshot_dir / "main-window-toolbar.png")
    bar = started.screenshot(test_env.screenshot_dir / "speed-bar.png", window=speed_bar(started))
    # The pictures' dark cyan background is replaced by the button face everywhere.
    assert colour_count(bar, TEAL) == 0
    face = pixel(bar, 5, 20)
    for _, left, _ in BUTTONS:
        # Raised frame: black along the bottom and right edges, highlight at the top left.
        assert pixel(bar, left + 29, 20) == (0, 0, 0)
        assert pixel(bar, left + 10, 31) == (0, 0, 0)
        assert pixel(bar, left, 10) != (0, 0, 0)
        # A picture in the middle: more than the face colour there.
        region = (left + 5, 7, left + 25, 27)
        width, _, data = image_pixels(bar)
        colours = {data[(y * width + x) * 3:(y * width + x) * 3 + 3]
                   for y in range(region[1], region[3]) for x in range(region[0], region[2])}
        assert len(colours) >= 3, f"button at {left} shows no picture"
    assert pixel(bar, 236, 20) == face  # the gap before the last button
    assert shot.exists()


def test_each_button_click_sends_its_command(started):
    spy = CommandSpy(started)
    # Buttons whose command opens a dialog: it is cancelled before the next click.
    opens_a_dialog = {201, 211, 212, 222, 223, 291}
    for command_id, left, _ in BUTTONS:
        started.click(left + 15, 17)
        if command_id in opens_a_dialog:
            dialog = started.wait_dialog()
            dialog.click(IDCANCEL)
            dialog.wait_gone()
    assert spy.wait_ids(len(BUTTONS)) == [b[0] for b in BUTTONS]


def test_clicks_in_gaps_and_below_the_buttons_do_nothing(started):
    spy = CommandSpy(started)
    for x, y in ((5, 17), (41, 17), (236, 17), (20, 33), (20, 35), (400, 17)):
        started.click(x, y)
    assert spy.wait_ids(0) == []


def press(started, x, y):
    started.move_mouse(x, y)
    xdotool("mousedown", 1)
    time.sleep(0.2)


def release():
    xdotool("mouseup", 1)
    time.sleep(0.3)


def test_press_move_off_and_release_sends_nothing(started, test_env):
    spy = CommandSpy(started)
    press(started, *FONT_BUTTON_CENTRE)
    held = started.screenshot(test_env.screenshot_dir / "button-held.png", window=speed_bar(started))
    # Held down: the frame is sunken, black along the top and left edges.
    assert pixel(held, 202, 10) == (0, 0, 0)
    assert pixel(held, 215, 2) == (0, 0, 0)
    started.move_mouse(FONT_BUTTON_CENTRE[0], 120)
    time.sleep(0.2)
    off = started.screenshot(test_env.screenshot_dir / "button-moved-off.png", window=speed_bar(started))
    assert pixel(off, 202, 10) != (0, 0, 0)  # raised again while the pointer is off
    release()
    assert spy.wait_ids(0) == []
    assert started.dialogs() == []


def test_moving_back_on_before_the_release_sends_the_command(started):
    spy = CommandSpy(started)
    press(started, *FONT_BUTTON_CENTRE)
    started.move_mouse(FONT_BUTTON_CENTRE[0] + 40, 60)
    time.sleep(0.1)
    started.move_mouse(*FONT_BUTTON_CENTRE)
    time.sleep(0.1)
    release()
    chooser = started.wait_dialog()  # the font chooser of "Избор на шрифт"
    assert spy.ids() == [291]
    chooser.click(IDCANCEL)
    chooser.wait_gone()


def test_hovering_shows_each_buttons_tooltip(started, driver, test_env):
    for index, (_, left, tooltip) in enumerate(BUTTONS):
        started.move_mouse(left + 15, 17 + (index % 2))
        deadline = time.monotonic() + 5
        tips = []
        while time.monotonic() < deadline:
            tips = [w for w in driver.find(window_class="tooltips_class32", exe=started.windows_exe,
                                           visible=True) if w.text == tooltip]
            if tips:
                break
            time.sleep(0.1)
        assert tips, f"no tooltip {tooltip!r}"
        if index == len(BUTTONS) - 1:
            info = tips[0].info()
            origin = started.main.info().client_origin
            shot = started.screenshot(test_env.screenshot_dir / "tooltip-print.png",
                                      window=started.main)
            # The tip shows near the pointer, below the bar.
            assert info.rect[1] >= origin[1] + 17
            assert shot.exists()
        started.move_mouse(500, 300)
        time.sleep(0.3)

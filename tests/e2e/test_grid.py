"""The table window: how it paints the demonstration table and the sample data files, scrolling
by keyboard and scroll bar, and dragging column edges and titles with the mouse."""

from __future__ import annotations

import shutil
import struct
import time
from pathlib import Path

import pytest

from lintaro_harness import IDCANCEL, IDOK, WM_CLOSE, _xdotool, colour_count, image_pixels

# The sample tables and pictures kept with the tests.
SAMPLES = Path(__file__).resolve().parents[1] / "samples"
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
RED = (255, 0, 0)
LAYOUT_HEADER_SIZE = 128
COLUMN_RECORD_SIZE = 48


class Picture:
    """A screenshot's pixels, for finding the grid's rules."""

    def __init__(self, path: Path):
        self.path = path
        self.width, self.height, self.data = image_pixels(path)

    def at(self, x: int, y: int) -> tuple[int, int, int]:
        offset = (y * self.width + x) * 3
        return tuple(self.data[offset:offset + 3])

    def horizontal_rules(self, x: int = 8) -> list[int]:
        """The y of every black run three pixels wide starting at x (the table's rules)."""
        return [y for y in range(self.height)
                if all(self.at(x + dx, y) == BLACK for dx in range(3))]

    def vertical_rules(self, top: int, bottom: int) -> list[int]:
        """The x of every black line running from top to bottom (exclusive)."""
        return [x for x in range(self.width)
                if all(self.at(x, y) == BLACK for y in range(top, bottom))]

    def crop(self, left: int, top: int, right: int, bottom: int) -> list[bytes]:
        return [self.data[(y * self.width + left) * 3:(y * self.width + right) * 3] for y in range(top, bottom)]


def write_table(folder: Path, rows: int = 40, wide: bool = False, columns: int = 4, font: str = "") -> Path:
    """A data file of four columns of distinct widths (five with a long note when `wide`; only
    the first `columns` of the four otherwise) and `rows` rows, no header or footer. The grid
    adds its row-number column in front."""
    note = "\tNote" if wide else ""
    lines = ["WindowTitle: Grid test"] + ([f"Font: {font}"] if font else []) + ["Titles:", "\t".join(["No.", "Name", "City", "Amount"][:columns]) + note,
             "Types:", "\t".join(["Number", "Text", "Text", "Number"][:columns]) + ("\tText" if wide else ""),
             "Data:"]
    cities = ["Sofia", "Plovdiv", "Varna", "Ruse"]
    for row in range(1, rows + 1):
        text = ("\t" + "a long note that makes the table wider than the window " * 3) if wide else ""
        cells = [str(row), f"Name number {row}", cities[row % 4], f"{row * 11}.50"][:columns]
        lines.append("\t".join(cells) + text)
    path = folder / "table.rdf"
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1251"))
    return path


def start(lintaro, args=()):
    """Starts the program and waits until its grid has settled below the speed bar."""
    lintaro.start(args=list(args))
    grid = lintaro.grid_window()
    deadline = time.monotonic() + 5.0
    last = None
    while time.monotonic() < deadline:
        rect = grid.info().rect
        if rect == last:
            break
        last = rect
        time.sleep(0.25)
    return grid


def grid_shot(lintaro, test_env, name: str) -> Picture:
    grid = lintaro.grid_window()
    path = lintaro.screenshot(test_env.screenshot_dir / f"grid-{name}.png", window=grid, client=True)
    return Picture(path)


def scroll_info(lintaro, bar: str) -> dict:
    grid = lintaro.grid_window()
    minimum, maximum, page, position, track = (int(v) for v in lintaro.driver.call("scrollinfo", grid.handle, bar))
    return {"min": minimum, "max": maximum, "page": page, "pos": position, "track": track}


def wait_position(lintaro, bar: str, expected: int, timeout: float = 3.0) -> dict:
    deadline = time.monotonic() + timeout
    while True:
        info = scroll_info(lintaro, bar)
        if info["pos"] == expected or time.monotonic() > deadline:
            return info
        time.sleep(0.05)


def shown_columns(app) -> tuple[list[str], list[int]]:
    """The titles of every column in grid order and the visible ones, as "Видими колони" lists
    them."""
    app.post_command(201)
    dialog = app.wait_dialog(" Подбор на видими колони")
    listed = dialog.list_items(101), dialog.list_selected(101)
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    return listed


def layout_records(path: Path) -> list[bytes]:
    data = path.read_bytes()
    count, = struct.unpack_from("<I", data, 10)
    return [data[LAYOUT_HEADER_SIZE + i * COLUMN_RECORD_SIZE:LAYOUT_HEADER_SIZE + (i + 1) * COLUMN_RECORD_SIZE]
            for i in range(count)]


def layout_widths_and_sources(path: Path) -> list[tuple[int, int]]:
    """(source, width on screen) of every column record of a column layout file."""
    data = path.read_bytes()
    magic, version, offset, size, count = struct.unpack_from("<IHHHI", data, 0)
    assert (magic, version, size) == (12345678, 20, COLUMN_RECORD_SIZE)
    records = []
    for i in range(count):
        source, = struct.unpack_from("<i", data, offset + i * size)
        width, = struct.unpack_from("<i", data, offset + i * size + 20)
        records.append((source, width))
    return records


# ------------------------------------------------------------------------------------------
# Painting


def test_demonstration_table_is_painted_page_by_page(lintaro, test_env):
    start(lintaro)
    shot = grid_shot(lintaro, test_env, "demonstration")
    # The red page-width mark, one pixel wide over the whole height.
    red_columns = [x for x in range(shot.width) if shot.at(x, shot.height // 2) == RED]
    assert len(red_columns) == 1
    assert colour_count(shot.path, RED) == shot.height
    # Header lines, then the titles with a rule above and below, then ruled rows.
    rules = shot.horizontal_rules()
    assert len(rules) > 20
    assert rules[0] > 20, "the two header lines stand above the titles"
    gaps = {b - a for a, b in zip(rules[2:], rules[3:])}
    assert len(gaps) == 1, "every data row is one text line high"
    # Six columns: the row numbers and five named ones, seven vertical rules.
    assert len(shot.vertical_rules(rules[0] + 1, rules[1])) == 7
    # White around the table.
    assert shot.at(1, shot.height - 2) == WHITE and shot.at(shot.width - 2, 2) == WHITE
    # The last page ends with the two footer lines under the last row.
    lintaro.key("ctrl+Next", window=lintaro.main)
    end = grid_shot(lintaro, test_env, "demonstration-end")
    end_rules = end.horizontal_rules()
    assert end_rules[-1] < end.height - 2 * 13, "the footer lines stand below the last rule"


@pytest.mark.parametrize("sample", ["furniture", "sales-bg", "lpt-report"])
def test_samples_are_painted(lintaro, test_env, tmp_path, sample):
    for file in SAMPLES.iterdir():
        shutil.copy(file, tmp_path / file.name)
    start(lintaro, [tmp_path / f"{sample}.rdf"])
    shot = grid_shot(lintaro, test_env, f"sample-{sample}")
    rules = shot.horizontal_rules()
    assert len(rules) >= 4, "titles and rows are ruled"
    if sample == "furniture":
        # The two pictures: colours that no text or rule has.
        others = sum(1 for y in range(shot.height) for x in range(shot.width)
                     if shot.at(x, y) not in (BLACK, WHITE, RED))
        assert others > 200, "the chair and the table pictures are shown"
    else:
        # A long table: Ctrl+Page Down shows the end, with the footer under the last row.
        lintaro.key("ctrl+Next", window=lintaro.main)
        end = grid_shot(lintaro, test_env, f"sample-{sample}-end")
        assert end.crop(0, 0, end.width, end.height) != shot.crop(0, 0, shot.width, shot.height)
        info = scroll_info(lintaro, "V")
        assert info["pos"] + info["page"] == info["max"] + 1


def test_page_breaks_between_pages(lintaro, test_env, tmp_path):
    start(lintaro, [SAMPLES / "sales-bg.rdf"])
    # Page by page until a dotted page-break band is in view.
    for _ in range(12):
        shot = grid_shot(lintaro, test_env, "sales-page-break")
        dotted = [y for y in range(shot.height)
                  if all(shot.at(x, y) == (BLACK if x % 3 == 1 else WHITE) for x in range(0, 60))]
        if dotted:
            break
        lintaro.key("Next", window=lintaro.main)
    assert dotted, "a page break shows as a dotted line across the window"


# ------------------------------------------------------------------------------------------
# Scrolling


def test_keyboard_scrolls_in_text_lines_and_pages(lintaro, tmp_path):
    start(lintaro, [write_table(tmp_path, rows=200)])
    first = scroll_info(lintaro, "V")
    assert first["pos"] == 0 and first["page"] > 10 and first["max"] > 200
    lintaro.key("Down", "Down", "Down", window=lintaro.main)
    assert wait_position(lintaro, "V", 3)["pos"] == 3
    lintaro.key("Up", window=lintaro.main)
    at_two = wait_position(lintaro, "V", 2)
    assert at_two["pos"] == 2
    # Page Down: the last whole line in view comes to the top.
    lintaro.key("Next", window=lintaro.main)
    paged = scroll_info(lintaro, "V")
    assert paged["pos"] == 2 + at_two["page"] - 1
    lintaro.key("Prior", window=lintaro.main)
    assert wait_position(lintaro, "V", 2)["pos"] == 2
    # Ctrl+Page Down: the end of the table; Down then does nothing.
    lintaro.key("ctrl+Next", window=lintaro.main)
    end = scroll_info(lintaro, "V")
    assert end["pos"] + end["page"] == end["max"] + 1
    lintaro.key("Down", window=lintaro.main)
    assert scroll_info(lintaro, "V")["pos"] == end["pos"]
    # Ctrl+Page Up: back to the start.
    lintaro.key("ctrl+Prior", window=lintaro.main)
    assert wait_position(lintaro, "V", 0)["pos"] == 0


def test_scroll_bar_arrows_track_and_thumb(lintaro, test_env, tmp_path):
    grid = start(lintaro, [write_table(tmp_path, rows=200)])
    lintaro.focus()
    info = grid.info()
    width, height = info.client_size
    bar_x = width + 8  # the vertical bar right of the client area
    # The down arrow at the bottom of the bar moves one text line.
    lintaro.click(bar_x, height - 8, window=grid)
    assert wait_position(lintaro, "V", 1)["pos"] == 1
    lintaro.click(bar_x, 8, window=grid)
    assert wait_position(lintaro, "V", 0)["pos"] == 0
    # A click on the track below the thumb pages down.
    lintaro.click(bar_x, height - 40, window=grid)
    page = scroll_info(lintaro, "V")
    assert page["pos"] == page["page"] - 1
    # Dragging the thumb to the bottom shows the end.
    arrow = 17  # the height of a scroll bar arrow button
    track = height - 2 * arrow
    thumb = track * page["page"] // (page["max"] + 1)
    thumb_y = arrow + (track - thumb) * page["pos"] // (page["max"] + 1 - page["page"]) + thumb // 2
    lintaro.drag(bar_x, thumb_y, bar_x, height - arrow - 2, window=grid, steps=12)
    end = scroll_info(lintaro, "V")
    assert end["pos"] > page["pos"] + 100
    shot = grid_shot(lintaro, test_env, "scrolled-to-end")
    assert len(shot.horizontal_rules()) > 10


def test_horizontal_scroll_bar_moves_in_eight_pixel_steps(lintaro, test_env, tmp_path):
    start(lintaro, [write_table(tmp_path, rows=20, wide=True)])
    grid = lintaro.grid_window()
    width, height = grid.info().client_size
    info = scroll_info(lintaro, "H")
    assert info["page"] == width
    assert info["max"] > width, "the table is wider than the window"
    before = grid_shot(lintaro, test_env, "wide-left")
    # The right arrow under the client area's right end: 8 pixels; the left arrow back.
    lintaro.click(width - 8, height + 8, window=grid)
    assert wait_position(lintaro, "H", 8)["pos"] == 8
    shifted = grid_shot(lintaro, test_env, "wide-shifted")
    rules = before.horizontal_rules()
    row = rules[2] + 3
    assert [x - 8 for x in before.vertical_rules(rules[2] + 1, rules[3]) if x >= 8] == \
        shifted.vertical_rules(rules[2] + 1, rules[3])
    lintaro.click(width - 8, height + 8, window=grid)
    assert wait_position(lintaro, "H", 16)["pos"] == 16
    lintaro.click(8, height + 8, window=grid)
    assert wait_position(lintaro, "H", 8)["pos"] == 8
    assert row > 0


def test_arrows_home_end_and_the_wheel_reach_every_side_of_a_wide_table(lintaro, tmp_path):
    grid = start(lintaro, [write_table(tmp_path, rows=200, wide=True)])
    info = scroll_info(lintaro, "H")
    right_end = info["max"] - info["page"]  # where the arrows stop: the table's right end in view
    assert right_end > 24, "the table is wider than the window"
    # Right and Left as the scroll-bar arrows, End and Home to the two ends.
    lintaro.key("Right", "Right", window=lintaro.main)
    assert wait_position(lintaro, "H", 16)["pos"] == 16
    lintaro.key("Left", window=lintaro.main)
    assert wait_position(lintaro, "H", 8)["pos"] == 8
    lintaro.key("End", window=lintaro.main)
    assert wait_position(lintaro, "H", right_end)["pos"] == right_end
    lintaro.key("Right", window=lintaro.main)
    assert scroll_info(lintaro, "H")["pos"] == right_end
    lintaro.key("Home", window=lintaro.main)
    assert wait_position(lintaro, "H", 0)["pos"] == 0
    # Ctrl+End and Ctrl+Home: the last and the first line.
    lintaro.key("ctrl+End", window=lintaro.main)
    end = scroll_info(lintaro, "V")
    assert end["pos"] + end["page"] == end["max"] + 1
    lintaro.key("ctrl+Home", window=lintaro.main)
    assert wait_position(lintaro, "V", 0)["pos"] == 0
    # The wheel: a notch towards the user is three Down presses; with Shift three steps right.
    width, height = grid.info().client_size
    lintaro.click(width // 2, height // 2, window=grid, button=5)
    assert wait_position(lintaro, "V", 3)["pos"] == 3
    lintaro.click(width // 2, height // 2, window=grid, button=5, repeat=2)
    assert wait_position(lintaro, "V", 9)["pos"] == 9
    lintaro.click(width // 2, height // 2, window=grid, button=4)
    assert wait_position(lintaro, "V", 6)["pos"] == 6
    _xdotool("keydown", "shift")
    try:
        lintaro.click(width // 2, height // 2, window=grid, button=5)
    finally:
        _xdotool("keyup", "shift")
    assert wait_position(lintaro, "H", 24)["pos"] == 24
    assert scroll_info(lintaro, "V")["pos"] == 6


# ------------------------------------------------------------------------------------------
# Mouse: column edges and titles


def first_row_and_rules(shot: Picture) -> tuple[int, int, list[int], list[int]]:
    """Titles band, first data row band (top, bottom) and the vertical rules in each."""
    rules = shot.horizontal_rules()
    titles_top, titles_bottom = rules[0] + 1, rules[1]
    row_top, row_bottom = rules[2] + 1, rules[3]  # the column numbers are the line under the titles
    return titles_top, row_top, shot.vertical_rules(titles_top, titles_bottom), shot.vertical_rules(row_top, row_bottom)


def test_closing_the_window_during_a_column_drag_ends_with_code_0_and_saves_the_layout(
        lintaro, test_env, tmp_path):
    data = write_table(tmp_path)
    layout = tmp_path / "table.fmt"
    start(lintaro, [data, layout])
    _, row_top, _, edges = first_row_and_rules(grid_shot(lintaro, test_env, "close-in-drag"))
    grid = lintaro.grid_window()
    lintaro.move_mouse(edges[3], row_top + 3, window=grid)
    _xdotool("mousedown", 1)
    try:
        lintaro.move_mouse(edges[3] + 20, row_top + 3, window=grid)
        # The move reaches the drag's own message loop before the close does, also on a busy machine.
        time.sleep(0.3)
        lintaro.main.post(WM_CLOSE)
        time.sleep(0.5)
    finally:
        _xdotool("mouseup", 1)
    # The close waited for the drag: the new width is in the layout file.
    assert lintaro.exit_code() == 0
    records = layout_widths_and_sources(layout)
    assert [source for source, _ in records] == [-1, 11, 12, 13, 14]
    assert records[2][1] == edges[3] + 20 - edges[2] - 1


def test_dragging_a_column_edge_resizes_it_and_the_layout_file_keeps_it(lintaro, test_env, tmp_path):
    data = write_table(tmp_path)
    layout = tmp_path / "table.fmt"
    start(lintaro, [data, layout])
    before = grid_shot(lintaro, test_env, "resize-before")
    _, row_top, _, edges = first_row_and_rules(before)
    assert len(edges) == 6, "the row numbers and four columns"
    grid = lintaro.grid_window()
    # The right edge of "Name", 40 pixels to the right.
    edge = edges[3]
    lintaro.drag(edge, row_top + 3, edge + 40, row_top + 3, window=grid, steps=10)
    after = grid_shot(lintaro, test_env, "resize-after")
    _, _, _, moved = first_row_and_rules(after)
    assert moved[:3] == edges[:3]
    assert moved[3] == edge + 40
    assert moved[4:] == [x + 40 for x in edges[4:]]
    # On closing, the layout file is written with the new width.
    assert lintaro.close() == 0
    records = layout_widths_and_sources(layout)
    assert [source for source, _ in records] == [-1, 11, 12, 13, 14]
    assert records[2][1] == moved[3] - moved[2] - 1


def test_a_drag_of_one_pixel_changes_nothing(lintaro, app_factory, test_env, tmp_path):
    data = write_table(tmp_path)
    layout = tmp_path / "table.fmt"
    # A first run writes the natural widths; the second loads them and must not rewrite.
    start(lintaro, [data, layout])
    assert lintaro.close() == 0
    written = layout.read_bytes()
    stamp = layout.stat().st_mtime_ns
    again = app_factory(name="one_pixel_again")
    start(again, [data, layout])
    shot = grid_shot(again, test_env, "one-pixel")
    _, row_top, _, edges = first_row_and_rules(shot)
    again.drag(edges[3], row_top + 3, edges[3] + 1, row_top + 3, window=again.grid_window(), steps=2)
    assert again.close() == 0
    assert layout.stat().st_mtime_ns == stamp
    assert layout.read_bytes() == written


def test_dragging_a_title_moves_the_column(lintaro, test_env, tmp_path):
    start(lintaro, [write_table(tmp_path)])
    grid = lintaro.grid_window()
    before = grid_shot(lintaro, test_env, "move-before")
    titles_top, _, title_rules, _ = first_row_and_rules(before)
    titles_bottom = titles_top + 10
    cells = [before.crop(a + 1, titles_top, b, titles_bottom) for a, b in zip(title_rules, title_rules[1:])]
    assert len(cells) == 5
    # "City" (the fourth cell) dropped on "Name" (the third) takes its place.
    lintaro.drag((title_rules[3] + title_rules[4]) // 2, titles_top + 4,
                 (title_rules[2] + title_rules[3]) // 2, titles_top + 4, window=grid)
    after = grid_shot(lintaro, test_env, "move-after")
    _, _, moved_rules, _ = first_row_and_rules(after)
    moved = [after.crop(a + 1, titles_top, b, titles_bottom) for a, b in zip(moved_rules, moved_rules[1:])]
    assert moved == [cells[0], cells[1], cells[3], cells[2], cells[4]]


def test_dropping_a_title_past_the_right_end_moves_the_column_last(lintaro, test_env, tmp_path):
    start(lintaro, [write_table(tmp_path)])
    grid = lintaro.grid_window()
    before = grid_shot(lintaro, test_env, "move-last-before")
    titles_top, _, title_rules, _ = first_row_and_rules(before)
    titles_bottom = titles_top + 10
    cells = [before.crop(a + 1, titles_top, b, titles_bottom) for a, b in zip(title_rules, title_rules[1:])]
    lintaro.drag((title_rules[1] + title_rules[2]) // 2, titles_top + 4,
                 title_rules[-1] + 120, titles_top + 4, window=grid)
    after = grid_shot(lintaro, test_env, "move-last-after")
    _, _, moved_rules, _ = first_row_and_rules(after)
    moved = [after.crop(a + 1, titles_top, b, titles_bottom) for a, b in zip(moved_rules, moved_rules[1:])]
    assert moved == [cells[0], cells[2], cells[3], cells[4], cells[1]]
    # A click on the rule between two titles moves nothing.
    lintaro.drag(moved_rules[2], titles_top + 4, moved_rules[-1] + 60, titles_top + 4, window=grid)
    again = grid_shot(lintaro, test_env, "move-on-rule")
    assert again.crop(0, 0, again.width, again.height) == after.crop(0, 0, after.width, after.height)


def test_a_moved_arrangement_is_kept_with_its_own_titles_across_runs_and_data_files(lintaro, app_factory,
                                                                                     test_env, tmp_path):
    data = write_table(tmp_path)
    layout = tmp_path / "table.fmt"
    start(lintaro, [data, layout])
    assert lintaro.close() == 0  # the first run writes the natural widths
    # A move alone is worth keeping: "No" (the row numbers) dropped on "City".
    moving = app_factory(name="arrangement_move")
    start(moving, [data, layout])
    titles_top, _, title_rules, _ = first_row_and_rules(grid_shot(moving, test_env, "arrangement-before"))
    moving.drag((title_rules[0] + title_rules[1]) // 2, titles_top + 4,
                (title_rules[3] + title_rules[4]) // 2, titles_top + 4, window=moving.grid_window())
    assert moving.close() == 0
    assert [source for source, _ in layout_widths_and_sources(layout)] == [11, 12, 13, -1, 14]
    saved, stamp = layout.read_bytes(), layout.stat().st_mtime_ns

    # Started again: every column has its own title, and nothing changed is nothing written.
    again = app_factory(name="arrangement_again")
    start(again, [data, layout])
    assert shown_columns(again) == (["No.", "Name", "City", "No", "Amount"], [0, 1, 2, 3, 4])
    assert again.close() == 0
    assert layout.stat().st_mtime_ns == stamp and layout.read_bytes() == saved

    # The data file has gained a column: it follows the arrangement, shown.
    gained = app_factory(name="arrangement_gained")
    start(gained, [write_table(tmp_path, wide=True), layout])
    assert shown_columns(gained) == (["No.", "Name", "City", "No", "Amount", "Note"], [0, 1, 2, 3, 4, 5])
    assert gained.close() == 0
    # ...and has lost one: its place stays, with no title.
    lost = app_factory(name="arrangement_lost")
    start(lost, [write_table(tmp_path, columns=3), layout])
    assert shown_columns(lost) == (["No.", "Name", "City", "No", ""], [0, 1, 2, 3, 4])
    assert lost.close() == 0
    assert layout.read_bytes() == saved


def test_at_double_cell_height_the_column_number_band_is_no_row_edge(lintaro, test_env, tmp_path):
    start(lintaro, [write_table(tmp_path)])
    lintaro.post_command(211)
    dialog = lintaro.wait_dialog(" Оформление на таблицата")
    dialog.select_combo(112, "x 200 %")
    dialog.click(IDOK)
    dialog.wait_gone()
    before = grid_shot(lintaro, test_env, "double-height")
    rules = before.horizontal_rules()
    numbers_bottom = rules[2]  # titles above, column numbers below, then the first row
    edges = before.vertical_rules(rules[2] + 1, rules[3])
    assert rules[3] - rules[2] > 2 * (rules[1] - rules[0]) // 3, "rows are as tall as the titles"
    # Four pixels above the first row, on a column's rule: a press there resizes nothing.
    grid = lintaro.grid_window()
    lintaro.drag(edges[3], numbers_bottom - 4, edges[3] + 40, numbers_bottom - 4, window=grid, steps=10)
    after = grid_shot(lintaro, test_env, "double-height-after")
    assert after.vertical_rules(rules[2] + 1, rules[3]) == edges


def test_a_big_tables_natural_widths_take_its_widest_cell_wherever_it_lies(lintaro, app_factory, tmp_path):
    # Tens of thousands of rows are measured in parts; the widest name, late in the table, must
    # give its column the width it gets in a table of that row alone.
    widest = "Name number 45000 " + "W" * 30
    tables = {}
    for name, rows, row in (("big", 60000, 45000), ("alone", 1, 1)):
        folder = tmp_path / name
        folder.mkdir()
        data = write_table(folder, rows=rows)
        data.write_bytes(data.read_bytes().replace(f"\tName number {row}\t".encode(), f"\t{widest}\t".encode()))
        tables[name] = (data, folder / "table.fmt")
    names = {}
    for name, (data, layout) in tables.items():
        app = lintaro if name == "big" else app_factory(name="widest_alone")
        start(app, [data, layout])
        if name == "big":
            app.key("ctrl+w", window=app.main)  # measured again: the same
            time.sleep(1.0)
        assert app.close() == 0
        names[name] = layout_records(layout)[2]  # row numbers, No., Name
    assert names["big"] == names["alone"]
    # The long name, not a "Name number" of the rows around it: far wider than the cities.
    widths = layout_widths_and_sources(tables["big"][1])
    assert widths[2][1] > 2 * widths[3][1]


def test_a_large_table_font_gets_its_own_natural_widths_at_start_up(lintaro, app_factory, tmp_path):
    data = write_table(tmp_path, font="Arial, 20")
    layout = tmp_path / "table.fmt"
    start(lintaro, [data, layout])
    assert lintaro.close() == 0
    at_start = layout_records(layout)
    # "Естествени ширини" measures them again with the font in place: nothing to change.
    again = app_factory(name="large_font_widths")
    start(again, [data, layout])
    again.key("ctrl+w", window=again.main)
    time.sleep(0.5)
    assert again.close() == 0
    assert layout_records(layout) == at_start

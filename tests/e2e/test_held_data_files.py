"""A data file its writer still holds open (exclusively, no sharing) when the program starts:
the program waits up to 10 s for it, then gives up and shows the demonstration table; a file
in a folder that does not exist fails at once. A held picture is never waited for."""

from __future__ import annotations

import struct
import time
from pathlib import Path

from lintaro_harness import Lintaro, colour_count
from wine_process import FileHolder

DEFAULT_CAPTION = "Lintaro 2.0"
WAIT_DEADLINE = 10.0


def write_table(folder: Path) -> Path:
    lines = ["WindowTitle: Held table", "Titles:", "No.\tName", "Data:"]
    lines += [f"{row}\tName number {row}" for row in range(1, 101)]
    path = folder / "held.rdf"
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1251"))
    return path


def start_timed(app: Lintaro, data: Path) -> float:
    """Starts the program on the data file; seconds until its main window shows (the data file
    is read while the window is created)."""
    started = time.monotonic()
    app.start([data], timeout=WAIT_DEADLINE + 20)
    return time.monotonic() - started


def row_lines(app: Lintaro) -> int:
    """The vertical scroll range of the grid: one text line per row plus the page furniture."""
    _, maximum, *_ = (int(v) for v in app.driver.call("scrollinfo", app.grid_window().handle, "V"))
    return maximum + 1


def test_a_file_held_for_3_s_loads_once_its_writer_lets_go(lintaro, test_env, tmp_path):
    data = write_table(tmp_path)
    with FileHolder(test_env, data, hold_ms=3000) as holder:
        holder.wait_holding()
        seconds = start_timed(lintaro, data)
        assert holder.wait_released() == 0
    print(f"held 3 s: the table showed after {seconds:.1f} s")
    assert lintaro.main.info().caption == "Held table"
    assert row_lines(lintaro) > 100
    assert 2.0 < seconds < WAIT_DEADLINE, "it waited for the writer, not for the deadline"
    assert lintaro.close() == 0


def test_a_file_held_for_15_s_gives_the_demonstration_table_after_10_s(lintaro, test_env, tmp_path):
    data = write_table(tmp_path)
    with FileHolder(test_env, data, hold_ms=15000) as holder:
        holder.wait_holding()
        seconds = start_timed(lintaro, data)
        still_held = holder.process.poll() is None
    print(f"held 15 s: the demonstration table showed after {seconds:.1f} s")
    assert still_held
    assert lintaro.main.info().caption == DEFAULT_CAPTION
    assert row_lines(lintaro) > 128, "the 128 rows of the demonstration table"
    assert WAIT_DEADLINE - 0.5 < seconds < 14.0
    assert lintaro.close() == 0


def test_a_file_in_a_missing_folder_fails_at_once(lintaro, tmp_path):
    seconds = start_timed(lintaro, tmp_path / "missing-folder" / "table.rdf")
    print(f"missing folder: the demonstration table showed after {seconds:.1f} s")
    assert lintaro.main.info().caption == DEFAULT_CAPTION
    assert seconds < 2.0
    assert lintaro.close() == 0


GREEN = (0, 255, 0)
WM_NULL = 0x0000


def green_bitmap(width: int, height: int) -> bytes:
    """A 24-bit BMP file, all green (rows of a multiple of 4 bytes when width is)."""
    bits = b"\0\xff\0" * width * height
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(bits), 0, 0, 0, 0)
    return b"BM" + struct.pack("<IHHI", 54 + len(bits), 0, 0, 54) + info + bits


def test_a_held_picture_shows_as_missing_at_once_and_appears_once_free(lintaro, test_env, tmp_path):
    # Each picture cell is measured and painted several times before the window shows; waiting
    # 10 s at each kept the window away for minutes.
    picture = tmp_path / "held.bmp"
    picture.write_bytes(green_bitmap(24, 16))
    lines = ["WindowTitle: Held picture", "Titles:", "No.\tPhoto", "Types:", "Number\tPicture",
             "Data:"] + [f"{row}\theld.bmp" for row in (1, 2, 3)]
    data = tmp_path / "pictures.rdf"
    data.write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1251"))
    grid_shot = test_env.screenshot_dir / "held-picture.png"
    with FileHolder(test_env, picture, hold_ms=120000) as holder:
        holder.wait_holding()
        seconds = start_timed(lintaro, data)
        lintaro.main.send(WM_NULL)
        print(f"held picture: the table showed after {seconds:.1f} s")
        assert seconds < 5.0
        lintaro.screenshot(grid_shot, window=lintaro.grid_window())
        assert colour_count(grid_shot, GREEN) == 0, "shown as missing while held"
        holder.stop()
    lintaro.key("ctrl+w")  # natural widths: measures and paints every cell again
    lintaro.main.send(WM_NULL)
    lintaro.screenshot(grid_shot, window=lintaro.grid_window())
    assert colour_count(grid_shot, GREEN) == 3 * 24 * 16, "read again once free"
    assert lintaro.close() == 0

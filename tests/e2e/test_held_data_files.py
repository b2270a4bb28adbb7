"""A data file its writer still holds open (exclusively, no sharing) when the program starts:
the program waits up to 10 s for it, then gives up and shows the demonstration table; a file
in a folder that does not exist fails at once."""

from __future__ import annotations

import time
from pathlib import Path

from lintaro_harness import Lintaro
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

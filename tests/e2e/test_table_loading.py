"""Loading a data file at start-up: caption, failed loads, and the column layout file."""

from __future__ import annotations

import struct
import subprocess
import sys
import time
from pathlib import Path

from lintaro_harness import image_size

# The sample tables and pictures kept with the tests.
SAMPLES = Path(__file__).resolve().parents[1] / "samples"

LAYOUT_MAGIC = 12345678

HEAD_WITH_FONT = (
    "WindowTitle:  Склад   мебели \r\n"
    "Font: Arial, 12, Bold\r\n"
    "Titles:\r\nNo.\tItem\tPrice\r\nTypes:\r\nNumber\tText\tNumber\r\n"
    "Data:\r\n1\tСтол\t12.50\r\n2\tМаса\t\r\n")


def test_caption_comes_from_the_window_title_key(lintaro, test_env):
    main = lintaro.start([SAMPLES / "sales-bg.rdf"])
    assert main.info().caption == "Продажби по региони"
    grid = lintaro.grid_window()
    assert grid.info().class_name == "PrintableTableClassName"


def test_a_file_that_fails_to_load_keeps_the_default_caption(lintaro):
    # Lines ending in LF alone: the titles line is not found, so the demonstration table shows.
    lintaro.prepare(files={"broken.rdf": "WindowTitle: Broken\nTitles:\nA\nData:\nx\n"})
    main = lintaro.start([lintaro.folder / "broken.rdf"])
    assert main.info().caption == "Lintaro 2.0"
    assert lintaro.grid_window().info().class_name == "PrintableTableClassName"


def test_a_missing_file_gives_the_demonstration_table(lintaro):
    main = lintaro.start(["/no/such/folder/table.rdf"])
    assert main.info().caption == "Lintaro 2.0"
    assert lintaro.close() == 0


def read_layout(path):
    data = path.read_bytes()
    magic, version, records_at, record_size, count = struct.unpack_from("<IHHHI", data, 0)
    return data, magic, version, records_at, record_size, count


def test_layout_file_is_written_on_exit_only_when_modified(lintaro, app_factory):
    folder = lintaro.prepare(files={"stock.rdf": HEAD_WITH_FONT})
    layout = folder / "stock.rff"
    main = lintaro.start([folder / "stock.rdf", layout])
    assert main.info().caption == "Склад мебели"
    assert not layout.exists()
    # Natural widths computed at load differ from the empty widths: the layout was modified.
    assert lintaro.close() == 0

    data, magic, version, records_at, record_size, count = read_layout(layout)
    assert (magic, version, records_at, record_size) == (LAYOUT_MAGIC, 20, 128, 48)
    assert count == 4  # the row number column and three data columns
    assert len(data) == 128 + count * 48
    line_type, cell_height, page_number, flags = struct.unpack_from("<BHBI", data, 26)
    assert (line_type, cell_height, page_number, flags) == (1, 0, 3, 6)
    face = data[34:66].split(b"\0")[0]
    size, style = struct.unpack_from("<iI", data, 66)
    assert (face, size, style) == (b"Arial", 120, 1), "the head's font is the table font"
    sources = [struct.unpack_from("<i", data, records_at + i * record_size)[0] for i in range(count)]
    assert sources == [-1, 11, 12, 13]
    widths = [struct.unpack_from("<i", data, records_at + i * record_size + 20)[0]
              for i in range(count)]
    assert all(width > 0 for width in widths)

    # The next run takes the file as it is and, with nothing changed, does not write it again.
    written = layout.stat().st_mtime_ns
    time.sleep(1.1)
    again = app_factory(name="second_run")
    again.start([folder / "stock.rdf", layout], folder=folder)
    assert again.close() == 0
    assert layout.stat().st_mtime_ns == written
    assert layout.read_bytes() == data


def test_main_window_screenshot_with_a_loaded_table(lintaro, test_env):
    lintaro.start([SAMPLES / "furniture.rdf"])
    shot = lintaro.screenshot(test_env.screenshot_dir / "loaded-furniture.png")
    assert image_size(shot) == (896, 576)


def test_a_cancelled_load_of_a_big_file_gives_the_demonstration_table(lintaro, tmp_path):
    table = tmp_path / "big.rdf"
    maker = Path(__file__).resolve().parents[2] / "scripts" / "make-table.py"
    # Read in blocks in one pass, a million rows can be in before the progress window is due.
    subprocess.run([sys.executable, str(maker), str(table), "--rows", "3000000", "--title", "Голяма"],
                   check=True)
    lintaro.start([table], wait=False)
    progress = lintaro.driver.wait(window_class="LintaroProgress", exe=lintaro.windows_exe, visible=True,
                                   timeout=60)
    assert progress.control_text(101) == "Зареждане на таблицата от файла..."
    assert progress.control_text(102).startswith("Прочетено: ")
    progress.click(2)  # "Отказ"
    main = lintaro.wait_main_window(timeout=60)
    # The table the program shows without a data file, under its own caption.
    assert main.info().caption == "Lintaro 2.0"
    grid = lintaro.grid_window()
    grid.record_text()
    grid.send(0x000F)  # WM_PAINT
    painted = [text for paint in grid.painted_text() for _, _, text in paint]
    assert any("Колона 1" in text for text in painted), painted[:20]
    assert not any("Голяма" in text for text in painted)
    assert lintaro.driver.find(window_class="LintaroProgress", exe=lintaro.windows_exe) == []

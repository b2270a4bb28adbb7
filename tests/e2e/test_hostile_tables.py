"""Hostile data files: thousands of columns, cells and rows at the size limits, a line of 10 MB,
binary garbage, the layout file of another table, and a data file of 1 GB. Each opens, or falls
back to the demonstration table where the loader says so, without a crash and within a bounded
amount of memory (the peak resident size of the program's process)."""

from __future__ import annotations

import random
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Optional

import pytest

from layout_file_reader import read_layout
from lintaro_harness import IDOK, HarnessError, Lintaro, windows_path
from test_export import FORMATS, export, read_back
from wine_process import peak_memory

MIB = 1 << 20
DEFAULT_CAPTION = "Lintaro 2.0"
CAPTION = "Hostile table"
SMALL_FILE_MEMORY_LIMIT = 300 * MIB
MOST_COLUMNS = 1055  # the table store's limit; the grid adds its row number column
WM_NULL = 0x0000


def table_bytes(titles: list[bytes], rows: list[bytes], title: str = CAPTION) -> bytes:
    head = f"WindowTitle: {title}\r\nTitles:\r\n".encode("cp1251") + b"\t".join(titles)
    return head + b"\r\nData:\r\n" + b"".join(row + b"\r\n" for row in rows)


def titles(count: int) -> list[bytes]:
    return [b"C%d" % column for column in range(1, count + 1)]


def layout_sources(path: Path) -> list[int]:
    """The column sources of a layout file the program wrote: -1 for the row numbers, then
    the table store column identifiers 11, 12, ..."""
    return [column.source for column in read_layout(path.read_bytes()).columns]


def scroll_range(app: Lintaro, bar: str) -> dict:
    fields = app.driver.call("scrollinfo", app.grid_window().handle, bar)
    _, maximum, page, position, _ = (int(field) for field in fields)
    return {"max": maximum, "page": page, "pos": position}


def wait_responding(app: Lintaro, deadline: float) -> None:
    """Waits until the program handles messages again: a big table is laid out for its first
    paint after the window shows, and the driver does not wait for a program that is busy."""
    while True:
        try:
            app.main.send(WM_NULL)
            return
        except HarnessError:
            if time.monotonic() > deadline or not app.is_running():
                raise
            time.sleep(0.2)


@dataclass
class Opened:
    caption: str
    seconds: float  # from the start until the table showed and the program responded
    peak: int  # bytes
    vertical: dict
    horizontal: dict
    layout: Optional[list[int]]  # the sources in the layout file written on exit, if one was
    notice: Optional[str]  # the message shown once after loading, if there was one


def take_notice(app: Lintaro) -> str:
    """The text of the message the program shows once after loading; closes it with OK."""
    box, caption, text = app.wait_message_box()
    assert caption == DEFAULT_CAPTION
    assert box.info().owner == app.main.handle
    box.click(IDOK)
    box.wait_gone()
    assert app.dialogs() == [], "said once"
    return text


def open_and_close(app: Lintaro, test_env, data: Path, name: str, layout: Optional[Path] = None,
                   natural_widths: bool = False, timeout: float = 60.0,
                   notice: bool = False) -> Opened:
    """Starts the program on the data file and a layout file (by default one that does not exist
    yet: the program writes it on exit when the table loaded, which tells its columns), takes
    the message shown after loading when `notice` says there is one (else there must be none),
    looks at the window, ends the program normally and reports what it found."""
    layout = layout or data.with_name(data.stem + ".fmt")
    started = time.monotonic()
    app.start([data, layout], timeout=timeout)
    wait_responding(app, started + timeout)
    seconds = time.monotonic() - started
    text = take_notice(app) if notice else None
    assert app.dialogs() == []
    if natural_widths:
        app.key("ctrl+w")
    app.main.send(WM_NULL)
    app.screenshot(test_env.screenshot_dir / f"hostile-{name}.png")
    app.key("ctrl+Next")
    app.main.send(WM_NULL)
    app.screenshot(test_env.screenshot_dir / f"hostile-{name}-end.png")
    opened = Opened(caption=app.main.info().caption, seconds=seconds, peak=peak_memory(app),
                    vertical=scroll_range(app, "V"), horizontal=scroll_range(app, "H"), layout=None,
                    notice=text)
    assert app.close(timeout=60) == 0
    if layout.exists():
        opened.layout = layout_sources(layout)
    print(f"{name}: {data.stat().st_size / MIB:.1f} MB file, ready after {seconds:.2f} s, "
          f"peak {opened.peak / MIB:.0f} MB")
    return opened


def garbage(size: int, seed: int) -> bytes:
    """Random bytes with TABs, about one in eight of them NUL, and no line ends."""
    noise = random.Random(seed).randbytes(size)
    return bytes(byte if byte >= 32 or byte == 9 else 0 for byte in noise)


def columns_of(count: int) -> list[int]:
    return [-1] + list(range(11, 11 + count))


# ----------------------------------------------------------------------------------------------
# Small hostile files


def test_1055_columns_load_whole(lintaro, test_env, tmp_path):
    rows = [b"\t".join(b"r%dc%d" % (row, column) for column in range(MOST_COLUMNS))
            for row in range(20)]
    data = tmp_path / "wide.rdf"
    data.write_bytes(table_bytes(titles(MOST_COLUMNS), rows))
    opened = open_and_close(lintaro, test_env, data, "1055-columns")
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(MOST_COLUMNS)
    assert opened.horizontal["max"] > 50 * opened.horizontal["page"], "far wider than the window"
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_5000_columns_keep_the_first_1055(lintaro, test_env, tmp_path):
    rows = [b"\t".join(b"%d.%d" % (row, column) for column in range(5000)) for row in range(20)]
    data = tmp_path / "wider.rdf"
    data.write_bytes(table_bytes(titles(5000), rows))
    opened = open_and_close(lintaro, test_env, data, "5000-columns")
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(MOST_COLUMNS)
    assert opened.vertical["max"] >= 20
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_a_255_byte_cell_in_every_column(lintaro, app_factory, test_env, tmp_path):
    # Only 253 such cells fit in a row of 65535 bytes; the others are dropped, the table opens
    # and the user is told how many rows were cut. Unattended runs say so on standard error and
    # still write the table.
    row = b"\t".join(bytes([ord("A") + column % 26]) * 255 for column in range(MOST_COLUMNS))
    data = tmp_path / "full-cells.rdf"
    data.write_bytes(table_bytes(titles(MOST_COLUMNS), [row] * 30 + [b"short\trow"]))
    opened = open_and_close(lintaro, test_env, data, "255-byte-cells", notice=True)
    assert opened.notice == ("Някои редове на таблицата от файла\r\n" + str(windows_path(data)) +
                             "\r\nса по-дълги от 65535 байта. Съкратени редове: 30.\r\n"
                             "Клетките в края им, които не се побират, не са заредени.")
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(MOST_COLUMNS)
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT

    warning = " rows of {} are longer than 65535 bytes; the cells at their ends that did not fit were left out"
    converted = subprocess.run([str(test_env.convert_exe), str(data), "--to", "tsv"], capture_output=True)
    assert converted.returncode == 0
    assert converted.stderr.decode() == "lintaro-convert: warning: 30" + warning.format(data) + "\n"
    cells = converted.stdout.split(b"\r\n")[3].split(b"\t")  # the first row, after its row number
    assert cells[253] == b"S" * 255 and cells[254:] == [b""] * (MOST_COLUMNS - 253)
    job_file = tmp_path / "job.tsv"
    job = app_factory(name="cut-rows-job").run_job([data, "/export", "tsv", job_file])
    assert (job.exit_code, job.window_shown) == (0, False)
    assert job.stderr == "lintaro: warning: 30" + warning.format(windows_path(data)) + "\r\n"
    assert job_file.read_bytes() == converted.stdout


def test_a_row_of_8192_bytes(lintaro, test_env, tmp_path):
    row = b"\t".join([b"w" * 255] * 32) + b"x"  # the last cell one byte over the cell limit
    assert len(row) == 8192
    data = tmp_path / "long-row.rdf"
    data.write_bytes(table_bytes(titles(32), [b"1\t2\t3", row, row, b"4\t5\t6"]))
    opened = open_and_close(lintaro, test_env, data, "8192-byte-row")
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(32)
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_rows_past_8192_bytes_and_keys_inside_lines_load_whole(lintaro, tmp_path):
    # Rows of about 44 KB lost their cells past column 800; a caption holding "data:" failed the
    # load and a header line with "Data:" after its TAB split the table.
    rows = [[f"r{row}c{column}".ljust(40, ".") for column in range(MOST_COLUMNS)] for row in range(3)]
    data = tmp_path / "wide-rows.rdf"
    data.write_bytes(table_bytes(titles(MOST_COLUMNS), ["\t".join(r).encode() for r in rows],
                                 title="Raw data: 2024\r\nHeader:\r\nLeft\tData: start"))
    lintaro.start([data])
    lintaro.main.send(WM_NULL)
    assert lintaro.dialogs() == [], "nothing was cut"
    assert lintaro.main.info().caption == "Raw data: 2024"
    exported = tmp_path / "wide-rows.txt"
    export(lintaro, exported, FORMATS[1], "Windows")
    _, records = read_back("tsv", "cp1251", exported)
    assert records[0][-1] == f"C{MOST_COLUMNS}"
    assert [record[1:] for record in records[1:]] == rows
    assert lintaro.close() == 0


def memory_and_swap() -> int:
    """Bytes of memory and swap of this machine: the kernel refuses any one allocation larger."""
    sizes = {}
    for line in Path("/proc/meminfo").read_text().splitlines():
        key, value = line.split(":", 1)
        sizes[key] = int(value.split()[0]) * 1024
    return sizes["MemTotal"] + sizes["SwapTotal"]


def test_one_long_row_over_millions_of_empty_lines_loads_in_little_memory(lintaro, test_env,
                                                                        tmp_path):
    # One row of 8 KB over millions of CR-only lines (a file of a few MB). Every row slot was as
    # long as that row, one and a half times the machine's memory in all, so the table was
    # refused for want of memory. Each row now takes only its own bytes: the table loads whole.
    empty_lines = memory_and_swap() * 3 // 2 // 8192
    row = b"\t".join([b"w" * 250] * 32)
    data = tmp_path / "tall.rdf"
    data.write_bytes(table_bytes(titles(32), [row + b"\r" * empty_lines + b"end"]))
    opened = open_and_close(lintaro, test_env, data, "long-row-over-empty-lines", timeout=120)
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(32)
    assert opened.vertical["max"] >= empty_lines + 1
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_ten_million_empty_lines_load_in_twice_the_file_and_50_mb(lintaro, test_env, tmp_path):
    # A row without cells is its index entry alone, and the file's own order is held as no list
    # of row numbers: 10,000,000 CR-only lines (10 MB) once took 100 MB with Wine's own 33 MB.
    data = tmp_path / "empty-lines.rdf"
    data.write_bytes(table_bytes(titles(3), [b"\r" * 10_000_000 + b"last\tone"]))
    opened = open_and_close(lintaro, test_env, data, "ten-million-empty-lines", timeout=120)
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(3)
    assert opened.vertical["max"] >= 10_000_001
    assert opened.peak < 2 * data.stat().st_size + 50_000_000


def test_rows_across_read_blocks_export_as_they_were_written(lintaro, tmp_path):
    # The file is read in blocks of 1 MB: lines, CR LF pairs and cells that a block's end cuts,
    # empty cells at either end of a line and empty lines must all come out as written, and the
    # line breaks at the very end of the file make no rows.
    pick = random.Random(25)
    rows = []
    for index in range(60000):
        if index % 997 == 5:
            rows.append(["", "", "", ""])
            continue
        rows.append(["" if index % 5 == 0 else f"a{index}", "x" * pick.randint(0, 60), "",
                     f"end{index}" if index % 7 else ""])
    body = b"".join("\t".join(cells).rstrip("\t").encode() + (b"\r" if index % 3 else b"\r\n")
                    for index, cells in enumerate(rows))
    data = tmp_path / "blocks.rdf"
    data.write_bytes(table_bytes(titles(4), []) + body + b"\r\n\r\r\n")
    assert data.stat().st_size > 2 * MIB  # two block ends at least
    lintaro.start([data])
    lintaro.main.send(WM_NULL)
    exported = tmp_path / "blocks.txt"
    export(lintaro, exported, FORMATS[1], "Windows")
    _, records = read_back("tsv", "cp1251", exported)
    assert records[0][1:] == ["C1", "C2", "C3", "C4"]
    assert [record[1:] for record in records[1:]] == rows
    assert lintaro.close() == 0


def test_rows_growing_longer_one_after_another(lintaro, test_env, tmp_path):
    # Each of the last 8000 rows is one byte longer than the one before, up to the row limit,
    # after 10000 short rows: the store must not copy every row stored so far for each of them.
    rising = []
    for length in range(1, 8001):
        cells = [b"r" * 250] * (length // 250) + ([b"r" * (length % 250)] if length % 250 else [])
        rising.append(b"\t".join(cells))
    data = tmp_path / "rising.rdf"
    data.write_bytes(table_bytes(titles(3), [b"short"] * 10000 + rising))
    opened = open_and_close(lintaro, test_env, data, "rising-rows")
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(3)
    assert opened.vertical["max"] >= 18000
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_thousands_of_cells_in_every_row(lintaro, test_env, tmp_path):
    # 32767 one-byte cells a row: about 2000 fit, the rest are dropped, each without going
    # through the row's cells again.
    row = b"\t".join([b"7"] * 32767)
    data = tmp_path / "many-cells.rdf"
    data.write_bytes(table_bytes(titles(MOST_COLUMNS), [row] * 1000))
    opened = open_and_close(lintaro, test_env, data, "many-cells")
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(MOST_COLUMNS)
    assert opened.vertical["max"] >= 1000
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_a_line_of_10_mb_without_a_tab(lintaro, test_env, tmp_path):
    data = tmp_path / "long-line.rdf"
    data.write_bytes(table_bytes(titles(3), [b"1\t2\t3", b"L" * (10 * MIB), b"4\t5\t6"]))
    opened = open_and_close(lintaro, test_env, data, "10-mb-line")
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(3)
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_a_head_line_of_10_mb_without_a_tab_or_a_table(lintaro, test_env, tmp_path):
    # No "Titles:": the whole file is a description head and the load fails.
    data = tmp_path / "long-head.rdf"
    data.write_bytes(b"WindowTitle: " + b"T" * (10 * MIB) + b"\r\n")
    opened = open_and_close(lintaro, test_env, data, "10-mb-head")
    assert opened.caption == DEFAULT_CAPTION, "a failed load keeps the program's caption"
    assert opened.layout is None
    assert opened.vertical["max"] > 128, "the demonstration table"
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_binary_garbage_gives_the_demonstration_table(lintaro, test_env, tmp_path):
    data = tmp_path / "garbage.rdf"
    data.write_bytes(garbage(4 * MIB, seed=1))
    opened = open_and_close(lintaro, test_env, data, "garbage")
    assert opened.caption == DEFAULT_CAPTION
    assert opened.layout is None, "no table loaded: the layout file is never named"
    assert opened.vertical["max"] > 128
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_binary_garbage_rows_under_a_table_head_load(lintaro, test_env, tmp_path):
    noise = garbage(2 * MIB, seed=2)
    rows = [noise[at:at + 2000] for at in range(0, len(noise), 2000)]
    data = tmp_path / "garbage-rows.rdf"
    data.write_bytes(table_bytes(titles(4), rows))
    opened = open_and_close(lintaro, test_env, data, "garbage-rows")
    assert opened.caption == CAPTION
    assert opened.vertical["max"] >= len(rows)
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


def test_the_layout_file_of_a_wider_table(app_factory, test_env, tmp_path):
    wide = tmp_path / "wide.rdf"
    wide_row = b"\t".join(b"wide cell %d" % column for column in range(40))
    wide.write_bytes(table_bytes(titles(40), [wide_row] * 5))
    layout = tmp_path / "wide.fmt"
    first = app_factory(name="wide_layout")
    assert open_and_close(first, test_env, wide, "layout-source", layout).layout == columns_of(40)

    narrow = tmp_path / "narrow.rdf"
    narrow.write_bytes(table_bytes(titles(3), [b"a cell\tb cell\tc cell"] * 5))
    second = app_factory(name="narrow_table")
    # Natural widths over columns the data file does not have, then the layout kept on exit.
    opened = open_and_close(second, test_env, narrow, "wide-layout", layout, natural_widths=True)
    assert opened.caption == CAPTION
    assert opened.layout == columns_of(40), "the layout's columns stay, empty past the third"
    assert opened.peak < SMALL_FILE_MEMORY_LIMIT


# ----------------------------------------------------------------------------------------------
# A data file of 1 GB

ROW_BLOCK_ROWS = 1000


def big_table_folder(tmp_path: Path, size: int) -> Path:
    """A folder for the big file: in memory (/dev/shm) when it has room, which writes and reads
    it far faster than the disk, otherwise the test's temporary folder."""
    shm = Path("/dev/shm")
    if shm.is_dir() and shutil.disk_usage(shm).free > 2 * size:
        return Path(tempfile.mkdtemp(prefix="lintaro-big-", dir=shm))
    return tmp_path


def write_big_table(path: Path, size: int) -> int:
    """A table of ten columns of about 500 bytes per row, a block of rows repeated until the
    file holds `size` bytes; returns the number of rows."""
    cell = b"x" * 45
    block = b"".join(b"%d\t" % row + b"\t".join(b"%s%d" % (cell, column) for column in range(9)) +
                     b"\r\n" for row in range(ROW_BLOCK_ROWS))
    head = table_bytes(titles(10), [], title="Big table")
    blocks = (size - len(head)) // len(block)
    with open(path, "wb") as out:
        out.write(head)
        for _ in range(blocks):
            out.write(block)
    return blocks * ROW_BLOCK_ROWS


def test_a_data_file_of_1_gb_loads_in_little_more_than_its_size(lintaro, test_env, tmp_path):
    size = 1 << 30
    folder = big_table_folder(tmp_path, size)
    data = folder / "big.rdf"
    try:
        rows = write_big_table(data, size)
        opened = open_and_close(lintaro, test_env, data, "1-gb", timeout=180)
    finally:
        data.unlink(missing_ok=True)
        if folder != tmp_path:
            shutil.rmtree(folder, ignore_errors=True)
    assert opened.caption == "Big table"
    assert opened.layout == columns_of(10)
    assert opened.vertical["max"] >= rows
    # The file is read in blocks and each row stored as its line is read, without padding:
    # holding the file whole beside the store took twice its size, growing the store row by
    # row a third copy for a while (2.4 to 2.5 times the file).
    assert opened.peak < 1.25 * size, f"peak {opened.peak / MIB:.0f} MB"

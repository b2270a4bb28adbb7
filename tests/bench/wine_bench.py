#!/usr/bin/env python3
"""Times the real lintaro.exe under Wine on large tables, driven as a user drives it.

    wine_bench.py --data FOLDER --out RESULTS.json [--rows N ...] [--starts K] [--skip-print]
                  [--skip-export] [--peak FILE ...]

FOLDER holds rows-N.rdf (scripts/make-table.py with --printer LintaroBench, a CUPS PDF queue this script
adds for its run and removes afterwards). The test environment must be started
(scripts/test-env.sh: lintaro_env_start); the harness and wdrive.exe come from tests/e2e.

How each figure is taken (all wall-clock, perf_counter in this process):
- start: from just before the `wine lintaro.exe FILE` process is created until the main window
  is visible and the program is idle with its grid painted: wdrive's "idle" command answers only
  after a WM_NULL sent to the main window has been handled (the thread is back in its message
  loop, so the load, the layout and ShowWindow/UpdateWindow are over) and the grid's update
  region is empty (what was invalidated has been painted). Repeated --starts times; a screenshot
  of the grid after the last start is kept and checked for rows (dark pixels).
- a command (Ctrl+W, a dialog's OK): from just before the key press or the posted OK until
  the same idle condition. For a key, the command's arrival at the main window procedure is
  seen first (wdrive's command spy), so the idle check cannot be answered before the command
  began; for a dialog, the dialog's window must be gone first.
- printing: from OK in "PagesToPrint" until the program is idle again and every job's PDF exists
  with no job left in the spooler. The program pauses 1 s after every page by design; the
  figure includes those pauses and reports them separately.
Peak memory is VmHWM of the Wine process that runs lintaro.exe (/proc/PID/status). --peak
takes data files of other shapes (millions of empty lines, one long row over many empty ones):
each is opened once, and its start and the peak after the first page are reported beside 2 x
its size + 50 MB.
"""

from __future__ import annotations

import argparse
import json
import os
import struct
import subprocess
import sys
import threading
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "e2e"))

from lintaro_harness import (  # noqa: E402
    IDOK,
    Driver,
    HarnessError,
    Lintaro,
    TestEnvironment,
    image_pixels,
    windows_path,
)

WM_COMMAND = 0x0111
NATURAL_WIDTHS, SORT, FILTER, RESTORE, PRINT, EXPORT = 202, 222, 223, 224, 301, 311
SORT_CAPTION, FILTER_CAPTION = " Сортиране на таблицата", " Подбор"
EXPORT_CAPTION, PAGES_CAPTION = " Експорт на таблица", " Отпечатване на таблица"
MESSAGE_TITLE = "Lintaro 2.0"
SORT_COLUMN, SORT_ORDER, SORT_TYPE = 101, 102, 103
FILTER_COLUMN, FILTER_FROM, FILTER_TO, FILTER_TYPE = 101, 111, 112, 121
EXPORT_PATH, EXPORT_FORMAT, EXPORT_CODE_TABLE = 101, 102, 103
PAGE_FROM, PAGE_TO, GROUP_FROM, GROUP_TO = 101, 102, 121, 122
EM_SETMODIFY, EM_GETMODIFY = 0x00B9, 0x00B8
FORMATS = {
    "plain": ("Нормален ASCII текст", "txt"),
    "tsv": ("Текстове разделени с табулации (за Excel)", "txt"),
    "csv": ("Текстов файл в CSV формат (за Excel)", "csv"),
    "dbase": ("Във формата на DBASE III, IV", "dbf"),
}
PRINT_PAGES = 20
# The data files name this printer ("Printer:" in their head); a queue of its own on the run's
# spooler, beside the "PDF" queue it copies, so its jobs are counted apart from any other.
BENCH_PRINTER = "LintaroBench"
PAUSE_AFTER_PAGE = 1.0  # seconds the program waits after every printed page
IDLE_TIMEOUT_MS = 900_000


def log(text: str) -> None:
    print(f"wine-bench: {text}", file=sys.stderr, flush=True)


def load_average() -> str:
    return Path("/proc/loadavg").read_text().split(" ", 3)[0]


def busiest_other_processes(own: set[int]) -> list[str]:
    """What else uses the processors now: the top few processes by CPU, ours left out."""
    out = subprocess.run(["ps", "-eo", "pid,pcpu,comm", "--sort=-pcpu", "--no-headers"],
                         capture_output=True, text=True).stdout
    busy = []
    for line in out.splitlines()[:8]:
        pid, cpu, command = line.split(None, 2)
        if int(pid) not in own and float(cpu) >= 20:
            busy.append(f"{command.strip()} {cpu}%")
    return busy


def unix_pid_of(exe: Path) -> int | None:
    """The Unix process that runs our copy of lintaro.exe (its folder is unique to this run)."""
    name = windows_path(exe).lower().encode()
    unix = str(exe).encode()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            cmdline = (entry / "cmdline").read_bytes()
        except OSError:
            continue
        if unix in cmdline or name in cmdline.lower():
            status = (entry / "status").read_text()
            if "VmHWM" in status:
                return int(entry.name)
    return None


def peak_memory_kib(pid: int | None, field: str = "VmHWM") -> int | None:
    """The process's peak resident memory, or with field="VmRSS" what it holds now."""
    if pid is None:
        return None
    try:
        for line in Path(f"/proc/{pid}/status").read_text().splitlines():
            if line.startswith(field + ":"):
                return int(line.split()[1])
    except OSError:
        pass
    return None


class Bench:
    def __init__(self, env: TestEnvironment, driver: Driver, run_dir: Path):
        self.env = env
        self.driver = driver
        self.run_dir = run_dir

    # ---- waiting for the program ----
    def idle(self, app: Lintaro) -> None:
        """Returns once the main window's thread has handled a sent WM_NULL and the grid has
        painted everything invalidated, with the main window enabled again: work longer than
        half a second handles messages between its steps, the main window disabled meanwhile
        (a message box disables it too, and no_message_box then tells)."""
        while True:
            self.driver.call("idle", app.main.handle, IDLE_TIMEOUT_MS, self.grid.handle,
                             timeout=IDLE_TIMEOUT_MS / 1000 + 30)
            if app.main.info().enabled or app.dialogs():
                return
            time.sleep(0.002)

    def wait_gone(self, window) -> None:
        deadline = time.monotonic() + 600
        while self.driver.call("exists", window.handle) == ["1"]:
            if time.monotonic() > deadline:
                raise HarnessError(f"window {window.handle} did not go")
            time.sleep(0.002)

    def wait_command_seen(self, app: Lintaro, command: int) -> None:
        deadline = time.monotonic() + 60
        while True:
            ids = [int(f.split(",")[0]) for f in self.driver.call("commands", app.main.handle)]
            if command in ids:
                return
            if time.monotonic() > deadline:
                raise HarnessError(f"command {command} never reached the main window")
            time.sleep(0.002)

    def command_and_wait(self, app: Lintaro, command: int) -> None:
        """A command posted as the menu posts it, then idle: for steps that are not timed."""
        self.driver.call("spy", app.main.handle)
        app.post_command(command)
        self.wait_command_seen(app, command)
        self.idle(app)

    def flush(self, dialog, edit_id: int) -> None:
        """Waits until the dialog has handled the notifications posted to it so far."""
        edit = dialog.item(edit_id)
        edit.send(EM_SETMODIFY, 0)
        edit.post(EM_SETMODIFY, 1)
        deadline = time.monotonic() + 10
        while edit.send(EM_GETMODIFY) != 1:
            if time.monotonic() > deadline:
                raise HarnessError("the dialog does not handle its messages")
            time.sleep(0.01)

    def ok_and_wait(self, app: Lintaro, dialog) -> float:
        """OK in a dialog; seconds until the command is over and the grid painted."""
        start = time.perf_counter()
        dialog.click(IDOK)
        self.wait_gone(dialog)
        self.idle(app)
        seconds = time.perf_counter() - start
        self.no_message_box(app)
        return seconds

    def no_message_box(self, app: Lintaro) -> None:
        """A message box also answers sent messages (its modal loop handles them), so "idle"
        alone does not tell an error apart from the end of the work."""
        boxes = app.dialogs()
        if boxes:
            texts = [box.control_text(0xFFFF) for box in boxes]
            for box in boxes:
                box.click(IDOK)
            raise HarnessError(f"the program showed a message: {texts}")

    # ---- start ----
    def start(self, data: Path | None, name: str) -> tuple[Lintaro, float]:
        app = Lintaro(self.env, self.driver, name=name)
        app.prepare(printer_cfg=bench_printer_cfg())
        args = [data] if data is not None else []
        start = time.perf_counter()
        app.start(args, wait=False)
        while True:
            found = self.driver.find(window_class="LintaroClass", exe=app.windows_exe, visible=True)
            if found:
                break
            if app.process.poll() is not None:
                raise HarnessError(f"lintaro.exe ended with code {app.process.returncode}")
            if time.perf_counter() - start > 120:
                raise HarnessError("no main window within 120 s")
            time.sleep(0.01)
        app._main = found[0]
        self.grid = app.grid_window()
        self.idle(app)
        return app, time.perf_counter() - start

    def close(self, app: Lintaro) -> None:
        try:
            app.close(timeout=120)
        except HarnessError:
            app.stop()

    def grid_shows_rows(self, app: Lintaro, path: Path) -> bool:
        """A screenshot of the grid's client area; true when it holds a good deal of dark
        pixels (text and rules of rows), not an empty or half-drawn window."""
        app.screenshot(path, window=self.grid, client=True)
        width, height, data = image_pixels(path)
        dark = sum(1 for i in range(0, len(data), 3) if data[i] + data[i + 1] + data[i + 2] < 200)
        return dark > width * height // 50

    # ---- the steps ----
    def natural_widths(self, app: Lintaro) -> float:
        self.driver.call("spy", app.main.handle)
        app.focus()
        start = time.perf_counter()
        subprocess.run(["xdotool", "key", "ctrl+w"], check=True)
        self.wait_command_seen(app, NATURAL_WIDTHS)
        self.idle(app)
        return time.perf_counter() - start

    def open_dialog(self, app: Lintaro, command: int, caption: str):
        app.post_command(command)
        return app.wait_dialog(caption, timeout=60)

    def sort(self, app: Lintaro, column: str, data_type: str) -> float:
        dialog = self.open_dialog(app, SORT, SORT_CAPTION)
        dialog.select_combo(SORT_COLUMN, column)
        dialog.select_combo(SORT_ORDER, "В нарастващ ред")
        dialog.select_combo(SORT_TYPE, data_type)
        return self.ok_and_wait(app, dialog)

    def filter(self, app: Lintaro) -> float:
        dialog = self.open_dialog(app, FILTER, FILTER_CAPTION)
        dialog.select_combo(FILTER_COLUMN, "Сума")
        dialog.set_control_text(FILTER_FROM, "2500")
        dialog.set_control_text(FILTER_TO, "7500")
        dialog.select_combo(FILTER_TYPE, "Число")
        self.flush(dialog, FILTER_FROM)
        return self.ok_and_wait(app, dialog)

    def export(self, app: Lintaro, kind: str, path: Path) -> float:
        format_text, _ = FORMATS[kind]
        dialog = self.open_dialog(app, EXPORT, EXPORT_CAPTION)
        # The format first: choosing it changes the path's extension.
        dialog.select_combo(EXPORT_FORMAT, format_text)
        self.flush(dialog, EXPORT_PATH)
        dialog.set_control_text(EXPORT_PATH, windows_path(path))
        dialog.select_combo(EXPORT_CODE_TABLE, "Windows")
        self.flush(dialog, EXPORT_PATH)
        return self.ok_and_wait(app, dialog)

    def print_pages(self, app: Lintaro, pages: int) -> tuple[float, int, int]:
        """Pages 1..pages of every column group on the PDF printer: seconds, the number of
        jobs, and how many of their PDFs were found."""
        app.post_command(PRINT)
        dialog = app.wait_dialog(timeout=60)
        if dialog.info().caption == MESSAGE_TITLE:  # the table is wider than the paper
            dialog.click(IDOK)
            self.wait_gone(dialog)
            dialog = app.wait_dialog(PAGES_CAPTION, timeout=60)
        groups = len(dialog.combo_items(GROUP_TO))
        dialog.set_control_text(PAGE_FROM, "1")
        dialog.set_control_text(PAGE_TO, str(pages))
        self.flush(dialog, PAGE_FROM)
        expected = pages * groups
        subprocess.run(["cancel", "-a", "-x", BENCH_PRINTER], capture_output=True)
        watcher = QueueWatcher()
        started_at = time.time()
        start = time.perf_counter()
        dialog.click(IDOK)
        watcher.start()
        try:
            self.wait_gone(dialog)
            self.idle(app)
            self.print_submitted = time.perf_counter() - start
            self.no_message_box(app)
            # Once the program is idle it has handed every job to the spooler; now until the
            # spooler has written them all. The figure comes from our queue's jobs, not from
            # files: the PDF folder also holds the PDF queue's printouts.
            while cups_job_ids("not-completed"):
                if time.perf_counter() - start > 900:
                    raise HarnessError("jobs still pending after 900 s")
                time.sleep(0.05)
            seconds = time.perf_counter() - start
        finally:
            watcher.finish()
        if len(watcher.seen) < expected:
            # The program ends printing silently when a job cannot be started.
            raise HarnessError(f"the program made {len(watcher.seen)} of {expected} jobs and stopped "
                               f"(the spooler keeps {len(cups_job_ids_everywhere())} jobs of all printers)")
        return seconds, expected, pdfs_written_since(self.env.pdf_dir, started_at)


def bench_printer_cfg() -> bytes:
    """Printer.cfg choosing the benchmark's printer (kind 1, "another Windows printer"): the
    program prints on the printer chosen at start-up, whatever the data file's head names.
    A4, margins 15/10/10/10 mm as the data files have them."""
    return struct.pack("<11i260s", 1, 0, 21000, 1500, 1000, 29700, 1000, 1000, 0, 0, 0,
                       BENCH_PRINTER.encode("cp1251"))


def cups_job_ids(which: str) -> set[int]:
    """Ids of the benchmark printer's jobs: "all", "completed" or "not-completed"."""
    out = subprocess.run(["lpstat", "-W", which, "-o", BENCH_PRINTER], capture_output=True,
                         text=True).stdout
    ids = set()
    for line in out.splitlines():
        name = line.split()[0] if line.strip() else ""
        number = name.rsplit("-", 1)[-1]
        if number.isdigit():
            ids.add(int(number))
    return ids


class QueueWatcher(threading.Thread):
    """Notes every job of the benchmark's queue and purges the finished ones as it goes: the
    spooler keeps at most 500 jobs (default MaxJobs), finished ones included, for everyone
    printing on this machine, and refuses new jobs beyond that."""

    def __init__(self):
        super().__init__(daemon=True)
        self.seen: set[int] = set()
        self._done = threading.Event()

    def run(self) -> None:
        while not self._done.is_set():
            self.poll()
            self._done.wait(0.2)

    def poll(self) -> None:
        self.seen |= cups_job_ids("all")
        done = cups_job_ids("completed")
        if done:
            subprocess.run(["cancel", "-x", *map(str, sorted(done))], capture_output=True)

    def finish(self) -> None:
        self._done.set()
        self.join()
        self.poll()


def cups_job_ids_everywhere() -> set[str]:
    out = subprocess.run(["lpstat", "-W", "all", "-o"], capture_output=True, text=True).stdout
    return {line.split()[0] for line in out.splitlines() if line.strip()}


def pdfs_written_since(folder: Path, since: float) -> int:
    """The program's PDFs that the spooler wrote into the run's PDF folder since then."""
    if not folder.is_dir():
        return 0
    return sum(1 for p in folder.rglob("Linta_*.pdf") if p.stat().st_mtime >= since - 1)


def check_export(kind: str, path: Path, rows: int) -> str:
    """A quick look that the file holds the table: line or record counts."""
    if not path.exists():
        return "missing"
    if kind == "dbase":
        with open(path, "rb") as dbf:
            records = struct.unpack("<I", dbf.read(8)[4:8])[0]
        return "ok" if records == rows else f"{records} records"
    with open(path, "rb") as text:
        lines = sum(chunk.count(b"\n") for chunk in iter(lambda: text.read(1 << 20), b""))
    if kind == "tsv":  # a line of TABs, the titles, an empty line, then the rows
        return "ok" if lines == rows + 3 else f"{lines} lines"
    if kind == "csv":
        return "ok" if lines == rows + 1 else f"{lines} lines"
    return "ok" if lines >= rows else f"{lines} lines"


def bench_size(bench: Bench, data: Path, rows: int, starts: int, skip_print: bool, skip_export: bool) -> dict:
    result: dict = {"rows": rows, "load_before": load_average(), "steps": {}, "checks": {}}
    own = {os.getpid()}
    result["busy_before"] = busiest_other_processes(own)
    start_times = []
    app = None
    for attempt in range(starts):
        if app is not None:
            bench.close(app)
        app, seconds = bench.start(data, f"bench-{rows}-{attempt}")
        start_times.append(seconds)
        log(f"{rows} rows: start {seconds:.3f} s")
    result["start_all"] = start_times
    result["steps"]["start"] = sorted(start_times)[len(start_times) // 2]
    shot = bench.run_dir / f"first-page-{rows}.png"
    result["checks"]["start"] = "ok" if bench.grid_shows_rows(app, shot) else f"no rows in {shot}"
    result["first_page_screenshot"] = str(shot)
    pid = unix_pid_of(app.exe)
    result["peak_kib_after_open"] = peak_memory_kib(pid)
    result["resident_kib_after_open"] = peak_memory_kib(pid, "VmRSS")
    # The peak so far after each step, to tell which step raised it.
    result["peak_kib_after"] = {}

    def step(name: str, seconds: float) -> None:
        result["steps"][name] = seconds
        result["peak_kib_after"][name] = peak_memory_kib(pid)
        log(f"{rows} rows: {name} {seconds:.3f} s, peak {result['peak_kib_after'][name]} KiB "
            f"(load {load_average()})")

    step("natural_widths", bench.natural_widths(app))
    step("sort_number", bench.sort(app, "Сума", "Число"))
    bench.command_and_wait(app, RESTORE)
    step("sort_text", bench.sort(app, "Име", "Текст"))
    bench.command_and_wait(app, RESTORE)
    step("sort_alphabetical", bench.sort(app, "Име", "Азбучно"))
    bench.command_and_wait(app, RESTORE)
    step("filter", bench.filter(app))
    bench.command_and_wait(app, RESTORE)
    exports = bench.run_dir / "exports"
    exports.mkdir(parents=True, exist_ok=True)
    for kind, (_, extension) in ({} if skip_export else FORMATS).items():
        path = exports / f"table-{rows}-{kind}.{extension}"
        path.unlink(missing_ok=True)
        step(f"export_{kind}", bench.export(app, kind, path))
        result["checks"][f"export_{kind}"] = check_export(kind, path, rows)
        log(f"{rows} rows: export_{kind} file check: {result['checks'][f'export_{kind}']}")
        result[f"export_{kind}_bytes"] = path.stat().st_size if path.exists() else 0
        path.unlink(missing_ok=True)
    if not skip_print:
        try:
            seconds, jobs, pdfs = bench.print_pages(app, PRINT_PAGES)
            step("print_20_pages", seconds)
            result["print_jobs"] = jobs
            result["print_program_busy"] = bench.print_submitted
            result["print_pauses"] = jobs * PAUSE_AFTER_PAGE
            result["checks"]["print_20_pages"] = ("ok" if pdfs >= jobs else
                                                  f"{jobs} jobs completed, {pdfs} PDFs found")
        except HarnessError as error:
            log(f"{rows} rows: printing failed: {error}")
            result["checks"]["print_20_pages"] = f"failed: {error}"
    result["peak_kib"] = peak_memory_kib(pid)
    result["load_after"] = load_average()
    result["busy_after"] = busiest_other_processes(own)
    bench.close(app)
    return result


def bench_peak(bench: Bench, data: Path) -> dict:
    app, seconds = bench.start(data, f"peak-{data.stem}")
    pid = unix_pid_of(app.exe)
    shows_rows = bench.grid_shows_rows(app, bench.run_dir / f"first-page-{data.stem}.png")
    result = {"bytes": data.stat().st_size, "start": seconds, "peak_kib": peak_memory_kib(pid),
              "limit_kib": (2 * data.stat().st_size + 50_000_000) // 1024,
              "checks": {"start": "ok" if shows_rows else "no rows on the first page"}}
    log(f"{data.name}: start {seconds:.3f} s, peak {result['peak_kib']} KiB of {result['limit_kib']} KiB")
    bench.close(app)
    return result


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--rows", type=int, nargs="*", default=[10000, 100000, 1000000])
    parser.add_argument("--starts", type=int, default=3)
    parser.add_argument("--skip-print", action="store_true")
    parser.add_argument("--skip-export", action="store_true")
    parser.add_argument("--peak", type=Path, nargs="*", default=[])
    args = parser.parse_args()

    env = TestEnvironment.from_os()
    subprocess.run(["lpadmin", "-p", BENCH_PRINTER, "-v", os.environ["LINTARO_PDF_DEVICE"], "-E",
                    "-P", str(env.cups_dir / "ppd" / f"{env.printer}.ppd")],
                   check=True, capture_output=True)
    # Wine learns the spooler's printers once per wineserver session: start our prefix's again.
    quiet = {"stdin": subprocess.DEVNULL, "stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    subprocess.run(["wineserver", "-k"], **quiet)
    subprocess.run(["wineserver", "-w"], **quiet)
    subprocess.run(["wineserver", "-p"], **quiet)
    subprocess.run(["wine", "cmd", "/c", "exit"], **quiet)
    run_dir = args.out.parent
    run_dir.mkdir(parents=True, exist_ok=True)
    driver = Driver(env.wdrive_exe)
    results: dict = {"sizes": {}}
    try:
        bench = Bench(env, driver, run_dir)
        app, seconds = bench.start(None, "bench-demo")
        results["start_demonstration_table"] = seconds
        log(f"start with the demonstration table {seconds:.3f} s")
        bench.close(app)
        for rows in args.rows:
            data = args.data / f"rows-{rows}.rdf"
            if not data.exists():
                raise HarnessError(f"{data} does not exist")
            results["sizes"][str(rows)] = bench_size(bench, data, rows, args.starts, args.skip_print,
                                                      args.skip_export)
            args.out.write_text(json.dumps(results, indent=1))
        results["peaks"] = {data.name: bench_peak(bench, data) for data in args.peak}
    finally:
        driver.close()
        subprocess.run(["lpadmin", "-x", BENCH_PRINTER], capture_output=True)
    args.out.write_text(json.dumps(results, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())

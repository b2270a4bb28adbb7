"""Saving Printer.cfg (print setup, OK) and the column layout file (on exit after a change)
when things go wrong: a full disk, read-only targets, a target another program holds, and the
program killed in the middle of a save. Each file must afterwards be the old one or the new
one, whole: never missing, never half-written."""

from __future__ import annotations

import errno
import os
import stat
import struct
import subprocess
import time
from contextlib import contextmanager
from pathlib import Path

import pytest

from lintaro_harness import IDOK, image_pixels, windows_path
from wine_process import FileHolder, kill_now

IDM_PRINT_SETUP = 302
SETUP_CAPTION = " Настройка на печата"
LEFT_MARGIN = 202
WM_NULL = 0x0000

# Printer.cfg for LPT1, EPSON emulation in Draft 12, 96 x 60 characters, margins 3, 0, 2, 4.
PRINTER_CFG_FIELDS = [2, 2, 96, 3, 0, 60, 2, 4, 3, 2, 1]
OLD_PRINTER_CFG = struct.pack("<11i260s", *PRINTER_CFG_FIELDS, b"LPT1")
# What print setup saves after the left margin was changed to 7 characters.
NEW_PRINTER_CFG = struct.pack("<11i260s", *PRINTER_CFG_FIELDS[:3], 7, *PRINTER_CFG_FIELDS[4:],
                              b"LPT1")
LAYOUT_RECORDS_AT, LAYOUT_RECORD_SIZE, LAYOUT_WIDTH_AT = 128, 48, 20
NARROW_WIDTH = 30


def red_pixels(image: Path) -> int:
    width, height, data = image_pixels(image)
    return sum(1 for i in range(0, len(data), 3)
               if data[i] > 180 and data[i + 1] < 90 and data[i + 2] < 90)


def write_table(folder: Path) -> Path:
    lines = ["WindowTitle: Save faults", "Titles:", "No.\tName\tCity", "Types:",
             "Number\tText\tText", "Data:"]
    lines += [f"{row}\tName number {row}\tPlovdiv" for row in range(1, 21)]
    path = folder / "table.rdf"
    path.write_bytes(("\r\n".join(lines) + "\r\n").encode("cp1251"))
    return path


def natural_layout(app_factory, data: Path, folder: Path) -> bytes:
    """The layout file a first run writes for the table: its columns at their natural widths,
    on screen and on the dot-matrix printer of Printer.cfg."""
    layout = folder / "natural.fmt"
    first = app_factory(name="natural_layout")
    first.start([data, layout], printer_cfg=OLD_PRINTER_CFG)
    assert first.close() == 0
    return layout.read_bytes()


def narrowed(layout: bytes) -> bytes:
    """The same layout with every table column narrowed: loading it and asking for natural
    widths (Ctrl+W) changes the layout, so the program writes the natural one on exit."""
    data = bytearray(layout)
    count = struct.unpack_from("<I", data, 10)[0]
    for index in range(1, count):
        record = LAYOUT_RECORDS_AT + index * LAYOUT_RECORD_SIZE
        struct.pack_into("<i", data, record + LAYOUT_WIDTH_AT, NARROW_WIDTH)
    return bytes(data)


def open_setup_with_left_margin_7(app):
    app.post_command(IDM_PRINT_SETUP)
    dialog = app.wait_dialog(SETUP_CAPTION)
    assert dialog.control_text(LEFT_MARGIN) == "3", "the old Printer.cfg was read"
    dialog.set_control_text(LEFT_MARGIN, "7")
    return dialog


def save_print_setup(app) -> None:
    """Print setup, left margin 7, OK; returns once the program is back in its message loop,
    that is after it saved Printer.cfg."""
    dialog = open_setup_with_left_margin_7(app)
    dialog.click(IDOK)
    dialog.wait_gone()
    app.main.send(WM_NULL)


def change_widths(app) -> None:
    """Ctrl+W: natural widths, which the program then has to keep in the layout file."""
    app.key("ctrl+w")
    app.main.send(WM_NULL)


def expect_stop_message(app, first_line: str, path: str) -> None:
    """A failed save is told: the program's title, the stop icon, what was not saved and where;
    OK ends the message."""
    box, caption, text = app.wait_message_box()
    assert (caption, text) == ("Lintaro 2.0", first_line + "\r\n" + path)
    assert box.info().owner == app.main.handle
    assert {c.control_id: c.class_name for c in box.children()}.get(IDOK) == "Button"
    assert red_pixels(app.screenshot(window=box)) > 50, "the stop icon (a red disc)"
    box.click(IDOK)
    box.wait_gone()


def temporary_files(folder: Path) -> list[str]:
    return sorted(p.name for p in folder.iterdir() if p.suffix.lower() == ".tmp")


# ----------------------------------------------------------------------------------------------
# A full disk


@contextmanager
def small_tmpfs(folder: Path, megabytes: int):
    """A file system of its own on `folder`, `megabytes` large, unmounted afterwards."""
    folder.mkdir()
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={megabytes}m", "tmpfs",
                              str(folder)], capture_output=True, text=True)
    if mounted.returncode != 0:
        pytest.skip(f"cannot mount a small tmpfs for a full disk: {mounted.stderr.strip()}")
    try:
        yield folder
    finally:
        if subprocess.run(["umount", str(folder)], capture_output=True).returncode != 0:
            subprocess.run(["umount", "-l", str(folder)], capture_output=True)


def fill_up(folder: Path) -> Path:
    """Writes a filler file until the file system has not one free block left."""
    filler = folder / "filler.bin"
    with open(filler, "wb", buffering=0) as out:
        for chunk in (1 << 16, 4096, 1):
            try:
                while True:
                    out.write(bytes(chunk))
            except OSError as error:
                if error.errno != errno.ENOSPC:
                    raise
    assert os.statvfs(folder).f_bavail == 0
    return filler


def test_a_full_disk_keeps_the_old_files_whole_and_with_room_the_new_ones_are_written(
        app_factory, test_env, tmp_path):
    data = write_table(tmp_path)
    new_layout = natural_layout(app_factory, data, tmp_path)
    old_layout = narrowed(new_layout)
    full, room = app_factory(name="full_disk"), app_factory(name="room_on_disk")
    # Room for the program's copy and its files, then the filler takes the rest.
    megabytes = full.source_exe.stat().st_size // (1 << 20) + 2
    with small_tmpfs(tmp_path / "disk", megabytes) as disk:
        try:
            full.prepare(printer_cfg=OLD_PRINTER_CFG, files={"table.fmt": old_layout}, folder=disk)
            layout = disk / "table.fmt"
            filler = fill_up(disk)

            full.start([data, layout])
            save_print_setup(full)
            expect_stop_message(full, "Настройките на печата не могат да бъдат записани във файла:",
                                windows_path(disk / "Printer.cfg"))
            assert full.read_printer_cfg() == OLD_PRINTER_CFG
            change_widths(full)
            full.main.close()
            expect_stop_message(full, "Оформлението на таблицата не може да бъде записано във файла:",
                                windows_path(layout))
            assert full.exit_code() == 0
            assert layout.read_bytes() == old_layout
            assert temporary_files(disk) == []

            filler.unlink()
            room.start([data, layout], folder=disk)
            save_print_setup(room)
            assert room.read_printer_cfg() == NEW_PRINTER_CFG
            change_widths(room)
            assert room.close() == 0
            assert layout.read_bytes() == new_layout
            assert temporary_files(disk) == []
        finally:
            # The copies running from the small disk must end before it is unmounted.
            full.stop()
            room.stop()


# ----------------------------------------------------------------------------------------------
# Read-only targets and a target another program holds


def set_read_only_attribute(path: Path) -> None:
    """The Windows read-only attribute, set by Windows' own attrib command (Wine keeps it as
    the file's missing write permissions)."""
    subprocess.run(["wine", "cmd", "/c", "attrib", "+r", windows_path(path)], check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   timeout=60)


def test_read_only_targets_are_replaced_by_the_new_files_whole(app_factory, tmp_path):
    data = write_table(tmp_path)
    new_layout = natural_layout(app_factory, data, tmp_path)
    old_layout = narrowed(new_layout)
    app = app_factory(name="read_only")
    folder = app.prepare(printer_cfg=OLD_PRINTER_CFG, files={"table.fmt": old_layout})
    printer_cfg, layout = folder / "Printer.cfg", folder / "table.fmt"
    set_read_only_attribute(printer_cfg)
    assert stat.S_IMODE(printer_cfg.stat().st_mode) & 0o222 == 0
    layout.chmod(0o444)

    app.start([data, layout])
    save_print_setup(app)
    assert app.read_printer_cfg() == NEW_PRINTER_CFG
    change_widths(app)
    assert app.close() == 0
    assert layout.read_bytes() == new_layout
    assert temporary_files(folder) == []


def test_printer_cfg_held_by_another_program_is_replaced_once_it_lets_go(app_factory, test_env):
    app = app_factory(name="held_printer_cfg")
    folder = app.prepare(printer_cfg=OLD_PRINTER_CFG)
    app.start()
    dialog = open_setup_with_left_margin_7(app)
    with FileHolder(test_env, folder / "Printer.cfg", hold_ms=2000) as holder:
        holder.wait_holding()
        started = time.monotonic()
        dialog.click(IDOK)
        dialog.wait_gone()
        app.main.send(WM_NULL)
        waited = time.monotonic() - started
        assert holder.wait_released() == 0
    assert app.read_printer_cfg() == NEW_PRINTER_CFG
    assert 1.0 < waited < 10.0, "the save waited for the holder, not for its whole deadline"
    assert temporary_files(folder) == []
    assert app.close() == 0


# ----------------------------------------------------------------------------------------------
# The program killed in the middle of a save

KILL_ATTEMPTS = 20


def wait_changed(path: Path, old: bytes, timeout: float = 5.0) -> float:
    """Seconds until the file's contents differ from `old`, polled every half millisecond."""
    started = time.monotonic()
    while path.read_bytes() == old:
        if time.monotonic() - started > timeout:
            raise AssertionError(f"{path.name} was not saved within {timeout} s")
        time.sleep(0.0005)
    return time.monotonic() - started


def kill_delays(span: float) -> list[float | None]:
    """Delays from at once to `span` seconds, chosen around the time a whole save took, so that
    the kills fall before, during and after the save; the last kill (None) comes as soon as the
    new file is there, however long the save took this time."""
    return [span * attempt / (KILL_ATTEMPTS - 1) for attempt in range(KILL_ATTEMPTS - 1)] + [None]


def wait_before_kill(delay: float | None, path: Path, old: bytes) -> None:
    if delay is None:
        wait_changed(path, old)
    else:
        time.sleep(delay)


class KillOutcomes:
    """What each kill left: the old or the new file whole (anything else fails the test), and
    whether the temporary file of an unfinished save was left beside it."""

    def __init__(self, old: bytes, new: bytes):
        self.old, self.new = old, new
        self.results: list[str] = []
        self.temporary_left = 0
        self.killed = 0

    def record(self, path: Path, killed: bool, attempt_started: float) -> None:
        """Takes what the attempt that started at `attempt_started` (time.time()) left."""
        content = path.read_bytes() if path.exists() else None
        if content == self.old:
            self.results.append("old")
        elif content == self.new:
            self.results.append("new")
        else:
            self.results.append("missing" if content is None else f"damaged: {len(content)} bytes")
        self.killed += killed
        # A temporary file an earlier kill left stays until a later save replaces it.
        self.temporary_left += any((path.parent / name).stat().st_mtime >= attempt_started
                                   for name in temporary_files(path.parent))

    def check(self, what: str, save_seconds: float) -> None:
        print(f"{what}: saved {save_seconds * 1000:.1f} ms after the action; {self.killed} of "
              f"{len(self.results)} attempts killed: {self.results.count('old')} old, "
              f"{self.results.count('new')} new, a temporary file left after "
              f"{self.temporary_left}")
        assert set(self.results) <= {"old", "new"}, self.results
        assert "old" in self.results and "new" in self.results, "kills before and after the save"


def test_printer_cfg_is_old_or_new_whole_when_the_program_is_killed_while_saving(app_factory):
    measured = app_factory(name="kill_setup_measure")
    folder = measured.prepare(printer_cfg=OLD_PRINTER_CFG)
    measured.start()
    open_setup_with_left_margin_7(measured).click(IDOK)
    save_seconds = wait_changed(folder / "Printer.cfg", OLD_PRINTER_CFG)
    assert measured.read_printer_cfg() == NEW_PRINTER_CFG
    assert measured.close() == 0

    outcomes = KillOutcomes(OLD_PRINTER_CFG, NEW_PRINTER_CFG)
    for attempt, delay in enumerate(kill_delays(2.0 * save_seconds)):
        # Each start finds the old Printer.cfg, and whatever an earlier kill left beside it.
        app = app_factory(name=f"kill_setup_{attempt}")
        attempt_started = time.time()
        app.start(printer_cfg=OLD_PRINTER_CFG, folder=folder)
        dialog = open_setup_with_left_margin_7(app)
        dialog.click(IDOK)
        wait_before_kill(delay, folder / "Printer.cfg", OLD_PRINTER_CFG)
        outcomes.record(folder / "Printer.cfg", kill_now(app), attempt_started)
    outcomes.check("Printer.cfg", save_seconds)


def test_layout_file_is_old_or_new_whole_when_the_program_is_killed_while_saving(
        app_factory, tmp_path):
    data = write_table(tmp_path)
    new_layout = natural_layout(app_factory, data, tmp_path)
    old_layout = narrowed(new_layout)
    measured = app_factory(name="kill_layout_measure")
    folder = measured.prepare(printer_cfg=OLD_PRINTER_CFG, files={"table.fmt": old_layout})
    layout = folder / "table.fmt"
    measured.start([data, layout])
    change_widths(measured)
    measured.main.close()
    save_seconds = wait_changed(layout, old_layout)
    assert measured.exit_code() == 0
    assert layout.read_bytes() == new_layout

    outcomes = KillOutcomes(old_layout, new_layout)
    # The program ends a few milliseconds after the save: later kills would find it gone.
    for attempt, delay in enumerate(kill_delays(1.5 * save_seconds)):
        app = app_factory(name=f"kill_layout_{attempt}")
        attempt_started = time.time()
        app.start([data, layout], files={"table.fmt": old_layout}, folder=folder)
        change_widths(app)
        app.main.close()
        wait_before_kill(delay, layout, old_layout)
        outcomes.record(layout, kill_now(app), attempt_started)
    outcomes.check("layout file", save_seconds)


# ----------------------------------------------------------------------------------------------
# A second name that is not a layout file


@pytest.mark.parametrize("other", ["the data file itself", "a text file", "a damaged layout file"])
def test_a_named_file_that_is_not_a_layout_file_is_never_overwritten(app_factory, tmp_path, other):
    data = write_table(tmp_path)
    target = {"the data file itself": data, "a text file": tmp_path / "notes.txt",
              "a damaged layout file": tmp_path / "damaged.fmt"}[other]
    if other == "a text file":
        target.write_bytes("Бележки за таблицата\r\n".encode("cp1251"))
    elif other == "a damaged layout file":
        target.write_bytes(narrowed(natural_layout(app_factory, data, tmp_path))[:200])
    kept = target.read_bytes()
    app = app_factory(name="foreign_layout")
    app.start([data, target], printer_cfg=OLD_PRINTER_CFG)
    change_widths(app)
    app.main.close()
    box, caption, text = app.wait_message_box()
    assert (caption, text) == ("Lintaro 2.0", "Оформлението на таблицата не е записано във файла:\r\n"
                               + windows_path(target) + "\r\nТой не е файл с оформление на таблица и "
                               "остава непроменен.")
    box.click(IDOK)
    assert app.exit_code() == 0
    assert target.read_bytes() == kept
    assert temporary_files(tmp_path) == []
    # The next start still finds the table.
    again = app_factory(name="foreign_layout_again")
    again.start([data], printer_cfg=OLD_PRINTER_CFG)
    assert again.main.info().caption == "Save faults"
    assert again.close() == 0

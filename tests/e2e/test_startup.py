"""Start-up and the main window: class, caption, geometry, single instance, closing."""

from __future__ import annotations

import struct
from pathlib import Path

from lintaro_harness import IDOK, image_size, pixel, windows_path

SAMPLES = Path(__file__).resolve().parents[1] / "samples"

SCREEN = (1024, 768)
MAIN_RECT = (64, 96, 64 + 896, 96 + 576)  # width 7/8 and height 3/4 of the screen, centred


def test_main_window_class_caption_and_geometry(lintaro, driver):
    assert driver.screen_size() == SCREEN
    main = lintaro.start()
    info = main.info()
    assert info.class_name == "LintaroClass"
    assert info.caption == "Lintaro 2.0"
    assert info.visible
    assert info.rect == MAIN_RECT
    assert info.size == (896, 576)
    assert info.parent == "0x0"


def test_second_copy_shows_a_message_and_ends_with_code_0(lintaro, app_factory):
    first_main = lintaro.start()
    second = app_factory(name="second_copy")
    second.start(wait=False)
    box, caption, text = second.wait_message_box()
    assert caption == "Lintaro 2.0"
    assert text == "This programm already running."
    info = box.info()
    assert info.class_name == "#32770"
    assert info.owner == "0x0"
    buttons = [c for c in box.children() if c.class_name == "Button"]
    assert [(b.control_id, b.text) for b in buttons] == [(IDOK, "OK")]
    # The second copy made no main window of its own.
    assert second.driver.find(window_class="LintaroClass", exe=second.windows_exe) == []

    box.click(IDOK)
    assert second.exit_code() == 0
    assert lintaro.is_running()
    assert first_main.exists()
    assert first_main.info().caption == "Lintaro 2.0"
    assert lintaro.dialogs() == []


def test_the_guard_ends_with_the_first_copy(lintaro, app_factory):
    lintaro.start()
    assert lintaro.close() == 0
    later = app_factory(name="later_copy")
    main = later.start()
    assert main.info().class_name == "LintaroClass"
    assert later.dialogs() == []


def test_wm_close_ends_the_program_with_code_0(lintaro):
    main = lintaro.start()
    main.close()
    assert lintaro.exit_code() == 0
    assert not main.exists()


def test_alt_f4_ends_the_program_with_code_0(lintaro):
    main = lintaro.start()
    lintaro.key("alt+F4")
    assert lintaro.exit_code() == 0
    assert not main.exists()


def test_screenshot_of_the_main_window(lintaro, test_env):
    main = lintaro.start()
    shot = lintaro.screenshot(test_env.screenshot_dir / "startup-main-window.png")
    assert image_size(shot) == (896, 576)
    # The caption bar of an active window is drawn in the active caption colour, not the
    # colour of the window's border below it.
    assert pixel(shot, 300, 8) != pixel(shot, 300, 575)
    assert main.info().caption == "Lintaro 2.0"



# ----------------------------------------------------------------------------------------------
# Unattended jobs: switches after the names, an exit code, one line on standard error


def test_a_job_with_bad_switches_ends_with_code_1_and_one_line_without_a_window(app_factory, tmp_path):
    data = SAMPLES / "furniture.rdf"
    out = tmp_path / "out.csv"
    cases = [
        (["/print"], "name the data file before the first switch; a name that begins with / is taken for one"),
        ([data, "/sort", "2"], "a job needs /print or /export"),
        ([data, "/print", "5-2"], "/print pages 5-2: the first page comes after the last"),
        ([data, "/print", "/copies", "99999999999"], "/copies takes a number from 1 to 99"),
        ([data, "/print", "/copies"], "/copies takes a number from 1 to 99"),
        ([data, "/export", "csv"], "/export needs a format (text, tsv, csv or dbf) and an output file"),
        ([data, "/export", "csv", "/dos"], "/export needs an output file name after the format"),
        ([data, "/export", "xlsx", out], '/export format "xlsx" is not text, tsv, csv or dbf'),
        ([data, "/print", "/filter", "2", "a"],
         '/filter needs a column, a from bound and a to bound ("" for an open side)'),
        ([data, "/print", "/sort"], "/sort needs a column: its position in the dialog's list or its title"),
        ([data, "/print", "/Landscape"], "unknown switch /Landscape; use /print, /export, /copies, /dos, /sort or /filter"),
        # Control bytes in an argument never break the line on standard error.
        ([data, "/print", "/sort", "1", "/x\x01\x1b"], "unknown switch /x??; use /print, /export, /copies, /dos, /sort or /filter"),
    ]
    for number, (args, message) in enumerate(cases):
        run = app_factory(name=f"bad_switch_{number}").run_job(args)
        assert (run.exit_code, run.stderr, run.window_shown) == (1, f"lintaro: {message}\r\n", False), args
    # Typed at the console: a quote left open would swallow the switches after it.
    run = app_factory(name="open_quote").run_job(
        raw_line=f'{windows_path(data)} /export csv {windows_path(out)} /filter 2 "a b /dos')
    assert (run.exit_code, run.stderr, run.window_shown) == (
        1, "lintaro: a quote opened on the command line is never closed\r\n", False)
    # A 2,000-byte command line is read whole: its last switch is the one refused.
    long_line = [data, "/export", "csv", out] + ["/sort", "1", "desc"] * 160 + ["/bad"]
    run = app_factory(name="long_line").run_job(long_line)
    assert run.exit_code == 1 and run.stderr.startswith("lintaro: unknown switch /bad;")
    assert not out.exists()


def test_a_job_with_missing_or_unusable_files_says_which_and_writes_nothing(app_factory, tmp_path):
    data = tmp_path / "t.rdf"
    data.write_bytes((SAMPLES / "furniture.rdf").read_bytes())
    out = tmp_path / "out.csv"
    cfg = struct.pack("<11i260s", 0, 0, 21000, 1500, 1000, 29700, 1000, 1000, 0, 0, 0, b"")

    run = app_factory(name="missing_data").run_job([tmp_path / "none.rdf", "/export", "csv", out])
    assert run.exit_code == 2
    assert run.stderr == f"lintaro: the data file {windows_path(tmp_path / 'none.rdf')} cannot be read or holds no table\r\n"
    # A format file that is the data file itself: refused, never touched.
    app = app_factory(name="bad_layout")
    run = app.run_job([data, data, "/export", "csv", out], printer_cfg=cfg)
    assert (run.exit_code, run.stderr) == (3, f"lintaro: the format file {windows_path(data)} is not a readable layout file\r\n")
    assert (app.folder / "Printer.cfg").read_bytes() == cfg
    assert data.read_bytes() == (SAMPLES / "furniture.rdf").read_bytes()
    assert not out.exists()
    # One not made yet: the table's own layout, as the window would show it; the file is not created.
    run = app_factory(name="new_layout").run_job([data, tmp_path / "none.rff", "/export", "csv", out])
    assert (run.exit_code, run.stderr) == (0, "")
    assert out.read_bytes().startswith(b"No;No.;Item;Price;Photo;\r\n")
    assert not (tmp_path / "none.rff").exists()
    out.unlink()
    # A name that begins with a slash is a switch, so a Unix path is refused, not opened.
    run = app_factory(name="unix_path").run_job([str(data), "/export", "csv", out])
    assert run.exit_code == 1
    assert run.stderr == "lintaro: name the data file before the first switch; a name that begins with / is taken for one\r\n"
    assert not out.exists()


def test_a_job_runs_while_a_copy_shows_its_window_and_leaves_printer_cfg_alone(lintaro, app_factory, tmp_path):
    cfg = struct.pack("<11i260s", 0, 0, 21000, 1500, 1000, 29700, 1000, 1000, 0, 0, 0, b"")
    main = lintaro.start([SAMPLES / "furniture.rdf"], printer_cfg=cfg)
    out = tmp_path / "beside.csv"
    job = app_factory(name="beside_a_copy")
    job.prepare(printer_cfg=cfg, folder=lintaro.folder / "job")
    run = job.run_job([SAMPLES / "furniture.rdf", "/export", "csv", out])
    assert (run.exit_code, run.stderr, run.window_shown) == (0, "", False)
    assert out.read_bytes().startswith("No;No.;Item;Price;Photo;\r\n".encode())
    # The running copy neither heard of it nor lost its window.
    assert lintaro.is_running() and main.exists()
    assert lintaro.dialogs() == []
    assert (job.folder / "Printer.cfg").read_bytes() == cfg
    assert (lintaro.folder / "Printer.cfg").read_bytes() == cfg

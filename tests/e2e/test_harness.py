"""The harness itself, checked against its sample window program and the environment: if these
fail, failures of the program's end-to-end tests say nothing about the program."""

from __future__ import annotations

import subprocess
import time
from pathlib import Path

import pytest

from lintaro_harness import IDCANCEL, IDOK, HarnessError, colour_count, image_size, pixel

OPEN_DIALOG = 40001
SHOW_MESSAGE = 40002
EDIT, COMBO, LIST, CHECK, STATUS = 101, 102, 103, 104, 105


def wait_caption(window, expected: str, timeout: float = 5.0) -> str:
    deadline = time.monotonic() + timeout
    caption = window.caption
    while caption != expected and time.monotonic() < deadline:
        time.sleep(0.05)
        caption = window.caption
    return caption


def test_finds_the_main_window_with_its_cyrillic_caption_and_geometry(sample_app):
    main = sample_app.start()
    info = main.info()
    assert info.class_name == "LintaroSampleClass"
    assert info.caption == "Пробен прозорец"
    assert info.visible
    assert info.position == (100, 80)
    assert info.size == (400, 300)
    assert info.exe.lower() == sample_app.windows_exe.lower()


def test_dialog_controls_read_write_and_notify(sample_app):
    main = sample_app.start()
    sample_app.post_command(OPEN_DIALOG)
    dialog = sample_app.wait_dialog("Проба")
    assert dialog.info().owner == main.handle

    assert dialog.control_text(EDIT) == "Начало"
    dialog.set_control_text(EDIT, "Нов текст, = 100%")
    assert dialog.control_text(EDIT) == "Нов текст, = 100%"

    assert dialog.combo_items(COMBO) == ["Червен", "Зелен", "Син"]
    assert dialog.combo_selection(COMBO) == 0
    dialog.select_combo(COMBO, "Син")
    assert dialog.combo_selected_text(COMBO) == "Син"
    assert wait_caption(dialog.item(STATUS), "combo 102") == "combo 102"

    assert dialog.list_items(LIST) == ["Червен", "Зелен", "Син"]
    dialog.select_list(LIST, 1)
    assert dialog.list_selection(LIST) == 1
    assert wait_caption(dialog.item(STATUS), "list 103") == "list 103"

    assert not dialog.is_checked(CHECK)
    dialog.set_checked(CHECK)
    assert dialog.is_checked(CHECK)
    assert wait_caption(dialog.item(STATUS), "check 104") == "check 104"

    with pytest.raises(HarnessError):
        dialog.select_combo(COMBO, 7)

    dialog.click(IDOK)
    dialog.wait_gone()
    assert wait_caption(main, "ok Нов текст, = 100%|2|1|1") == "ok Нов текст, = 100%|2|1|1"


def test_cancel_button_and_children_listing(sample_app):
    main = sample_app.start()
    sample_app.post_command(OPEN_DIALOG)
    dialog = sample_app.wait_dialog()
    by_id = {child.control_id: child for child in dialog.children()}
    assert by_id[CHECK].class_name == "Button" and by_id[CHECK].text == "Удебелен"
    assert by_id[IDCANCEL].text == "Отказ"
    dialog.click(IDCANCEL)
    dialog.wait_gone()
    assert wait_caption(main, "cancel") == "cancel"


def test_message_box_caption_and_text(sample_app):
    sample_app.start()
    sample_app.post_command(SHOW_MESSAGE)
    box, caption, text = sample_app.wait_message_box()
    assert (caption, text) == ("Проба", "Съобщение за проба")
    box.click(IDOK)
    box.wait_gone()
    assert sample_app.dialogs() == []


def test_real_mouse_and_keyboard_reach_the_window(sample_app):
    main = sample_app.start()
    sample_app.click(30, 40)
    assert wait_caption(main, "click 30 40") == "click 30 40"
    sample_app.type_text("ab c")
    assert wait_caption(main, "char ab c") == "char ab c"
    sample_app.key("ctrl+p")
    assert wait_caption(main, "ctrl+p") == "ctrl+p"


def test_typing_into_a_dialog_edit_control(sample_app):
    sample_app.start()
    sample_app.post_command(OPEN_DIALOG)
    dialog = sample_app.wait_dialog("Проба")
    dialog.set_control_text(EDIT, "")
    edit = dialog.item(EDIT)
    sample_app.click(5, 5, window=edit)
    sample_app.type_text("Таблица 12", window=dialog)
    assert dialog.control_text(EDIT) == "Таблица 12"


def test_exit_code_of_a_closed_program(sample_app):
    sample_app.start(["7"])
    assert sample_app.is_running()
    assert sample_app.close() == 7
    assert not sample_app.is_running()


def test_screenshot_shows_the_window(sample_app, test_env):
    main = sample_app.start()
    shot = sample_app.screenshot(test_env.screenshot_dir / "harness-sample.png")
    assert image_size(shot) == (400, 300)
    client = sample_app.screenshot(test_env.screenshot_dir / "harness-sample-client.png", client=True)
    width, height = main.info().client_size
    assert image_size(client) == (width, height)
    # The client area is painted with the window colour (white) and nothing else.
    assert pixel(client, width // 2, height // 2) == (255, 255, 255)
    assert colour_count(client, (255, 255, 255)) == width * height
    # The caption bar is not white.
    assert pixel(shot, 200, 10) != (255, 255, 255)


def test_lpt1_is_a_file_of_the_run(test_env):
    test_env.clear_lpt1()
    result = subprocess.run(["wine", "cmd", "/c", "echo Проба 1>LPT1"], capture_output=True,
                            stdin=subprocess.DEVNULL, timeout=60)
    assert result.returncode == 0
    assert test_env.read_lpt1() == "Проба \r\n".encode("cp1251")
    test_env.clear_lpt1()
    assert test_env.read_lpt1() == b""


@pytest.mark.parametrize("printer, size", [("PDF", (595.0, 842.0)), ("Letter", (612.0, 792.0))])
def test_printers_write_pdfs_of_their_paper_size(test_env, tmp_path, printer, size):
    text = tmp_path / "page.txt"
    text.write_text("Printed page\n")
    known = test_env.pdfs()
    title = f"harness_{printer}_{time.time_ns()}"
    # Two jobs of one title: the second must not replace the first one's PDF.
    for _ in range(2):
        subprocess.run(["lp", "-d", printer, "-t", title, str(text)], check=True,
                       capture_output=True)
    pdfs = test_env.wait_for_pdfs(2, known)
    assert len(pdfs) == 2, pdfs
    for pdf in pdfs:
        assert pdf.name.startswith(title)
        assert test_env.pdf_page_size_points(pdf) == size
        assert test_env.pdf_page_count(pdf) == 1


def test_second_printer_has_an_unprintable_strip_on_the_left(test_env):
    ppd = test_env.cups_dir / "ppd" / f"{test_env.second_printer}.ppd"
    text = ppd.read_text(errors="replace")
    assert "*DefaultPageSize: Letter" in text
    assert '*ImageableArea Letter/US Letter: "12 0 612 792"' in text
    assert '*ImageableArea A4/A4: "12 0 595 842"' in text


def test_the_default_windows_printer_is_the_pdf_printer(test_env, tmp_path):
    result = subprocess.run(["wine", "reg", "query",
                             r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\Windows",
                             "/v", "Device"], capture_output=True, stdin=subprocess.DEVNULL,
                            timeout=60)
    assert b"PDF,winspool" in result.stdout or b"PDF,wineps.drv" in result.stdout, result.stdout

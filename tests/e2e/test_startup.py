"""Start-up and the main window: class, caption, geometry, single instance, closing."""

from __future__ import annotations

from lintaro_harness import IDOK, image_size, pixel

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


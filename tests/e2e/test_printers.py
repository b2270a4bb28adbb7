"""Printers through the spooler: start-up with no printer at all."""

from __future__ import annotations

import os
import subprocess


def test_without_any_printer_start_up_chooses_the_dot_matrix_printer(test_env, tmp_path):
    # libcups pointed at a socket that does not exist: Windows sees no printer and no default.
    tests_exe = test_env.win_build / "tests" / "win" / "lintaro_win_tests.exe"
    env = dict(os.environ, CUPS_SERVER=str(tmp_path / "no-spooler.sock"))
    result = subprocess.run(
        ["wine", str(tests_exe), "--gtest_also_run_disabled_tests",
         "--gtest_filter=NoPrinter.*"],
        env=env, capture_output=True, text=True, timeout=120, stdin=subprocess.DEVNULL)
    assert "[  PASSED  ] 1 test." in result.stdout, result.stdout + result.stderr


def test_printers_come_back_with_the_spooler(test_env):
    # The run without a spooler must not leave Windows without its printers.
    tests_exe = test_env.win_build / "tests" / "win" / "lintaro_win_tests.exe"
    result = subprocess.run(
        ["wine", str(tests_exe), "--gtest_filter=Printers.DefaultPrinterIsListed*"],
        capture_output=True, text=True, timeout=120, stdin=subprocess.DEVNULL)
    assert "[  PASSED  ] 1 test." in result.stdout, result.stdout + result.stderr

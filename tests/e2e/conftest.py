"""Fixtures of the end-to-end tests: the test environment, the driver inside Wine, and programs
under test that are ended after each test (with a screenshot of the screen when a test failed).

Run through scripts/test.sh, or alone with the environment started by this file:
    /usr/bin/python3 -m pytest tests/e2e
"""

from __future__ import annotations

import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))

from lintaro_harness import (  # noqa: E402
    Driver,
    HarnessError,
    Lintaro,
    TestEnvironment,
    screenshot_rect,
    start_environment,
    stop_environment,
)

@pytest.fixture(scope="session")
def test_env() -> TestEnvironment:
    started_here = os.environ.get("LINTARO_ENV_READY") != "1"
    if started_here:
        start_environment()
    try:
        yield TestEnvironment.from_os()
    finally:
        if started_here:
            stop_environment()


@pytest.fixture(scope="session")
def driver(test_env: TestEnvironment) -> Driver:
    wdrive = Driver(test_env.wdrive_exe)
    yield wdrive
    wdrive.close()


@pytest.hookimpl(tryfirst=True, hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    setattr(item, "report_" + report.when, report)


def _failed(request) -> bool:
    report = getattr(request.node, "report_call", None)
    return report is not None and report.failed


@pytest.fixture
def app_factory(request, test_env: TestEnvironment, driver: Driver):
    """Makes programs under test: app_factory() for lintaro.exe, app_factory(exe=..., main_class=...)
    for another. Every one still running after the test is ended."""
    made: list[Lintaro] = []

    def make(exe: Path | None = None, main_class: str | None = None, name: str | None = None) -> Lintaro:
        app = Lintaro(test_env, driver, exe=exe,
                      main_class=main_class or "LintaroClass",
                      name=name or re.sub(r"\W+", "_", request.node.name)[:60])
        made.append(app)
        return app

    yield make
    if _failed(request):
        safe_name = re.sub(r"[^\w.-]+", "_", request.node.name)
        shot = test_env.screenshot_dir / f"FAILED-{safe_name}.png"
        try:
            width, height = driver.screen_size()
            screenshot_rect(shot, (0, 0, width, height))
            print(f"screen at failure: {shot}")
        except (HarnessError, subprocess.CalledProcessError):
            pass
    for app in made:
        app.stop()


@pytest.fixture
def lintaro(app_factory) -> Lintaro:
    """lintaro.exe, not started yet: call lintaro.start(args, printer_cfg=...)."""
    return app_factory()


@pytest.fixture
def sample_app(app_factory, test_env: TestEnvironment) -> Lintaro:
    """The harness's own sample window program, for the harness's tests."""
    return app_factory(exe=test_env.sample_exe, main_class="LintaroSampleClass")

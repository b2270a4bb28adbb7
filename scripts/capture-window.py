#!/usr/bin/python3
"""Starts lintaro.exe (in its build folder) with Windows arguments, waits for its main window,
saves a PNG of it, prints the PNG's path and closes the program. Used by scripts/run.sh when
there is no display; needs the environment of scripts/test-env.sh."""

import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from lintaro_harness import Driver, Lintaro, TestEnvironment  # noqa: E402


def main() -> int:
    env = TestEnvironment.from_os()
    driver = Driver(env.wdrive_exe)
    app = Lintaro(env, driver, name="run")
    try:
        app.prepare(folder=env.lintaro_exe.parent)
        app.start(sys.argv[1:])
        time.sleep(1.0)  # let the first paint finish
        shot = app.screenshot(env.screenshot_dir / f"lintaro-{time.strftime('%Y%m%d-%H%M%S')}.png")
        print(shot)
        app.close()
        return 0
    finally:
        app.stop()
        driver.close()


if __name__ == "__main__":
    sys.exit(main())

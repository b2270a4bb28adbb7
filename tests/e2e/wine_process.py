"""The Unix side of a program under test: the Wine process that runs it, its peak memory, its
sudden end, and a second program (file_helper.exe) that holds a file open the way the program
that writes a data file does."""

from __future__ import annotations

import os
import signal
import subprocess
import time
from pathlib import Path

from lintaro_harness import HarnessError, Lintaro, TestEnvironment, windows_path


def unix_pid(app: Lintaro) -> int:
    """The process id of the Wine process running the program: `wine <exe>` becomes that
    process itself, so it is the one the harness started; checked by its command line."""
    pid = app.process.pid
    command = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[0]
    if not command.endswith(app.exe.name.encode()):
        raise HarnessError(f"process {pid} runs {command!r}, not {app.exe.name}")
    return pid


def peak_memory(app: Lintaro) -> int:
    """The most memory the program's process has had resident so far (VmHWM), in bytes."""
    for line in Path(f"/proc/{unix_pid(app)}/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) * 1024
    raise HarnessError("no VmHWM line in the process status")


def kill_now(app: Lintaro) -> bool:
    """Ends the program at once with SIGKILL, as a power cut or the task killer would, and
    waits until its process is gone. False when it had already ended by itself."""
    if app.process.poll() is not None:
        return False
    try:
        os.kill(unix_pid(app), signal.SIGKILL)
    except (ProcessLookupError, HarnessError):
        pass  # it ended between the look and the kill: an ended process has no command line
    app.process.wait(timeout=15)
    return app.process.returncode == -signal.SIGKILL


class FileHolder:
    """file_helper.exe holding a file open for reading and writing without sharing, as the
    program that writes a data file does while it writes; it lets go after `hold_ms`."""

    def __init__(self, env: TestEnvironment, path: Path, hold_ms: int):
        helper = env.win_build / "tests" / "win" / "file_helper.exe"
        if not helper.exists():
            raise HarnessError(f"{helper} does not exist (build the file_helper target)")
        self.ready = path.with_name(path.name + ".held")
        self.ready.unlink(missing_ok=True)
        self.process = subprocess.Popen(
            ["wine", str(helper), "hold-marked", windows_path(path), str(hold_ms),
             windows_path(self.ready)],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            start_new_session=True)

    def __enter__(self) -> "FileHolder":
        return self

    def __exit__(self, *exc) -> None:
        self.stop()

    def wait_holding(self, timeout: float = 20.0) -> None:
        deadline = time.monotonic() + timeout
        while not self.ready.exists():
            if self.process.poll() is not None:
                raise HarnessError(f"file_helper ended with code {self.process.returncode}")
            if time.monotonic() > deadline:
                raise HarnessError("file_helper did not take hold of the file")
            time.sleep(0.02)

    def wait_released(self, timeout: float = 30.0) -> int:
        code = self.process.wait(timeout=timeout)
        self.ready.unlink(missing_ok=True)
        return code

    def stop(self) -> None:
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.ready.unlink(missing_ok=True)

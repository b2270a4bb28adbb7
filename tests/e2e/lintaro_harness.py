"""End-to-end harness: starts the real lintaro.exe under Wine and works it as a user would.

The environment (Xvfb, CUPS printers, Wine prefix) comes from scripts/test-env.sh; this module
reads what it exported (see TestEnvironment). Windows are reached through wdrive.exe, a driver
that runs inside Wine and answers one line per command (see tests/e2e/driver/wdrive.cpp);
keyboard and mouse input is real X input through xdotool; screenshots come from the X server.

Texts of the program are code page 1251; every method here takes and returns Python str.
"""

from __future__ import annotations

import os
import re
import select
import shutil
import signal
import subprocess
import tempfile
import time
import urllib.parse
from dataclasses import dataclass
from pathlib import Path
from typing import Iterable, Optional, Sequence

CODE_PAGE = "cp1251"
MAIN_WINDOW_CLASS = "LintaroClass"
DIALOG_CLASS = "#32770"
# What Wine's loader writes (with err+virtual) when it cannot set a new process up.
WINE_LOADER_FAILURE = b"failed to map the shared user data"
# One line of that channel's output, as Wine writes it: "0024:err:virtual:function message".
WINE_VIRTUAL_ERROR = re.compile(rb"^[0-9a-f]+:err:virtual:[^\n]*\n?", re.MULTILINE)
MESSAGE_TEXT_ID = 0xFFFF  # the static control that holds a message box's text

# Window messages and notifications the tests use by number.
WM_CLOSE = 0x0010
WM_COMMAND = 0x0111
WM_KEYDOWN = 0x0100
IDOK = 1
IDCANCEL = 2


class HarnessError(RuntimeError):
    """The harness could not do what a test asked (not a failed expectation of the program)."""


ENV_SCRIPT = Path(__file__).resolve().parents[2] / "scripts" / "test-env.sh"


def start_environment() -> None:
    """Starts Xvfb, CUPS and the Wine prefix through test-env.sh and adopts its variables."""
    result = subprocess.run(
        ["bash", "-c", 'source "$0" && lintaro_env_start >&2 && cat "$LINTARO_RUN_DIR/env.sh"',
         str(ENV_SCRIPT)], stdout=subprocess.PIPE, stdin=subprocess.DEVNULL)
    if result.returncode != 0:
        raise HarnessError("lintaro_env_start failed")
    for line in result.stdout.decode().splitlines():
        match = re.fullmatch(r"export (\w+)=(.*)", line)
        if match:
            os.environ[match.group(1)] = match.group(2)


def stop_environment() -> None:
    subprocess.run(["bash", "-c", 'source "$0" && lintaro_env_stop', str(ENV_SCRIPT)],
                   stdin=subprocess.DEVNULL)


# --------------------------------------------------------------------------------------------
# Environment


@dataclass
class TestEnvironment:
    """What scripts/test-env.sh set up, read from the variables it exported."""

    run_dir: Path
    pdf_dir: Path
    lpt1_file: Path
    screenshot_dir: Path
    win_build: Path
    printer: str
    second_printer: str
    cups_dir: Path  # the run's own spooler: its configuration, PPDs, spool and logs

    @classmethod
    def from_os(cls) -> "TestEnvironment":
        if os.environ.get("LINTARO_ENV_READY") != "1":
            raise HarnessError("the test environment is not started (source scripts/test-env.sh; "
                               "lintaro_env_start)")
        return cls(
            run_dir=Path(os.environ["LINTARO_RUN_DIR"]),
            pdf_dir=Path(os.environ["LINTARO_PDF_DIR"]),
            lpt1_file=Path(os.environ["LINTARO_LPT1_FILE"]),
            screenshot_dir=Path(os.environ["LINTARO_SCREENSHOT_DIR"]),
            win_build=Path(os.environ["LINTARO_WIN_BUILD"]),
            printer=os.environ.get("LINTARO_PRINTER", "PDF"),
            second_printer=os.environ.get("LINTARO_SECOND_PRINTER", "Letter"),
            cups_dir=Path(os.environ["LINTARO_CUPS_DIR"]),
        )

    @property
    def lintaro_exe(self) -> Path:
        return Path(os.environ.get("LINTARO_EXE", self.win_build / "app" / "lintaro.exe"))

    @property
    def wdrive_exe(self) -> Path:
        return Path(os.environ.get("LINTARO_WDRIVE", self.win_build / "tests" / "e2e" / "wdrive.exe"))

    @property
    def convert_exe(self) -> Path:
        """The native converter, from the native tree beside the Windows one."""
        return Path(os.environ.get("LINTARO_CONVERT", self.win_build.parent / "native" / "convert" / "lintaro-convert"))

    @property
    def sample_exe(self) -> Path:
        return self.win_build / "tests" / "e2e" / "lintaro_sample.exe"

    # ---- LPT1 ----
    def read_lpt1(self) -> bytes:
        return self.lpt1_file.read_bytes()

    def clear_lpt1(self) -> None:
        # Truncate in place: the prefix maps LPT1 to this very file.
        with open(self.lpt1_file, "r+b") as lpt1:
            lpt1.truncate(0)

    # ---- PDFs written by the PDF printers ----
    def pdfs(self) -> list[Path]:
        """The PDF files the printers wrote in this run, oldest first."""
        # The printer's backend writes a hidden ".partial-" file and renames it when complete:
        # such a file is not a printed job yet, and may be gone a moment later.
        stamped = []
        for p in self.pdf_dir.rglob("*.pdf"):
            if p.name.startswith("."):
                continue
            try:
                stamped.append((p.stat().st_mtime_ns, p.name, p))
            except FileNotFoundError:
                continue
        return [p for _, _, p in sorted(stamped)]

    def wait_for_pdfs(self, count: int, known: Iterable[Path] = (), timeout: float = 30.0,
                      settle: float = 0.5) -> list[Path]:
        """Waits until at least `count` PDFs besides `known` exist and no more appear for
        `settle` seconds; returns the new ones, oldest first."""
        known = set(known)
        deadline = time.monotonic() + timeout
        last, last_change = None, time.monotonic()
        while True:
            new = [p for p in self.pdfs() if p not in known]
            if new != last:
                last, last_change = new, time.monotonic()
            if len(new) >= count and time.monotonic() - last_change >= settle and self.jobs_pending() == []:
                return new
            if time.monotonic() > deadline:
                raise HarnessError(f"expected {count} new PDF(s), found {len(new)}: {new}")
            time.sleep(0.1)

    @staticmethod
    def pdf_text(path: Path, layout: bool = True) -> str:
        args = ["pdftotext"] + (["-layout"] if layout else []) + [str(path), "-"]
        return subprocess.run(args, check=True, capture_output=True).stdout.decode("utf-8")

    @staticmethod
    def pdf_page_count(path: Path) -> int:
        info = subprocess.run(["pdfinfo", str(path)], check=True, capture_output=True,
                              text=True).stdout
        for line in info.splitlines():
            if line.startswith("Pages:"):
                return int(line.split()[1])
        raise HarnessError(f"pdfinfo gave no page count for {path}")

    @staticmethod
    def pdf_page_size_points(path: Path) -> tuple[float, float]:
        info = subprocess.run(["pdfinfo", str(path)], check=True, capture_output=True,
                              text=True).stdout
        for line in info.splitlines():
            if line.startswith("Page size:"):
                parts = line.split()
                return float(parts[2]), float(parts[4])
        raise HarnessError(f"pdfinfo gave no page size for {path}")

    def render_pdf(self, path: Path, out_prefix: Optional[Path] = None, dpi: int = 60) -> list[Path]:
        """Renders every page to PNG (to look at); returns the image paths."""
        out_prefix = out_prefix or self.screenshot_dir / path.stem
        subprocess.run(["pdftoppm", "-png", "-r", str(dpi), str(path), str(out_prefix)], check=True)
        return sorted(out_prefix.parent.glob(out_prefix.name + "-*.png"))

    # ---- CUPS jobs ----
    @staticmethod
    def jobs_pending() -> list[str]:
        out = subprocess.run(["lpstat", "-o"], capture_output=True, text=True).stdout
        return [line.split()[0] for line in out.splitlines() if line.strip()]

    @staticmethod
    def jobs_completed() -> list[str]:
        """Ids of the completed CUPS jobs ("PDF-12"), oldest first. The PDF printers name each
        PDF after its job's title, so the titles are the PDFs' names."""
        out = subprocess.run(["lpstat", "-W", "completed", "-o"], capture_output=True,
                             text=True).stdout
        return [line.split()[0] for line in out.splitlines() if line.strip()]


def printer_uri(printer: str) -> str:
    """The IPP address of a printer of the run's own spooler, which listens only on the Unix
    socket in $CUPS_SERVER (an address's host may be a socket's path, percent-encoded)."""
    host = urllib.parse.quote(os.environ["CUPS_SERVER"], safe="")
    return f"ipp://{host}/printers/{urllib.parse.quote(printer)}"


def windows_path(path: os.PathLike | str) -> str:
    """The Windows name of a Unix path, as `winepath -w` gives it for a path outside the
    prefix's drive_c (drive Z: is the Unix root)."""
    return "Z:" + str(Path(path).absolute()).replace("/", "\\")


# --------------------------------------------------------------------------------------------
# The driver inside Wine


def _encode_word(value) -> str:
    if isinstance(value, bytes):
        data = value
    else:
        data = str(value).encode(CODE_PAGE)
    if not data:
        return ""
    return "".join(chr(b) if 0x21 <= b <= 0x7E and b not in b"%,=" else f"%{b:02X}" for b in data)


def _decode_field(field: str) -> str:
    return urllib.parse.unquote_to_bytes(field).decode(CODE_PAGE, errors="replace")


class Driver:
    """wdrive.exe running under Wine: one command line in, one answer line out."""

    def __init__(self, exe: Path, timeout: float = 30.0):
        if not exe.exists():
            raise HarnessError(f"{exe} does not exist (build the Windows tree)")
        self.timeout = timeout
        self.process = subprocess.Popen(["wine", str(exe)], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        start_new_session=True)
        self._buffer = b""
        if self.call("ping") != ["pong"]:
            raise HarnessError("wdrive did not answer ping")

    def call_raw(self, words: Sequence, timeout: Optional[float] = None) -> tuple[bool, list[str]]:
        line = " ".join(_encode_word(w) if not isinstance(w, _Raw) else w.text for w in words)
        if self.process.poll() is not None:
            raise HarnessError("wdrive has ended")
        self.process.stdin.write(line.encode("ascii") + b"\n")
        self.process.stdin.flush()
        answer = self._read_line(timeout or self.timeout)
        parts = answer.split(" ")
        if parts[0] not in ("OK", "ERR"):
            raise HarnessError(f"wdrive answered {answer!r} to {line!r}")
        return parts[0] == "OK", parts[1:]

    def call(self, *words, timeout: Optional[float] = None) -> list[str]:
        """Runs one command; returns its decoded fields or raises HarnessError on ERR."""
        ok, fields = self.call_raw(words, timeout)
        decoded = [_decode_field(f) for f in fields]
        if not ok:
            raise HarnessError(f"wdrive {' '.join(map(str, words))}: {' '.join(decoded)}")
        return decoded

    def _read_line(self, timeout: float) -> str:
        deadline = time.monotonic() + timeout
        fd = self.process.stdout.fileno()
        while b"\n" not in self._buffer:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                raise HarnessError("wdrive did not answer in time")
            ready, _, _ = select.select([fd], [], [], remaining)
            if ready:
                chunk = os.read(fd, 65536)
                if not chunk:
                    raise HarnessError("wdrive closed its output")
                self._buffer += chunk
        line, self._buffer = self._buffer.split(b"\n", 1)
        return line.decode("ascii").rstrip("\r")

    def close(self) -> None:
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b"quit\n")
                self.process.stdin.flush()
                self.process.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()

    # ---- window queries ----
    def find(self, window_class=None, title=None, owner=None, pid=None, exe=None,
             visible=None) -> list["Window"]:
        return [Window(self, h) for h in self.call("find", *_filters(window_class, title, owner, pid, exe, visible))]

    def wait(self, window_class=None, title=None, owner=None, pid=None, exe=None, visible=None,
             timeout: float = 15.0) -> "Window":
        """The first top-level window that matches, waiting up to `timeout` seconds."""
        words = _filters(window_class, title, owner, pid, exe, visible)
        ok, fields = self.call_raw(["wait", int(timeout * 1000), *words], timeout=timeout + 10)
        if not ok:
            raise HarnessError(f"no window {' '.join(str(w) for w in words)} within {timeout} s")
        return Window(self, _decode_field(fields[0]))

    def screen_size(self) -> tuple[int, int]:
        width, height = self.call("screen")
        return int(width), int(height)

    def foreground(self) -> "Window":
        return Window(self, self.call("foreground")[0])


class _Raw:
    """A word sent as it stands (already encoded)."""

    def __init__(self, text: str):
        self.text = text


def _filters(window_class, title, owner, pid, exe, visible) -> list[_Raw]:
    words = []
    if window_class is not None:
        words.append(_Raw("class=" + _encode_word(window_class)))
    if title is not None:
        words.append(_Raw("title=" + _encode_word(title)))
    if owner is not None:
        words.append(_Raw("owner=" + _encode_word(owner.handle if isinstance(owner, Window) else owner)))
    if pid is not None:
        words.append(_Raw(f"pid={int(pid)}"))
    if exe is not None:
        words.append(_Raw("exe=" + _encode_word(exe)))
    if visible is not None:
        words.append(_Raw(f"visible={1 if visible else 0}"))
    return words


@dataclass
class WindowInfo:
    handle: str
    class_name: str
    caption: str
    text: str
    style: int
    exstyle: int
    visible: bool
    enabled: bool
    rect: tuple[int, int, int, int]  # left, top, right, bottom on the screen
    client_size: tuple[int, int]
    client_origin: tuple[int, int]  # screen position of the client area's top-left corner
    pid: int  # the Windows process id
    control_id: int
    parent: str
    owner: str
    exe: str
    foreground: bool

    @property
    def position(self) -> tuple[int, int]:
        return self.rect[0], self.rect[1]

    @property
    def size(self) -> tuple[int, int]:
        return self.rect[2] - self.rect[0], self.rect[3] - self.rect[1]


@dataclass
class ChildWindow:
    handle: str
    control_id: int
    class_name: str
    text: str


class Window:
    """A window of the program under test, by handle."""

    def __init__(self, driver: Driver, handle: str):
        self.driver = driver
        self.handle = handle

    def __repr__(self) -> str:
        return f"Window({self.handle})"

    def __eq__(self, other) -> bool:
        return isinstance(other, Window) and int(self.handle, 0) == int(other.handle, 0)

    def __hash__(self) -> int:
        return int(self.handle, 0)

    def info(self) -> WindowInfo:
        values = {}
        for field in self.driver.call("info", self.handle):
            key, _, value = field.partition("=")
            values[key] = value
        numbers = lambda text: tuple(int(v) for v in text.split(","))
        return WindowInfo(
            handle=self.handle, class_name=values["class"], caption=values["caption"],
            text=values["text"], style=int(values["style"], 16), exstyle=int(values["exstyle"], 16),
            visible=values["visible"] == "1", enabled=values["enabled"] == "1",
            rect=numbers(values["rect"]), client_size=numbers(values["client"]),
            client_origin=numbers(values["origin"]), pid=int(values["pid"]),
            control_id=int(values["id"]), parent=values["parent"], owner=values["owner"],
            exe=values["exe"], foreground=values["foreground"] == "1")

    def exists(self) -> bool:
        return self.driver.call("exists", self.handle) == ["1"]

    def wait_gone(self, timeout: float = 10.0) -> None:
        ok, _ = self.driver.call_raw(["waitgone", self.handle, int(timeout * 1000)], timeout + 10)
        if not ok:
            raise HarnessError(f"window {self.handle} still exists after {timeout} s")

    @property
    def text(self) -> str:
        """The window's text through WM_GETTEXT (a control's content, a window's caption)."""
        return self.driver.call("text", self.handle)[0]

    def set_text(self, text: str) -> None:
        self.driver.call("settext", self.handle, text)

    @property
    def caption(self) -> str:
        return self.info().caption

    def children(self) -> list[ChildWindow]:
        result = []
        for field in self.driver.call_raw(["children", self.handle])[1]:
            handle, control_id, class_name, text = (_decode_field(p) for p in field.split(","))
            result.append(ChildWindow(handle, int(control_id), class_name, text))
        return result

    def record_text(self) -> None:
        """From now on records the text the window paints (read back with painted_text)."""
        self.driver.call("textrecord", self.handle)

    def painted_text(self) -> list[list[tuple[int, int, str]]]:
        """The text painted since record_text, paint by paint: (x, y, text) of every TextOutA
        call on the window, in drawing order."""
        paints: list[list[tuple[int, int, str]]] = []
        for field in self.driver.call_raw(["texts", self.handle], timeout=120)[1]:
            if field == "paint":
                paints.append([])
                continue
            x, y, text = (_decode_field(p) for p in field.split(","))
            if not paints:
                paints.append([])
            paints[-1].append((int(x), int(y), text))
        return paints

    def item(self, control_id: int) -> "Window":
        return Window(self.driver, self.driver.call("item", self.handle, control_id)[0])

    def command(self, command_id: int, code: int = 0) -> None:
        """Posts WM_COMMAND as a menu item, accelerator or toolbar button would."""
        self.driver.call("command", self.handle, command_id, code)

    def post(self, message: int, wparam: int = 0, lparam: int = 0) -> None:
        self.driver.call("post", self.handle, message, wparam, lparam)

    def send(self, message: int, wparam: int = 0, lparam: int = 0) -> int:
        return int(self.driver.call("send", self.handle, message, wparam, lparam)[0])

    def close(self) -> None:
        """Posts WM_CLOSE (what Alt+F4 and the close box end in)."""
        self.driver.call("close", self.handle)

    def key(self, virtual_key: int, how: str = "press") -> None:
        """Posts WM_KEYDOWN/WM_KEYUP (no modifier state; use Lintaro.key for chords)."""
        self.driver.call("key", self.handle, virtual_key, how)

    def make_foreground(self) -> None:
        self.driver.call("foreground", self.handle)

    # ---- dialog controls, by control id ----
    def control_text(self, control_id: int) -> str:
        return self.item(control_id).text

    def set_control_text(self, control_id: int, text: str) -> None:
        self.item(control_id).set_text(text)

    def click(self, control_id: int) -> None:
        """Posts BM_CLICK to a button (OK, Cancel, check boxes, radio buttons)."""
        self.driver.call("click", self.item(control_id).handle)

    def is_checked(self, control_id: int) -> bool:
        return self.driver.call("getcheck", self.item(control_id).handle) == ["1"]

    def set_checked(self, control_id: int, checked: bool = True) -> None:
        """Sets a check box or radio button and posts BN_CLICKED to the dialog."""
        self.driver.call("setcheck", self.item(control_id).handle, 1 if checked else 0)

    def combo_items(self, control_id: int) -> list[str]:
        return self.driver.call("cbitems", self.item(control_id).handle)[1:]

    def combo_selection(self, control_id: int) -> int:
        return int(self.driver.call("cbitems", self.item(control_id).handle)[0])

    def combo_selected_text(self, control_id: int) -> Optional[str]:
        fields = self.driver.call("cbitems", self.item(control_id).handle)
        index = int(fields[0])
        return fields[1 + index] if index >= 0 else None

    def select_combo(self, control_id: int, choice: int | str) -> None:
        """Selects by index or by item text, then posts CBN_SELCHANGE as the user's pick would."""
        index = choice if isinstance(choice, int) else self.combo_items(control_id).index(choice)
        self.driver.call("cbsel", self.item(control_id).handle, index)

    def list_items(self, control_id: int) -> list[str]:
        return self.driver.call("lbitems", self.item(control_id).handle)[1:]

    def list_selection(self, control_id: int) -> int:
        return int(self.driver.call("lbitems", self.item(control_id).handle)[0])

    def select_list(self, control_id: int, choice: int | str) -> None:
        """Selects by index or text in a single-selection list box and posts LBN_SELCHANGE."""
        index = choice if isinstance(choice, int) else self.list_items(control_id).index(choice)
        self.driver.call("lbsel", self.item(control_id).handle, index)

    def list_selected(self, control_id: int) -> list[int]:
        """Selected indices of a multiple-selection list box."""
        return [int(i) for i in self.driver.call("lbselected", self.item(control_id).handle)]

    def set_list_selected(self, control_id: int, index: int, selected: bool = True) -> None:
        self.driver.call("lbsetsel", self.item(control_id).handle, index, 1 if selected else 0)


# --------------------------------------------------------------------------------------------
# Real input and the screen (X server)


def park_pointer() -> None:
    """Moves the pointer to the screen's bottom right corner, outside the main window, so that
    no tooltip or hover highlight left by an earlier test shows in a screenshot."""
    _xdotool("mousemove", 1023, 767)


def _xdotool(*args) -> None:
    subprocess.run(["xdotool", *map(str, args)], check=True)


def _x_focus_name() -> Optional[str]:
    """The name of the X window with the input focus; None when no window has it."""
    result = subprocess.run(["xdotool", "getwindowfocus", "getwindowname"], capture_output=True)
    return result.stdout.decode("utf-8", "replace").rstrip("\n") if result.returncode == 0 else None


def screenshot_rect(path: Path, rect: tuple[int, int, int, int]) -> Path:
    """Saves the screen area (left, top, right, bottom) as PNG."""
    left, top, right, bottom = rect
    path.parent.mkdir(parents=True, exist_ok=True)
    subprocess.run(["import", "-silent", "-window", "root", "-crop",
                    f"{right - left}x{bottom - top}+{left}+{top}", "+repage", str(path)],
                   check=True)
    return path


def image_size(path: Path) -> tuple[int, int]:
    out = subprocess.run(["identify", "-format", "%w %h", str(path)], check=True,
                         capture_output=True, text=True).stdout.split()
    return int(out[0]), int(out[1])


def image_pixels(path: Path) -> tuple[int, int, bytes]:
    """Width, height and the RGB bytes (row by row) of an image."""
    width, height = image_size(path)
    data = subprocess.run(["convert", str(path), "-depth", "8", "rgb:-"], check=True,
                          capture_output=True).stdout
    if len(data) != width * height * 3:
        raise HarnessError(f"unexpected pixel data size for {path}")
    return width, height, data


def pixel(path: Path, x: int, y: int) -> tuple[int, int, int]:
    width, _, data = image_pixels(path)
    offset = (y * width + x) * 3
    return data[offset], data[offset + 1], data[offset + 2]


def colour_count(path: Path, rgb: tuple[int, int, int],
                 region: Optional[tuple[int, int, int, int]] = None) -> int:
    """How many pixels of the image (or of region left, top, right, bottom) have that colour."""
    width, height, data = image_pixels(path)
    left, top, right, bottom = region or (0, 0, width, height)
    wanted = bytes(rgb)
    return sum(1 for y in range(top, bottom) for x in range(left, right)
               if data[(y * width + x) * 3:(y * width + x) * 3 + 3] == wanted)


# --------------------------------------------------------------------------------------------
# The program under test


@dataclass
class JobRun:
    """How an unattended job ended."""
    exit_code: int
    stderr: str
    window_shown: bool


class Lintaro:
    """One copy of a program under test (lintaro.exe by default), started in a folder of its own.

    Every start copies the executable into a fresh folder, so Printer.cfg and layout files of one
    test never meet another's. The process runs as `wine <copy> args...`; its exit code is the
    program's."""

    def __init__(self, env: TestEnvironment, driver: Driver, exe: Optional[Path] = None,
                 main_class: str = MAIN_WINDOW_CLASS, name: str = "lintaro"):
        self.env = env
        self.driver = driver
        self.source_exe = Path(exe) if exe else env.lintaro_exe
        self.main_class = main_class
        self.name = name
        self.folder: Optional[Path] = None
        self.exe: Optional[Path] = None
        self.process: Optional[subprocess.Popen] = None
        self._main: Optional[Window] = None
        self._log = None
        self._log_start = 0
        self._words: list[str] = []

    # ---- start and stop ----
    def prepare(self, printer_cfg: Optional[bytes] = None, files: Optional[dict] = None,
                folder: Optional[Path] = None) -> Path:
        """Creates the program's folder with a copy of the executable; optional Printer.cfg bytes
        and other files ({relative name: bytes or str}) are written beside it."""
        if folder is None:
            apps = self.env.run_dir / "apps"
            apps.mkdir(parents=True, exist_ok=True)
            folder = Path(tempfile.mkdtemp(prefix=self.name + "-", dir=apps))
        folder.mkdir(parents=True, exist_ok=True)
        self.folder = folder
        if not self.source_exe.exists():
            raise HarnessError(f"{self.source_exe} does not exist (build the Windows tree)")
        self.exe = folder / self.source_exe.name
        if not self.exe.exists():
            shutil.copy2(self.source_exe, self.exe)
        if printer_cfg is not None:
            (folder / "Printer.cfg").write_bytes(printer_cfg)
        for name, content in (files or {}).items():
            target = folder / name
            target.parent.mkdir(parents=True, exist_ok=True)
            if isinstance(content, str):
                content = content.encode(CODE_PAGE)
            target.write_bytes(content)
        return folder

    def start(self, args: Sequence = (), printer_cfg: Optional[bytes] = None,
              files: Optional[dict] = None, wait: bool = True, timeout: float = 20.0,
              folder: Optional[Path] = None) -> Optional[Window]:
        """Starts the program. Each argument that is a Path (or a str starting with "/") becomes
        its Windows name; other strings are passed as they stand. With `wait`, returns the main
        window once it exists."""
        if self.process is not None:
            raise HarnessError("already started; use another Lintaro object for a second copy")
        self.prepare(printer_cfg, files, folder or self.folder)
        words = [windows_path(a) if isinstance(a, Path) or (isinstance(a, str) and a.startswith("/"))
                 else str(a) for a in args]
        self._words = words
        log = self.folder / "wine-output.log"
        self._log_start = log.stat().st_size if log.exists() else 0
        self._launch()
        if wait:
            main = self.wait_main_window(timeout)
            park_pointer()
            return main
        return None

    def _launch(self) -> None:
        self._log = open(self.folder / "wine-output.log", "ab")
        # Wine's loader errors go to the log, so a start that Wine itself failed can be told apart.
        env = dict(os.environ)
        env["WINEDEBUG"] = (env["WINEDEBUG"] + "," if env.get("WINEDEBUG") else "") + "err+virtual"
        self.process = subprocess.Popen(["wine", str(self.exe), *self._words], cwd=self.folder,
                                        stdin=subprocess.DEVNULL, stdout=self._log,
                                        stderr=subprocess.STDOUT, start_new_session=True, env=env)

    def run_job(self, args: Sequence = (), printer_cfg: Optional[bytes] = None,
                files: Optional[dict] = None, timeout: float = 180.0,
                raw_line: Optional[str] = None) -> "JobRun":
        """Runs the program as an unattended job (`wine <copy> args...`) until it ends. Each Path
        argument becomes its Windows name; strings are passed as they stand (switches too).
        With `raw_line`, the program is started from a batch file by the console's cmd with that
        command line exactly as typed at the console (Wine would quote arguments itself). Returns the exit code,
        what reached standard error (Wine's own messages silenced), and whether a main window or
        dialog of the program was ever visible meanwhile."""
        if self.process is not None:
            raise HarnessError("already started; use another Lintaro object for a second copy")
        self.prepare(printer_cfg, files, self.folder)
        self._words = [windows_path(a) if isinstance(a, Path) else str(a) for a in args]
        command = ["wine", str(self.exe), *self._words]
        if raw_line is not None:
            batch = self.folder / "job.bat"
            # cmd reads a batch file in the console's code page (OEM, 866 beside ANSI 1251) and
            # hands the program its command line in the Windows code page.
            batch.write_bytes(f'@"{self.windows_exe}" {raw_line}\r\n'.encode("cp866"))
            command = ["wine", "cmd", "/c", windows_path(batch)]
        # Only the loader's errors are let through, so a start that Wine itself failed (exit code 1
        # before any code of the program ran) can be told apart and made again.
        env = dict(os.environ, WINEDEBUG="-all,err+virtual")
        for _attempt in range(2):
            error_file = self.folder / "job-stderr.txt"
            with open(error_file, "wb") as errors:
                self.process = subprocess.Popen(command, cwd=self.folder,
                                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                                stderr=errors, start_new_session=True, env=env)
                shown = False
                deadline = time.monotonic() + timeout
                while self.process.poll() is None:
                    if time.monotonic() > deadline:
                        raise HarnessError(f"the job still runs after {timeout} s")
                    for window_class in (self.main_class, DIALOG_CLASS):
                        if self.driver.find(window_class=window_class, exe=self.windows_exe, visible=True):
                            shown = True
                    time.sleep(0.05)
            output = error_file.read_bytes()
            wine_lines = WINE_VIRTUAL_ERROR.findall(output)
            stderr = WINE_VIRTUAL_ERROR.sub(b"", output)
            if not any(WINE_LOADER_FAILURE in line for line in wine_lines):
                break
            self.process = None
        return JobRun(self.process.returncode, stderr.decode(CODE_PAGE), shown)

    def relaunch_if_wine_failed(self) -> bool:
        """About once in a thousand starts Wine's loader cannot set the new process up ("failed
        to map the shared user data") and it ends with code 1 before any code of the program runs.
        Starts the program again when that is what happened; True when it did."""
        if self.process is None or self.process.poll() is None:
            return False
        self._log.close()
        log = (self.folder / "wine-output.log").read_bytes()
        if WINE_LOADER_FAILURE not in log[self._log_start:]:
            return False
        self._log_start = len(log)
        self._launch()
        return True

    @property
    def windows_exe(self) -> str:
        return windows_path(self.exe)

    def wait_main_window(self, timeout: float = 20.0) -> Window:
        deadline = time.monotonic() + timeout
        while True:
            found = self.driver.find(window_class=self.main_class, exe=self.windows_exe, visible=True)
            if found:
                self._main = found[0]
                return self._main
            if self.process.poll() is not None and self.relaunch_if_wine_failed():
                continue
            if self.process.poll() is not None:
                raise HarnessError(f"{self.exe.name} ended with code {self.process.returncode} "
                                   "before its main window appeared")
            if time.monotonic() > deadline:
                raise HarnessError(f"no {self.main_class} window of {self.exe} within {timeout} s")
            time.sleep(0.05)

    @property
    def main(self) -> Window:
        if self._main is None:
            raise HarnessError("the main window has not been found (start with wait=True)")
        return self._main

    @property
    def windows_pid(self) -> int:
        """The program's Windows process id (not the Unix one), from its main window."""
        return self.main.info().pid

    def is_running(self) -> bool:
        return self.process is not None and self.process.poll() is None

    def exit_code(self, timeout: float = 15.0) -> int:
        """Waits for the process to end and returns its exit code."""
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise HarnessError(f"{self.exe.name} still runs after {timeout} s") from None

    def close(self, timeout: float = 15.0) -> int:
        """Closes the main window (WM_CLOSE) and returns the exit code."""
        self.main.close()
        return self.exit_code(timeout)

    def stop(self) -> None:
        """Ends the process if it still runs: the caller is done with it (test teardown)."""
        if self.process is not None and self.process.poll() is None:
            for sig, grace in ((signal.SIGTERM, 3.0), (signal.SIGKILL, 5.0)):
                try:
                    os.kill(self.process.pid, sig)
                except ProcessLookupError:
                    break
                try:
                    self.process.wait(timeout=grace)
                    break
                except subprocess.TimeoutExpired:
                    continue
        if self._log:
            self._log.close()
            self._log = None

    # ---- commands and dialogs ----
    def post_command(self, command_id: int) -> None:
        """Posts WM_COMMAND(id) to the main window, as the menu, accelerators and toolbar do."""
        self.main.command(command_id)

    def dialogs(self) -> list[Window]:
        """The program's visible dialog windows (class #32770), message boxes included."""
        return self.driver.find(window_class=DIALOG_CLASS, exe=self.windows_exe, visible=True)

    def wait_dialog(self, title: Optional[str] = None, timeout: float = 10.0) -> Window:
        """Waits for a visible dialog of this program (any when `title` is None)."""
        try:
            return self.driver.wait(window_class=DIALOG_CLASS, title=title, exe=self.windows_exe,
                                    visible=True, timeout=timeout)
        except HarnessError:
            if not self.relaunch_if_wine_failed():
                raise
        return self.driver.wait(window_class=DIALOG_CLASS, title=title, exe=self.windows_exe,
                                visible=True, timeout=timeout)

    def wait_message_box(self, timeout: float = 10.0) -> tuple[Window, str, str]:
        """Waits for a message box; returns it with its caption and its text."""
        box = self.wait_dialog(timeout=timeout)
        return box, box.info().caption, box.control_text(MESSAGE_TEXT_ID)

    # ---- real keyboard and mouse (X input through xdotool) ----
    def focus(self, window: Optional[Window] = None) -> None:
        """Makes a top-level window of the program the foreground window (the keyboard's target)."""
        target = window or self.main
        target.make_foreground()
        # The program gives its window X's input focus when its thread gets round to it (after a
        # start, once the window is mapped); keys sent before then reach no window, so wait.
        caption = target.info().caption
        deadline = time.monotonic() + 3.0
        while _x_focus_name() != caption and time.monotonic() < deadline:
            time.sleep(0.02)
        time.sleep(0.1)

    def key(self, *combos: str, window: Optional[Window] = None) -> None:
        """Presses keys as X keysym combos, e.g. key("ctrl+p"), key("Down", "Return")."""
        self.focus(window)
        _xdotool("key", "--delay", "30", *combos)
        time.sleep(0.15)

    def type_text(self, text: str, window: Optional[Window] = None) -> None:
        """Types text into the window that has the keyboard focus. ASCII text is typed on the
        X keyboard; text with other characters is posted as WM_CHAR messages to the focused
        control instead, because under Wine the first Cyrillic keys of a process typed through
        X keymap changes get lost."""
        self.focus(window)
        if text.isascii():
            _xdotool("type", "--delay", "20", text)
        else:
            self.driver.call("chars", (window or self.main).handle, text)
        time.sleep(0.15)

    def post_chars(self, text: str, window: Optional[Window] = None) -> None:
        """Posts WM_CHAR for each character to the focused control of the window's thread."""
        self.driver.call("chars", (window or self.main).handle, text)

    def _screen_point(self, x: int, y: int, window: Optional[Window]) -> tuple[int, int]:
        origin_x, origin_y = (window or self.main).info().client_origin
        return origin_x + x, origin_y + y

    def move_mouse(self, x: int, y: int, window: Optional[Window] = None) -> None:
        sx, sy = self._screen_point(x, y, window)
        _xdotool("mousemove", "--sync", sx, sy)

    def click(self, x: int, y: int, window: Optional[Window] = None, button: int = 1,
              repeat: int = 1) -> None:
        """Clicks at client coordinates of a window (the main window by default); for the grid,
        pass its window (see grid_window) or coordinates relative to the main client area."""
        self.move_mouse(x, y, window)
        _xdotool("click", "--repeat", repeat, "--delay", 80, button)
        time.sleep(0.15)

    def double_click(self, x: int, y: int, window: Optional[Window] = None) -> None:
        self.click(x, y, window, repeat=2)

    def drag(self, x1: int, y1: int, x2: int, y2: int, window: Optional[Window] = None,
             button: int = 1, steps: int = 8) -> None:
        """Presses at (x1, y1), moves in steps to (x2, y2) and releases, in client coordinates."""
        self.move_mouse(x1, y1, window)
        _xdotool("mousedown", button)
        time.sleep(0.1)
        for step in range(1, steps + 1):
            self.move_mouse(x1 + (x2 - x1) * step // steps, y1 + (y2 - y1) * step // steps, window)
            time.sleep(0.03)
        _xdotool("mouseup", button)
        time.sleep(0.15)

    def grid_window(self, control_id: int = 1001) -> Window:
        """The grid, the main window's child with control id 1001."""
        return self.main.item(control_id)

    # ---- screen ----
    def screenshot(self, path: Optional[Path | str] = None, window: Optional[Window] = None,
                   client: bool = False) -> Path:
        """Saves a PNG of a window (the main window by default; `client` for its client area
        only) and returns its path (default: the run's screenshot folder)."""
        window = window or self.main
        info = window.info()
        if client:
            x, y = info.client_origin
            rect = (x, y, x + info.client_size[0], y + info.client_size[1])
        else:
            rect = info.rect
        if path is None:
            path = self.env.screenshot_dir / f"{self.name}-{int(time.time() * 1000)}.png"
        return screenshot_rect(Path(path), rect)

    # ---- the program's files ----
    def file(self, name: str) -> Path:
        return self.folder / name

    def read_printer_cfg(self) -> Optional[bytes]:
        path = self.folder / "Printer.cfg"
        return path.read_bytes() if path.exists() else None

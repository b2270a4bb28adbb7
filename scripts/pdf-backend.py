#!/usr/bin/python3
"""CUPS backend of the test environment's private spooler: writes every job as a PDF into the
folder its device URI names (pdf-folder:/PATH, PATH percent-encoded), named after the job's
title, so each test run keeps its printouts in its own folder without touching the machine's
printer configuration. The job arrives as PostScript (the printers' PPD has no filter of its
own, so CUPS turns every document into PostScript); Ghostscript makes the PDF, a PDF is copied.

    pdf-backend.py                                        (device discovery: one line)
    pdf-backend.py JOB USER TITLE COPIES OPTIONS [FILE]   (a job: FILE or standard input)
"""

from __future__ import annotations

import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.parse
from pathlib import Path

SCHEME = "pdf-folder"
OK, FAILED = 0, 1  # CUPS_BACKEND_OK, CUPS_BACKEND_FAILED
GHOSTSCRIPT = ["gs", "-q", "-dCompatibilityLevel=1.4", "-dNOPAUSE", "-dBATCH", "-dSAFER",
               "-sDEVICE=pdfwrite", "-dAutoRotatePages=/PageByPage",
               "-dAutoFilterColorImages=false", "-dColorImageFilter=/FlateEncode",
               "-dPDFSETTINGS=/prepress"]
NAME_LIMIT = 64  # characters of the title kept in a file name


def error(message: str) -> int:
    print(f"ERROR: {message}", file=sys.stderr)
    return FAILED


def output_folder(device_uri: str) -> Path | None:
    prefix = SCHEME + ":"
    if not device_uri.startswith(prefix):
        return None
    path = urllib.parse.unquote(device_uri[len(prefix):])
    return Path(path) if path.startswith("/") else None


def output_path(folder: Path, job: str, title: str) -> Path:
    """The job's title as a file name: the last part of a path title without a short extension
    ("page.txt" gives "page"), every character but letters, digits, '.', '-' and '_' as '_', at
    most 64 characters. A title with nothing left is named by the job; a name already taken
    gets the job's number, so a job never replaces an earlier printout."""
    base = title.rsplit("/", 1)[-1]
    stem, dot, extension = base.rpartition(".")
    if dot and stem and 1 <= len(extension) <= 3:
        base = stem
    base = re.sub(r"[^A-Za-z0-9._-]", "_", base).lstrip(".")[:NAME_LIMIT]
    if not base.strip("_") or title in ("(stdin)", "untitled"):
        return folder / f"job_{job}-untitled_document.pdf"
    if (folder / f"{base}.pdf").exists():
        return folder / f"{base}-job_{job}.pdf"
    return folder / f"{base}.pdf"


def write_pdf(source: Path, target: Path, content_type: str) -> int:
    # Written beside the target under a hidden name, then renamed: a reader never sees half a PDF.
    handle, partial = tempfile.mkstemp(prefix=".partial-", suffix=".pdf", dir=target.parent)
    os.close(handle)
    try:
        if content_type == "application/pdf":
            shutil.copyfile(source, partial)
        else:
            result = subprocess.run(GHOSTSCRIPT + [f"-sOutputFile={partial}", "-c", "-f",
                                                   str(source)],
                                    stdin=subprocess.DEVNULL, capture_output=True)
            if result.returncode != 0:
                return error(f"Ghostscript failed: {result.stderr.decode(errors='replace')}")
        os.chmod(partial, 0o600)
        os.replace(partial, target)
        return OK
    finally:
        if os.path.exists(partial):
            os.unlink(partial)


def main(argv: list[str]) -> int:
    if len(argv) == 1:
        print(f'file {SCHEME} "Unknown" "PDF files in a folder"')
        return OK
    if len(argv) not in (6, 7):
        return error("usage: pdf-backend.py JOB USER TITLE COPIES OPTIONS [FILE]")
    folder = output_folder(os.environ.get("DEVICE_URI", ""))
    if folder is None or not folder.is_dir():
        return error(f"no output folder in the device URI {os.environ.get('DEVICE_URI', '')!r}")
    job, title = argv[1], argv[3]
    target = output_path(folder, job, title)
    content_type = os.environ.get("CONTENT_TYPE", "application/postscript")
    if len(argv) == 7:
        return write_pdf(Path(argv[6]), target, content_type)
    # A job on standard input is kept in the spooler's own temporary folder first.
    with tempfile.NamedTemporaryFile(dir=os.environ.get("TMPDIR")) as spooled:
        shutil.copyfileobj(sys.stdin.buffer, spooled)
        spooled.flush()
        return write_pdf(Path(spooled.name), target, content_type)


if __name__ == "__main__":
    sys.exit(main(sys.argv))

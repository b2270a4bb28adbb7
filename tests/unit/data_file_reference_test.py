#!/usr/bin/env python3
"""The data-file reference shows its example files and what lintaro-convert makes of them; both
must be what they are now, in the English and the Bulgarian page alike.

A block after `<!-- example: NAME -->` is docs/examples/NAME decoded from code page 1251, each
line ended by CR LF (by LF alone when the marker says `NAME, LF`). A block after `<!-- output -->`
starts with `$ COMMAND`; the rest is what the command prints (standard output and error) run by
bash in a copy of docs/examples with lintaro-convert on the PATH, decoded from 1251, CR LF shown
as a line end.
Usage: data_file_reference_test.py CONVERTER DOCS_FOLDER
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

PAGES = ("data-file.md", "data-file.bg.md")
MARKED_BLOCK = re.compile(r"^<!-- (example: ([^ ,]+)(, LF)?|output) -->\n```[a-z]*\n(.*?)^```$", re.M | re.S)


def marked_blocks(page):
    """(kind, name, LF only, block text) of every marked block, in page order."""
    text = page.read_text(encoding="utf-8")
    blocks = [(m[1].split(":")[0], m[2], bool(m[3]), m[4]) for m in MARKED_BLOCK.finditer(text)]
    # A marker whose block the pattern could not take would leave its example unchecked.
    if text.count("<!-- example:") + text.count("<!-- output -->") != len(blocks):
        raise AssertionError(f"{page.name}: a marker is not followed directly by a fenced block")
    return blocks


def run(command, examples, converter):
    with tempfile.TemporaryDirectory() as folder:
        work = Path(folder) / "examples"
        shutil.copytree(examples, work)
        env = dict(os.environ, PATH=f"{Path(converter).resolve().parent}:{os.environ['PATH']}", LC_ALL="C")
        done = subprocess.run(["bash", "-c", command], cwd=work, env=env, stdout=subprocess.PIPE,
                              stderr=subprocess.STDOUT, timeout=120)
    return done.stdout.decode("cp1251").replace("\r\n", "\n")


def main(converter, docs):
    docs = Path(docs)
    examples = docs / "examples"
    faults = []
    orders = {}
    for name in PAGES:
        page = docs / name
        blocks = marked_blocks(page)
        orders[name] = [(kind, file, block if kind == "output" else "") for kind, file, _, block in blocks]
        shown = set()
        for kind, file, lf_only, block in blocks:
            if kind == "example":
                shown.add(file)
                path = examples / file
                expected = block.encode("cp1251")
                if not lf_only:
                    expected = expected.replace(b"\n", b"\r\n")
                if not path.is_file():
                    faults.append(f"{name}: shows {file}, which docs/examples does not hold")
                elif path.read_bytes() != expected:
                    faults.append(f"{name}: the block of {file} is not the file")
                continue
            command, _, expected = block.partition("\n")
            if not command.startswith("$ "):
                faults.append(f"{name}: an output block does not start with '$ COMMAND': {command}")
                continue
            printed = run(command[2:], examples, converter)
            if printed != expected:
                faults.append(f"{name}: {command}\n--- shown:\n{expected}--- printed now:\n{printed}---")
        for path in sorted(examples.iterdir()):
            # Pictures are binary: the example that names them shows them.
            if path.suffix == ".bmp":
                if path.name not in page.read_text(encoding="utf-8"):
                    faults.append(f"{name}: never names docs/examples/{path.name}")
            elif path.name not in shown:
                faults.append(f"{name}: never shows docs/examples/{path.name}")
    if orders[PAGES[0]] != orders[PAGES[1]]:
        faults.append("the two pages do not show the same examples and commands in the same order")
    for fault in faults:
        print(fault)
    print(f"{len(faults)} fault(s) in the data-file reference's examples")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))

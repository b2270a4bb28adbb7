#!/usr/bin/env python3
"""Times lintaro-convert, the native converter, on the benchmark tables and on many small ones.

    convert_bench.py --converter EXE --data FOLDER --work FOLDER --out RESULTS.json
                     [--rows N ...] [--files 10000] [--repeat 3] [--jobs N] [--limit S]
    convert_bench.py --wine-job LINTARO.EXE --data FOLDER --work FOLDER --out RESULTS.json [--rows N ...]

Per rows-N.rdf in FOLDER: each format (text, csv, dbf, tsv, lpt, and pdf of the first 100 pages)
converted --repeat times to a file, the median wall-clock time of the whole command kept (start, read, lay out, write), and
MB/s of the data file. Many files: --files copies of a 20-row table converted to CSV and to
boxed text with `xargs -P JOBS`, one process per file, as the README shows; beside them miller's
boxed text (mlr --barred, one process per file through sh) on the same tables as TSV, and
LibreOffice headless converting 200 of them as CSV to dBase in one process. Every output is
checked, so that a run that did not do the job does not pass for a fast one.

With --wine-job (inside the test environment: Wine prefix, display) the same big-table jobs are
timed with lintaro.exe's command-line export job under Wine instead (text, csv, dbf), once each.
"""

from __future__ import annotations

import argparse
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
MAKE_TABLE = HERE.parents[1] / "scripts" / "make-table.py"
SMALL_ROWS = 20
OFFICE_FILES = 200


def log(text: str) -> None:
    print(f"convert-bench: {text}", file=sys.stderr, flush=True)


def wall(command: list[str] | str, limit: float, shell: bool = False) -> float | None:
    start = time.perf_counter()
    try:
        done = subprocess.run(command, shell=shell, capture_output=True, timeout=limit)
    except subprocess.TimeoutExpired:
        return None
    if done.returncode != 0:
        log(f"failed: {command if shell else ' '.join(command)}: {done.stderr.decode(errors='replace')[-300:]}")
        return None
    return time.perf_counter() - start


def check(target: str, path: Path, rows: int) -> str:
    data = path.read_bytes()
    if target == "pdf":
        # Every column group of the first 100 pages (or of every page, for a small table).
        pages = len(re.findall(rb"/Type /Page\b", data))
        return "ok" if data.startswith(b"%PDF") and pages >= min(100, rows // 100) else f"{pages} pages"
    if target == "dbf":
        return "ok" if int.from_bytes(data[4:8], "little") == rows else "wrong record count"
    lines = data.count(b"\r\n")
    wanted = {"csv": rows + 1, "tsv": rows + 3}.get(target)
    if wanted is not None:
        return "ok" if lines == wanted else f"{lines} lines"
    return "ok" if lines >= rows else f"{lines} lines"


def bench_big(converter: str, data: Path, work: Path, rows_list, repeat: int, limit: float) -> dict:
    sizes: dict = {}
    for rows in rows_list:
        source = data / f"rows-{rows}.rdf"
        megabytes = source.stat().st_size / 1e6
        result: dict = {"file_mb": megabytes, "load_before": Path("/proc/loadavg").read_text().split()[0]}
        # LPT1 output needs a head that chooses the dot-matrix printer: the same table with one.
        dot_matrix = work / f"rows-{rows}-lpt.rdf"
        head, _, body = source.read_bytes().partition(b"Header:")
        lines = [line for line in head.split(b"\r\n") if not line.startswith((b"Printer:", b"Page:"))]
        dot_matrix.write_bytes(b"\r\n".join(lines[:1] + [b"Printer: LPT1, EPSON1, Draft 12",
                                                          b"Page: Width 132, Height 60, Left 2, Top 1, Right 0, Bottom 2"]
                                             + lines[1:]) + b"Header:" + body)
        for target in ("text", "csv", "dbf", "tsv", "lpt", "pdf"):
            out = work / f"big.{target}"
            table = dot_matrix if target == "lpt" else source
            pages = ["--pages", "1-100"] if target == "pdf" else []
            times = []
            for _ in range(repeat):
                # Replacing a big earlier output costs the kernel time that is not the conversion's.
                out.unlink(missing_ok=True)
                times.append(wall([converter, str(table), "--to", target, *pages, "-o", str(out)], limit))
            done = [t for t in times if t is not None]
            seconds = statistics.median(done) if len(done) == repeat else None
            verdict = check(target, out, rows) if seconds is not None else "failed or over the limit"
            result[target] = {"seconds": seconds, "all": times, "mb_per_s": megabytes / seconds if seconds else None,
                              "check": verdict}
            log(f"{rows} rows to {target}: {seconds if seconds is None else f'{seconds:.3f} s'} {verdict}")
            out.unlink(missing_ok=True)
        dot_matrix.unlink()
        result["load_after"] = Path("/proc/loadavg").read_text().split()[0]
        sizes[str(rows)] = result
    return sizes


def bench_many(converter: str, work: Path, files: int, jobs: int, limit: float) -> dict:
    folder = work / "many"
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    table = work / "small.rdf"
    subprocess.run([sys.executable, str(MAKE_TABLE), str(table), "--rows", str(SMALL_ROWS)], check=True)
    sys.path.insert(0, str(HERE))
    from rdf_convert import read_table  # noqa: E402
    titles, rows = read_table(table)
    tsv = ("\t".join(titles) + "\n" + "".join("\t".join(r) + "\n" for r in rows)).encode()
    semicolon = ("\r\n".join(";".join(line) for line in [titles] + rows) + "\r\n").encode("cp1251")
    content = table.read_bytes()
    for i in range(files):
        (folder / f"t{i:05d}.rdf").write_bytes(content)
        (folder / f"t{i:05d}.tsv").write_bytes(tsv)
        if i < OFFICE_FILES:
            (folder / f"t{i:05d}.csv").write_bytes(semicolon)
    result: dict = {"files": files, "rows_each": SMALL_ROWS, "jobs": jobs,
                    "load_before": Path("/proc/loadavg").read_text().split()[0]}

    def per_second(name: str, command: str, pattern: str, count: int) -> None:
        seconds = wall(command, limit, shell=True)
        made = sum(1 for path in folder.glob(pattern) if path.stat().st_size > 0)
        result[name] = {"seconds": seconds, "files_per_s": count / seconds if seconds else None,
                        "check": "ok" if made == count else f"{made} of {count} outputs"}
        log(f"{count} files, {name}: {result[name]}")

    for target, extension in (("csv", "csv.out"), ("text", "txt.out")):
        per_second(f"ours_{target}", f"find {folder} -name '*.rdf' -print0 | xargs -0 -P {jobs} -I{{}} "
                   f"{converter} {{}} --to {target} -o {{}}.{extension}", f"*.rdf.{extension}", files)
    if shutil.which("mlr"):
        per_second("mlr_barred", f"find {folder} -name '*.tsv' -print0 | xargs -0 -P {jobs} -I{{}} "
                   "sh -c 'mlr --itsv --opprint --barred cat \"$1\" > \"$1.out\"' sh {}", "*.tsv.out", files)
    if shutil.which("soffice"):
        profile = work / "lo-profile"
        office = (f"soffice -env:UserInstallation=file://{profile} --headless --infilter=CSV:59,34,34,1 "
                  f"--convert-to dbf:dBase:34 --outdir {folder}/lo {folder}/*.csv")
        subprocess.run(office.replace(f"{folder}/*.csv", f"{folder}/t00000.csv"), shell=True, capture_output=True,
                       timeout=300)  # a profile made before anything is timed
        shutil.rmtree(folder / "lo", ignore_errors=True)
        per_second("lo_dbf", office, "lo/*.dbf", OFFICE_FILES)
    result["load_after"] = Path("/proc/loadavg").read_text().split()[0]
    shutil.rmtree(folder, ignore_errors=True)
    return result


def bench_wine_job(exe: Path, data: Path, work: Path, rows_list, limit: float) -> dict:
    sizes: dict = {}
    for rows in rows_list:
        source = data / f"rows-{rows}.rdf"
        megabytes = source.stat().st_size / 1e6
        result: dict = {"file_mb": megabytes}
        for target in ("text", "csv", "dbf"):
            out = work / f"job.{target}"
            out.unlink(missing_ok=True)
            seconds = wall(["wine", str(exe), "Z:" + str(source.resolve()).replace("/", "\\"), "/export", target,
                            "Z:" + str(out.resolve()).replace("/", "\\")], limit)
            verdict = check(target, out, rows) if seconds is not None and out.exists() else "failed or over the limit"
            result[target] = {"seconds": seconds, "mb_per_s": megabytes / seconds if seconds else None,
                              "check": verdict}
            log(f"lintaro.exe job, {rows} rows to {target}: {seconds} {verdict}")
            out.unlink(missing_ok=True)
        sizes[str(rows)] = result
    return sizes


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--converter")
    parser.add_argument("--wine-job", type=Path)
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--work", type=Path, required=True)
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--rows", type=int, nargs="+", default=[10000, 100000, 1000000])
    parser.add_argument("--files", type=int, default=10000)
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 1)
    parser.add_argument("--limit", type=float, default=600.0)
    args = parser.parse_args()
    args.work.mkdir(parents=True, exist_ok=True)
    if args.wine_job is not None:
        args.out.write_text(json.dumps({"sizes": bench_wine_job(args.wine_job, args.data, args.work.resolve(),
                                                                args.rows, args.limit)}, indent=1))
        return 0
    results = {"sizes": bench_big(args.converter, args.data, args.work, args.rows, args.repeat, args.limit)}
    if args.files > 0:
        results["many"] = bench_many(args.converter, args.work.resolve(), args.files, args.jobs, args.limit)
    args.out.write_text(json.dumps(results, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())

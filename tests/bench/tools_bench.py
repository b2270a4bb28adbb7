#!/usr/bin/env python3
"""Times other tools doing the jobs the program does, on the same tables.

    tools_bench.py --data FOLDER --work FOLDER --out RESULTS.json [--rows N ...] [--limit S]

For each rows-N.rdf in FOLDER the table is converted once (rdf_convert.py, not timed), then:
  mlr_tsv, mlr_csv   miller's boxed text (--barred) from the TSV and the CSV
  column             column -t on the TSV
  lo_pdf             LibreOffice Calc, headless: the ";"-separated cp1251 CSV to a PDF of 20 pages
  lo_dbf             LibreOffice Calc, headless: the same CSV to a dBase file in cp1251
  csvsort_number     csvkit's csvsort by the amount column (inferred as a number)
  csvsort_text       csvsort by the name column
  mlr_to_tsv         miller: the CSV to tab-separated text
  mlr_to_csv         miller: the TSV to ";"-separated CSV
  csvformat_tsv      csvkit's csvformat: the CSV to tab-separated text
  csvformat_csv      csvformat: the TSV to ";"-separated CSV
  sort_bg_name       LC_ALL=bg_BG.UTF-8 sort -t$'\t' -k2,2 on the TSV's rows: the name column
  sort_bg_city       LC_ALL=bg_BG.UTF-8 sort -t$'\t' -k3,3: the city column
                     (coreutils with the locale's collation, the locale from --locales, which
                     install-bench-deps.sh fills; the titles line is left out of the input)
Each run is wall-clock time of the whole command, output to a file; a run that reaches the
limit (default 600 s) is ended and recorded as over the limit. Every output is checked (lines,
pages or records) so that a tool that did not do the job does not pass for a fast one.
"""

from __future__ import annotations

import argparse
import json
import os
import signal
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
LO_CSV_FILTER = "CSV:59,34,34,1"  # ";" between fields, '"' around texts, code page 1251, line 1
LO_PDF = 'pdf:calc_pdf_Export:{"PageRange":{"type":"string","value":"1-20"}}'
LO_DBF = "dbf:dBase:34"  # dBase in code page 1251


def log(text: str) -> None:
    print(f"tools-bench: {text}", file=sys.stderr, flush=True)


def timed(command: list[str], output: Path | None, limit: float, cwd: Path | None = None,
          env: dict | None = None) -> dict:
    """Runs the command (its standard output to `output`) in a process group of its own;
    ends the group at the limit."""
    sink = open(output, "wb") if output is not None else subprocess.DEVNULL
    start = time.perf_counter()
    process = subprocess.Popen(command, stdout=sink, stderr=subprocess.PIPE, cwd=cwd, env=env,
                               start_new_session=True)
    try:
        _, errors = process.communicate(timeout=limit)
        seconds = time.perf_counter() - start
        result = {"seconds": seconds, "code": process.returncode}
        if process.returncode != 0:
            result["error"] = errors.decode(errors="replace")[-500:]
        return result
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.communicate()
        return {"seconds": None, "over": limit}
    finally:
        if output is not None:
            sink.close()


def count_lines(path: Path) -> int:
    with open(path, "rb") as text:
        return sum(chunk.count(b"\n") for chunk in iter(lambda: text.read(1 << 20), b""))


def pdf_pages(path: Path) -> int:
    info = subprocess.run(["pdfinfo", str(path)], capture_output=True, text=True).stdout
    for line in info.splitlines():
        if line.startswith("Pages:"):
            return int(line.split()[1])
    return 0


def dbf_records(path: Path) -> int:
    with open(path, "rb") as dbf:
        head = dbf.read(8)
    return int.from_bytes(head[4:8], "little") if len(head) == 8 else 0


class LibreOffice:
    """soffice with a profile of its own, made once before anything is timed."""

    def __init__(self, work: Path):
        self.profile = work / "lo-profile"
        self.work = work

    def command(self, target: str, source: Path, out_dir: Path) -> list[str]:
        return ["soffice", f"-env:UserInstallation=file://{self.profile}", "--headless",
                f"--infilter={LO_CSV_FILTER}", "--convert-to", target, "--outdir", str(out_dir),
                str(source)]

    def warm_up(self) -> None:
        sample = self.work / "warm-up.csv"
        sample.write_bytes("a;b\r\n1;2\r\n".encode("cp1251"))
        subprocess.run(self.command("pdf", sample, self.work / "warm-up"), capture_output=True,
                       timeout=300)


def sorted_by_locale(path: Path, field: int, locale_env: dict) -> str:
    """Checks that a sort's output is in order by the same field and locale (`sort --check`);
    the caller has already counted its lines."""
    check = subprocess.run(["sort", "-t", "\t", f"-k{field},{field}", "--check=quiet", str(path)],
                           env=locale_env, capture_output=True)
    return "ok" if check.returncode == 0 else "not in order"


def bench_size(rows: int, data: Path, work: Path, limit: float, office: LibreOffice, locales: Path | None,
               only: set[str] | None) -> dict:
    folder = work / f"rows-{rows}"
    subprocess.run([sys.executable, str(HERE / "rdf_convert.py"), str(data), str(folder)], check=True)
    out = folder / "out"
    out.mkdir(exist_ok=True)
    tsv, csv_file, semicolon = folder / "table.tsv", folder / "table.csv", folder / "table-semicolon.csv"
    results: dict = {"load_before": Path("/proc/loadavg").read_text().split()[0]}

    def run(name: str, command: list[str], output: Path | None, check, env: dict | None = None) -> None:
        if only is not None and name not in only:
            return
        result = timed(command, output, limit, env=env)
        if result.get("seconds") is not None and result.get("code") == 0:
            result["check"] = check()
        results[name] = result
        shown = f"{result['seconds']:.3f} s" if result.get("seconds") is not None else f"over {limit:.0f} s"
        log(f"{rows} rows: {name} {shown} {result.get('check', result.get('error', ''))}")

    def lines_at_least(path: Path, wanted: int):
        return lambda: "ok" if count_lines(path) >= wanted else f"{count_lines(path)} lines"

    def lines_exactly(path: Path, wanted: int):
        return lambda: "ok" if count_lines(path) == wanted else f"{count_lines(path)} lines"

    run("mlr_tsv", ["mlr", "--itsv", "--opprint", "--barred", "cat", str(tsv)], out / "mlr-tsv.txt",
        lines_at_least(out / "mlr-tsv.txt", rows + 4))
    run("mlr_csv", ["mlr", "--icsv", "--opprint", "--barred", "cat", str(csv_file)], out / "mlr-csv.txt",
        lines_at_least(out / "mlr-csv.txt", rows + 4))
    run("column", ["column", "-t", "-s", "\t", str(tsv)], out / "column.txt",
        lines_exactly(out / "column.txt", rows + 1))
    pdf = out / "table-semicolon.pdf"
    pdf.unlink(missing_ok=True)
    run("lo_pdf", office.command(LO_PDF, semicolon, out), None,
        lambda: "ok" if pdf.exists() and pdf_pages(pdf) == 20 else
        (f"{pdf_pages(pdf)} pages" if pdf.exists() else "no PDF"))
    dbf = out / "table-semicolon.dbf"
    dbf.unlink(missing_ok=True)
    run("lo_dbf", office.command(LO_DBF, semicolon, out), None,
        lambda: "ok" if dbf.exists() and dbf_records(dbf) == rows else
        (f"{dbf_records(dbf)} records" if dbf.exists() else "no dBase file"))
    run("csvsort_number", ["csvsort", "-c", "Сума", str(csv_file)], out / "sorted-number.csv",
        lines_exactly(out / "sorted-number.csv", rows + 1))
    run("csvsort_text", ["csvsort", "-c", "Име", str(csv_file)], out / "sorted-text.csv",
        lines_exactly(out / "sorted-text.csv", rows + 1))
    run("mlr_to_tsv", ["mlr", "--icsv", "--otsv", "cat", str(csv_file)], out / "mlr.tsv",
        lines_exactly(out / "mlr.tsv", rows + 1))
    run("mlr_to_csv", ["mlr", "--itsv", "--ocsv", "--ofs", ";", "cat", str(tsv)], out / "mlr.csv",
        lines_exactly(out / "mlr.csv", rows + 1))
    run("csvformat_tsv", ["csvformat", "-T", str(csv_file)], out / "csvformat.tsv",
        lines_exactly(out / "csvformat.tsv", rows + 1))
    run("csvformat_csv", ["csvformat", "-t", "-D", ";", str(tsv)], out / "csvformat.csv",
        lines_exactly(out / "csvformat.csv", rows + 1))
    if locales is not None and (locales / "bg_BG.UTF-8" / "LC_COLLATE").exists():
        rows_only = folder / "rows.tsv"
        with open(tsv, "rb") as source, open(rows_only, "wb") as target:
            source.readline()
            while chunk := source.read(1 << 20):
                target.write(chunk)
        locale_env = dict(os.environ, LOCPATH=str(locales), LC_ALL="bg_BG.UTF-8")
        for name, field in (("sort_bg_name", 2), ("sort_bg_city", 3)):
            output = out / f"{name}.tsv"
            run(name, ["sort", "-t", "\t", f"-k{field},{field}", str(rows_only)], output,
                lambda output=output, field=field: (f"{count_lines(output)} lines"
                                                    if count_lines(output) != rows else
                                                    sorted_by_locale(output, field, locale_env)),
                env=locale_env)
    else:
        log(f"no bg_BG.UTF-8 locale in {locales}: the coreutils sort is left out")
    for produced in out.iterdir():
        produced.unlink()
    results["load_after"] = Path("/proc/loadavg").read_text().split()[0]
    return results


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--data", type=Path, required=True)
    parser.add_argument("--work", type=Path, required=True)
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--rows", type=int, nargs="+", default=[10000, 100000, 1000000])
    parser.add_argument("--limit", type=float, default=600.0)
    parser.add_argument("--locales", type=Path, help="folder holding bg_BG.UTF-8 (localedef output)")
    parser.add_argument("--only", nargs="+", help="run only these tools (names as in the results)")
    args = parser.parse_args()
    args.work.mkdir(parents=True, exist_ok=True)
    only = set(args.only) if args.only else None
    office = LibreOffice(args.work.resolve())
    if only is None or only & {"lo_pdf", "lo_dbf"}:
        office.warm_up()
    results: dict = {"limit": args.limit, "sizes": {}}
    for rows in args.rows:
        results["sizes"][str(rows)] = bench_size(rows, args.data / f"rows-{rows}.rdf", args.work.resolve(),
                                                 args.limit, office, args.locales, only)
        args.out.write_text(json.dumps(results, indent=1))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Folds the benchmark results into one Markdown table of figures (scripts/bench.sh runs it).

    figures.py --out FIGURES.md [--native NATIVE.json] [--wine WINE.json] [--tools TOOLS.json]
               [--memory MEMORY.json] [--convert CONVERT.json] [--convert-wine JOBS.json]

NATIVE.json is Google Benchmark's JSON output of lintaro_benchmarks (the Rdf* benchmarks),
WINE.json comes from wine_bench.py, TOOLS.json from tools_bench.py, MEMORY.json from bench.sh
(peak memory of the native open), CONVERT.json and JOBS.json (lintaro.exe's export job under
Wine) from convert_bench.py. A missing input leaves
its rows out.

Targets checked:
- growth from 100,000 to 1,000,000 rows: linear steps at most 12.5 (10 and a quarter for
  noise), sorting (n log n) at most 15, steps whose work does not grow with the table at most 2;
- 1,000,000 rows open and show the first page under Wine in at most 3 s;
- in the core, sorting 1,000,000 rows in at most 1 s and each export in at most 2 s;
- every job at least 10 times faster than the other tool doing it (from the data file on);
- lintaro-convert: 1,000,000 rows to boxed text, CSV or dBase in at most 0.35 s each.
"""

from __future__ import annotations

import argparse
import json
import math
import sys
from pathlib import Path

GROWTH_LIMIT = {"n": 12.5, "n log n": 10 * math.log(1e6) / math.log(1e5) * 1.25, "1": 2.0}

# (key, label, complexity)
WINE_STEPS = [
    ("start", "open and show the first page (from process start)", "n"),
    ("natural_widths", "natural widths (Ctrl+W)", "n"),
    ("sort_number", "sort by Сума (number)", "n log n"),
    ("sort_text", "sort by Име (text)", "n log n"),
    ("sort_alphabetical", "sort by Име (Азбучно)", "n log n"),
    ("filter", "filter Сума 2500..7500 (number)", "n"),
    ("export_plain", "export plain text (boxed)", "n"),
    ("export_tsv", "export tab-separated", "n"),
    ("export_csv", "export CSV", "n"),
    ("export_dbase", "export dBase III", "n"),
    ("print_20_pages", "print pages 1-20 to the PDF printer (until spooled)", "1"),
]
CORE_STEPS = [
    ("RdfOpen", "open: file, head, store, natural widths, layout", "n"),
    ("RdfReadTable", "  of which: rows into the table store", "n"),
    ("RdfNaturalWidths", "natural widths (fake devices)", "n"),
    ("RdfPaginate", "pagination (RebuildLayout)", "n"),
    ("RdfSortByNumber", "sort by Сума (number)", "n log n"),
    ("RdfSortByText", "sort by Име (text)", "n log n"),
    ("RdfSortAlphabetical", "sort by Име (Азбучно)", "n log n"),
    ("RdfSortAlphabeticalByCity", "sort by Град (Азбучно)", "n log n"),
    ("RdfSortByAmount", "sort by Сума (Сума (1 234,56))", "n log n"),
    ("RdfSortByDate", "sort by Дата (Дата (дд.мм.гггг))", "n log n"),
    ("RdfFilter", "filter Сума 2500..7500", "n"),
    ("RdfFilterAlphabetical", "filter Име г..л (Азбучно)", "n"),
    ("RdfFilterByDate", "filter Дата 1.1.2020..30.06.2020", "n"),
    ("RdfExportPlainText", "export plain text (boxed)", "n"),
    ("RdfExportTabSeparated", "export tab-separated", "n"),
    ("RdfExportCsv", "export CSV", "n"),
    ("RdfExportDbase", "export dBase III", "n"),
    ("RdfCharWidths", "character widths of all rows", "n"),
    ("RdfDotMatrixPage", "dot-matrix page 1 (WriteTextPage)", "n"),
    ("RdfDotMatrixPageLines", "  of which: rendering the page's lines", "1"),
]
CORE_LIMITS = {"RdfSortByNumber": 1.0, "RdfSortByText": 1.0, "RdfSortAlphabetical": 1.0,
               "RdfExportPlainText": 2.0, "RdfExportTabSeparated": 2.0, "RdfExportCsv": 2.0,
               "RdfExportDbase": 2.0}
# From OK in the dialog to the repainted grid.
WINE_LIMITS = {"start": 3.0, "sort_number": 0.3, "sort_text": 0.3, "filter": 0.3, "sort_alphabetical": 1.0}
CONVERT_LIMIT = 0.35  # seconds for 1,000,000 rows to text, CSV or dBase
CONVERT_TARGETS = [("text", "boxed text"), ("csv", "CSV"), ("dbf", "dBase III"), ("tsv", "tab-separated"),
                   ("lpt", "LPT1 bytes"), ("pdf", "PDF, pages 1-100")]
CONVERT_PDF_LIMIT = 2.0  # seconds for the first 100 pages of 1,000,000 rows
# Other tool of tools_bench.py, its label, and the converter's format doing the same job.
CONVERT_COMPARISONS = [("mlr_tsv", "boxed text: mlr --barred (TSV)", "text"),
                       ("mlr_csv", "boxed text: mlr --barred (CSV)", "text"),
                       ("lo_dbf", "dBase: LibreOffice", "dbf")]
# Other tool, its label, and the steps of ours that make the same job from the data file on.
COMPARISONS = [
    ("mlr_tsv", "boxed text: mlr --barred (TSV)", ["start", "export_plain"], ["RdfOpen", "RdfExportPlainText"]),
    ("mlr_csv", "boxed text: mlr --barred (CSV)", ["start", "export_plain"], ["RdfOpen", "RdfExportPlainText"]),
    ("column", "aligned text: column -t (TSV)", ["start", "export_plain"], ["RdfOpen", "RdfExportPlainText"]),
    ("lo_pdf", "PDF of pages 1-20: LibreOffice", ["start", "print_20_pages"], None),
    ("lo_dbf", "dBase: LibreOffice", ["start", "export_dbase"], ["RdfOpen", "RdfExportDbase"]),
    ("csvsort_number", "sort by number: csvsort", ["start", "sort_number", "export_csv"],
     ["RdfOpen", "RdfSortByNumber", "RdfExportCsv"]),
    ("csvsort_text", "sort by text: csvsort", ["start", "sort_text", "export_csv"],
     ["RdfOpen", "RdfSortByText", "RdfExportCsv"]),
    ("mlr_to_tsv", "tab-separated: mlr --otsv", ["start", "export_tsv"], ["RdfOpen", "RdfExportTabSeparated"]),
    ("csvformat_tsv", "tab-separated: csvformat -T", ["start", "export_tsv"],
     ["RdfOpen", "RdfExportTabSeparated"]),
    ("mlr_to_csv", "CSV: mlr --ocsv", ["start", "export_csv"], ["RdfOpen", "RdfExportCsv"]),
    ("csvformat_csv", "CSV: csvformat", ["start", "export_csv"], ["RdfOpen", "RdfExportCsv"]),
    ("sort_bg_name", "alphabetical by Име: LC_ALL=bg_BG.UTF-8 sort -k2,2 (TSV)",
     ["start", "sort_alphabetical", "export_tsv"], ["RdfOpen", "RdfSortAlphabetical", "RdfExportTabSeparated"]),
    ("sort_bg_city", "alphabetical by Град: LC_ALL=bg_BG.UTF-8 sort -k3,3 (TSV)", None,
     ["RdfOpen", "RdfSortAlphabeticalByCity", "RdfExportTabSeparated"]),
]
# The locale's sort against our alphabetical sort alone, the table already open: (tool, core step,
# Wine step or None).
SORT_ALONE = [("sort_bg_name", "RdfSortAlphabetical", "sort_alphabetical"),
              ("sort_bg_city", "RdfSortAlphabeticalByCity", None)]


def seconds_text(value) -> str:
    if value is None:
        return "–"
    if value < 1:
        return f"{value * 1000:.3g} ms"
    return f"{value:.2f} s"


def load_native(path: Path | None) -> tuple[dict, dict, dict]:
    """{name: {rows: seconds}}, {name: {rows: counters}} and the run's context."""
    if path is None or not path.exists():
        return {}, {}, {}
    data = json.loads(path.read_text())
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
    times: dict = {}
    counters: dict = {}
    for entry in data.get("benchmarks", []):
        if entry.get("run_type", "iteration") != "iteration" or entry.get("error_occurred"):
            continue
        name, _, rows = entry["name"].partition("/")
        if not rows.isdigit():
            continue
        times.setdefault(name, {})[int(rows)] = entry["real_time"] * scale[entry.get("time_unit", "ns")]
        times.setdefault(name + ":cpu", {})[int(rows)] = entry["cpu_time"] * scale[entry.get("time_unit", "ns")]
        counters.setdefault(name, {})[int(rows)] = entry
    return times, counters, data.get("context", {})


def growth(series: dict) -> float | None:
    if 100000 in series and 1000000 in series and series[100000]:
        return series[1000000] / series[100000]
    return None


def target_text(series: dict, complexity: str, limit: float | None, cpu: dict | None = None) -> str:
    verdicts = []
    factor = growth(cpu or series)
    if factor is not None:
        verdicts.append("growth ok" if factor <= GROWTH_LIMIT[complexity] else
                        f"**growth {factor:.1f} > {GROWTH_LIMIT[complexity]:.1f}**")
    if limit is not None and 1000000 in series:
        verdicts.append(f"≤ {limit:g} s ok" if series[1000000] <= limit else f"**over {limit:g} s**")
    return "; ".join(verdicts) if verdicts else "–"


def step_table(title: str, steps, series_of, sizes, limits, checks=None, cpu_of=None) -> list[str]:
    """With `cpu_of` each cell shows wall (CPU) time and growth is taken on CPU time, which
    other work on the machine disturbs far less than wall-clock time."""
    lines = [f"### {title}", "",
             "| step | " + " | ".join(f"{n:,} rows" for n in sizes) +
             (" | growth 100k→1M (CPU) |" if cpu_of else " | growth 100k→1M |") + " expected | target |",
             "|---|" + "---:|" * len(sizes) + "---:|---|---|"]
    for key, label, complexity in steps:
        series = series_of(key)
        if not series:
            continue
        cpu = cpu_of(key) if cpu_of else None
        cells = []
        for n in sizes:
            text = seconds_text(series.get(n))
            if cpu and n in cpu:
                text += f" ({seconds_text(cpu[n])})"
            if checks and checks(key, n) not in (None, "ok"):
                text += f" ({checks(key, n)})"
            cells.append(text)
        factor = growth(cpu or series)
        factor_text = f"{factor:.1f}" if factor is not None else "–"
        lines.append(f"| {label} | {' | '.join(cells)} | {factor_text} | {complexity} | "
                     f"{target_text(series, complexity, limits.get(key), cpu)} |")
    return lines + [""]


def convert_section(converted: dict, tools: dict, wine_jobs: dict) -> list[str]:
    """lintaro-convert: the whole command per format and size, against the other tools, and many
    small files through xargs -P."""
    if not converted:
        return []
    sizes = sorted(int(n) for n in converted.get("sizes", {}))
    out = ["### lintaro-convert, native: the whole command (start, read, lay out, write), median", "",
           "| format | " + " | ".join(f"{n:,} rows" for n in sizes) + " | target |",
           "|---|" + "---:|" * len(sizes) + "---|"]
    for key, label in CONVERT_TARGETS:
        cells = []
        for n in sizes:
            entry = converted["sizes"][str(n)].get(key, {})
            seconds = entry.get("seconds")
            text = f"{seconds_text(seconds)}, {entry['mb_per_s']:.0f} MB/s" if seconds else "–"
            if entry.get("check") not in (None, "ok"):
                text += f" ({entry['check']})"
            cells.append(text)
        verdict = "–"
        last = converted["sizes"].get("1000000", {}).get(key, {}).get("seconds")
        limit = CONVERT_PDF_LIMIT if key == "pdf" else CONVERT_LIMIT
        if key in ("text", "csv", "dbf", "pdf") and last is not None:
            verdict = f"≤ {limit:g} s ok" if last <= limit else f"**over {limit:g} s**"
        out.append(f"| {label} | {' | '.join(cells)} | {verdict} |")
    out.append("")
    jobs = wine_jobs.get("sizes", {})
    if jobs:
        out += ["The same conversions by lintaro.exe's command-line export job under Wine:", "",
                "| format | " + " | ".join(f"{n:,} rows" for n in sizes) + " |",
                "|---|" + "---:|" * len(sizes)]
        for key, label in CONVERT_TARGETS[:3]:
            cells = []
            for n in sizes:
                entry = jobs.get(str(n), {}).get(key, {})
                seconds = entry.get("seconds")
                text = f"{seconds_text(seconds)}, {entry['mb_per_s']:.0f} MB/s" if seconds else "–"
                if entry.get("check") not in (None, "ok"):
                    text += f" ({entry['check']})"
                cells.append(text)
            out.append(f"| {label} | {' | '.join(cells)} |")
        out.append("")
    rows = []
    for key, label, ours_key in CONVERT_COMPARISONS:
        for n in sizes:
            other = tools.get("sizes", {}).get(str(n), {}).get(key, {}).get("seconds")
            ours = converted["sizes"][str(n)].get(ours_key, {}).get("seconds")
            if other and ours:
                verdict = "ok" if other / ours >= 10 else "**missed**"
                rows.append(f"| {label} | {n:,} | {seconds_text(other)} | {seconds_text(ours)} | "
                            f"{other / ours:.1f} | {verdict} |")
    if rows:
        out += ["| job | rows | other tool | lintaro-convert | ratio | target (≥ 10) |",
                "|---|---:|---:|---:|---:|---|"] + rows + [""]
    many = converted.get("many")
    if many:
        out.append(f"Many files: {many['files']:,} tables of {many['rows_each']} rows, "
                   f"xargs -P {many['jobs']}, one process per file:")
        out.append("")
        for key, label in (("ours_csv", "lintaro-convert to CSV"), ("ours_text", "lintaro-convert to boxed text"),
                           ("mlr_barred", "mlr --barred (TSV, through sh)"),
                           ("lo_dbf", "LibreOffice headless to dBase, one process for 200 files")):
            entry = many.get(key)
            if entry and entry.get("files_per_s"):
                check = "" if entry.get("check") == "ok" else f" ({entry.get('check')})"
                out.append(f"- {label}: {entry['files_per_s']:,.0f} files/s "
                           f"({seconds_text(entry['seconds'])}){check}")
        out.append(f"- load {many.get('load_before')} → {many.get('load_after')}")
        out.append("")
    return out


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--out", type=Path, required=True)
    parser.add_argument("--native", type=Path)
    parser.add_argument("--wine", type=Path)
    parser.add_argument("--tools", type=Path)
    parser.add_argument("--memory", type=Path)
    parser.add_argument("--convert", type=Path)
    parser.add_argument("--convert-wine", type=Path)
    args = parser.parse_args()

    native, counters, context = load_native(args.native)
    wine = json.loads(args.wine.read_text()) if args.wine and args.wine.exists() else {"sizes": {}}
    tools = json.loads(args.tools.read_text()) if args.tools and args.tools.exists() else {"sizes": {}}
    memory = json.loads(args.memory.read_text()) if args.memory and args.memory.exists() else {}
    sizes = sorted({int(n) for n in wine["sizes"]} | {int(n) for n in tools["sizes"]} |
                   {n for series in native.values() for n in series})

    def wine_series(key: str) -> dict:
        return {int(n): r["steps"][key] for n, r in wine["sizes"].items() if key in r["steps"]}

    def wine_check(key: str, n: int):
        return wine["sizes"].get(str(n), {}).get("checks", {}).get(key)

    out = ["# Lintaro 2.0 benchmark figures", ""]
    out.append("Times are wall-clock. Tables from scripts/make-table.py (6 columns). "
               "Growth is time(1,000,000) / time(100,000).")
    out.append("")
    if wine["sizes"]:
        out += step_table("Under Wine: lintaro.exe driven as a user drives it", WINE_STEPS, wine_series,
                          sizes, WINE_LIMITS, wine_check)
        demo = wine.get("start_demonstration_table")
        if demo is not None:
            out.append(f"Start with the demonstration table (no data file): {seconds_text(demo)} — "
                       "Wine's own share of a start.")
        for n, r in sorted(wine["sizes"].items(), key=lambda item: int(item[0])):
            if "print_jobs" in r:
                busy = r.get("print_program_busy")
                tail = r["steps"].get("print_20_pages", 0) - busy if busy is not None else None
                out.append(f"Printing at {int(n):,} rows: {r['print_jobs']} jobs (pages × column groups); "
                           f"the program was busy {seconds_text(busy)}, {r['print_pauses']:.0f} s of it its "
                           f"pause of 1 s after every job; the spooler finished {seconds_text(tail)} later.")
            starts = ", ".join(seconds_text(s) for s in r.get("start_all", []))
            out.append(f"Starts at {int(n):,} rows: {starts} (median shown).")
        out.append("")
    if native:
        out += step_table("Core, native (Google Benchmark, fake measuring devices): wall (CPU)", CORE_STEPS,
                          lambda key: native.get(key, {}), sizes, CORE_LIMITS,
                          cpu_of=lambda key: native.get(key + ":cpu", {}))

    if tools["sizes"]:
        out += ["### The same jobs: other tools against ours, from the data file on", "",
                "Ours = open (start to first page) + the steps that make the same output; "
                "ratio = other tool / ours (≥ 10 is the target).", "",
                "| job | rows | other tool | ours, Wine | ratio | ours, core | ratio | target (Wine) | "
                "ratio to the Wine steps alone (program already open) |",
                "|---|---:|---:|---:|---:|---:|---:|---|---:|"]
        limit = tools.get("limit", 600)
        side_by_side: dict = {}  # label -> {rows: "Wine ratio (core ratio)"}
        for key, label, wine_steps, core_steps in COMPARISONS:
            for n in sizes:
                result = tools["sizes"].get(str(n), {}).get(key)
                if result is None:
                    continue
                other = result.get("seconds")
                if other is None:
                    other_text = f"over {limit:.0f} s"
                elif result.get("code") not in (0, None):
                    other_text = f"failed ({result.get('error', '')[:40]})"
                    other = None
                else:
                    other_text = seconds_text(other)
                    if result.get("check") not in (None, "ok"):
                        other_text += f" ({result['check']})"
                ours_wine = ours_steps = None
                steps = wine["sizes"].get(str(n), {}).get("steps", {})
                if wine_steps and all(s in steps for s in wine_steps):
                    ours_wine = sum(steps[s] for s in wine_steps)
                    ours_steps = sum(steps[s] for s in wine_steps if s != "start")
                ours_core = None
                if core_steps and all(n in native.get(s, {}) for s in core_steps):
                    ours_core = sum(native[s][n] for s in core_steps)

                def ratio(ours):
                    if ours is None or ours <= 0:
                        return "–"
                    if other is None:
                        return f"> {limit / ours:.0f}" if result.get("seconds") is None else "–"
                    return f"{other / ours:.1f}"

                wine_ratio = ratio(ours_wine)
                if ours_wine is None:
                    verdict = "–"
                elif other is None and result.get("seconds") is None:
                    verdict = "ok" if limit / ours_wine >= 10 else "**not shown**"
                elif other is None:
                    verdict = "–"
                else:
                    verdict = "ok" if other / ours_wine >= 10 else "**missed**"
                side_by_side.setdefault(label, {})[n] = f"{wine_ratio} ({ratio(ours_core)})"
                out.append(f"| {label} | {n:,} | {other_text} | {seconds_text(ours_wine)} | {wine_ratio} | "
                           f"{seconds_text(ours_core)} | {ratio(ours_core)} | {verdict} | {ratio(ours_steps)} |")
        out.append("")
        out += ["Ratios side by side: other tool / ours under Wine (other tool / our core); "
                "≥ 10 is the target.", "",
                "| job | " + " | ".join(f"{n:,} rows" for n in sizes) + " |",
                "|---|" + "---:|" * len(sizes)]
        for label, ratios in side_by_side.items():
            out.append(f"| {label} | " + " | ".join(ratios.get(n, "–") for n in sizes) + " |")
        out.append("")
        for key, label, wine_steps, core_steps in COMPARISONS:
            core = " + ".join(core_steps) if core_steps else "no core equivalent"
            wine_text = " + ".join(wine_steps) if wine_steps else "not timed"
            out.append(f"- {label}: ours under Wine = {wine_text}; core = {core}")
        out.append("")
        out += ["Alphabetical sort alone (the table open), in the same run: the locale's sort reads, "
                "sorts and writes the TSV rows; ours orders the grid's rows and lays them out again.", "",
                "| tool | rows | locale's sort | ours, core | ratio | ours, Wine | ratio |",
                "|---|---:|---:|---:|---:|---:|---:|"]
        for key, core_step, wine_step in SORT_ALONE:
            for n in sizes:
                other = tools["sizes"].get(str(n), {}).get(key, {}).get("seconds")
                core = native.get(core_step, {}).get(n)
                under_wine = wine["sizes"].get(str(n), {}).get("steps", {}).get(wine_step) if wine_step else None
                if other is None:
                    continue
                out.append(f"| {key} | {n:,} | {seconds_text(other)} | {seconds_text(core)} | "
                           f"{f'{other / core:.1f}' if core else '–'} | {seconds_text(under_wine)} | "
                           f"{f'{other / under_wine:.1f}' if under_wine else '–'} |")
        out.append("")

    converted = json.loads(args.convert.read_text()) if args.convert and args.convert.exists() else {}
    wine_jobs = (json.loads(args.convert_wine.read_text())
                 if args.convert_wine and args.convert_wine.exists() else {})
    out += convert_section(converted, tools, wine_jobs)

    out += ["### Memory", "", "| measure | " + " | ".join(f"{n:,} rows" for n in sizes) + " |",
            "|---|" + "---:|" * len(sizes)]
    if wine["sizes"]:
        for key, label in (("peak_kib_after_open", "lintaro.exe under Wine, VmHWM after opening"),
                           ("peak_kib", "lintaro.exe under Wine, VmHWM after every step")):
            cells = []
            for n in sizes:
                value = wine["sizes"].get(str(n), {}).get(key)
                cells.append(f"{value / 1024:.0f} MiB" if value else "–")
            out.append(f"| {label} | " + " | ".join(cells) + " |")
    if "RdfOpen" in counters:
        cells, ratios = [], []
        for n in sizes:
            entry = counters["RdfOpen"].get(n)
            if entry is None:
                cells.append("–")
                ratios.append("–")
                continue
            cells.append(f"{entry['store_bytes'] / 2**20:.1f} MiB / {entry['file_bytes'] / 2**20:.1f} MiB")
            ratios.append(f"{entry['store_per_file_byte']:.2f}")
        out.append("| table store image / data file | " + " | ".join(cells) + " |")
        out.append("| store image per byte of data file | " + " | ".join(ratios) + " |")
    for n, kib in sorted(memory.get("native_open_peak_kib", {}).items(), key=lambda item: int(item[0])):
        out.append(f"| native open of {int(n):,} rows, peak RSS of the benchmark process (/usr/bin/time) | "
                   + " | ".join(f"{kib / 1024:.0f} MiB" if int(n) == m else "–" for m in sizes) + " |")
    out.append("")

    out += ["### Load during the run", ""]
    if context:
        out.append(f"- native benchmarks: load average {context.get('load_avg')}, "
                   f"{context.get('num_cpus')} CPUs at {context.get('mhz_per_cpu')} MHz, "
                   f"(Google Benchmark library as packaged: {context.get('library_build_type')} build; "
                   "the benchmarks themselves are an optimised build)")
    for n, r in sorted(wine["sizes"].items(), key=lambda item: int(item[0])):
        out.append(f"- Wine, {int(n):,} rows: load {r.get('load_before')} → {r.get('load_after')}; "
                   f"other busy processes (CPU share over their lifetime): "
                   f"{', '.join(dict.fromkeys(r.get('busy_before', []) + r.get('busy_after', []))) or 'none'}"
                   + (f" (re-run: {r['rerun_note']})" if r.get("rerun_note") else ""))
    for n, r in sorted(tools["sizes"].items(), key=lambda item: int(item[0])):
        out.append(f"- other tools, {int(n):,} rows: load {r.get('load_before')} → {r.get('load_after')}")
    out.append("")

    text = "\n".join(out)
    args.out.write_text(text)
    print(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())

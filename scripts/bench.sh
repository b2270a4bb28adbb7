#!/usr/bin/env bash
# The benchmark suite: writes the tables, times the core natively, lintaro.exe under Wine and
# other tools doing the same jobs, and writes a table of figures (Markdown, also printed).
# Not a test: nothing here asserts speed, and scripts/test.sh does not run it.
#   bash scripts/bench.sh [rows...]          default: 10000 100000 1000000
# Settings (environment, all optional):
#   LINTARO_BUILD_ROOT        build folder             (default <repo>/build)
#   LINTARO_BENCH_TOOL_LIMIT  seconds an other tool may take before it is ended (default 600)
#   LINTARO_BENCH_PARTS       which parts run          (default "native wine tools convert")
#   LINTARO_BENCH_FILES       small tables the converter part converts (default 10000)
#   LINTARO_BENCH_STARTS      starts timed per size under Wine, median reported (default 3)
# Results: $LINTARO_BUILD_ROOT/bench-results/ (figures.md, native.json, wine.json, tools.json,
# convert.json, convert-wine.json).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
export LINTARO_BUILD_ROOT="${LINTARO_BUILD_ROOT:-$repo/build}"
make_table="$repo/scripts/make-table.py"
tool_limit="${LINTARO_BENCH_TOOL_LIMIT:-600}"
parts=" ${LINTARO_BENCH_PARTS:-native wine tools convert} "
starts="${LINTARO_BENCH_STARTS:-3}"
python=/usr/bin/python3
rows=("$@")
((${#rows[@]})) || rows=(10000 100000 1000000)
data="$LINTARO_BUILD_ROOT/bench-data"
results="$LINTARO_BUILD_ROOT/bench-results"
# The data files name the printer the Wine part adds to CUPS for its own jobs (wine_bench.py).
bench_printer=LintaroBench

say() { echo "bench: $*" >&2; }
wants() { [[ "$parts" == *" $1 "* ]]; }

for count in "${rows[@]}"; do
  [[ "$count" =~ ^[1-9][0-9]*$ ]] || { say "not a row count: $count"; exit 2; }
done

say "load now: $(cut -d' ' -f1-3 /proc/loadavg)"
bash scripts/install-deps.sh
bash scripts/install-bench-deps.sh
wants wine && bash scripts/build.sh win lintaro wdrive
wants native && bash scripts/build.sh bench lintaro_benchmarks
wants convert && bash scripts/build.sh convert

mkdir -p "$data" "$results"
for count in "${rows[@]}"; do
  file="$data/rows-$count.rdf"
  if [[ ! -f "$file" || "$make_table" -nt "$file" || "$(sed -n 2p "$file")" != "Printer: $bench_printer"* ]]; then
    say "writing $file"
    "$python" "$make_table" "$file" --rows "$count" --printer "$bench_printer"
  fi
done

# The odd row shapes beside the tables: the same file for the same arguments.
for shape in "long-row 100000" "growing 1000" "wide 1000"; do
  read -r name count <<<"$shape"
  file="$data/shape-$name.rdf"
  if [[ ! -f "$file" || "$make_table" -nt "$file" ]]; then
    say "writing $file"
    "$python" "$make_table" "$file" --shape "$name" --rows "$count"
  fi
done

if wants native; then
  say "native core benchmarks"
  benchmarks="$LINTARO_BUILD_ROOT/bench/tests/bench/lintaro_benchmarks"
  export LINTARO_BENCH_DATA="$data" LINTARO_BENCH_ROWS="${rows[*]}"
  "$benchmarks" --benchmark_filter='^Rdf' --benchmark_format=json \
    --benchmark_out="$results/native.json" --benchmark_out_format=json --benchmark_format=console
  # Peak memory of opening the largest table alone, one process for it.
  largest="${rows[-1]}"
  /usr/bin/time -v -o "$results/native-open-time.txt" "$benchmarks" \
    --benchmark_filter="^RdfOpen/$largest\$" --benchmark_min_time=0 >/dev/null
  peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$results/native-open-time.txt")
  printf '{"native_open_peak_kib": {"%s": %s}}\n' "$largest" "${peak:-0}" >"$results/memory.json"
fi

if wants wine; then
  say "lintaro.exe under Wine"
  # shellcheck source=scripts/test-env.sh
  source scripts/test-env.sh
  trap 'lintaro_env_stop' EXIT
  lintaro_env_start
  "$python" tests/bench/wine_bench.py --data "$data" --out "$results/wine.json" --rows "${rows[@]}" \
    --starts "$starts"
  # A run disturbed by other work on the machine (another process busy on a processor) is
  # repeated once for the largest table; the quieter of the two is kept.
  if "$python" tests/bench/wine_rerun.py busy "$results/wine.json" "${rows[-1]}"; then
    say "the Wine run of ${rows[-1]} rows was disturbed; running it again"
    "$python" tests/bench/wine_bench.py --data "$data" --out "$results/wine-rerun.json" \
      --rows "${rows[-1]}" --starts "$starts"
    "$python" tests/bench/wine_rerun.py keep "$results/wine.json" "$results/wine-rerun.json" "${rows[-1]}"
  fi
  # The converter's big-table jobs done by lintaro.exe's command-line export job, for comparison.
  "$python" tests/bench/convert_bench.py --wine-job "$LINTARO_WIN_BUILD/app/lintaro.exe" --data "$data" \
    --work "$LINTARO_BUILD_ROOT/bench-convert" --out "$results/convert-wine.json" --rows "${rows[@]}"
  lintaro_env_stop
  trap - EXIT
fi

if wants tools; then
  say "other tools (limit $tool_limit s each)"
  "$python" tests/bench/tools_bench.py --data "$data" --work "$LINTARO_BUILD_ROOT/bench-tools" \
    --out "$results/tools.json" --rows "${rows[@]}" --limit "$tool_limit" \
    --locales "$LINTARO_BUILD_ROOT/bench-locales"
fi

if wants convert; then
  say "lintaro-convert, native"
  "$python" tests/bench/convert_bench.py --converter "$LINTARO_BUILD_ROOT/convert/convert/lintaro-convert" \
    --data "$data" --work "$LINTARO_BUILD_ROOT/bench-convert" --out "$results/convert.json" \
    --rows "${rows[@]}" --files "${LINTARO_BENCH_FILES:-10000}"
fi

say "load now: $(cut -d' ' -f1-3 /proc/loadavg)"
"$python" tests/bench/figures.py --out "$results/figures.md" --native "$results/native.json" \
  --wine "$results/wine.json" --tools "$results/tools.json" --memory "$results/memory.json" \
  --convert "$results/convert.json" --convert-wine "$results/convert-wine.json"
say "figures: $results/figures.md"

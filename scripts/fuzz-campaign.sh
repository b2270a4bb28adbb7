#!/usr/bin/env bash
# A long fuzz run of every reader of outside bytes and of a table's way to every output, one
# target after another, each for a number of runs (default 10 million) with AddressSanitizer and
# UBSan. Crashes are left in the results folder; the table at the end gives runs, seconds,
# coverage and findings per target.
#   bash scripts/fuzz-campaign.sh [runs] [target...]
set -uo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${LINTARO_BUILD_ROOT:-$repo/build}"
runs="${1:-10000000}"
shift || true
targets=("$@")
((${#targets[@]})) || targets=(fuzz_printer_config fuzz_bitmap_file fuzz_description_head fuzz_layout_file fuzz_data_file fuzz_table_output)

bash "$repo/scripts/build.sh" fuzz "${targets[@]}" >/dev/null || exit 1
results="$build_root/fuzz-campaign"
mkdir -p "$results"
summary="$results/summary.txt"
printf '%-24s %12s %9s %7s %9s\n' target runs seconds cov findings >"$summary"
for name in "${targets[@]}"; do
  corpus="$results/corpus-$name"
  mkdir -p "$corpus" "$results/$name"
  cp -r "$repo/tests/fuzz/corpus/$name/." "$corpus/"
  # The output target starts from the sample tables as well as its own hostile seeds.
  [[ $name == fuzz_table_output ]] && cp "$repo"/tests/samples/*.rdf "$corpus/"
  started=$(date +%s)
  (cd "$results/$name" && "$build_root/fuzz/tests/fuzz/$name" -runs="$runs" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 "$corpus" >"$results/$name.log" 2>&1)
  elapsed=$(($(date +%s) - started))
  done_runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$results/$name.log" | grep -o '[0-9]*$')
  coverage=$(grep -o 'cov: [0-9]*' "$results/$name.log" | tail -1 | grep -o '[0-9]*')
  findings=$(find "$results/$name" -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' | wc -l)
  printf '%-24s %12s %9s %7s %9s\n' "$name" "${done_runs:-?}" "$elapsed" "${coverage:-?}" "$findings" >>"$summary"
done
cat "$summary"

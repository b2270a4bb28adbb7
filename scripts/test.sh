#!/usr/bin/env bash
# Builds everything and runs every test: native unit tests, the Wine-side tests, the end-to-end
# tests (pytest), a short run of each fuzz target and the check of the include structure
# (scripts/check-layers.py). Ends with one line "N passed, N failed" counting test cases across
# the stages (a fuzz target and the include check count as one each); exits non-zero on any
# failure. Runs as root on Debian 12 (installs what is missing first).
#   LINTARO_FUZZ_SECONDS   seconds per fuzz target (default 20)
#   LINTARO_BUILD_ROOT     build folder (default <repo>/build)
#   extra arguments        passed to pytest (e.g. -k startup)
set -uo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
export LINTARO_BUILD_ROOT="${LINTARO_BUILD_ROOT:-$repo/build}"
results="$LINTARO_BUILD_ROOT/test-results"
fuzz_seconds="${LINTARO_FUZZ_SECONDS:-20}"
python=/usr/bin/python3
passed=0
failed=0
started=$SECONDS

summary() {
  echo "stages took $((SECONDS - started)) s"
  echo "$passed passed, $failed failed"
}

stage() { echo; echo "=== $* ($((SECONDS - started)) s)"; }

# Adds the counts of a JUnit XML report; a missing or unreadable report counts as one failure.
count_junit() {
  local report=$1 name=$2 counts
  if counts=$("$python" - "$report" <<'EOF'
import sys
import xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
suites = [root] if root.tag == "testsuite" else root.findall("testsuite")
tests = failures = skipped = 0
for suite in suites:
    for case in suite.iter("testcase"):
        tests += 1
        if case.find("failure") is not None or case.find("error") is not None:
            failures += 1
        elif case.find("skipped") is not None or case.get("status") in ("notrun", "disabled"):
            skipped += 1
print(tests - failures - skipped, failures)
EOF
  ); then
    read -r stage_passed stage_failed <<<"$counts"
    echo "$name: $stage_passed passed, $stage_failed failed"
    passed=$((passed + stage_passed))
    failed=$((failed + stage_failed))
    return 0
  fi
  echo "$name: no test report"
  failed=$((failed + 1))
  return 1
}

# A stage whose runner failed although its report shows no failure still counts as one failure.
runner_failed_without_report() {
  local name=$1 before=$2
  if ((failed == before)); then
    echo "$name: runner failed"
    failed=$((failed + 1))
  fi
}

stage "installing what is missing"
bash scripts/install-deps.sh || { failed=$((failed + 1)); summary; exit 1; }

stage "building"
# Each tree builds on its own: a tree that fails counts as one failure and its tests are skipped,
# the other trees' tests still run.
declare -A built
for tree in native win fuzz bench; do
  if bash scripts/build.sh "$tree"; then
    built[$tree]=1
  else
    echo "build of $tree FAILED"
    built[$tree]=0
    failed=$((failed + 1))
  fi
done
rm -rf "$results"
mkdir -p "$results"

# shellcheck source=scripts/test-env.sh
source scripts/test-env.sh
trap 'lintaro_env_stop' EXIT
stage "starting the test environment"
if ! lintaro_env_start; then
  echo "the test environment did not start"
  failed=$((failed + 1))
  summary
  exit 1
fi

# The runners write to files, never to a pipe that a Wine process could inherit and hold open.
run_native() {
  before=$failed
  ctest --test-dir "$LINTARO_BUILD_ROOT/native" -j2 --output-on-failure --no-tests=error \
    --output-junit "$results/native.xml" </dev/null >"$results/native.log" 2>&1
  status=$?
  tail -n 40 "$results/native.log"
  count_junit "$results/native.xml" native
  ((status == 0)) || runner_failed_without_report native "$before"
}

run_win() {
  before=$failed
  # The Wine-side binary runs as one ctest entry; its own XML report lists every case.
  rm -f "$LINTARO_BUILD_ROOT/win/tests/win/lintaro_win_tests.xml"
  ctest --test-dir "$LINTARO_BUILD_ROOT/win" --output-on-failure --no-tests=error \
    </dev/null >"$results/win.log" 2>&1
  status=$?
  tail -n 40 "$results/win.log"
  count_junit "$LINTARO_BUILD_ROOT/win/tests/win/lintaro_win_tests.xml" win
  ((status == 0)) || runner_failed_without_report win "$before"
}

run_e2e() {
  before=$failed
  "$python" -m pytest tests/e2e -q -p no:cacheprovider --junitxml="$results/e2e.xml" "$@" \
    </dev/null >"$results/e2e.log" 2>&1
  status=$?
  cat "$results/e2e.log"
  count_junit "$results/e2e.xml" e2e
  ((status == 0)) || runner_failed_without_report e2e "$before"
}

run_fuzz() {
  fuzz_dir="$LINTARO_BUILD_ROOT/fuzz/tests/fuzz"
  fuzz_count=0
  for target in "$fuzz_dir"/fuzz_*; do
    [[ -x "$target" && -f "$target" ]] || continue
    name="$(basename "$target")"
    fuzz_count=$((fuzz_count + 1))
    corpus="$results/corpus-$name"
    mkdir -p "$corpus"
    [[ -d "tests/fuzz/corpus/$name" ]] && cp -r "tests/fuzz/corpus/$name/." "$corpus/"
    # The output target starts from the sample tables as well as its own hostile seeds.
    [[ $name == fuzz_table_output ]] && cp tests/samples/*.rdf "$corpus/"
    if (cd "$results" && "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
          -print_final_stats=1 "$corpus" </dev/null >"$results/$name.log" 2>&1); then
      echo "$name: passed"
      passed=$((passed + 1))
    else
      echo "$name: FAILED"
      tail -n 40 "$results/$name.log"
      failed=$((failed + 1))
    fi
  done
  if ((fuzz_count == 0)); then
    echo "no fuzz targets were built"
    failed=$((failed + 1))
  fi
}

# The folders' layering and the absence of include cycles: one test; its faults are shown.
run_layers() {
  if "$python" scripts/check-layers.py </dev/null >"$results/layers.log" 2>&1; then
    echo "include structure: passed"
    passed=$((passed + 1))
  else
    echo "include structure: FAILED"
    cat "$results/layers.log"
    failed=$((failed + 1))
  fi
}

stage "include structure"
run_layers
stage "native unit tests"
if ((built[native])); then run_native; else echo "skipped: the native tree did not build"; fi
stage "Wine-side tests"
if ((built[win])); then run_win; else echo "skipped: the Windows tree did not build"; fi
stage "end-to-end tests"
if ((built[win])); then run_e2e "$@"; else echo "skipped: the Windows tree did not build"; fi
stage "fuzzing, $fuzz_seconds s per target"
if ((built[fuzz])); then run_fuzz; else echo "skipped: the fuzz tree did not build"; fi

stage "stopping the test environment"
trap - EXIT
lintaro_env_stop
summary
((failed == 0))

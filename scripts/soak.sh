#!/usr/bin/env bash
# Soak run of the real lintaro.exe under Wine: builds the Windows program and the test driver,
# starts the test environment, runs tests/e2e/soak.py (start/close cycles on one layout file, then
# random commands on one running program, counting GDI and USER objects, kernel handles and
# memory inside the program), stops the environment and prints the figures.
#   bash scripts/soak.sh [cycles] [commands]     (default 1000 and 10000)
#   LINTARO_SOAK_SEED     seed of the command plan (default 20251208)
#   LINTARO_BUILD_ROOT    build folder (default <repo>/build)
# Logs (JSON lines, one per cycle and per command, replayable with soak.py --replay) and
# summary.json go to $LINTARO_BUILD_ROOT/soak. Exits non-zero on a failure or a leak.
set -uo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
cycles="${1:-1000}"
commands="${2:-10000}"
seed="${LINTARO_SOAK_SEED:-20251208}"
export LINTARO_BUILD_ROOT="${LINTARO_BUILD_ROOT:-$repo/build}"
out="$LINTARO_BUILD_ROOT/soak"

bash scripts/build.sh win lintaro wdrive || { echo "soak: the build failed"; exit 1; }

# shellcheck source=scripts/test-env.sh
source scripts/test-env.sh
trap 'lintaro_env_stop' EXIT
lintaro_env_start || { echo "soak: the test environment did not start"; exit 1; }

# Output goes to a file, never to a pipe a Wine process could inherit and hold open; it is
# followed on the terminal while the run lasts.
: >"$out.log"
/usr/bin/python3 tests/e2e/soak.py --cycles "$cycles" --commands "$commands" --seed "$seed" \
  --out "$out" </dev/null >>"$out.log" 2>&1 &
soak_pid=$!
tail -n +1 -f --pid="$soak_pid" "$out.log"
wait "$soak_pid"
status=$?
trap - EXIT
lintaro_env_stop
exit $status

#!/usr/bin/env bash
# Builds lintaro.exe and runs it under Wine:
#   bash scripts/run.sh [data file [format file]]
# Paths may be Unix paths (converted with winepath -w) or Windows paths (passed as they are).
# With a DISPLAY the program runs there until it is closed. Without one it runs on a virtual
# screen: the script waits for the main window, saves a PNG screenshot, prints its path and
# stops everything. Runs as root on Debian 12 (installs what is missing first).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$repo"
bash scripts/install-deps.sh
bash scripts/build.sh win lintaro wdrive >/dev/null

# shellcheck source=scripts/test-env.sh
source scripts/test-env.sh
headless=1
if [[ -n "${DISPLAY:-}" ]]; then
  headless=0
  export LINTARO_DISPLAY="$DISPLAY"
fi
trap 'lintaro_env_stop' EXIT
lintaro_env_start

arguments=()
for argument in "$@"; do
  if [[ "$argument" =~ ^[A-Za-z]:[\\/] ]]; then
    arguments+=("$argument")
  else
    arguments+=("$(winepath -w "$argument" 2>/dev/null)")
  fi
done

exe="$LINTARO_WIN_BUILD/app/lintaro.exe"
if ((headless)); then
  /usr/bin/python3 scripts/capture-window.py "${arguments[@]}"
else
  (cd "$(dirname "$exe")" && wine "$exe" "${arguments[@]}")
fi

#!/usr/bin/env bash
# Installs the tools the benchmark suite (scripts/bench.sh) compares the program with: miller,
# csvkit, LibreOffice Calc without a GUI (and the database drivers its dBase export needs),
# column (bsdextrautils), GNU time for peak memory, and the Bulgarian UTF-8 locale that
# coreutils' sort collates by, compiled into a folder of the build root (the system's locales
# are left as they are; tools_bench.py points LOCPATH at it).
# Runs as root on Debian 12; only what is missing is installed. Not needed by the tests.
set -euo pipefail

# shellcheck source=scripts/apt-packages.sh
source "$(dirname "${BASH_SOURCE[0]}")/apt-packages.sh"

packages=(miller csvkit libreoffice-calc-nogui libreoffice-base-drivers bsdextrautils time locales coreutils)

install_missing_packages install-bench-deps "${packages[@]}"

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
locales="${LINTARO_BUILD_ROOT:-$repo/build}/bench-locales"
if [[ ! -f "$locales/bg_BG.UTF-8/LC_COLLATE" ]]; then
  mkdir -p "$locales"
  localedef -i bg_BG -f UTF-8 "$locales/bg_BG.UTF-8"
fi

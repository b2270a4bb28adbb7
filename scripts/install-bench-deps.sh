#!/usr/bin/env bash
# Installs the tools the benchmark suite (scripts/bench.sh) compares the program with: miller,
# csvkit, LibreOffice Calc without a GUI (and the database drivers its dBase export needs),
# column (bsdextrautils), and GNU time for peak memory.
# Runs as root on Debian 12; only what is missing is installed. Not needed by the tests.
set -euo pipefail

# shellcheck source=scripts/apt-packages.sh
source "$(dirname "${BASH_SOURCE[0]}")/apt-packages.sh"

packages=(miller csvkit libreoffice-calc-nogui libreoffice-base-drivers bsdextrautils time)

install_missing_packages install-bench-deps "${packages[@]}"

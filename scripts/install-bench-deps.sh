#!/usr/bin/env bash
# Installs the tools the benchmark suite (scripts/bench.sh) compares the program with: miller,
# csvkit, LibreOffice Calc without a GUI (and the database drivers its dBase export needs),
# column (bsdextrautils), and GNU time for peak memory.
# Runs as root on Debian 12; only what is missing is installed. Not needed by the tests.
set -euo pipefail

packages=(miller csvkit libreoffice-calc-nogui libreoffice-base-drivers bsdextrautils time)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "install-bench-deps: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

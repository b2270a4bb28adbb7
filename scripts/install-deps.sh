#!/usr/bin/env bash
# Installs the Debian 12 packages and the bg_BG.UTF-8 locale that building and testing need.
# Runs as root; a machine that already has everything pays only for the dpkg-query check.
set -euo pipefail

# shellcheck source=scripts/apt-packages.sh
source "$(dirname "${BASH_SOURCE[0]}")/apt-packages.sh"

packages=(
  g++-mingw-w64-x86-64 wine wine64 fonts-wine fonts-liberation
  xvfb xauth imagemagick x11-utils xdotool
  cups printer-driver-cups-pdf cups-bsd cups-client ghostscript poppler-utils
  locales cmake googletest libbenchmark-dev clang libclang-rt-14-dev libfreetype-dev
  python3 python3-pytest python3-dbfread procps
  libcairo2-dev pkg-config
)

install_missing_packages install-deps "${packages[@]}"

# Wine shows ANSI text in code page 1251 only under a Bulgarian locale.
if ! locale -a 2>/dev/null | grep -qix 'bg_BG.utf8'; then
  echo "install-deps: generating bg_BG.UTF-8"
  if grep -q '^# *bg_BG.UTF-8 UTF-8' /etc/locale.gen; then
    sed -i 's/^# *bg_BG.UTF-8 UTF-8/bg_BG.UTF-8 UTF-8/' /etc/locale.gen
  elif ! grep -q '^bg_BG.UTF-8 UTF-8' /etc/locale.gen; then
    echo 'bg_BG.UTF-8 UTF-8' >> /etc/locale.gen
  fi
  locale-gen
fi

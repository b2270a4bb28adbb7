#!/usr/bin/env bash
# Configures (when needed) and builds the build trees, two jobs at a time.
#   bash scripts/build.sh                 all four trees: native, win, fuzz, bench
#   bash scripts/build.sh win [target...]  one tree, optionally only some targets
#   bash scripts/build.sh convert          the native converter alone, optimised, without
#                                         sanitizers: build/convert/convert/lintaro-convert
# Trees live under $LINTARO_BUILD_ROOT (default: <repo>/build).
set -euo pipefail

repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_root="${LINTARO_BUILD_ROOT:-$repo/build}"
jobs="${LINTARO_BUILD_JOBS:-2}"

configure() {
  local tree=$1; shift
  local dir="$build_root/$tree"
  if [[ ! -f "$dir/CMakeCache.txt" ]]; then
    echo "build: configuring $tree"
    cmake -S "$repo" -B "$dir" "$@" >"$build_root/$tree-configure.log" 2>&1 || {
      cat "$build_root/$tree-configure.log"
      return 1
    }
  fi
}

tree_options() {
  case "$1" in
    native) echo "" ;;
    win) echo "-DCMAKE_TOOLCHAIN_FILE=$repo/cmake/mingw-w64-x86_64.cmake" ;;
    fuzz) echo "-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DLINTARO_FUZZ=ON" ;;
    bench) echo "-DLINTARO_BENCH=ON -DLINTARO_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release" ;;
    convert) echo "-DLINTARO_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release" ;;
    *) echo "build: unknown tree $1 (native, win, fuzz, bench, convert)" >&2; return 1 ;;
  esac
}

build_tree() {
  local tree=$1; shift
  local options
  options="$(tree_options "$tree")"
  # shellcheck disable=SC2086
  configure "$tree" $options
  local targets=()
  for target in "$@"; do targets+=(--target "$target"); done
  echo "build: building $tree${*:+ ($*)}"
  cmake --build "$build_root/$tree" -j "$jobs" "${targets[@]}"
}

mkdir -p "$build_root"
if (($# == 0)); then
  for tree in native win fuzz bench; do build_tree "$tree"; done
elif [[ "$1" == convert && $# -eq 1 ]]; then
  build_tree convert lintaro-convert
else
  build_tree "$@"
fi

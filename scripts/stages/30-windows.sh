#!/usr/bin/env bash
# ZoleHead.dll for 32- and 64-bit Windows, cross-built with mingw-w64, and its
# tests run under Wine in a prefix of its own (build-wine/), with no display.
set -euo pipefail
cd "$(dirname "$0")/../.."
./scripts/install-deps.sh base windows

wine_dir="$PWD/build-wine"
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
trap 'WINEPREFIX="$wine_dir/prefix" wineserver --kill >/dev/null 2>&1 || true' EXIT

# The prefix and the Japanese locale (ANSI code page 932), shared by both builds.
sh tests/windows/prepare-wine.sh "$wine_dir"

for preset in windows-x86 windows-x64; do
  echo "--- $preset"
  cmake --preset "$preset" -DZOLEHEAD_WINE_DIR="$wine_dir"
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done

#!/usr/bin/env bash
# ZoleHead.dll for 32- and 64-bit Windows, cross-built with mingw-w64, and its
# tests run under Wine in a prefix of its own (build-wine/), with no display.
#
# Three parts: the 32-bit DLL built and its export, import and resource
# tables checked; the 32-bit DLL's host tests under Wine; the 64-bit DLL
# with all its tests. When wine32:i386 cannot be installed, the second part
# is reported as skipped, with apt's reason; nothing else is ever skipped.
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/stages/lib.sh

# Under test-all.sh the installer has run already and left its report.
deps=0
if [ -z "${ZOLEHEAD_RESULTS:-}" ]; then
  ./scripts/install-deps.sh base windows
  deps=$?
fi

wine_dir="$PWD/build-wine"
export WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
trap 'WINEPREFIX="$wine_dir/prefix" wineserver --kill >/dev/null 2>&1 || true' EXIT

# The tests that need no Wine: the PE tables and the icon.
offline_tests='^(pe_tables|icon_is_drawn_by_its_script)$'

failed=0
part() {  # NAME COMMAND...: runs one part and records it
  local name=$1
  shift
  echo "--- $name"
  if "$@"; then record_result pass "$name"; else record_result fail "$name"; failed=1; fi
}

wine32_ready=1
if [ $((deps & 16)) -ne 0 ] || [ "$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null)" != "install ok installed" ]; then
  wine32_ready=0
  reason=$(awk -F'\t' '$1 == "wine32" { print $3 }' "${ZOLEHEAD_DEPS_REPORT:-/dev/null}" 2>/dev/null | tail -n 1)
  wine32_reason="wine32:i386 could not be installed${reason:+: $reason}"
fi

prepare_prefix() { sh tests/windows/prepare-wine.sh "$wine_dir"; }

build_x86() {
  # Without 32-bit Wine the host tests are not registered; the tables are.
  local wine=OFF
  [ "$wine32_ready" -eq 0 ] || wine=$(command -v wine || echo OFF)
  cmake --preset windows-x86 -DZOLEHEAD_WINE_DIR="$wine_dir" -DZOLEHEAD_WINE="$wine" &&
    cmake --build --preset windows-x86 &&
    ctest --preset windows-x86 -R "$offline_tests"
}
run_x86_under_wine() { prepare_prefix && ctest --preset windows-x86 -E "$offline_tests"; }
x64() {
  prepare_prefix &&
    cmake --preset windows-x64 -DZOLEHEAD_WINE_DIR="$wine_dir" -DZOLEHEAD_WINE="$(command -v wine || echo OFF)" &&
    cmake --build --preset windows-x64 &&
    ctest --preset windows-x64
}

part "windows-x86 build and PE tables" build_x86
if [ "$wine32_ready" -eq 1 ]; then
  part "windows-x86 under Wine" run_x86_under_wine
else
  echo "--- windows-x86 under Wine: SKIPPED ($wine32_reason)" >&2
  record_result skip "windows-x86 under Wine" "$wine32_reason"
fi
part "windows-x64 under Wine" x64
exit "$failed"

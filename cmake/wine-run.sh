#!/bin/sh
# The emulator of the Windows cross builds: runs one Windows program under
# Wine and exits with its status. Wine's helper processes (services.exe,
# winedevice.exe) outlive the program until the server stops; they get a file
# for their output, not the caller's pipe, so CTest does not wait for them.
set -u
: "${WINEDEBUG:=-all}"
export WINEDEBUG
out=$(mktemp "${TMPDIR:-/tmp}/zolehead-wine.XXXXXX") || exit 2
wine "$@" </dev/null >"$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit "$status"

#!/usr/bin/env bash
# Usage: check_python_package.sh SITE_DIR
# Checks the zolehead Python package installed in SITE_DIR (a prefix's
# lib/python3/dist-packages): it imports from there with nothing else on the
# path, reads a file, and its extension does not load libZoleHead.so.
# Environment: PYTHON, the interpreter it was built for (default /usr/bin/python3).
set -euo pipefail
site=$1
python=${PYTHON:-/usr/bin/python3}
work=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-python.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "check_python_package: $*" >&2; exit 1; }

extension=$(find "$site/zolehead" -maxdepth 1 -name '_zolehead*.so')
[ -n "$extension" ] || fail "no extension in $site/zolehead"
! readelf -d "$extension" | grep -q libZoleHead || fail "$(basename "$extension") needs libZoleHead.so"
printf '*Title "Sakura"\n' >"$work/sample.zole"
(cd "$work" && env -u LD_LIBRARY_PATH -u LD_PRELOAD PYTHONPATH="$site" PYTHONDONTWRITEBYTECODE=1 "$python" -c '
import os, sys, zolehead
assert os.path.dirname(zolehead.__file__) == os.path.join(sys.argv[1], "zolehead"), zolehead.__file__
header = zolehead.read(sys.argv[2])
assert header == {"Title": zolehead.Field("Sakura", b"Sakura", "B")}, header
' "$site" "$work/sample.zole") || fail "the package in $site does not import or read"
echo "check_python_package: the package in $site imports and reads"

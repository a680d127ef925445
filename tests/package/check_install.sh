#!/usr/bin/env bash
# Usage: check_install.sh BUILD_DIR
# Installs the build into a fresh temporary prefix and checks what landed there:
# the layout, the Python package as installed, and C hosts built against it.
# Environment as for check_layout.sh and check_consumers.sh, plus PYTHON.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
cmake=${CMAKE:-cmake}
python=${PYTHON:-python3}
work=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log"; exit 1; }
"$here/check_layout.sh" "$prefix"

libdir=$(dirname "$(find "$prefix" -name libZoleHead.so.1)")
printf '*Title "Sakura"\n' >"$work/sample.zole"

if [ "${ZOLEHEAD_EXPECT_PYTHON:-0}" = 1 ]; then
  PYTHON=$python "$here/check_python_package.sh" "$prefix/lib/python3/dist-packages"
fi

# The tool runs from the prefix as it is, by its RPATH.
if [ "${ZOLEHEAD_EXPECT_TOOL:-0}" = 1 ]; then
  resolved=$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/zolehead" | awk '$1 == "libZoleHead.so.1" {print $3}')
  [ "$(readlink -f "$resolved")" = "$(readlink -f "$libdir/libZoleHead.so.1")" ] ||
    { echo "check_install: the installed zolehead loads '$resolved', not the installed library" >&2; exit 1; }
  env -u LD_LIBRARY_PATH "$prefix/bin/zolehead" --version | grep -qF "${ZOLEHEAD_VERSION:-}" ||
    { echo "check_install: the installed zolehead does not run or misreports its version" >&2; exit 1; }
  env -u LD_LIBRARY_PATH "$prefix/bin/zolehead" --no-progress "$work/sample.zole" | grep -q Sakura ||
    { echo "check_install: the installed zolehead does not read a sample" >&2; exit 1; }
  # `serve` finds its module where the installation put it.
  "$here/check_serve_starts.sh" "$prefix/bin/zolehead"
  echo "installed tool: ok"
fi

"$here/check_consumers.sh" "$prefix"

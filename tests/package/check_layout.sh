#!/usr/bin/env bash
# Usage: check_layout.sh PREFIX
# Checks the files an installation of ZoleHead puts under PREFIX: the library
# and its SONAME links, the public header and nothing internal, the CMake and
# pkg-config files and, when expected, the tool with its catalog server
# module, its man page and the Python package. Environment:
# ZOLEHEAD_EXPECT_TOOL=1, ZOLEHEAD_EXPECT_MAN=1, ZOLEHEAD_EXPECT_PYTHON=1.
set -euo pipefail
prefix=$1
problems=0
problem() { echo "check_layout: $*" >&2; problems=$((problems + 1)); }

libs=$(find "$prefix" -name 'libZoleHead.so*')
libdir=$(dirname "$(echo "$libs" | head -n 1)")
case "$libdir" in "$prefix"/lib | "$prefix"/lib/*-*) ;; *) problem "library in $libdir, not a lib directory" ;; esac

# libZoleHead.so -> libZoleHead.so.1 -> libZoleHead.so.1.0.0, and the SONAME
# is the middle one.
[ "$(readlink "$libdir/libZoleHead.so" 2>/dev/null)" = libZoleHead.so.1 ] || problem "libZoleHead.so is not a link to libZoleHead.so.1"
[ "$(readlink "$libdir/libZoleHead.so.1" 2>/dev/null)" = libZoleHead.so.1.0.0 ] || problem "libZoleHead.so.1 is not a link to libZoleHead.so.1.0.0"
if [ -f "$libdir/libZoleHead.so.1.0.0" ] && [ ! -L "$libdir/libZoleHead.so.1.0.0" ]; then
  readelf -d "$libdir/libZoleHead.so.1.0.0" | grep -q 'SONAME.*\[libZoleHead\.so\.1\]' || problem "SONAME is not libZoleHead.so.1"
else
  problem "no libZoleHead.so.1.0.0 file in $libdir"
fi
[ "$(echo "$libs" | wc -l)" -eq 3 ] || problem "unexpected library files: $libs"

expect_file() { [ -f "$prefix/$1" ] || problem "missing $1"; }
expect_file include/ZoleHead.h
cmp -s "$prefix/include/ZoleHead.h" "$(dirname "$0")/../../integrate/ZoleHead.h" || problem "include/ZoleHead.h differs from the source"
for f in ZoleHeadConfig.cmake ZoleHeadConfigVersion.cmake ZoleHeadTargets.cmake; do
  expect_file "${libdir#"$prefix"/}/cmake/ZoleHead/$f"
done
expect_file "${libdir#"$prefix"/}/pkgconfig/zolehead.pc"
if [ "${ZOLEHEAD_EXPECT_PYTHON:-0}" = 1 ]; then
  for f in __init__.py _header.py _read.py _scan.py _edit.py _explain.py _zolehead.pyi py.typed; do
    expect_file "lib/python3/dist-packages/zolehead/$f"
  done
  [ "$(find "$prefix/lib/python3/dist-packages/zolehead" -name '_zolehead*.so' | wc -l)" -eq 1 ] ||
    problem "no Python extension in lib/python3/dist-packages/zolehead"
fi
[ ! -e "$prefix/lib/python3/dist-packages/zolehead.py" ] || problem "the ctypes module is still installed"
if [ "${ZOLEHEAD_EXPECT_TOOL:-0}" = 1 ]; then
  [ -x "$prefix/bin/zolehead" ] || problem "missing bin/zolehead"
  # The catalog server, which `zolehead serve` loads.
  expect_file "${libdir#"$prefix"/}/zolehead/zolehead-serve.so"
fi
if [ "${ZOLEHEAD_EXPECT_MAN:-0}" = 1 ]; then
  [ -f "$prefix/share/man/man1/zolehead.1.gz" ] || [ -f "$prefix/share/man/man1/zolehead.1" ] || problem "missing the zolehead man page"
fi

# Only the C API is public: no C++ core headers, no static core.
internal=$(find "$prefix" \( -name '*.hpp' -o -name '*.a' -o -name 'zolehead_core*' \) -print)
[ -z "$internal" ] || problem "internal files installed: $internal"

[ "$problems" -eq 0 ] || exit 1
echo "check_layout: $prefix holds the expected files"

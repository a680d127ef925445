#!/usr/bin/env bash
# Usage: check_consumers.sh PREFIX [SYSROOT]
# Builds a small C host against the ZoleHead installed in PREFIX twice, once
# through find_package and once through pkg-config, and runs both on a sample.
# SYSROOT is the directory that stands for / when PREFIX is an unpacked package
# whose files name /usr. Environment: CC, CMAKE, ZOLEHEAD_VERSION (the version
# pkg-config must report), ZOLEHEAD_EXPECT_TOOL=1 (the package must export the tool).
set -euo pipefail
prefix=$(cd "$1" && pwd)
sysroot=${2:+$(cd "$2" && pwd)}
here=$(cd "$(dirname "$0")" && pwd)
cc=${CC:-cc}
cmake=${CMAKE:-cmake}
work=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-consumers.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() { echo "check_consumers: $*" >&2; exit 1; }

library=$(find "$prefix" -name libZoleHead.so.1 | head -n 1)
[ -n "$library" ] || fail "no libZoleHead.so.1 under $prefix"
libdir=$(dirname "$library")
pc=$(find "$prefix" -name zolehead.pc -path '*/pkgconfig/*' | head -n 1)
[ -n "$pc" ] || fail "no zolehead.pc under $prefix"

# The host must load the installed library through its SONAME, not a copy
# from the build tree.
check_binary() {
  local binary=$1 resolved
  readelf -d "$binary" | grep -q 'NEEDED.*\[libZoleHead\.so\.1\]' || fail "$binary does not need libZoleHead.so.1"
  resolved=$(ldd "$binary" | awk '$1 == "libZoleHead.so.1" {print $3}')
  [ "$(readlink -f "$resolved")" = "$(readlink -f "$library")" ] ||
    fail "$binary loads '$resolved', not $library"
  "$binary" "$work"
}

echo "--- find_package(ZoleHead) from $prefix"
"$cmake" -S "$here/consumer" -B "$work/cmake" -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF -DZOLEHEAD_EXPECT_TOOL="${ZOLEHEAD_EXPECT_TOOL:-0}" >"$work/cmake.log" ||
  { cat "$work/cmake.log"; fail "find_package consumer does not configure"; }
found=$(sed -n 's/^ZoleHead_DIR:PATH=//p' "$work/cmake/CMakeCache.txt")
case "$found" in "$prefix"/*) ;; *) fail "find_package found ZoleHead in '$found', not under $prefix" ;; esac
"$cmake" --build "$work/cmake" >"$work/build.log" || { cat "$work/build.log"; fail "find_package consumer does not build"; }
check_binary "$work/cmake/zolehead_consumer"

# One major version is one ABI: asking for another must fail.
if "$cmake" -S "$here/consumer" -B "$work/cmake-v2" -DCMAKE_C_COMPILER="$cc" -DCMAKE_PREFIX_PATH="$prefix" \
     -DZOLEHEAD_WANTED_VERSION=2.0 >"$work/cmake-v2.log" 2>&1; then
  fail "find_package(ZoleHead 2.0) accepted version 1"
fi
grep -q 'compatible with requested version "2.0"' "$work/cmake-v2.log" || { cat "$work/cmake-v2.log"; fail "version 2.0 refused for another reason"; }

echo "--- pkg-config zolehead from $prefix"
export PKG_CONFIG_LIBDIR=$(dirname "$pc") PKG_CONFIG_ALLOW_SYSTEM_CFLAGS=1 PKG_CONFIG_ALLOW_SYSTEM_LIBS=1
[ -z "$sysroot" ] || export PKG_CONFIG_SYSROOT_DIR=$sysroot
version=$(pkg-config --modversion zolehead)
[ -z "${ZOLEHEAD_VERSION:-}" ] || [ "$version" = "$ZOLEHEAD_VERSION" ] ||
  fail "pkg-config reports version $version, want $ZOLEHEAD_VERSION"
[ -n "$sysroot" ] || [ "$(pkg-config --variable=prefix zolehead)" = "$prefix" ] ||
  fail "zolehead.pc names prefix $(pkg-config --variable=prefix zolehead), installed in $prefix"
mkdir "$work/pc"
# shellcheck disable=SC2046  # pkg-config output is a list of words
"$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror -o "$work/pc/zolehead_consumer" "$here/consumer/zolehead_consumer.c" \
  $(pkg-config --cflags --libs zolehead)
LD_LIBRARY_PATH=$libdir check_binary "$work/pc/zolehead_consumer"
echo "check_consumers: both hosts built and ran against $prefix"

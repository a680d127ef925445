#!/usr/bin/env bash
# Usage: check_deb.sh PACKAGE.deb
# Checks the Debian package: its control fields, that it holds what an
# installation holds (stripped), that dpkg runs ldconfig for it, and that C hosts
# build and run against its unpacked files. Environment as for check_layout.sh
# and check_consumers.sh.
set -euo pipefail
deb=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "check_deb: $*" >&2; exit 1; }

dpkg-deb -I "$deb"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = zolehead ] || fail "package name is '$(field Package)'"
[ -z "${ZOLEHEAD_VERSION:-}" ] || [ "$(field Version)" = "$ZOLEHEAD_VERSION" ] || fail "version is '$(field Version)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "architecture is '$(field Architecture)'"
[ -n "$(field Maintainer)" ] || fail "no maintainer"
for dependency in libc6 libstdc++6; do
  field Depends | tr ',' '\n' | awk '{print $1}' | grep -qxF "$dependency" || fail "Depends ($(field Depends)) lacks $dependency"
done

dpkg-deb -e "$deb" "$work/control"
grep -q '^libZoleHead 1 zolehead' "$work/control/shlibs" || fail "no shlibs entry for libZoleHead.so.1"
grep -q ldconfig "$work/control/postinst" || fail "postinst does not run ldconfig"

dpkg-deb -c "$deb"
# Everything under /usr, nothing from the build machine's paths.
stray=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./usr/' | grep -vx '\./' || true)
[ -z "$stray" ] || fail "files outside /usr: $stray"

dpkg-deb -x "$deb" "$work/root"
"$here/check_layout.sh" "$work/root/usr"
for binary in "$work"/root/usr/lib/*/libZoleHead.so.1.0.0 "$work"/root/usr/lib/libZoleHead.so.1.0.0 "$work"/root/usr/bin/zolehead \
  "$work"/root/usr/lib/*/zolehead/zolehead-serve.so \
  "$work"/root/usr/lib/python3/dist-packages/zolehead/_zolehead*.so; do
  [ -f "$binary" ] || continue
  file -b "$binary" | grep -q ', stripped' || fail "$(basename "$binary") is not stripped: $(file -b "$binary")"
done
# Packaged binaries find the library where dpkg puts it, without an RPATH.
tool=$work/root/usr/bin/zolehead
if [ -f "$tool" ]; then
  ! readelf -d "$tool" | grep -Eq 'RPATH|RUNPATH' || fail "the packaged zolehead carries an RPATH"
  libdir=$(dirname "$(find "$work/root/usr" -name libZoleHead.so.1)")
  LD_LIBRARY_PATH=$libdir "$tool" --version | grep -qF "${ZOLEHEAD_VERSION:-}" || fail "the packaged zolehead does not run"
  "$here/check_serve_starts.sh" "$tool" "$libdir"
fi
"$here/check_consumers.sh" "$work/root/usr" "$work/root"
# Debian's python3 imports the packaged module where dpkg puts it.
if [ "${ZOLEHEAD_EXPECT_PYTHON:-0}" = 1 ]; then
  PYTHON=/usr/bin/python3 "$here/check_python_package.sh" "$work/root/usr/lib/python3/dist-packages"
fi
echo "check_deb: $(basename "$deb") is complete"

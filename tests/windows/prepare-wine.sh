#!/bin/sh
# Usage: prepare-wine.sh DIR
# Readies DIR for the Windows tests: DIR/locale holds a ja_JP.UTF-8 locale
# (under it Wine's ANSI code page is 932, Shift_JIS) and DIR/prefix a Wine
# prefix. Needs no display and no root; safe to run again, and from two
# builds at once.
set -eu
dir=$1
mkdir -p "$dir/locale"
exec 9>"$dir/.lock"
flock 9

# A private copy of the locale: the system may have no Japanese locale, and
# generating one there needs root.
if [ ! -f "$dir/locale/ja_JP.UTF-8/LC_CTYPE" ]; then
  localedef -i ja_JP -f UTF-8 "$dir/locale/ja_JP.UTF-8" || true
fi
charmap=$(LOCPATH="$dir/locale" LC_ALL=ja_JP.UTF-8 locale charmap 2>/dev/null || true)
if [ "$charmap" != "UTF-8" ]; then
  echo "prepare-wine: cannot build the ja_JP.UTF-8 locale (is the Debian package 'locales' installed?)" >&2
  exit 1
fi

export WINEPREFIX="$dir/prefix" WINEDEBUG=-all DISPLAY= WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's processes must not inherit the lock (descriptor 9).
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init </dev/null >"$dir/wineboot.log" 2>&1 9>&- || { cat "$dir/wineboot.log" >&2; exit 1; }
fi
wineserver --wait 9>&-
[ -f "$WINEPREFIX/system.reg" ] || { echo "prepare-wine: wineboot made no prefix in $WINEPREFIX" >&2; exit 1; }
echo "prepare-wine: prefix $WINEPREFIX ready"

#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those that are missing.
# Usage: scripts/install-deps.sh [base] [cli] [fuzz] [windows] [package]   (default: all)
set -euo pipefail

groups=("$@")
[ ${#groups[@]} -gt 0 ] || groups=(base cli fuzz windows package)

want=()
need_i386=0
for group in "${groups[@]}"; do
  case "$group" in
    base) want+=(cmake make g++ binutils googletest libgtest-dev libgmock-dev libbenchmark-dev pkg-config python3) ;;
    cli) want+=(libcli11-dev nlohmann-json3-dev) ;;
    fuzz) want+=(clang-14 libclang-rt-14-dev) ;;
    windows) want+=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 wine32:i386 locales)
             need_i386=1 ;;
    package) want+=(dpkg-dev file) ;;
    *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for pkg in "${want[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
  [ "$status" = "install ok installed" ] || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ "$need_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages a build needs, only those that are missing.
#
# Usage: scripts/install-deps.sh [GROUP...]   (default: every group)
#
#   base     compiler, CMake, GoogleTest, Google Benchmark, dpkg-dev   bit 1
#   cli      what the zolehead tool links and its tests use            bit 2
#   fuzz     clang-14 and its sanitizer runtimes (libFuzzer)           bit 4
#   windows  mingw-w64 and 64-bit Wine                                 bit 8
#            (also asks for wine32, below)
#   wine32   32-bit Wine (wine32:i386): adds the i386 architecture     bit 16
#   python   the Python extension's build and test packages            bit 32
#   browser  Chromium, ChromeDriver and Selenium for the catalog test  bit 64
#   package  an alias of base (dpkg-dev and file are part of it)
#
# Exit status: the sum of the bits of the groups asked for that are not
# ready (0: all of them are), or 128 for a usage error. Each group is
# installed on its own, so one that cannot be installed never stops the
# others; the packages that failed and apt's reason go to stderr, and to
# the file named by ZOLEHEAD_DEPS_REPORT when it is set, one line a group:
#   GROUP<TAB>PACKAGES<TAB>REASON
#
# When every package is present, nothing is run at all: no apt, no sudo.
# An `apt-get update` that fails on some index (a mirror mid-sync, say) is
# tried once more, then the install goes on with the lists apt has.
set -uo pipefail

group_bit() {
  case "$1" in
    base) echo 1 ;; cli) echo 2 ;; fuzz) echo 4 ;; windows) echo 8 ;;
    wine32) echo 16 ;; python) echo 32 ;; browser) echo 64 ;;
    *) return 1 ;;
  esac
}

group_packages() {
  case "$1" in
    base) echo cmake make g++ binutils googletest libgtest-dev libgmock-dev libbenchmark-dev pkg-config python3 \
               dpkg-dev file ;;
    cli) echo libcli11-dev nlohmann-json3-dev libarchive-dev libcpp-httplib-dev \
              libarchive-tools jlha-utils p7zip-full zip ;;
    fuzz) echo clang-14 libclang-rt-14-dev ;;
    windows) echo g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 \
                  wine wine64 locales ;;
    wine32) echo wine32:i386 ;;
    python) echo python3-dev pybind11-dev python3-pybind11 python3-setuptools python3-pip python3-venv \
                 python3-wheel python3-dask ;;
    browser) echo chromium chromium-driver python3-selenium fonts-ipafont-gothic ;;
  esac
}

say() { echo "install-deps: $*" >&2; }

# The groups asked for, in a fixed order, each once.
requested=()
add_group() {
  local g
  for g in "${requested[@]}"; do [ "$g" = "$1" ] && return; done
  requested+=("$1")
}
[ $# -gt 0 ] || set -- base cli fuzz windows python browser
for arg in "$@"; do
  case "$arg" in
    package) add_group base ;;
    windows) add_group windows; add_group wine32 ;;
    *)
      if ! group_bit "$arg" >/dev/null; then
        say "unknown group '$arg' (groups: base cli fuzz windows wine32 python browser package)"
        exit 128
      fi
      add_group "$arg" ;;
  esac
done

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

missing_of() {
  local pkg out=()
  for pkg in $(group_packages "$1"); do installed "$pkg" || out+=("$pkg"); done
  echo "${out[*]}"
}

# What each group lacks; stop here when nothing is missing.
declare -A missing
anything_missing=0
for g in "${requested[@]}"; do
  missing[$g]=$(missing_of "$g")
  [ -z "${missing[$g]}" ] || anything_missing=1
done
[ "$anything_missing" -eq 1 ] || exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

report() {  # GROUP PACKAGES REASON
  say "group $1 is not ready: could not install $2: $3"
  if [ -n "${ZOLEHEAD_DEPS_REPORT:-}" ]; then
    printf '%s\t%s\t%s\n' "$1" "$2" "$3" >>"$ZOLEHEAD_DEPS_REPORT"
  fi
}

# apt's own words for a failure: its error lines, joined.
apt_reason() {
  local reason
  reason=$(grep -E '^E:' "$1" | sed 's/^E: //' | awk '!seen[$0]++' | tr '\n' ' ' | sed 's/ *$//')
  [ -n "$reason" ] || reason=$(grep -E '^Err:' "$1" | awk '!seen[$0]++' | tr '\n' ' ' | sed 's/ *$//')
  [ -n "$reason" ] || reason=$(tail -n 3 "$1" | tr '\n' ' ' | sed 's/ *$//')
  echo "${reason:-apt-get failed without a message}"
}

log=$(mktemp "${TMPDIR:-/tmp}/install-deps.XXXXXX")
trap 'rm -f "$log"' EXIT

# 32-bit Wine needs the i386 architecture; nothing else does.
if [ -n "${missing[wine32]:-}" ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  say "adding the i386 architecture (for wine32:i386)"
  $sudo dpkg --add-architecture i386 || say "could not add the i386 architecture"
fi

# The package lists. A failed index is tried once more; after that the lists
# apt has are used, and any group that needs the missing index fails below
# with apt's reason.
updated=0
for attempt in 1 2; do
  if $sudo apt-get update -q >"$log" 2>&1; then
    updated=1
    break
  fi
  say "apt-get update failed (attempt $attempt of 2): $(apt_reason "$log")"
done
if [ "$updated" -eq 0 ]; then
  say "going on with the package lists apt has; some packages may not be found"
fi

status=0
for g in "${requested[@]}"; do
  [ -n "${missing[$g]}" ] || continue
  read -r -a pkgs <<<"${missing[$g]}"
  say "group $g: installing ${pkgs[*]}"
  ok=0
  for attempt in 1 2; do
    if $sudo apt-get install -y -q --no-install-recommends "${pkgs[@]}" >"$log" 2>&1; then
      ok=1
      break
    fi
  done
  # apt may report failure for a side matter with the group in place, or
  # success with it half there: what counts is what dpkg now has.
  still=$(missing_of "$g")
  if [ -n "$still" ]; then
    report "$g" "$still" "$(apt_reason "$log")"
    status=$((status | $(group_bit "$g")))
  elif [ "$ok" -eq 0 ]; then
    say "group $g: apt-get reported a failure, but every package is installed"
  fi
done
exit "$status"

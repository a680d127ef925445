#!/usr/bin/env bash
# Usage: check_serve_starts.sh TOOL [LD_LIBRARY_PATH]
# Starts `TOOL serve` on one sample file and checks that it prints the
# catalog's address: the tool found and loaded its catalog server module
# where the installation or the package put it.
set -euo pipefail
tool=$1
library_path=${2:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-serve-check.XXXXXX")
server=
cleanup() {
  if [ -n "$server" ]; then kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
printf '*Title "Sakura"\n' >"$work/sample.zole"
env -u LD_LIBRARY_PATH ${library_path:+LD_LIBRARY_PATH="$library_path"} \
  "$tool" serve --port 0 "$work/sample.zole" >"$work/out" 2>"$work/err" &
server=$!
for _ in $(seq 100); do
  [ -s "$work/out" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q '^http://127\.0\.0\.1:[0-9]*/?token=' "$work/out"; then
  echo "check_serve_starts: $tool cannot serve: $(cat "$work/err")" >&2
  exit 1
fi
echo "check_serve_starts: $tool serves"

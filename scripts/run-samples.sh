#!/usr/bin/env bash
# The quick start: installs what is missing, builds zolehead (Release, in
# build-run/ so it never fights the test build) and shows the headers of the
# bundled samples. Extra arguments go to zolehead, e.g. --json.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh base cli
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release -DZOLEHEAD_BUILD_TESTS=OFF >/dev/null
cmake --build build-run --target zolehead -j2 >/dev/null
format=(--table)
[ $# -gt 0 ] && format=()
exec ./build-run/cli/zolehead "${format[@]}" "$@" -r --ext zole samples/

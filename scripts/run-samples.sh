#!/usr/bin/env bash
# The quick start: installs what is missing, builds zolehead (Release, in
# build-run/ so it never fights the test build) and shows the headers of the
# bundled samples. Extra arguments go to zolehead, e.g. --json.
set -euo pipefail
cd "$(dirname "$0")/.."

# Only what the tool needs: never the i386 architecture, so broken i386
# package lists cannot stop the quick start. If something could not be
# installed, the build below says what is missing.
./scripts/install-deps.sh base cli || echo "run-samples: not every package could be installed; building anyway" >&2
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=Release -DZOLEHEAD_BUILD_TESTS=OFF >/dev/null
cmake --build build-run --target zolehead -j2 >/dev/null
format=(--table)
[ $# -gt 0 ] && format=()
exec ./build-run/cli/zolehead "${format[@]}" "$@" -r --ext zole samples/

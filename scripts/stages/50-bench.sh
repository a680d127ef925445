#!/usr/bin/env bash
# The benchmarks, built in their own Release build (build-bench) and each run
# once on small generated inputs as a smoke check: every reader must agree
# with the fgetc loop and every benchmark must run. Times are not judged here;
# bench/README.md says how to measure.
set -euo pipefail
cd "$(dirname "$0")/../.."

jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZOLEHEAD_BUILD_BENCHMARKS=ON \
  -DZOLEHEAD_BUILD_TESTS=OFF -DZOLEHEAD_BUILD_CLI=ON -DZOLEHEAD_BUILD_PYTHON=ON
cmake --build "$build" -j"$jobs" --target zolehead_bench zolehead_make_corpus zolehead _zolehead

echo "--- zolehead_bench, 1 % of the full sizes (times not judged)"
ZOLEHEAD_BENCH_SCALE=0.01 "$build/bench/zolehead_bench" --benchmark_min_time=0.01 --benchmark_color=false

echo "--- zolehead_make_corpus"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
"$build/bench/zolehead_make_corpus" "$tree" 150 2048
count=$(find "$tree" -type f -name '*.zole' | wc -l)
[ "$count" -eq 150 ] || { echo "zolehead_make_corpus wrote $count files, not 150" >&2; exit 1; }
echo "wrote $count files"

echo "--- bench/python_bench.py, 200 files (times not judged)"
/usr/bin/python3 bench/python_bench.py "$build" --files 200 --bytes 2048 --runs 1

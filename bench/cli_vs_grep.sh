#!/usr/bin/env bash
# The zolehead tool over the benchmark collection against grep over the same
# tree, with hyperfine: with the page cache warm against `grep -rc` of a fixed
# string (the bar: at most half its time at -j 2), and with the tree's pages
# dropped before every run (bench/drop_page_cache.py, posix_fadvise per file)
# against `grep -r` (the bar: no slower).
# Usage: bench/cli_vs_grep.sh BUILD_DIR [FILES [BYTES_EACH]]
#   BUILD_DIR holds bench/zolehead_make_corpus and cli/zolehead (configure it
#   with -DZOLEHEAD_BUILD_BENCHMARKS=ON); default 10000 files of 16 KiB.
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR [FILES [BYTES_EACH]]}
files=${2:-10000}
bytes=${3:-16384}
command -v hyperfine >/dev/null || { echo "cli_vs_grep: hyperfine is not installed" >&2; exit 1; }
drop="python3 $(cd "$(dirname "$0")" && pwd)/drop_page_cache.py"
tree=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-cli-bench.XXXXXX")
trap 'rm -rf "$tree"' EXIT

"$build/bench/zolehead_make_corpus" "$tree" "$files" "$bytes"
zolehead="$build/cli/zolehead -r -j 2 --no-progress --jsonl $tree"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
echo "--- page cache warm"
hyperfine --warmup 2 --runs 10 -N \
  "grep -rc Title $tree" \
  "$zolehead" \
  "$build/cli/zolehead -r -j 1 --no-progress --jsonl $tree"
echo "--- page cache emptied for the tree before each run"
hyperfine --runs 5 --prepare "$drop $tree" \
  "grep -r Title $tree" \
  "$zolehead"

#!/usr/bin/env bash
# The zolehead tool over the benchmark collection against `grep -rc` of a
# fixed string over the same tree, with hyperfine (the bar: no slower at -j 2).
# Usage: bench/cli_vs_grep.sh BUILD_DIR [FILES [BYTES_EACH]]
#   BUILD_DIR holds bench/zolehead_make_corpus and cli/zolehead (configure it
#   with -DZOLEHEAD_BUILD_BENCHMARKS=ON); default 20000 files of about 20 KiB.
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR [FILES [BYTES_EACH]]}
files=${2:-20000}
bytes=${3:-20480}
command -v hyperfine >/dev/null || { echo "cli_vs_grep: hyperfine is not installed" >&2; exit 1; }
tree=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-cli-bench.XXXXXX")
trap 'rm -rf "$tree"' EXIT

"$build/bench/zolehead_make_corpus" "$tree" "$files" "$bytes"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
hyperfine --warmup 2 --runs 10 -N \
  "grep -rc Title $tree" \
  "$build/cli/zolehead -r -j 2 --no-progress --jsonl $tree" \
  "$build/cli/zolehead -r -j 1 --no-progress --jsonl $tree"

#!/usr/bin/env bash
# `zolehead set -r` against a plain C loop that reads each file, writes a
# temporary copy, flushes it and renames it over the original
# (bench/copy_loop.c), side by side in one run over the same files. Each
# round sets a new title, so every file is rewritten by both.
# Usage: bench/edit_vs_copy.sh BUILD_DIR [FILES [BYTES_EACH [ROUNDS]]]
#   BUILD_DIR holds bench/zolehead_make_corpus, bench/zolehead_copy_loop and
#   cli/zolehead (configure it with -DZOLEHEAD_BUILD_BENCHMARKS=ON);
#   default 10000 files of 16 KiB, 3 rounds. The files go under $TMPDIR (or
#   /tmp), which must be a real disk for the flushes to cost what they do.
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR [FILES [BYTES_EACH [ROUNDS]]]}
files=${2:-10000}
bytes=${3:-16384}
rounds=${4:-3}
tree=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-edit-bench.XXXXXX")
trap 'rm -rf "$tree"' EXIT

"$build/bench/zolehead_make_corpus" "$tree" "$files" "$bytes"
find "$tree" -type f | sort >"$tree.list"
trap 'rm -rf "$tree" "$tree.list"' EXIT
echo "$(find "$tree" -type f | wc -l) files, $(du -sh "$tree" | cut -f1); $(df -T "$tree" | awk 'NR==2 {print $2}') file system"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"

seconds() { local start=$1 end=$2; awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f", e - s }'; }
declare -a copy jobs1 jobsN
for round in $(seq 1 "$rounds"); do
  sync
  t0=$(date +%s.%N); "$build/bench/zolehead_copy_loop" <"$tree.list" 2>/dev/null; t1=$(date +%s.%N)
  copy+=("$(seconds "$t0" "$t1")")
  sync
  t0=$(date +%s.%N); "$build/cli/zolehead" set -r -j 1 --no-progress "Title=round $round a" "$tree" >/dev/null; t1=$(date +%s.%N)
  jobs1+=("$(seconds "$t0" "$t1")")
  sync
  t0=$(date +%s.%N); "$build/cli/zolehead" set -r --no-progress "Title=round $round b" "$tree" >/dev/null; t1=$(date +%s.%N)
  jobsN+=("$(seconds "$t0" "$t1")")
  echo "round $round: copy loop ${copy[-1]} s, zolehead -j 1 ${jobs1[-1]} s, zolehead -j $(nproc) ${jobsN[-1]} s"
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
c=$(median "${copy[@]}"); a=$(median "${jobs1[@]}"); b=$(median "${jobsN[@]}")
echo "medians: copy loop $c s, zolehead -j 1 $a s ($(awk -v a="$a" -v c="$c" 'BEGIN { printf "%.2f", a / c }') times), -j $(nproc) $b s ($(awk -v b="$b" -v c="$c" 'BEGIN { printf "%.2f", b / c }') times); target at most 1.3"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

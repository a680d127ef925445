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
trap 'rm -rf "$tree" "$tree.list" "$tree.time"' EXIT
echo "$(find "$tree" -type f | wc -l) files, $(du -sh "$tree" | cut -f1); $(df -T "$tree" | awk 'NR==2 {print $2}') file system"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"

# Wall time, and processor time (user + system) which the disk's flushes do
# not blur: "WALL CPU".
measure() {
  /usr/bin/time -o "$tree.time" -f "%e %U %S" "$@" >/dev/null 2>&1
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$tree.time"
}
declare -a copy_wall copy_cpu one_wall one_cpu all_wall all_cpu
for round in $(seq 1 "$rounds"); do
  sync
  read -r w c < <(measure sh -c "'$build/bench/zolehead_copy_loop' <'$tree.list'")
  copy_wall+=("$w"); copy_cpu+=("$c")
  sync
  read -r w c < <(measure "$build/cli/zolehead" set -r -j 1 --no-progress "Title=round $round a" "$tree")
  one_wall+=("$w"); one_cpu+=("$c")
  sync
  read -r w c < <(measure "$build/cli/zolehead" set -r --no-progress "Title=round $round b" "$tree")
  all_wall+=("$w"); all_cpu+=("$c")
  echo "round $round (wall s / cpu s): copy loop ${copy_wall[-1]} / ${copy_cpu[-1]}," \
       "zolehead -j 1 ${one_wall[-1]} / ${one_cpu[-1]}, zolehead -j $(nproc) ${all_wall[-1]} / ${all_cpu[-1]}"
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
cw=$(median "${copy_wall[@]}"); cc=$(median "${copy_cpu[@]}")
ow=$(median "${one_wall[@]}"); oc=$(median "${one_cpu[@]}")
aw=$(median "${all_wall[@]}"); ac=$(median "${all_cpu[@]}")
echo "medians, wall: copy loop $cw s, zolehead -j 1 $ow s ($(ratio "$ow" "$cw") times), -j $(nproc) $aw s ($(ratio "$aw" "$cw") times); target at most 1.3"
echo "medians, cpu:  copy loop $cc s, zolehead -j 1 $oc s ($(ratio "$oc" "$cc") times), -j $(nproc) $ac s ($(ratio "$ac" "$cc") times)"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"

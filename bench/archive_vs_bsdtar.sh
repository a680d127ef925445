#!/usr/bin/env bash
# Reading every entry of an archive with `zolehead -z` against extracting it
# to standard output with `bsdtar -xOf` (libarchive-tools), side by side with
# hyperfine: a ZIP (deflate) and an LZH (lh5) of the benchmark collection,
# and for the LZH also `lha p`. The bar: at most 1.2 times the faster one.
# Usage: bench/archive_vs_bsdtar.sh BUILD_DIR [FILES [BYTES_EACH]]
#   BUILD_DIR holds bench/zolehead_make_corpus and cli/zolehead (configure it
#   with -DZOLEHEAD_BUILD_BENCHMARKS=ON); default 10000 files of about 20 KiB.
#   ZOLEHEAD_ARCHIVE_BENCH_DIR keeps the archives there for the next run
#   (packing the LZH with lha, a Java program, takes a minute or more).
set -euo pipefail
build=${1:?usage: $0 BUILD_DIR [FILES [BYTES_EACH]]}
build=$(cd "$build" && pwd)
files=${2:-10000}
bytes=${3:-20480}
for tool in hyperfine bsdtar zip lha; do
  command -v "$tool" >/dev/null || { echo "archive_vs_bsdtar: $tool is not installed" >&2; exit 1; }
done

if [ -n "${ZOLEHEAD_ARCHIVE_BENCH_DIR:-}" ]; then
  work=$ZOLEHEAD_ARCHIVE_BENCH_DIR
  mkdir -p "$work"
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-archive-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
zip_file="$work/songs-$files-$bytes.zip"
lzh_file="$work/songs-$files-$bytes.lzh"
if [ ! -f "$zip_file" ] || [ ! -f "$lzh_file" ]; then
  tree="$work/tree"
  rm -rf "$tree" "$zip_file" "$lzh_file"
  "$build/bench/zolehead_make_corpus" "$tree" "$files" "$bytes"
  (cd "$tree" && zip -q -r -X "$zip_file" . && lha ao5 "$lzh_file" . >/dev/null)
  rm -rf "$tree"
fi

zolehead="$build/cli/zolehead -z --jsonl --no-progress"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), $(nproc) processors"
echo "archives: $(du -h "$zip_file" | cut -f1) ZIP, $(du -h "$lzh_file" | cut -f1) LZH, $files entries each"
[ "$($zolehead "$zip_file" | wc -l)" -eq "$files" ] || { echo "archive_vs_bsdtar: wrong record count" >&2; exit 1; }
hyperfine --warmup 1 --runs 10 -N \
  "bsdtar -xOf $zip_file" \
  "$zolehead $zip_file"
hyperfine --warmup 1 --runs 5 -N \
  "bsdtar -xOf $lzh_file" \
  "lha p $lzh_file" \
  "$zolehead $lzh_file"

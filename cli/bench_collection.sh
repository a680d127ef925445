#!/usr/bin/env bash
# Times zolehead over a collection of small files against `grep -rc` of a
# fixed string over the same tree (the bar: no slower at -j 2).
# Usage: cli/bench_collection.sh path/to/zolehead [files] [jobs]
set -euo pipefail
tool=${1:?usage: $0 path/to/zolehead [files] [jobs]}
files=${2:-20000}
jobs=${3:-2}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

python3 - "$here/samples" "$work/tree" "$files" <<'PY'
import os, random, sys
samples, tree, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
heads = [open(os.path.join(samples, n), "rb").read() for n in sorted(os.listdir(samples)) if n.endswith(".zole")]
rng = random.Random(1)
for i in range(count):
    folder = os.path.join(tree, "d%03d" % (i // 200))
    os.makedirs(folder, exist_ok=True)
    body = b"A t120 l8 o4 cdefgab>c<bagfedc\n" * rng.randint(5, 40)
    with open(os.path.join(folder, "song%05d.zole" % i), "wb") as f:
        f.write(heads[i % len(heads)] + body)
PY

grep -rc SC-88Pro "$work/tree" >/dev/null  # warm the page cache

# The commands take turns, round after round, so that a busy machine slows
# them alike; each gets the median of its rounds.
commands=("grep -rc SC-88Pro $work/tree")
for format in jsonl table csv; do
  commands+=("$tool -j $jobs --no-progress --$format -r $work/tree")
done
declare -A times
for _ in 1 2 3 4 5 6 7 8 9; do
  for i in "${!commands[@]}"; do
    start=$(date +%s%N)
    ${commands[$i]} >/dev/null
    end=$(date +%s%N)
    times[$i]+="$(( (end - start) / 1000000 )) "
  done
done

echo "files: $files"
for i in "${!commands[@]}"; do
  median=$(printf '%s\n' ${times[$i]} | sort -n | sed -n 5p)
  printf '%6s ms  %s\n' "$median" "${commands[$i]/$work\//}"
done

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under ASan+UBSan and runs each for a
# bounded time (ZOLEHEAD_FUZZ_SECONDS, default 40) over the seed corpus and the
# dictionary. A finding fails the stage; the input that caused it is kept in
# build-fuzz/findings/ and the full log in build-fuzz/logs/.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${ZOLEHEAD_FUZZ_SECONDS:-40}
build=build-fuzz
targets=(fuzz_core fuzz_c_api fuzz_archive fuzz_explain fuzz_edit_planner fuzz_edit_sheet fuzz_serve_request)

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZOLEHEAD_BUILD_FUZZERS=ON -DZOLEHEAD_SANITIZE=address,undefined \
  -DZOLEHEAD_BUILD_TESTS=OFF -DZOLEHEAD_BUILD_CLI=ON
cmake --build "$build" -j2 --target "${targets[@]}"

# The first directory collects what the run finds; the seeds are only read.
seeds=(fuzz/corpus)
[ -d samples ] && seeds+=(samples)
mkdir -p "$build/findings" "$build/logs"

failed=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  log="$build/logs/$target.log"
  mkdir -p "$corpus"
  # A target may bring its own dictionary and seeds (fuzz/TARGET.dict, fuzz/corpus_TARGET/).
  dict=fuzz/zolehead.dict
  [ -f "fuzz/$target.dict" ] && dict="fuzz/$target.dict"
  target_seeds=("${seeds[@]}")
  [ -d "fuzz/corpus_$target" ] && target_seeds+=("fuzz/corpus_$target")
  # An xz or 7z stream may name a dictionary of up to 4 GiB, which liblzma
  # reserves with malloc but only touches as far as it decodes (the entry
  # limit bounds that). The archive target runs as a machine with less
  # address space would: such a malloc fails and the entry gets its error.
  # Our own C++ allocations still report, and the RSS limit still holds.
  extra=()
  asan_options=${ASAN_OPTIONS:-}
  if [ "$target" = fuzz_archive ]; then
    extra=(-malloc_limit_mb=8192)
    asan_options="${asan_options:+$asan_options:}allocator_may_return_null=1:max_allocation_size_mb=1024"
  fi
  echo "--- $target: ${seconds} s"
  if ASAN_OPTIONS="$asan_options" "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 "${extra[@]}" \
       -dict="$dict" -artifact_prefix="$build/findings/$target-" \
       "$corpus" "${target_seeds[@]}" >"$log" 2>&1; then
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" || true
  else
    tail -n 60 "$log" >&2
    echo "$target: FINDING (input kept under $build/findings/)" >&2
    failed=1
  fi
done
exit "$failed"

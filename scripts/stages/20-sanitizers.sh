#!/usr/bin/env bash
# The test suite under sanitizers: everything under ASan+UBSan (build-asan),
# and the threading tests (ctest label "threads") under TSan (build-tsan).
# Any report fails the test that caused it: sanitizers never recover here.
set -euo pipefail
cd "$(dirname "$0")/../.."

jobs=$(( $(nproc) < 2 ? $(nproc) : 2 ))
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

build_with() {
  local dir=$1 sanitize=$2
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOLEHEAD_SANITIZE="$sanitize" \
    -DZOLEHEAD_BUILD_TESTS=ON -DZOLEHEAD_BUILD_CLI=ON -DZOLEHEAD_BUILD_PYTHON=ON
  cmake --build "$dir" -j"$jobs"
}

echo "--- ASan + UBSan: the whole suite"
build_with build-asan "address,undefined"
ctest --test-dir build-asan --output-on-failure --no-tests=error -j"$jobs"

echo "--- TSan: the threading tests"
build_with build-tsan "thread"
ctest --test-dir build-tsan --output-on-failure --no-tests=error -j"$jobs" -L threads

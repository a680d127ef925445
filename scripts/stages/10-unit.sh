#!/usr/bin/env bash
# The library, the tool, the Python package and their tests, in a Release build.
set -euo pipefail
cd "$(dirname "$0")/../.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DZOLEHEAD_BUILD_PYTHON=ON
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"

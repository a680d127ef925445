#!/usr/bin/env bash
# Usage: check_exports.sh LIBRARY EXPECTED_LIST
# Fails unless the library's defined dynamic symbols are exactly the list, and
# the library carries a SONAME.
set -euo pipefail
lib=$1 expected=$2
actual=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//' | LC_ALL=C sort)
want=$(LC_ALL=C sort "$expected")
if [ "$actual" != "$want" ]; then
  echo "exports differ (< expected, > actual):"
  diff <(echo "$want") <(echo "$actual") || true
  exit 1
fi
readelf -d "$lib" | grep -q 'SONAME.*libZoleHead\.so\.' || { echo "no SONAME"; exit 1; }
echo "exports: $(echo "$actual" | wc -l) names, as expected"

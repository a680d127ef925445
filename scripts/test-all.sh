#!/usr/bin/env bash
# Runs the whole test suite on a fresh machine: installs what is missing, then
# runs every stage in scripts/stages in order. ZOLEHEAD_STAGES="unit windows"
# picks stages by name.
set -euo pipefail
cd "$(dirname "$0")/.."

"$(pwd)/scripts/install-deps.sh"

failed=()
for stage in scripts/stages/*.sh; do
  name=$(basename "$stage" .sh)
  name=${name#*-}
  if [ -n "${ZOLEHEAD_STAGES:-}" ] && [[ " ${ZOLEHEAD_STAGES} " != *" $name "* ]]; then continue; fi
  echo "=== stage: $name ==="
  start=$(date +%s)
  if bash "$stage"; then
    echo "=== stage $name passed ($(( $(date +%s) - start )) s) ==="
  else
    echo "=== stage $name FAILED ===" >&2
    failed+=("$name")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "failed stages: ${failed[*]}" >&2
  exit 1
fi
echo "all stages passed"

#!/usr/bin/env bash
# Runs the whole test suite on a fresh machine: installs what is missing, then
# runs every stage in scripts/stages in order. ZOLEHEAD_STAGES="unit windows"
# picks stages by name.
#
# Every stage runs, whatever the installer managed: a stage whose tools are
# missing fails. The one thing that may be left out for want of packages is
# running the 32-bit DLL under Wine when wine32:i386 cannot be installed (an
# i386 index mid-sync, say); the windows stage then reports it as skipped.
# The run ends with one line: "N passed, M failed, K skipped".
set -uo pipefail
cd "$(dirname "$0")/.."

results=$(mktemp "${TMPDIR:-/tmp}/zolehead-results.XXXXXX")
deps_report=$(mktemp "${TMPDIR:-/tmp}/zolehead-deps.XXXXXX")
# Each stage's output is kept too, so that the end of the run can say again
# why a stage failed: a long run's log is often seen only by its last lines.
stage_logs=$(mktemp -d "${TMPDIR:-/tmp}/zolehead-stages.XXXXXX")
trap 'rm -rf "$results" "$deps_report" "$stage_logs"' EXIT
# Stages record what they ran here (see record_result in scripts/stages/lib.sh),
# and read what the installer could not install.
export ZOLEHEAD_RESULTS="$results" ZOLEHEAD_DEPS_REPORT="$deps_report"

./scripts/install-deps.sh
deps_status=$?
if [ "$deps_status" -ne 0 ]; then
  echo "test-all: some packages could not be installed (install-deps exit $deps_status); every stage runs anyway" >&2
fi

failed_stages=()
for stage in scripts/stages/[0-9]*.sh; do
  name=$(basename "$stage" .sh)
  name=${name#*-}
  if [ -n "${ZOLEHEAD_STAGES:-}" ] && [[ " ${ZOLEHEAD_STAGES} " != *" $name "* ]]; then continue; fi
  echo "=== stage: $name ==="
  start=$(date +%s)
  before=$(wc -l <"$results")
  # stdout and stderr each still go where they went, and to a file; the
  # pipelines end only when the stage and both copies have.
  { { bash "$stage"; echo $? >"$stage_logs/$name.status"; } 2>&1 1>&3 3>&- |
      tee "$stage_logs/$name.err" >&2 3>&-; } 3>&1 | tee "$stage_logs/$name.out"
  status=$(cat "$stage_logs/$name.status")
  seconds=$(( $(date +%s) - start ))
  # A stage that records its parts itself counts as those parts; any other
  # counts as one. A failing exit always counts as a failure.
  recorded=$(tail -n +"$((before + 1))" "$results")
  if [ -z "$recorded" ]; then
    if [ "$status" -eq 0 ]; then echo "pass	$name" >>"$results"; else echo "fail	$name" >>"$results"; fi
  elif [ "$status" -ne 0 ] && ! grep -q '^fail' <<<"$recorded"; then
    echo "fail	$name" >>"$results"
  fi
  if [ "$status" -eq 0 ]; then
    echo "=== stage $name passed ($seconds s) ==="
  else
    echo "=== stage $name FAILED ($seconds s) ===" >&2
    failed_stages+=("$name")
  fi
done

passed=$(grep -c '^pass' "$results")
failed=$(grep -c '^fail' "$results")
skipped=$(grep -c '^skip' "$results")
if [ "$failed" -gt 0 ]; then
  for name in "${failed_stages[@]}"; do
    echo "--- the last lines stage $name wrote, to stdout and to stderr:" >&2
    tail -n 30 "$stage_logs/$name.out" >&2
    tail -n 40 "$stage_logs/$name.err" >&2
  done
  echo "failed: $(grep '^fail' "$results" | cut -f2 | paste -sd' ')" >&2
fi
summary="$passed passed, $failed failed, $skipped skipped"
if [ "$skipped" -gt 0 ]; then
  summary+=" ($(grep '^skip' "$results" | cut -f2- | sed 's/\t/: /' | paste -sd';' | sed 's/;/; /g'))"
fi
echo "$summary"
[ "$failed" -eq 0 ]

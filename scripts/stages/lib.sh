# Sourced by the stages that report their parts one by one to test-all.sh.

# record_result pass|fail|skip NAME [REASON]
record_result() {
  [ -n "${ZOLEHEAD_RESULTS:-}" ] || return 0
  if [ $# -ge 3 ]; then
    printf '%s\t%s\t%s\n' "$1" "$2" "$3" >>"$ZOLEHEAD_RESULTS"
  else
    printf '%s\t%s\n' "$1" "$2" >>"$ZOLEHEAD_RESULTS"
  fi
}

# Sourced by the set-up scripts: runs each long step with one line on the screen and its output
# (installer, compiler, tests) in a log file, shown only when the step fails.
#
#   steps_log FILE          where the output goes (the file is started anew)
#   step LABEL COMMAND...   prints "== LABEL ... done in 2m41s"; on failure the log's tail and path,
#                           and returns the command's exit code. A shell function run as COMMAND may
#                           set STEP_NOTE (e.g. test counts) to be shown after the time.

steps_log() {
  STEPS_LOG=$1
  mkdir -p "$(dirname "$STEPS_LOG")"
  : >"$STEPS_LOG"
}

took() {
  local s=$1
  if ((s < 60)); then echo "${s}s"; else echo "$((s / 60))m$(printf '%02d' $((s % 60)))s"; fi
}

step() {
  local label=$1 start=$SECONDS status=0 from
  shift
  printf '== %s ... ' "$label"
  printf '\n== %s\n' "$label" >>"$STEPS_LOG"
  from=$(stat -c %s "$STEPS_LOG")
  "$@" >>"$STEPS_LOG" 2>&1 </dev/null || status=$?
  if ((status == 0)); then
    echo "done in $(took $((SECONDS - start)))${STEP_NOTE:+ ($STEP_NOTE)}"
  else
    echo "FAILED after $(took $((SECONDS - start))) (exit code $status)${STEP_NOTE:+ ($STEP_NOTE)}"
    # A test's own failure lines first: a long suite's tail rarely shows them.
    tail -c +$((from + 1)) "$STEPS_LOG" | grep -A 3 -E '^FAIL!|^[0-9]+: FAIL!' | head -n 40 | sed 's/^/   ! /' || true
    tail -c +$((from + 1)) "$STEPS_LOG" | tail -n 30 | sed 's/^/   | /'
    echo "   the whole output: $STEPS_LOG"
  fi
  STEP_NOTE=
  return $status
}

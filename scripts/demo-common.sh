# Sourced by the demonstrations (demo.sh, demo-lims.sh, demo-mgc.sh): their --keep option, their
# folder in /tmp and the processes they start.
#
#   demo_options ARGS...   takes --keep (the folder stays after the demonstration); sets DEMO_ARGS
#                          to the other arguments
#   demo_folder PREFIX     makes the demonstration's folder ($work); at the end the processes in
#                          pids are stopped and the folder is removed, unless --keep was given

DEMO_KEEP=0
DEMO_ARGS=()
demo_options() {
  local a
  for a in "$@"; do
    if [ "$a" = --keep ]; then DEMO_KEEP=1; else DEMO_ARGS+=("$a"); fi
  done
}

demo_end() {
  local code=$? p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  if [ -n "${work:-}" ] && [ -d "$work" ]; then
    if ((DEMO_KEEP)); then
      echo "the demonstration's folder (ini, database, logs) is kept: $work; remove it with: rm -rf $work"
    else
      rm -rf "$work"
      echo "the demonstration's folder was removed (--keep keeps its ini, database and logs)"
    fi
  fi
  exit "$code"
}

demo_folder() {
  work=$(mktemp -d "/tmp/$1.XXXXXX")
  pids=()
  trap demo_end EXIT
}

# demo_explain DATABASE LOGFILE...: says what the terse lines of the communication log mean, and
# which rule changed a value on its way from Raw_Results to results. Only what the output shows.
demo_explain() {
  local db=$1 pattern meaning whole
  shift
  echo "== reading the output"
  while IFS='|' read -r pattern meaning; do
    whole=-x # a status note is the whole line; the header's field is part of one
    [[ $pattern == Monitor:* ]] || whole=
    if grep -qF $whole -- "$pattern" "$@"; then printf '%-27s %s\n' "$pattern" "$meaning"; fi
  done <<'LINES'
Monitor: spe|an order inquiry answered: the tests ordered for the sample went to the analyzer
Monitor: rep|the analyzer asked for the last answer again ({STX}?{ETX}), and it was sent again
Monitor: LIMS OFFLINE!|nothing came on the LIMS line for a while; with no LIMS side (/outtype, /outcom) a note only
Monitor: ANALYZER OFFLINE!|nothing came from the analyzer for a while
Out Com:|the header's "Out Com:  N: M": N is the LIMS port (/outcom=N), M the autovalidation mode (/autoval=M)
LINES
  # A value that autovalidation clipped to the measuring range (the AU's F flag first makes it 99999).
  sqlite3 "$db" "
    SELECT w.sample_id || ' ' || t.short || ': '
        || CASE WHEN w.data_alarm = 'F' AND w.result = 99999
                THEN 'sent flagged F (an AU value over the analyzer''s range), which is stored as 99999'
                ELSE 'received ' || printf('%g', w.result)
                     || CASE WHEN COALESCE(w.data_alarm, '') <> '' THEN ' flagged ' || w.data_alarm ELSE '' END
           END
        || ', validated as ' || printf('%g', r.result)
        || ': a result above the test''s measuring range is validated as its upper limit (test_def.range_high '
        || printf('%g', t.range_high) || ')'
    FROM results r
    JOIN test_def t ON t.parameter_id = r.parameter_id
    JOIN Raw_Results w ON w.sample_id = r.sample_id AND w.parameter_id = r.parameter_id
                      AND w.analyzer_id = r.analyzer_id
    WHERE w.result > t.range_high AND r.result = t.range_high
    ORDER BY w.sample_id, w.parameter_id;"
}

#!/usr/bin/env bash
# The quality-control demonstration: a simulated Hitachi 911 sends a control series whose last run
# lies 4 SD off its assigned target, then patient samples, to `quorlix --headless` with QcHold=1.
# Prints the rule event, the hold and the samples it kept from autovalidation, and the log.
# `--keep` keeps the demonstration's folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/demo-common.sh"
demo_options "$@"
source "$root/scripts/steps.sh"
steps_log "$root/build-logs/demo-qc.log"
step "installing the Debian packages" "$root/scripts/install-deps.sh"
step "building build/ (quorlix and quorlix-sim)" "$root/scripts/build.sh" "$root/build" --target quorlix --target quorlix-sim
bin=$root/build/bin

demo_folder quorlix-qc-demo
mkdir -p "$work/logs"
cat > "$work/quorlix.ini" <<INI
; Quorlix quality-control demonstration site
database=lab.db
ComLogPath=$work/logs
controlmask=QC????
com1=$work/analyzer
QcHold=1
INI

echo "== creating the demonstration laboratory database, with assigned targets for glucose of QC0001"
"$bin/quorlix" --config "$work/quorlix.ini" --init-db --demo-data
sqlite3 "$work/lab.db" "INSERT INTO control_targets (control_id, parameter_id, analyzer_id, mean, sd, valid_from)
  VALUES ('QC0001', 1, 'HIT911', 90, 2, '2026-01-01 00:00:00');"

echo "== the simulated Hitachi 911 creates its line (a pseudo-terminal) and waits for its host"
# --hold: after its summary the simulator keeps the line open, so that quorlix is stopped first.
"$bin/quorlix-sim" --pty "$work/analyzer" --start-delay 2000 --hold "$root/tools/sim/scripts/demo-qc.sim" > "$work/sim.out" &
simpid=$!
pids+=($simpid)
for _ in $(seq 50); do [ -e "$work/analyzer" ] && break; sleep 0.1; done

echo "== quorlix --headless /id=HIT911 /type=H911 /com=1 /autoval=2 (QcHold=1 in the ini)"
"$bin/quorlix" --config "$work/quorlix.ini" --headless /id=HIT911 /type=H911 /com=1 /autoval=2 &
qpid=$!
pids+=($qpid)
for _ in $(seq 1200); do
  grep -q '^sim: sent ' "$work/sim.out" && break
  kill -0 "$simpid" 2>/dev/null || break
  sleep 0.1
done
summary=$(grep '^sim: sent ' "$work/sim.out" || echo "sim: no summary (see $work/sim.out)")
echo "== the analyzer's side of the dialogue"
cat "$work/sim.out"
kill -TERM "$qpid"
qstatus=0
wait "$qpid" || qstatus=$?
if ((qstatus == 0)); then stopped="quorlix stopped (exit code 0)"; else stopped="quorlix stopped with exit code $qstatus"; fi
echo "$stopped"
kill -TERM "$simpid" 2>/dev/null || true
simstatus=0
wait "$simpid" || simstatus=$?
pids=()

show() { echo "== $1"; sqlite3 -header -column "$work/lab.db" "$2"; }
show "control_targets (assigned)" "SELECT control_id, parameter_id, analyzer_id, mean, sd, valid_from FROM control_targets;"
show "control_results of glucose (z against 90 +- 2)" \
  "SELECT control_id, time_stamp, result, printf('%+.2f', (result - 90) / 2.0) AS z FROM control_results
   WHERE control_id = 'QC0001' AND parameter_id = 1 ORDER BY time_stamp;"
show "control_rule_events (the rules that fired)" \
  "SELECT control_id, parameter_id, analyzer_id, time_stamp, rule, severity, printf('%+.2f', z_score) AS z
   FROM control_rule_events ORDER BY time_stamp, rule;"
show "qc_holds (glucose held from the rejected control to the passing one)" \
  "SELECT parameter_id, analyzer_id, held_from, control_id, released_at, released_by FROM qc_holds;"
show "glucose of the two samples: 10385236 measured under the hold waits in request" \
  "SELECT 'request' AS tbl, sample_id, result, time_stamp FROM request WHERE parameter_id = 1 AND result IS NOT NULL
   UNION ALL SELECT 'results', sample_id, result, meas_time_stamp FROM results WHERE parameter_id = 1 ORDER BY 2;"
echo "== communication log"
cat "$work"/logs/*_log.txt
demo_explain "$work/lab.db" "$work"/logs/*_log.txt
if grep -q 'Monitor: QC ' "$work"/logs/*_log.txt; then
  grep -h 'Monitor: QC ' "$work"/logs/*_log.txt | sed 's/^.*Monitor: /  /'
  echo "  1-3s: one result beyond 3 SD of its target rejects the run; 1-2s (beyond 2 SD) only warns."
  echo "  With QcHold=1 a rejection holds the parameter on this analyzer: its patient results are filed"
  echo "  but wait in request for a person, until a later control of it passes."
else
  echo "  no quality-control lines in the log"
fi
echo "== summary"
echo "$summary"
echo "$stopped"
((qstatus == 0)) || exit "$qstatus"
exit $simstatus

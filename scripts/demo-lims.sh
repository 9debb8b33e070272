#!/usr/bin/env bash
# The LIMS demonstration: quorlix between a simulated Hitachi 902 and a simulated LIMS that plays
# the Hitachi host (the Hitachi 912 emulation, out-type invH912), each on its own pseudo-terminal.
# Prints both sides of the dialogue, the rows the orders and results left, and the log. `--keep`
# keeps the demonstration's folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/demo-common.sh"
demo_options "$@"
source "$root/scripts/steps.sh"
steps_log "$root/build-logs/demo-lims.log"
step "installing the Debian packages" "$root/scripts/install-deps.sh"
step "building build/ (quorlix and quorlix-sim)" "$root/scripts/build.sh" "$root/build" --target quorlix --target quorlix-sim
bin=$root/build/bin

demo_folder quorlix-lims-demo
mkdir -p "$work/logs"
cat > "$work/quorlix.ini" <<INI
; Quorlix LIMS demonstration site
database=lab.db
ComLogPath=$work/logs
com1=$work/analyzer
com2=$work/lims
INI

echo "== creating the demonstration laboratory database"
"$bin/quorlix" --config "$work/quorlix.ini" --init-db --demo-data

echo "== the simulated LIMS and Hitachi 902 create their lines (pseudo-terminals)"
# --hold: after their summaries the simulators keep their lines open, so that quorlix is stopped first.
"$bin/quorlix-sim" --pty "$work/lims" --timeout 20000 --hold "$root/tools/sim/scripts/demo-lims-host.sim" > "$work/lims.out" &
limspid=$!
pids+=($limspid)
"$bin/quorlix-sim" --pty "$work/analyzer" --timeout 10000 --start-delay 2000 --hold \
  "$root/tools/sim/scripts/demo-lims-analyzer.sim" > "$work/analyzer.out" &
analyzerpid=$!
pids+=($analyzerpid)
for _ in $(seq 50); do [ -e "$work/analyzer" ] && [ -e "$work/lims" ] && break; sleep 0.1; done

echo "== quorlix --headless /id=HIT902 /type=H902 /com=1 /outtype=invH912 /outcom=2 /outid=LIMS /autoval=2"
"$bin/quorlix" --config "$work/quorlix.ini" --headless /id=HIT902 /type=H902 /com=1 \
  /outtype=invH912 /outcom=2 /outid=LIMS /autoval=2 &
qpid=$!
pids+=($qpid)
# Each script is done when its simulator prints its summary (or gives up and exits).
for out_pid in "$work/analyzer.out:$analyzerpid" "$work/lims.out:$limspid"; do
  for _ in $(seq 1200); do
    grep -q '^sim: sent ' "${out_pid%:*}" && break
    kill -0 "${out_pid##*:}" 2>/dev/null || break
    sleep 0.1
  done
done
echo "== the analyzer's side"
cat "$work/analyzer.out"
echo "== the LIMS's side"
cat "$work/lims.out"
kill -TERM "$qpid"
status=0
wait "$qpid" || status=$?
if ((status == 0)); then echo "quorlix stopped (exit code 0)"; else echo "quorlix stopped with exit code $status"; fi
kill -TERM "$analyzerpid" "$limspid" 2>/dev/null || true
wait "$analyzerpid" || status=$?
wait "$limspid" || status=$?
pids=()

show() { echo "== $1"; sqlite3 -header -column "$work/lab.db" "$2"; }
show "sample_base and patients (from the LIMS's orders)" \
  "SELECT s.sample_id, s.sample_pos, s.p_id, p.surname, p.forename, s.si_id, s.cust_id, s.collector, s.coll_dat
   FROM sample_base s LEFT JOIN patients p ON p.p_id = s.p_id WHERE s.sample_id LIKE '2401%' ORDER BY s.sample_id;"
show "results (validated, sent to the LIMS)" \
  "SELECT sample_id, parameter_id, result, interpretation, suspicious FROM results WHERE sample_id LIKE '2401%'
   ORDER BY sample_id, parameter_id;"
show "request and req2send left (none: everything was validated and sent)" \
  "SELECT 'request', COUNT(*) FROM request WHERE sample_id LIKE '2401%' UNION ALL SELECT 'req2send', COUNT(*) FROM req2send;"
echo "== communication log"
cat "$work"/logs/*_log.txt
demo_explain "$work/lab.db" "$work"/logs/*_log.txt
exit $status

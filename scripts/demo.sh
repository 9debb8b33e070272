#!/usr/bin/env bash
# The main job on the embedded default: a demonstration laboratory database (SQLite), a simulated
# analyzer line on a pseudo-terminal, and `quorlix --headless` serving it. Prints what the
# interface wrote into the database and its communication log. The output of installing and
# building goes into build-logs/demo.log (its tail is shown when a step fails). `demo.sh --help`
# lists the demonstrations.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/demo-common.sh"

usage() {
  cat <<'USAGE'
Usage: bash scripts/demo.sh [--keep] [DEMONSTRATION]

Builds quorlix, lets a simulated analyzer talk to `quorlix --headless` and shows what reached the
demonstration's laboratory database and the communication log. The demonstrations:

  hitachi   a Hitachi 911 (the default)
  au        an Olympus AU400
  indiko    a Thermo Indiko (ASTM)
  lims      a Hitachi 902 whose results go on to a LIMS (the Hitachi 912 emulation)
  mgc       an MGC240 read from its own database
  qc        quality control: a Hitachi 911's control series with a shift, one rejection and the
            hold of autovalidation it causes (QcHold=1)

  --keep    keep the demonstration's folder in /tmp (ini, database, logs) afterwards
  --help    show this text
USAGE
}
demo_options "$@"
set -- "${DEMO_ARGS[@]}"
keep=()
((DEMO_KEEP)) && keep=(--keep)
if (($# > 1)); then
  usage >&2
  exit 2
fi
case "${1:-hitachi}" in
  -h | --help)
    usage
    exit 0
    ;;
  lims) exec bash "$root/scripts/demo-lims.sh" "${keep[@]}" ;;
  mgc) exec bash "$root/scripts/demo-mgc.sh" "${keep[@]}" ;;
  qc) exec bash "$root/scripts/demo-qc.sh" "${keep[@]}" ;;
  hitachi) analyzer="Hitachi 911"; id=HIT911; type=H911; script=demo-911.sim ;;
  au) analyzer="Olympus AU400"; id=AU400; type=OAU400; script=demo-au400.sim ;;
  indiko) analyzer="Thermo Indiko"; id=IND1; type=IND; script=demo-indiko.sim ;;
  *)
    echo "demo.sh: there is no demonstration \"$1\"" >&2
    usage >&2
    exit 2
    ;;
esac
source "$root/scripts/steps.sh"
steps_log "$root/build-logs/demo.log"
step "installing the Debian packages" "$root/scripts/install-deps.sh"
step "building build/ (quorlix and quorlix-sim)" "$root/scripts/build.sh" "$root/build" --target quorlix --target quorlix-sim
bin=$root/build/bin

demo_folder quorlix-demo
mkdir -p "$work/logs"
cat > "$work/quorlix.ini" <<INI
; Quorlix demonstration site
database=lab.db
ComLogPath=$work/logs
controlmask=QC????
shiftlen=8
firstshift=06:00
com1=$work/analyzer
INI

echo "== creating the demonstration laboratory database"
"$bin/quorlix" --config "$work/quorlix.ini" --init-db --demo-data

echo "== the simulated $analyzer creates its line (a pseudo-terminal) and waits for its host"
# --hold: after its summary the simulator keeps the line open, so that quorlix is stopped first.
"$bin/quorlix-sim" --pty "$work/analyzer" --start-delay 2000 --hold "$root/tools/sim/scripts/$script" > "$work/sim.out" &
simpid=$!
pids+=($simpid)
for _ in $(seq 50); do [ -e "$work/analyzer" ] && break; sleep 0.1; done

echo "== quorlix --headless /id=$id /type=$type /com=1 /autoval=2"
"$bin/quorlix" --config "$work/quorlix.ini" --headless /id=$id /type=$type /com=1 /autoval=2 &
qpid=$!
pids+=($qpid)
# The script is done when the simulator prints its summary (or gives up and exits).
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
show "request (orders still open, or filled and not yet validated)" \
  "SELECT sample_id, parameter_id, analyzer_id, time_stamp, result, data_alarm FROM request ORDER BY sample_id, parameter_id;"
show "results (validated)" \
  "SELECT sample_id, parameter_id, result, interpretation, suspicious, analyzer_id, meas_time_stamp FROM results ORDER BY sample_id, parameter_id;"
show "Raw_Results (every value as received)" \
  "SELECT sample_id, parameter_id, analyzer_id, time_stamp, result, data_alarm FROM Raw_Results ORDER BY rowid;"
show "control_results" \
  "SELECT control_id, parameter_id, analyzer_id, time_stamp, result FROM control_results ORDER BY rowid;"
show "calibrations" "SELECT analyzer_id, calib_dat, parameter_id, std_count, s11abs, s11ini, s1conz FROM calibrations;"
show "quorlix_log" "SELECT time_stamp, log_key, log_val FROM quorlix_log ORDER BY rowid;"
echo "== communication log"
cat "$work"/logs/*_log.txt
demo_explain "$work/lab.db" "$work"/logs/*_log.txt
echo "== summary"
echo "$summary"
echo "$stopped"
((qstatus == 0)) || exit "$qstatus"
exit $simstatus

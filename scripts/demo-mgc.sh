#!/usr/bin/env bash
# The MGC240 cycle on the embedded default: a demonstration laboratory database (SQLite), the
# MGC240's own database as a SQLite file played by quorlix-mgc-sim, and `quorlix --headless` as type
# MGC between them. Prints what went into both databases and the communication log. The output of
# installing and building goes into build-logs/demo-mgc.log; `--keep` keeps the demonstration's
# folder. Also run as `demo.sh mgc`.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/demo-common.sh"
demo_options "$@"
source "$root/scripts/steps.sh"
steps_log "$root/build-logs/demo-mgc.log"
step "installing the Debian packages" "$root/scripts/install-deps.sh"
step "building build/ (quorlix and quorlix-mgc-sim)" "$root/scripts/build.sh" "$root/build" --target quorlix \
  --target quorlix-mgc-sim
bin=$root/build/bin

demo_folder quorlix-mgc-demo
mkdir -p "$work/logs"
cat > "$work/quorlix.ini" <<INI
; Quorlix demonstration site with an MGC240
database=lab.db
ComLogPath=$work/logs
mgcdriver=sqlite
AccessPath=mgc240.db
INI

echo "== creating the demonstration laboratory database; MGC1 measures glucose, creatinine and triglycerides"
"$bin/quorlix" --config "$work/quorlix.ini" --init-db --demo-data
sqlite3 "$work/lab.db" <<'SQL'
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, 'MGC1', 1);
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (2, 'MGC1', 2);
INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (7, 'MGC1', 7);
INSERT INTO calib_base (analyzer_id, param_id, stdcount, c1, c2) VALUES ('MGC1', 1, 2, 0, 100);
INSERT INTO analyzers (analyzer_id, com_port) VALUES ('MGC1', 1);
SQL

echo "== the MGC240's database: its tables, its items and a calibration of glucose"
"$bin/quorlix-mgc-sim" --db "$work/mgc240.db" --init --calibrate 1

echo "== quorlix --headless /id=MGC1 /type=MGC, and the simulated MGC240 measuring for 16 s"
"$bin/quorlix" --config "$work/quorlix.ini" --headless /id=MGC1 /type=MGC &
qpid=$!
pids+=($qpid)
"$bin/quorlix-mgc-sim" --db "$work/mgc240.db" --interval 1000 --duration 16
kill -TERM "$qpid"
status=0
wait "$qpid" || status=$?
pids=()
if ((status == 0)); then echo "quorlix stopped (exit code 0)"; else echo "quorlix stopped with exit code $status"; fi

show() { echo "== $1"; sqlite3 -header -column "$2" "$3"; }
show "samp_odr (the MGC240's orders)" "$work/mgc240.db" \
  "SELECT samp_id, fdate, samp_no, samp_state, ord_total FROM samp_odr ORDER BY samp_no;"
show "samp_dat (the MGC240's items)" "$work/mgc240.db" \
  "SELECT samp_id, item_no, item_name, data_state, conc_data, rst_Date FROM samp_dat ORDER BY samp_id, item_no;"
show "request (parameters without a channel on MGC1 stay open)" "$work/lab.db" \
  "SELECT sample_id, parameter_id, analyzer_id, time_stamp, result FROM request ORDER BY sample_id, parameter_id;"
show "control_results" "$work/lab.db" \
  "SELECT control_id, parameter_id, analyzer_id, time_stamp, result FROM control_results ORDER BY rowid;"
show "control_block" "$work/lab.db" "SELECT control_id, parameter_id, analyzer_id FROM control_block ORDER BY 1, 2;"
show "calibrations" "$work/lab.db" \
  "SELECT analyzer_id, calib_dat, parameter_id, std_count, s11abs, s12abs, s1conz, s21abs, s2conz FROM calibrations;"
show "analyzers" "$work/lab.db" "SELECT analyzer_id, com_port FROM analyzers WHERE analyzer_id = 'MGC1';"
echo "== communication log"
cat "$work"/logs/*_log.txt
exit $status

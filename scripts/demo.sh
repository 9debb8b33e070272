#!/usr/bin/env bash
# The main job on the embedded default: a demonstration laboratory database (SQLite), a simulated
# analyzer line on a pseudo-terminal, and `quorlix --headless` serving it. Prints what the
# interface wrote into the database and its communication log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build" >/dev/null
bin=$root/build/bin

work=$(mktemp -d /tmp/quorlix-demo.XXXXXX)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; }
trap cleanup EXIT
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

echo "== a pseudo-terminal pair: the analyzer line"
socat pty,raw,echo=0,link="$work/analyzer" pty,raw,echo=0,link="$work/sim" &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/sim" ] && break; sleep 0.1; done

echo "== quorlix --headless /id=HIT911 /type=H911 /com=1 /autoval=1"
"$bin/quorlix" --config "$work/quorlix.ini" --headless /id=HIT911 /type=H911 /com=1 /autoval=1 &
qpid=$!
pids+=($qpid)
sleep 4
kill -TERM "$qpid"
wait "$qpid" && echo "quorlix stopped (exit code 0)"

echo "== rows written at start-up (quorlix_log, patients)"
sqlite3 -header -column "$work/lab.db" "SELECT time_stamp, log_key, log_val FROM quorlix_log ORDER BY rowid;"
sqlite3 -header -column "$work/lab.db" "SELECT p_id, si_id, entry_date FROM patients;"
echo "== communication log"
cat "$work"/logs/*_log.txt
echo "== demonstration folder: $work"

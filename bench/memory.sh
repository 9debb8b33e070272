#!/usr/bin/env bash
# Peak resident memory of `quorlix --headless` serving 10,000 Hitachi 911 frames
# (5,000 inquiries and 5,000 result frames) from quorlix-sim over a pseudo-terminal.
#   bench/memory.sh [BIN_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin}
work=$(mktemp -d /tmp/quorlix-mem.XXXXXX)
trap 'kill $qpid 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/logs"
printf 'database=lab.db\nComLogPath=%s/logs\ncontrolmask=QC????\ncom1=%s/analyzer\n' "$work" "$work" > "$work/quorlix.ini"
"$bin/quorlix" --config "$work/quorlix.ini" --init-db --demo-data >/dev/null
{
  echo "model 911"
  echo "loop 5000"
  echo "inquiry M{n}"
  echo "results b M{n} 1=95.2 2=0.91 3=30 4=22 5=32 6=180 7=120 8=55 9=140 10=4.1"
  echo "end"
} > "$work/load.sim"
"$bin/quorlix-sim" --pty "$work/analyzer" --quiet --start-delay 2000 "$work/load.sim" > "$work/sim.out" &
simpid=$!
for _ in $(seq 50); do [ -e "$work/analyzer" ] && break; sleep 0.1; done
"$bin/quorlix" --config "$work/quorlix.ini" --headless /id=HIT911 /type=H911 /com=1 /autoval=1 &
qpid=$!
start=$(date +%s.%N)
wait $simpid || { cat "$work/sim.out"; exit 1; }
end=$(date +%s.%N)
peak=$(awk '/VmHWM/ {print $2}' /proc/$qpid/status)
kill -TERM $qpid; wait $qpid || true
tail -1 "$work/sim.out"
echo "frames: 10000 in $(awk "BEGIN{printf \"%.1f\", $end - $start - 2}") s; peak resident memory of quorlix: $((peak / 1024)) MB ($peak kB)"

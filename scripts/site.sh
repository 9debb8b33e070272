#!/usr/bin/env bash
# The site alone, at full size: every type that runs headless on one PostgreSQL database for five
# minutes, at its lines' rate, with /metrics scraped and `quorlix --status` read during the run.
# Prints one line per analyzer and the site's figures (order-reply p99, memory, locks).
#   scripts/site.sh [ANALYZERS]   32 (default) or 64: twice as many of each kind
#   QUORLIX_SITE_HEARTBEAT=0      the same run without status rows (to measure what they cost)
#   QUORLIX_SITE_SECONDS          the run's length (default 300)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
analyzers=${1:-32}
case $analyzers in
  32) scale=1 ;;
  64) scale=2 ;;
  *) echo "usage: scripts/site.sh [32|64]" >&2; exit 2 ;;
esac
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
QTEST_FUNCTION_TIMEOUT=1800000 QUORLIX_FAULTS=full QUORLIX_SITE_SCALE=$scale \
  "$root/build/tests/faults/tst_faults" site | grep -vE '^(PASS|QDEBUG|Config|\*\*\*)'

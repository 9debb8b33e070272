#!/usr/bin/env bash
# The fault suite at full size: a 30 s database outage in 300 frames, 12 SIGKILLs in a 1,000-frame
# run, line trouble, a site of 32 analyzers of every type on one PostgreSQL database for five
# minutes, hostile input; then the fault matrix, every analyzer kind under every fault that applies
# (20 samples a cell, outages of 20 s). Prints one summary line per scenario (sent, answered, stored,
# lost, doubled), one per analyzer of the site and one per cell of the matrix. Takes ~20 minutes.
#   QUORLIX_MATRIX_JOBS   cells run at once (default 6)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build"
status=0
# The site alone runs five minutes: longer than QtTest allows a test by default.
QTEST_FUNCTION_TIMEOUT=1800000 QUORLIX_FAULTS=full "$root/build/tests/faults/tst_faults" |
  grep -E '^[a-z].*: |^FAIL|^Totals' || status=1
QUORLIX_FAULTS=full "$root/build/tests/faults/tst_faultmatrix" | grep -E '^matrix|^FAIL|^XFAIL|^XPASS|^Totals' || status=1
exit $status

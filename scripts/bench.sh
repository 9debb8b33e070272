#!/usr/bin/env bash
# Runs the benchmarks (not part of the tests): the Hitachi inquiry and result-store benchmarks, the
# AU order request and the Indiko order answer on a database of 100,000 open requests and 1,000,000
# raw results, the ASTM decoding, the MGC240 cycle with 10,000 open requests and 2,000
# results waiting, the quality-control judgement of a control result with 10,000 stored, the LIMS
# forwarding tick with a backlog of 10,000 finished samples, and the peak memory of a headless
# instance serving 10,000 frames, and how late protocol pauses end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" "$root/build-bench" -DQUORLIX_BENCH=ON -DCMAKE_BUILD_TYPE=Release
"$root/build-bench/bench/bench_hitachi" "$@"
"$root/build-bench/bench/bench_mgc"
"$root/build-bench/bench/bench_au" "$@"
"$root/build-bench/bench/bench_astm" "$@"
"$root/build-bench/bench/bench_qc" "$@"
"$root/build-bench/bench/bench_lims" "$@"
"$root/build-bench/bench/bench_timer"
"$root/bench/memory.sh" "$root/build-bench/bin"

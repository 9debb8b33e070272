#!/usr/bin/env bash
# Installs what is needed, builds Quorlix twice (normal, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test of each build against SQLite and a throw-away
# PostgreSQL server on loopback (also through PostgreSQL's ODBC driver).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

pgdir=$(mktemp -d /tmp/quorlix-pg.XXXXXX)
pgport=${QUORLIX_PG_PORT:-55432}
"$root/scripts/pg-test-server.sh" start "$pgdir" "$pgport"
trap '"$root/scripts/pg-test-server.sh" stop "$pgdir"; rm -rf "$pgdir"' EXIT
export QUORLIX_TEST_PG=127.0.0.1:$pgport QUORLIX_TEST_ODBC=1
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-$(mktemp -d)}; chmod 700 "$XDG_RUNTIME_DIR"

status=0
run_suite() {
  local dir=$1 ctestargs=$2; shift 2
  echo "== build $(basename "$dir")"
  "$root/scripts/build.sh" "$dir" "$@"
  echo "== tests $(basename "$dir")"
  (cd "$dir" && ctest --output-on-failure --timeout 1800 -j2 $ctestargs) || status=1
}
# Qt keeps some allocations until exit on purpose: leak reports would be noise.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The fault suite (short form) runs in the normal build only: it measures real processes.
run_suite "$root/build" ""
run_suite "$root/build-asan" "-LE faults" -DQUORLIX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

# A short run of each parser's fuzz target (libFuzzer, clang); a longer run is in the README.
echo "== fuzz targets"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build-fuzz" -DQUORLIX_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$root/build-fuzz" -j"$(nproc)" --target fuzz_hit911frame fuzz_hit902frame fuzz_hit912frame fuzz_auframe fuzz_e1381link fuzz_astmrecords
(cd "$root/build-fuzz" && ctest --output-on-failure -R '^fuzz_') || status=1
exit $status

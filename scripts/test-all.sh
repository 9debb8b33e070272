#!/usr/bin/env bash
# Installs what is needed, checks that every include follows layers.txt, that only the driver
# families name analyzer types and that the code follows .clang-format, builds Quorlix twice (normal, and with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test of each build against SQLite and a throw-away
# PostgreSQL server on loopback (also through PostgreSQL's ODBC driver), checks that the service
# form links no window library, builds and installs the Debian packages and runs
# the installed program, then gives each fuzz target a short run (scripts/fuzz.sh runs them longer). One line per step on the screen; the output of
# every step goes into build-logs/test-all.log, and its tail is shown when a step fails.
#   QUORLIX_PG_PORT   the test server's port (default 55432)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/steps.sh"
steps_log "$root/build-logs/test-all.log"
begin=$SECONDS
status=0 passed=0 failed=0 pgdir= runtime=
# Whatever ends the run, a failed step included, it ends with its summary and leaves nothing in /tmp.
finish() {
  local code=$?
  ((code == 0)) || status=1
  if [ -n "$pgdir" ]; then
    "$root/scripts/pg-test-server.sh" stop "$pgdir"
    rm -rf "$pgdir"
  fi
  [ -z "$runtime" ] || rm -rf "$runtime"
  echo "== $( ((status == 0)) && echo "all passed" || echo "FAILED") in $(took $((SECONDS - begin))); the whole output: $STEPS_LOG"
  echo "tests: $passed passed, $failed failed"
  exit $status
}
trap finish EXIT
step "installing the Debian packages" "$root/scripts/install-deps.sh"
step "checking the layers (every include follows layers.txt)" "$root/scripts/check-layers.sh" || status=1
step "checking the format (.clang-format)" "$root/scripts/check-format.sh" || status=1
step "checking that only the driver families name analyzer types" "$root/scripts/check-type-names.sh" || status=1

pgdir=$(mktemp -d /tmp/quorlix-pg.XXXXXX)
pgport=${QUORLIX_PG_PORT:-55432}
step "starting a throw-away PostgreSQL server on 127.0.0.1:$pgport" \
  "$root/scripts/pg-test-server.sh" start "$pgdir" "$pgport"
export QUORLIX_TEST_PG=127.0.0.1:$pgport QUORLIX_TEST_ODBC=1
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  runtime=$(mktemp -d /tmp/quorlix-runtime.XXXXXX)
  export XDG_RUNTIME_DIR=$runtime
fi
chmod 700 "$XDG_RUNTIME_DIR"

# Runs ctest in a build folder and notes its counts ("25 passed, 0 failed") for the step line.
ctest_in() {
  local dir=$1 code=0 from summary total bad
  shift
  from=$(stat -c %s "$STEPS_LOG")
  (cd "$dir" && ctest --output-on-failure --no-tests=error --timeout 1800 "$@") || code=$?
  summary=$(tail -c +$((from + 1)) "$STEPS_LOG" | grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' | tail -n 1)
  if [ -n "$summary" ]; then
    total=${summary##* } bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    passed=$((passed + total - bad)) failed=$((failed + bad))
    STEP_NOTE="$((total - bad)) passed, $bad failed"
  fi
  return $code
}
suite() {
  local dir=$1 ctestargs=$2
  shift 2
  if step "building $(basename "$dir")/" "$root/scripts/build.sh" "$dir" "$@"; then
    # shellcheck disable=SC2086 # ctestargs are words
    step "testing $(basename "$dir")/" ctest_in "$dir" -j2 $ctestargs || status=1
  else
    status=1
  fi
}
# Qt keeps some allocations until exit on purpose: leak reports would be noise.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# The fault suite (short form) runs in the normal build only: it measures real processes.
suite "$root/build" ""
suite "$root/build-asan" "-LE faults" -DQUORLIX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug

# The service form: build/ builds it as quorlix-service, which must link no window library (the
# site scenario of the fault suite runs every analyzer kind with it). A tree without QtWidgets
# compiles the same sources; here it is only configured, to prove that the option still works.
service_form() {
  if ldd "$root/build/bin/quorlix-service" | grep -E 'libQt6(Widgets|Gui)|libX11|libGL[.X]|libOpenGL|libEGL'; then
    echo "the service form links window libraries"
    return 1
  fi
  cmake -S "$root" -B "$root/build-service" -DQUORLIX_WIDGETS=OFF >/dev/null
}
step "checking the service form (no window library; a tree without QtWidgets configures)" service_form || status=1
step "building and installing the Debian packages, running the installed program" \
  "$root/scripts/package-check.sh" "$root/build" || status=1

# A short run of each fuzz target (libFuzzer, clang): every fuzz_* test of build-fuzz/.
if step "building build-fuzz/ (the fuzz targets, with clang)" "$root/scripts/fuzz.sh" --build-only; then
  for test in $(cd "$root/build-fuzz" && ctest -N -R '^fuzz_' | sed -n 's/^ *Test *#[0-9]*: *//p'); do
    step "fuzzing ${test%_short} (short run)" ctest_in "$root/build-fuzz" -R "^$test\$" || status=1
  done
else
  status=1
fi

exit $status

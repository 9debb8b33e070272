#!/usr/bin/env bash
# Builds the libFuzzer targets into build-fuzz/ (clang) and runs each fuzz_* test's target for
# SECONDS (default 600) instead of its short run, on the same corpus, which grows with what it
# finds. An input that crashes a target is written to build-fuzz/fuzz-findings/.
#   scripts/fuzz.sh [SECONDS]      scripts/fuzz.sh --build-only
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# Every target here has a fuzz_<target>_short test; the test command runs each of those.
targets=(fuzz_hit911frame fuzz_hit902frame fuzz_hit912frame fuzz_auframe fuzz_e1381link fuzz_astmrecords)
build() {
  CC=clang CXX=clang++ "$root/scripts/build.sh" "$root/build-fuzz" -DQUORLIX_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
    "${targets[@]/#/--target=}"
}
if [ "${1:-}" = --build-only ]; then
  build
  exit
fi
seconds=${1:-600}
[[ $seconds =~ ^[0-9]+$ ]] || { echo "usage: scripts/fuzz.sh [SECONDS] | --build-only" >&2; exit 2; }

source "$root/scripts/steps.sh"
steps_log "$root/build-logs/fuzz.log"
step "installing the Debian packages" "$root/scripts/install-deps.sh"
step "building build-fuzz/ (the fuzz targets, with clang)" build
findings=$root/build-fuzz/fuzz-findings
mkdir -p "$findings"
# Runs one short-run test's command for the given time instead (its corpus and -max_len stay) and
# notes how many inputs it tried.
fuzz() {
  local words=() args=() from code=0 w
  read -ra words <<<"$1"
  for w in "${words[@]:1}"; do
    w=${w//\"/}
    case $w in -runs=* | -seed=*) ;; *) args+=("$w") ;; esac
  done
  from=$(stat -c %s "$STEPS_LOG")
  "${words[0]//\"/}" -max_total_time="$seconds" -artifact_prefix="$findings/$(basename "${words[0]//\"/}")-" \
    "${args[@]}" || code=$?
  STEP_NOTE=$(tail -c +$((from + 1)) "$STEPS_LOG" | grep -oE '^Done [0-9]+ runs' | sed -E 's/Done ([0-9]+) runs/\1 inputs/') || true
  return $code
}
status=0
while IFS= read -r command; do
  target=$(basename "${command%% *}")
  step "fuzzing ${target//\"/} for ${seconds}s" fuzz "$command" || status=1
done < <(cd "$root/build-fuzz" && ctest -N -V -R '^fuzz_' | sed -n 's/^[0-9]*: Test command: //p')
((status == 0)) || echo "== an input that crashes a target is in $findings"
exit $status

#!/usr/bin/env bash
# Configures and builds Quorlix into build/ (or the folder given), with extra CMake options after it;
# `--target NAME` (repeatable) builds only those targets.
#   build.sh [DIR] [-DOPTION=VALUE ...] [--target NAME | --target=NAME ...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build}
shift || true
options=() targets=()
while (($#)); do
  if [ "$1" = --target ]; then
    targets+=(--target "$2")
    shift 2
  elif [[ $1 == --target=* ]]; then
    targets+=(--target "${1#--target=}")
    shift
  else
    options+=("$1")
    shift
  fi
done
cmake -S "$root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null # its errors go to stderr
cmake --build "$dir" -j"$(nproc)" "${targets[@]}"

#!/bin/sh
# Takes the README pictures of the operator windows (the ACT sample-ID window and the manual input
# window): runs screenshot-operator-windows from a built tree on a virtual X server and writes
# docs/act-sample-id.png and docs/manual-input.png. Builds nothing.
#
#   scripts/screenshot-operator-windows.sh [BUILD_BIN_DIR] [OUTPUT_FOLDER]
#
# BUILD_BIN_DIR is the directory holding screenshot-operator-windows (default: build/bin). Needs
# xvfb-run and xauth.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-"$root/build/bin"}
out=${2:-"$root/docs"}
program="$bin/screenshot-operator-windows"

if [ ! -x "$program" ]; then
    echo "screenshot-operator-windows: $program not found; build the target screenshot-operator-windows first" >&2
    exit 2
fi
command -v xvfb-run >/dev/null || { echo "screenshot-operator-windows: xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 2; }

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT INT TERM
chmod 700 "$runtime"
mkdir -p "$out"

env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$runtime" LC_ALL=C.UTF-8 \
    xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$program" "$out"
echo "wrote $out/act-sample-id.png and $out/manual-input.png"

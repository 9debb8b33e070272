#!/bin/sh
# Takes the README picture of the quality-control window: runs screenshot-qc-chart from a built tree
# on a virtual X server and writes docs/qc-chart.png. Builds nothing.
#
#   scripts/screenshot-qc-chart.sh [BUILD_BIN_DIR] [OUTPUT_FOLDER]
#
# BUILD_BIN_DIR is the directory holding screenshot-qc-chart (default: build/bin). Needs
# xvfb-run and xauth.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-"$root/build/bin"}
out=${2:-"$root/docs"}
program="$bin/screenshot-qc-chart"

if [ ! -x "$program" ]; then
    echo "screenshot-qc-chart: $program not found; build the target screenshot-qc-chart first" >&2
    exit 2
fi
command -v xvfb-run >/dev/null || { echo "screenshot-qc-chart: xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 2; }

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT INT TERM
chmod 700 "$runtime"
mkdir -p "$out"

env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$runtime" LC_ALL=C.UTF-8 \
    xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$program" "$out"
echo "wrote $out/qc-chart.png"

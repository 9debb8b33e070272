#!/bin/sh
# Takes the README picture of the main window: runs screenshot-main-window from a built tree on a
# virtual X server and writes docs/main-window.png. Builds nothing.
#
#   scripts/screenshot-main-window.sh [BUILD_BIN_DIR] [OUTPUT.png]
#
# BUILD_BIN_DIR is the directory holding screenshot-main-window and the icons/ folder beside it
# (default: build/bin). Needs xvfb-run and xauth.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-"$root/build/bin"}
out=${2:-"$root/docs/main-window.png"}
program="$bin/screenshot-main-window"

if [ ! -x "$program" ]; then
    echo "screenshot-main-window: $program not found; build the target screenshot-main-window first" >&2
    exit 2
fi
if [ ! -f "$bin/icons/H911.ico" ]; then
    echo "screenshot-main-window: $bin/icons/H911.ico not found; the window would show the default icon" >&2
fi
command -v xvfb-run >/dev/null || { echo "screenshot-main-window: xvfb-run is missing (apt-get install xvfb xauth)" >&2; exit 2; }

runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT INT TERM
chmod 700 "$runtime"
mkdir -p "$(dirname "$out")"

# A real X server, so that the window is laid out and painted as on a desktop; Xvfb has no system
# tray, so the program shows the main window itself.
env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$runtime" LC_ALL=C.UTF-8 \
    xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$program" "$out"
echo "wrote $out"

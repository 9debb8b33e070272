#!/usr/bin/env bash
# Builds the Debian packages from a build folder, installs them on this machine, checks the
# systemd unit, and runs the installed program: --version, and a short headless session of a
# simulated Hitachi 911 against a SQLite database, as the service user would run it.
#   scripts/package-check.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)

(cd "$build" && cpack >/dev/null)
version=$(sed -nE 's/^project\(Quorlix VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
arch=$(dpkg --print-architecture)
service_deb=$build/quorlix_${version}_${arch}.deb
desktop_deb=$build/quorlix-desktop_${version}_${arch}.deb
for deb in "$service_deb" "$desktop_deb"; do
  [ -f "$deb" ] || { echo "package-check: $deb was not built"; exit 1; }
done
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq "$service_deb" "$desktop_deb" >/dev/null
echo "installed: $(dpkg-query -W -f='${Package} ${Version}, ' quorlix quorlix-desktop)"

# The service form needs no X or GL libraries.
if ldd /usr/bin/quorlix | grep -qE 'libQt6(Widgets|Gui)|libX11|libGL[.X]|libOpenGL|libEGL'; then
  echo "package-check: /usr/bin/quorlix links window libraries"; exit 1
fi
installed=$(/usr/bin/quorlix --version)
[ "$installed" = "quorlix $version" ] || { echo "package-check: quorlix --version says '$installed'"; exit 1; }
echo "$installed (no window libraries)"

# The unit file, as systemd reads it: any complaint fails the check.
work=$(mktemp -d /tmp/quorlix-package.XXXXXX)
trap 'rm -rf "$work"' EXIT # what a failure shows is printed below
cp /lib/systemd/system/quorlix@.service "$work/quorlix@check.service"
complaints=$(cd "$work" && systemd-analyze verify ./quorlix@check.service 2>&1 || true)
if [ -n "$complaints" ]; then
  echo "package-check: systemd-analyze verify quorlix@.service:"; echo "$complaints"; exit 1
fi
echo "quorlix@.service verified"

# A short session from the installed files, as the service user. (The programs started in the
# background are started by setpriv itself, so that the SIGTERM reaches quorlix.)
as_quorlix() { setpriv --reuid=quorlix --regid=quorlix --init-groups -- "$@"; }
chown quorlix:quorlix "$work"
cat > "$work/quorlix.ini" <<INI
database=$work/lab.db
ComLogPath=$work/logs/
controlmask=QC????
com1=$work/analyzer
INI
mkdir -p "$work/logs"
chown -R quorlix:quorlix "$work"
as_quorlix quorlix --config "$work/quorlix.ini" --init-db --demo-data >/dev/null
as_quorlix quorlix --config "$work/quorlix.ini" --check-config /id=HIT911 /type=H911 >/dev/null || true
setpriv --reuid=quorlix --regid=quorlix --init-groups -- \
  quorlix-sim --pty "$work/analyzer" --quiet --start-delay 1500 /usr/share/quorlix/sim/demo-911.sim > "$work/sim.out" &
sim=$!
for _ in $(seq 50); do [ -e "$work/analyzer" ] && break; sleep 0.1; done
setpriv --reuid=quorlix --regid=quorlix --init-groups -- \
  quorlix --config "$work/quorlix.ini" --headless /id=HIT911 /type=H911 /com=1 /autoval=2 &
quorlix_pid=$!
simstatus=0
wait "$sim" || simstatus=$?
kill -TERM "$quorlix_pid"
quorlixstatus=0
wait "$quorlix_pid" || quorlixstatus=$?
echo "session: $(tail -1 "$work/sim.out"); quorlix stopped with exit code $quorlixstatus"
rows=$(sqlite3 "$work/lab.db" "SELECT COUNT(*) FROM Raw_Results WHERE analyzer_id = 'HIT911'")
if [ "$simstatus" -ne 0 ] || [ "$quorlixstatus" -ne 0 ] || [ "$rows" -eq 0 ]; then
  echo "package-check: the installed program did not serve the simulated analyzer"; cat "$work/sim.out"
  cat "$work"/logs/*.txt 2>/dev/null | tail -20; exit 1
fi
echo "package-check: the installed quorlix served a simulated Hitachi 911 ($rows raw results)"

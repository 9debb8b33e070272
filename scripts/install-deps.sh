#!/usr/bin/env bash
# Installs the Debian 12 packages Quorlix needs to build, run and test (run as root).
set -euo pipefail
# qt6-charts-dev's CMake files need Qt's OpenGL ones, which Debian 12 does not pull in with it.
packages=(g++ make cmake qt6-base-dev qt6-serialport-dev libqt6sql6-sqlite libqt6sql6-psql libqt6sql6-odbc
          tdsodbc odbc-postgresql libsqliteodbc postgresql socat xvfb xauth sqlite3 libbenchmark-dev clang libclang-rt-14-dev
          clang-format git systemd adduser qt6-charts-dev libqt6opengl6-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "all ${#packages[@]} packages are installed"
fi

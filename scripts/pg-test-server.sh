#!/usr/bin/env bash
# Starts or stops a throw-away PostgreSQL server on loopback for the tests.
#   pg-test-server.sh start DIR PORT    pg-test-server.sh stop DIR
set -euo pipefail
PGBIN=/usr/lib/postgresql/15/bin
case "$1" in
  start)
    dir=$2 port=$3
    mkdir -p "$dir"; chown postgres "$dir"
    runuser -u postgres -- "$PGBIN/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 --no-sync >/dev/null
    runuser -u postgres -- "$PGBIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c max_connections=200" start >/dev/null
    ;;
  stop)
    runuser -u postgres -- "$PGBIN/pg_ctl" -D "$2/data" -m immediate stop >/dev/null 2>&1 || true
    ;;
esac

#!/usr/bin/env bash
# Starts or stops a throw-away PostgreSQL server on loopback for the tests.
#   pg-test-server.sh start DIR PORT    pg-test-server.sh stop DIR
set -euo pipefail
PGBIN=/usr/lib/postgresql/15/bin
# runuser keeps the working folder, and the server's tools change into it first: run them from the
# server's own folder, which postgres can enter, not from the caller's (e.g. /root).
case "$1" in
  start)
    mkdir -p "$2"; chown postgres "$2"
    cd "$2"
    dir=$PWD port=$3
    runuser -u postgres -- "$PGBIN/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 --no-sync >/dev/null
    if ! runuser -u postgres -- "$PGBIN/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
      -o "-c listen_addresses=127.0.0.1 -p $port -k $dir -c fsync=off -c max_connections=200" start >/dev/null; then
      tail -n 5 "$dir/server.log" >&2 || true
      echo "pg-test-server: PostgreSQL did not start on 127.0.0.1:$port; if that port is taken," \
        "choose another with QUORLIX_PG_PORT" >&2
      exit 1
    fi
    ;;
  stop)
    cd "$2" 2>/dev/null || exit 0
    runuser -u postgres -- "$PGBIN/pg_ctl" -D "$PWD/data" -m immediate stop >/dev/null 2>&1 || true
    ;;
esac

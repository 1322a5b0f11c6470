#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests and the benchmarks.
#   scripts/pg_server.sh start STATE_DIR [DATABASE...]
#   scripts/pg_server.sh stop STATE_DIR
# start: initdb and pg_ctl into a fresh temporary folder; the server listens
# on a Unix socket in that folder only (no TCP port), trusts its one role
# "orvex", and gets the named databases. STATE_DIR/conninfo then holds the
# libpq settings to reach it, one "keyword = value" a line (as in store.conf).
# A server left over from an earlier run in STATE_DIR is stopped first.
# stop: stops the server and removes its folder; safe to run twice.
# As root the server runs as the user postgres, since initdb refuses root.
set -euo pipefail
command=${1:-}
state=${2:-}
if [ -z "$command" ] || [ -z "$state" ]; then
  echo "usage: $0 start|stop STATE_DIR [DATABASE...]" >&2
  exit 2
fi
shift 2

bin_dir() {
  local dir
  for dir in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    if [ -x "$dir/initdb" ] && [ -x "$dir/pg_ctl" ]; then
      echo "$dir"
      return
    fi
  done
  dirname "$(command -v initdb)"
}

run_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$owner" -- "$@"
  else
    "$@"
  fi
}

owner=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
  owner=postgres
  id "$owner" >/dev/null 2>&1 || owner=nobody
fi
bin=$(bin_dir)

stop_server() {
  [ -f "$state/server_dir" ] || return 0
  local server
  server=$(cat "$state/server_dir")
  if [ -d "$server/data" ]; then
    run_as_owner "$bin/pg_ctl" -D "$server/data" -m fast -w -t 30 stop >/dev/null 2>&1 ||
      run_as_owner "$bin/pg_ctl" -D "$server/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  case "$server" in
    */orvex-pg.*) rm -rf "$server" ;;
  esac
  rm -f "$state/server_dir" "$state/conninfo"
}

case "$command" in
  start)
    mkdir -p "$state"
    stop_server
    server=$(mktemp -d "${TMPDIR:-/tmp}/orvex-pg.XXXXXX")
    chmod 755 "$server"
    [ "$(id -u)" -eq 0 ] && chown "$owner" "$server"
    echo "$server" > "$state/server_dir"
    run_as_owner "$bin/initdb" -D "$server/data" -U orvex --auth=trust --encoding=UTF8 --locale=C --no-sync \
      > "$server/initdb.log" 2>&1 || { cat "$server/initdb.log" >&2; exit 1; }
    # A server for tests: no TCP port, and no waiting on the disk.
    cat >> "$server/data/postgresql.conf" <<CONF
listen_addresses = ''
unix_socket_directories = '$server'
port = 5432
fsync = off
synchronous_commit = off
full_page_writes = off
max_connections = 60
shared_buffers = 256MB
work_mem = 64MB
CONF
    if ! run_as_owner "$bin/pg_ctl" -D "$server/data" -l "$server/server.log" -w -t 60 start >/dev/null; then
      cat "$server/server.log" >&2
      exit 1
    fi
    for database in "$@"; do
      "$bin/createdb" -h "$server" -p 5432 -U orvex "$database"
    done
    printf 'host = %s\nport = 5432\nuser = orvex\n' "$server" > "$state/conninfo"
    echo "PostgreSQL is running on the socket in $server"
    ;;
  stop)
    stop_server
    ;;
  *)
    echo "usage: $0 start|stop STATE_DIR [DATABASE...]" >&2
    exit 2
    ;;
esac

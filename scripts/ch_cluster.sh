#!/usr/bin/env bash
# A throw-away two-shard ClickHouse cluster for the tests and the benchmarks.
#   scripts/ch_cluster.sh start STATE_DIR [DATA_DIR]
#   scripts/ch_cluster.sh stop STATE_DIR
# start: two clickhouse-server processes on free loopback ports, each with
# its own data folder under a fresh temporary folder, and a remote_servers
# entry "orvex" naming both as the shards. Memory is kept small (caches and
# max_memory_usage), since the tests share the machine. STATE_DIR/urls then
# holds the two servers' HTTP addresses, comma-separated (the first is where
# statements go), and STATE_DIR/cluster the cluster's name.
# A cluster left over from an earlier run in STATE_DIR is stopped first.
# With DATA_DIR the servers keep their folders there instead, and stop
# leaves them: the next start on it finds the tables loaded before (the
# benchmarks load their data once).
# stop: stops both servers and removes their folder; safe to run twice.
#   scripts/ch_cluster.sh stop-shard STATE_DIR N   (kills shard N, 1 or 2, at once)
#   scripts/ch_cluster.sh start-shard STATE_DIR N  (starts it again on its ports)
# let the tests take a server away in the middle of a run and bring it back.
set -euo pipefail
command=${1:-}
state=${2:-}
if [ -z "$command" ] || [ -z "$state" ]; then
  echo "usage: $0 start STATE_DIR [DATA_DIR] | stop STATE_DIR" >&2
  exit 2
fi
server_bin=$(command -v clickhouse-server || echo /usr/sbin/clickhouse-server)
[ -x "$server_bin" ] || server_bin=/usr/bin/clickhouse

# A TCP port on the loopback no one listens on now.
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

stop_cluster() {
  [ -f "$state/server_dir" ] || return 0
  local server pid
  server=$(cat "$state/server_dir")
  for pid_file in "$server"/shard*/pid; do
    [ -f "$pid_file" ] || continue
    pid=$(cat "$pid_file")
    kill "$pid" 2>/dev/null || true
  done
  for pid_file in "$server"/shard*/pid; do
    [ -f "$pid_file" ] || continue
    pid=$(cat "$pid_file")
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    kill -9 "$pid" 2>/dev/null || true
  done
  case "$server" in
    */orvex-ch.*) rm -rf "$server" ;;
  esac
  rm -f "$state/server_dir" "$state/urls" "$state/cluster"
}

# Starts shard number $1 (1 or 2) from its folder's config.xml; waits until it answers.
start_shard() {
  local dir=$1 http_port=$2
  "$server_bin" --config-file="$dir/config.xml" > "$dir/stdout.log" 2>&1 &
  echo $! > "$dir/pid"
  for _ in $(seq 1 150); do
    if curl -fsS "http://127.0.0.1:$http_port/ping" >/dev/null 2>&1; then return 0; fi
    if ! kill -0 "$(cat "$dir/pid")" 2>/dev/null; then break; fi
    sleep 0.2
  done
  echo "clickhouse-server in $dir did not start:" >&2
  tail -n 20 "$dir/stdout.log" "$dir/server.err.log" >&2 2>/dev/null || true
  return 1
}

case "$command" in
  start)
    mkdir -p "$state"
    state=$(cd "$state" && pwd)
    stop_cluster
    if [ -n "${3:-}" ]; then
      mkdir -p "$3"
      server=$(cd "$3" && pwd)
    else
      server=$(mktemp -d "${TMPDIR:-/tmp}/orvex-ch.XXXXXX")
    fi
    echo "$server" > "$state/server_dir"
    http=() tcp=()
    for shard in 1 2; do
      http+=("$(free_port)")
      tcp+=("$(free_port)")
    done
    shards=""
    for shard in 1 2; do
      shards+="<shard><replica><host>127.0.0.1</host><port>${tcp[$((shard - 1))]}</port></replica></shard>"
    done
    for shard in 1 2; do
      dir="$server/shard$shard"
      mkdir -p "$dir/data" "$dir/tmp" "$dir/user_files" "$dir/format_schemas"
      cat > "$dir/config.xml" <<CONF
<?xml version="1.0"?>
<yandex>
  <logger><level>warning</level><log>$dir/server.log</log><errorlog>$dir/server.err.log</errorlog><size>10M</size><count>1</count></logger>
  <listen_host>127.0.0.1</listen_host>
  <http_port>${http[$((shard - 1))]}</http_port>
  <tcp_port>${tcp[$((shard - 1))]}</tcp_port>
  <path>$dir/data/</path>
  <tmp_path>$dir/tmp/</tmp_path>
  <user_files_path>$dir/user_files/</user_files_path>
  <format_schema_path>$dir/format_schemas/</format_schema_path>
  <max_concurrent_queries>50</max_concurrent_queries>
  <keep_alive_timeout>30</keep_alive_timeout>
  <mark_cache_size>67108864</mark_cache_size>
  <uncompressed_cache_size>67108864</uncompressed_cache_size>
  <max_server_memory_usage>1073741824</max_server_memory_usage>
  <mlock_executable>false</mlock_executable>
  <default_profile>default</default_profile>
  <default_database>default</default_database>
  <timezone>UTC</timezone>
  <remote_servers><orvex>$shards</orvex></remote_servers>
  <users>
    <default>
      <password></password>
      <networks><ip>127.0.0.1</ip><ip>::1</ip></networks>
      <profile>default</profile>
      <quota>default</quota>
    </default>
  </users>
  <profiles>
    <default>
      <max_memory_usage>536870912</max_memory_usage>
      <max_threads>2</max_threads>
      <load_balancing>in_order</load_balancing>
    </default>
  </profiles>
  <quotas><default><interval><duration>3600</duration><queries>0</queries><errors>0</errors><result_rows>0</result_rows><read_rows>0</read_rows><execution_time>0</execution_time></interval></default></quotas>
</yandex>
CONF
    done
    for shard in 1 2; do
      start_shard "$server/shard$shard" "${http[$((shard - 1))]}"
    done
    echo "http://127.0.0.1:${http[0]},http://127.0.0.1:${http[1]}" > "$state/urls"
    echo orvex > "$state/cluster"
    echo "ClickHouse shards answer on http://127.0.0.1:${http[0]} and http://127.0.0.1:${http[1]}"
    ;;
  stop)
    stop_cluster
    ;;
  stop-shard | start-shard)
    shard=${3:?shard number}
    dir="$(cat "$state/server_dir")/shard$shard"
    if [ "$command" = stop-shard ]; then
      pid=$(cat "$dir/pid")
      kill -9 "$pid" 2>/dev/null || true
      while kill -0 "$pid" 2>/dev/null; do sleep 0.1; done
    else
      port=$(sed -n 's:.*<http_port>\([0-9]*\)</http_port>.*:\1:p' "$dir/config.xml")
      start_shard "$dir" "$port"
    fi
    ;;
  *)
    echo "usage: $0 start|stop STATE_DIR | stop-shard|start-shard STATE_DIR N" >&2
    exit 2
    ;;
esac

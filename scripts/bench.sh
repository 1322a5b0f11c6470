#!/usr/bin/env bash
# The benchmark suite (make bench): builds what it needs, makes the sample
# catalog at every scale (kept in bench/data, made again only when missing),
# starts a throw-away PostgreSQL server with the sample at scale 10, runs
# orvex_bench, prints its table and writes bench/results/latest.json. The
# server is stopped at the end, also when the suite fails.
#   scripts/bench.sh [BUILD_DIR]
# Environment: BENCH_SCALES (default "1 10 100"), BENCH_POSTGRES_SCALE (10;
# empty for none), BENCH_CLICKHOUSE_SCALE (100: bench/clickhouse/run.sh on a
# two-shard cluster; empty for none), BENCH_RUNS (5), BENCH_HTTP_SECONDS (5),
# BENCH_SOAK_SECONDS (600: the host's soak with 8 clients; 0 skips it).
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
scales=${BENCH_SCALES:-1 10 100}
postgres_scale=${BENCH_POSTGRES_SCALE-10}
runs=${BENCH_RUNS:-5}
http_seconds=${BENCH_HTTP_SECONDS:-5}
data=bench/data
work=$data/work
schema=data/catalogs/Sample/schema.xml

cmake --build "$build_dir" --target orvex_bench orvex_host_bench orvex_xmla_bench orvex_xmla_page_bench orvex-server orvex-sample -j "$(nproc)" >/dev/null
bin=$build_dir/bin
mkdir -p "$work" bench/results

roots=()
for scale in $scales; do
  folder=$data/duckdb-$scale/Sample
  mkdir -p "$folder"
  cp "$schema" "$folder/schema.xml"
  "$bin/orvex-sample" --catalog-dir "$folder" --scale "$scale" --if-missing
  roots+=(--root "duckdb:$scale=$data/duckdb-$scale")
done

if [ -n "$postgres_scale" ]; then
  trap 'scripts/pg_server.sh stop "$data/postgres"' EXIT
  scripts/pg_server.sh start "$data/postgres" sample
  folder=$data/postgres-$postgres_scale/Sample
  mkdir -p "$folder"
  cp "$schema" "$folder/schema.xml"
  { echo "store = postgres"; cat "$data/postgres/conninfo"; echo "dbname = sample"; echo "statement_timeout = 600"; } \
    > "$folder/store.conf"
  "$bin/orvex-sample" --catalog-dir "$folder" --scale "$postgres_scale"
  roots+=(--root "postgres:$postgres_scale=$data/postgres-$postgres_scale")
fi

largest=$(printf '%s\n' $scales | sort -g | tail -1)
"$bin/orvex_bench" suite "${roots[@]}" --server "$bin/orvex-server" --web-root web --work "$work" \
  --out bench/results/latest.json --runs "$runs" --http-seconds "$http_seconds" --http-scale 1 --memory-scale "$largest"

# An XMLA Execute of about 10,000 cells against orvex-mdx's JSON of the same, warm, at scale 1.
smallest=$(printf '%s\n' $scales | sort -g | head -1)
"$bin/orvex_xmla_bench" "$data/duckdb-$smallest" "$((runs * 2 + 1))"
"$bin/orvex_xmla_page_bench" "$data/duckdb-$smallest" "$((runs * 2 + 1))"

# The analyst's page in Chromium at the smallest scale: its load, and a click
# that changes a view of about 1,000 cells.
node bench/explore/explore_bench.mjs --server "$bin/orvex-server" --catalogs "$data/duckdb-$smallest" --web-root web \
  --runs "$runs" --out bench/results/explore.json

# The ClickHouse store on a two-shard cluster of this machine against
# hand-written SQL and against DuckDB; its data is loaded once and kept.
clickhouse_scale=${BENCH_CLICKHOUSE_SCALE-100}
if [ -n "$clickhouse_scale" ]; then
  BENCH_CLICKHOUSE_SCALE=$clickhouse_scale BENCH_RUNS=$runs bench/clickhouse/run.sh "$build_dir"
fi

# The host: what compression costs each view page, then the soak of mixed
# pages, saves and statements on the smallest scale.
"$bin/orvex_host_bench" compression --server "$bin/orvex-server" --catalogs "$data/duckdb-$smallest" --web-root web \
  --log "$work/compression.log"
soak_seconds=${BENCH_SOAK_SECONDS:-600}
if [ "$soak_seconds" != 0 ]; then
  "$bin/orvex_host_bench" soak --server "$bin/orvex-server" --catalogs "$data/duckdb-$smallest" --web-root web \
    --log "$work/soak.log" --seconds "$soak_seconds" --clients 8
fi

#!/usr/bin/env bash
# PostgreSQL as a warehouse, before and after: the suite's statements on
# the sample as orvex-sample loads it (indexes on the keys the schema joins
# on, statistics, the store's raised max_parallel_workers_per_gather) and
# on the same data without those indexes at the server's default parallel
# setting.
#   bench/postgres/warehouse.sh [BUILD_DIR]
# Environment: BENCH_WAREHOUSE_SCALES (default "10 100"), BENCH_RUNS (5),
# BENCH_KEEP_SERVER (1 leaves the server and its data for a next run).
# "Before" is a copy of the loaded database (CREATE DATABASE ... TEMPLATE)
# with the loader's indexes dropped; its catalog's store.conf passes the
# server's default max_parallel_workers_per_gather as a connection option,
# which the store keeps as it keeps any value chosen for its connections.
# Both catalogs are measured in the same runs of orvex_bench, in turn, so a
# busy spell of the machine touches both alike. Prints orvex_bench's table
# and writes bench/results/warehouse.json; then, since the suite's statements
# all read every sale, a narrow one (store cities in one month, where an
# index can skip the rest of the year) through orvex-mdx in a fresh process,
# before and after in turn, the median of BENCH_RUNS.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/../.."
scales=${BENCH_WAREHOUSE_SCALES:-10 100}
runs=${BENCH_RUNS:-5}
data=bench/data/warehouse
schema=data/catalogs/Sample/schema.xml
cmake --build "$build_dir" --target orvex_bench orvex-sample orvex-mdx -j "$(nproc)" >/dev/null
bin=$build_dir/bin

# The server is kept between runs when asked, since loading scale 100 takes minutes.
if [ "${BENCH_KEEP_SERVER:-0}" != 1 ]; then
  trap 'scripts/pg_server.sh stop "$data/server"' EXIT
fi
if [ ! -f "$data/server/conninfo" ] || ! psql "$(tr '\n' ' ' < "$data/server/conninfo") dbname=postgres" -Atc 'SELECT 1' >/dev/null 2>&1; then
  scripts/pg_server.sh start "$data/server"
fi
conninfo=$(tr '\n' ' ' < "$data/server/conninfo")
sql() { PGOPTIONS="-c client_min_messages=warning" psql "$conninfo dbname=$1" -v ON_ERROR_STOP=1 -Atqc "$2"; }

roots=()
for scale in $scales; do
  after=s$scale before=s${scale}_plain
  for name in "$after" "$before"; do
    mkdir -p "$data/$name/Sample"
    cp "$schema" "$data/$name/Sample/schema.xml"
    { echo "store = postgres"; cat "$data/server/conninfo"; echo "dbname = $name"; echo "statement_timeout = 600"; } \
      > "$data/$name/Sample/store.conf"
  done
  echo "options = -c max_parallel_workers_per_gather=$(sql postgres "SELECT boot_val FROM pg_settings WHERE name = 'max_parallel_workers_per_gather'")" \
    >> "$data/$before/Sample/store.conf"
  loaded=$(sql postgres "SELECT count(*) FROM pg_database WHERE datname = '$after'")
  if [ "$loaded" = 0 ] || [ "$(sql "$after" "SELECT scale FROM orvex_sample" 2>/dev/null)" != "$scale" ]; then
    echo "loading scale $scale" >&2
    sql postgres "DROP DATABASE IF EXISTS $before" >/dev/null
    sql postgres "DROP DATABASE IF EXISTS $after" >/dev/null
    sql postgres "CREATE DATABASE $after"
    "$bin/orvex-sample" --catalog-dir "$data/$after/Sample" --scale "$scale"
    sql "$after" "CHECKPOINT"
    sql postgres "CREATE DATABASE $before TEMPLATE $after"
    for index in $(sql "$before" "SELECT quote_ident(indexname) FROM pg_indexes WHERE schemaname = 'public'"); do
      sql "$before" "DROP INDEX $index"
    done
  fi
  echo "scale $scale: $(sql "$after" "SELECT count(*) FROM pg_indexes WHERE schemaname = 'public'") indexes after," \
    "$(sql "$before" "SELECT count(*) FROM pg_indexes WHERE schemaname = 'public'") before" >&2
  roots+=(--root "pg-before:$scale=$data/$before" --root "pg-after:$scale=$data/$after")
done

mkdir -p "$data/work" bench/results
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
"$bin/orvex_bench" suite "${roots[@]}" --server "$bin/orvex-server" --web-root web --work "$data/work" \
  --out bench/results/warehouse.json --runs "$runs"

narrow="SELECT {[Measures].[Unit Sales]} ON 0, NON EMPTY [Store].[Store City].Members ON 1 FROM [Sales] WHERE ([Time].[1997].[Q1].[1])"
# Milliseconds of one fresh orvex-mdx run of the narrow statement on catalog root $1.
narrow_ms() {
  local start end
  start=$(date +%s%N)
  "$bin/orvex-mdx" --catalogs "$1" "$narrow" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000000))
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
echo
printf '%-44s %6s %12s %12s %7s\n' "one month, store cities (orvex-mdx, ms)" scale before after ratio
for scale in $scales; do
  plain=() indexed=()
  for _ in $(seq 1 "$runs"); do
    plain+=("$(narrow_ms "$data/s${scale}_plain")")
    indexed+=("$(narrow_ms "$data/s$scale")")
  done
  b=$(printf '%s\n' "${plain[@]}" | median) a=$(printf '%s\n' "${indexed[@]}" | median)
  printf '%-44s %6s %12s %12s %7.2f\n' "" "$scale" "$b" "$a" "$(awk -v a="$a" -v b="$b" 'BEGIN { print (a > 0 ? b / a : 0) }')"
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"

#!/usr/bin/env bash
# Our statements on a two-shard ClickHouse cluster against hand-written
# ClickHouse SQL for the same cells, and against the DuckDB store.
#   bench/clickhouse/run.sh [BUILD_DIR]
# Environment: BENCH_CLICKHOUSE_SCALE (default 10), BENCH_RUNS (5).
# Starts a throw-away cluster (scripts/ch_cluster.sh), loads the sample at
# that scale into it and into DuckDB (kept in bench/data), and for each
# statement prints the best of BENCH_RUNS: the whole statement through
# orvex-mdx on either store (a fresh process: members loaded, cells cold),
# the engine's grouped SELECT on the cluster, and the hand-written SQL.
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/../.."
scale=${BENCH_CLICKHOUSE_SCALE:-10}
runs=${BENCH_RUNS:-5}
data=bench/data/clickhouse
schema=data/catalogs/Sample/schema.xml
cmake --build "$build_dir" --target orvex-mdx orvex-sample -j "$(nproc)" >/dev/null
bin=$build_dir/bin

trap 'scripts/ch_cluster.sh stop "$data/cluster"' EXIT
scripts/ch_cluster.sh start "$data/cluster" >/dev/null
urls=$(cat "$data/cluster/urls")
first=${urls%%,*}
mkdir -p "$data/ch/Sample" "$data/duckdb-$scale/Sample"
cp "$schema" "$data/ch/Sample/schema.xml"
cp "$schema" "$data/duckdb-$scale/Sample/schema.xml"
"$bin/orvex-sample" --catalog-dir "$data/ch/Sample" --store clickhouse --url "$urls" --database sample \
  --cluster "$(cat "$data/cluster/cluster")" --scale "$scale"
"$bin/orvex-sample" --catalog-dir "$data/duckdb-$scale/Sample" --scale "$scale" --if-missing

# Best wall time in ms of running "$@" $runs times.
best_ms() {
  local best=""
  for _ in $(seq 1 "$runs"); do
    local start end ms
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

# The slowest grouped SELECT the engine sends for a statement, in ms (best of the runs).
engine_sql_ms() {
  local best=""
  for _ in $(seq 1 "$runs"); do
    local ms
    ms=$(ORVEX_SQL_TRACE=1 "$bin/orvex-mdx" --catalogs "$data/ch" "$1" 2>&1 >/dev/null |
      grep 'GROUP BY' | sed 's/^\[orvex sql\] \([0-9.]*\) ms.*/\1/' | sort -g | tail -1)
    ms=${ms%.*}
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

hand() { curl -fsS "$first/" --data-binary "$1"; }

names=("cities in 1997" "departments by year (snowflake)")
mdx=(
  "SELECT {[Measures].[Unit Sales], [Measures].[Store Sales]} ON 0, NON EMPTY [Store].[Store City].Members ON 1 FROM [Sales] WHERE ([Time].[1997])"
  "SELECT {[Time].[1997], [Time].[1998]} ON 0, NON EMPTY [Product].[Product Department].Members ON 1 FROM [Sales]"
)
sql=(
  "SELECT store_state, store_city, sum(unit_sales), sum(store_sales) FROM (SELECT store_id, unit_sales, store_sales FROM sample.sales_fact WHERE time_id IN (SELECT time_id FROM sample.time_by_day WHERE the_year = 1997)) ALL INNER JOIN (SELECT store_id, store_state, store_city FROM sample.store) USING store_id GROUP BY store_state, store_city"
  "SELECT the_year, product_family, product_department, sum(unit_sales) FROM (SELECT * FROM (SELECT product_id, time_id, unit_sales FROM sample.sales_fact) ALL INNER JOIN (SELECT time_id, the_year FROM sample.time_by_day) USING time_id) ALL INNER JOIN (SELECT product_id, product_family, product_department FROM sample.product ALL INNER JOIN sample.product_class USING product_class_id) USING product_id GROUP BY the_year, product_family, product_department"
)
printf '%-34s %12s %12s %12s %12s %7s\n' "statement (scale $scale)" "mdx ch ms" "mdx duck ms" "engine sql" "hand sql" "ratio"
for index in "${!mdx[@]}"; do
  ch=$(best_ms "$bin/orvex-mdx" --catalogs "$data/ch" "${mdx[$index]}")
  duck=$(best_ms "$bin/orvex-mdx" --catalogs "$data/duckdb-$scale" "${mdx[$index]}")
  engine=$(engine_sql_ms "${mdx[$index]}")
  handwritten=$(best_ms hand "${sql[$index]}")
  ratio=$(awk -v a="$engine" -v b="$handwritten" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-34s %12s %12s %12s %12s %7s\n' "${names[$index]}" "$ch" "$duck" "$engine" "$handwritten" "$ratio"
done

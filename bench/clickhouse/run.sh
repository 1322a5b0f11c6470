#!/usr/bin/env bash
# Our statements on a two-shard ClickHouse cluster against hand-written
# ClickHouse SQL for the same cells, and against the DuckDB store.
#   bench/clickhouse/run.sh [BUILD_DIR]
# Environment: BENCH_CLICKHOUSE_SCALE (default 10), BENCH_RUNS (5).
# Starts a two-shard cluster whose servers keep their folders in
# bench/data/clickhouse/servers: the sample at a scale is loaded into its own
# database there once, and the DuckDB catalog of that scale made once, like
# the other scales of make bench. For each statement it prints medians of
# BENCH_RUNS runs, the stores and the hand-written SQL taken in turn, so that
# other work on the machine weighs on all alike:
#   cold   the statement in a session that has its members but no cells (engine_bench)
#   warm   the same statement again in that session
#   sql    the slowest grouped SELECT the engine sends for it (ORVEX_SQL_TRACE)
#   hand   hand-written ClickHouse SQL for the same cells (curl's total time)
#   ratio  sql / hand, the whole statement cold / hand, and the ClickHouse
#          store's cold / DuckDB's
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/../.."
scale=${BENCH_CLICKHOUSE_SCALE:-10}
runs=${BENCH_RUNS:-5}
data=bench/data/clickhouse
schema=data/catalogs/Sample/schema.xml
cmake --build "$build_dir" --target orvex-mdx orvex-sample engine_bench -j "$(nproc)" >/dev/null
bin=$build_dir/bin

trap 'scripts/ch_cluster.sh stop "$data/cluster"' EXIT
scripts/ch_cluster.sh start "$data/cluster" "$data/servers" >/dev/null
urls=$(cat "$data/cluster/urls")
first=${urls%%,*}
database=sample_$scale
ch=$data/ch-$scale
duck=bench/data/duckdb-$scale
mkdir -p "$ch/Sample" "$duck/Sample"
cp "$schema" "$ch/Sample/schema.xml"
cp "$schema" "$duck/Sample/schema.xml"
if [ -f "$data/servers/loaded-$scale" ]; then
  # The servers' ports are new at every start.
  printf 'store = clickhouse\nurl = %s\ndatabase = %s\ncluster = %s\n' "$urls" "$database" \
    "$(cat "$data/cluster/cluster")" > "$ch/Sample/store.conf"
else
  "$bin/orvex-sample" --catalog-dir "$ch/Sample" --store clickhouse --url "$urls" --database "$database" \
    --cluster "$(cat "$data/cluster/cluster")" --scale "$scale"
  touch "$data/servers/loaded-$scale"
fi
"$bin/orvex-sample" --catalog-dir "$duck/Sample" --scale "$scale" --if-missing

# The median of the numbers on standard input.
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print 0; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# "cold warm" in ms of one fresh session over the catalogs in $1 running $2.
session_ms() {
  "$bin/engine_bench" --catalogs "$1" --runs 1 --statement "$2" | tail -1 | awk '{ print $(NF - 2), $(NF - 1) }'
}

# The slowest grouped SELECT the engine sends for $1, in ms.
engine_sql_ms() {
  ORVEX_SQL_TRACE=1 "$bin/orvex-mdx" --catalogs "$ch" "$1" 2>&1 >/dev/null |
    grep 'GROUP BY' | sed 's/^\[orvex sql\] \([0-9.]*\) ms.*/\1/' | sort -g | tail -1
}

hand_ms() {
  curl -fsS -o /dev/null -w '%{time_total}\n' "$first/" --data-binary "${1//DB./$database.}" |
    awk '{ printf "%.1f\n", $1 * 1000 }'
}

# The two statements of its own, then the five of the engine suite of make
# bench as the cube view sends them (the families and departments written
# as one set where the view lists the members).
names=("cities in 1997" "departments by year (snowflake)" "families+departments x quarters"
  "cities x months of 1997" "customer states x gender" "state x family x media" "Product to leaves x year")
mdx=(
  "SELECT {[Measures].[Unit Sales], [Measures].[Store Sales]} ON 0, NON EMPTY [Store].[Store City].Members ON 1 FROM [Sales] WHERE ([Time].[1997])"
  "SELECT {[Time].[1997], [Time].[1998]} ON 0, NON EMPTY [Product].[Product Department].Members ON 1 FROM [Sales]"
  "WITH SET [Axis 0] AS '{([Time].[1997].[Q1]), ([Time].[1997].[Q2]), ([Time].[1997].[Q3]), ([Time].[1997].[Q4])}' SET [Axis 1] AS '{Except(Descendants([Product].[All Products], [Product].[Product Department], SELF_AND_BEFORE), {[Product].[All Products]})}' SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0), NON EMPTY Distinct({Order(Hierarchize([Axis 1]), Sum({[Axis 0]}, [Measures].[Unit Sales]), DESC)}) ON Axis(1) FROM [Sales] WHERE ([Measures].[Unit Sales])"
  "WITH SET [Axis 0] AS '{Descendants([Time].[1997], [Time].[Month])}' SET [Axis 1] AS '{[Store].[Store City].Members}' SELECT NON EMPTY Distinct({Hierarchize([Axis 0])}) ON Axis(0), NON EMPTY Distinct({Hierarchize([Axis 1])}) ON Axis(1) FROM [Sales] WHERE ([Measures].[Unit Sales])"
  "WITH MEMBER [Measures].[__Filtered__Store Sales] AS 'IIf(([Measures].[Store Sales] <= 1000), NULL, [Measures].[Store Sales])' SET [Axis 0] AS '{[Gender].[Gender].Members}' SET [Axis 1] AS '{[Customers].[State Province].Members}' SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0), NON EMPTY Distinct({Order(Hierarchize([Axis 1]), Sum({[Axis 0]}, [Measures].[__Filtered__Store Sales]), BDESC)}) ON Axis(1) FROM [Sales] WHERE ([Measures].[__Filtered__Store Sales])"
  "WITH SET [Axis 0] AS '{([Time].[1997]), ([Time].[1998])}' SET [Axis 1] AS '{CrossJoin(CrossJoin([Store].[Store State].Members, [Product].[Product Family].Members), [Promotion Media].[Media Type].Members)}' SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0), NON EMPTY Distinct({Hierarchize([Axis 1])}) ON Axis(1) FROM [Sales] WHERE ([Measures].[Unit Sales])"
  "WITH SET [Axis 0] AS '{([Time].[1997]), ([Time].[1998])}' SET [Axis 1] AS '{Descendants([Product].[All Products], [Product].[Product Name], SELF_AND_BEFORE)}' SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0), NON EMPTY Distinct({Hierarchize([Axis 1])}) ON Axis(1) FROM [Sales] WHERE ([Measures].[Unit Sales])"
)
# What a person who knows 18.16 would write for the same cells: the fact
# table read where it lies, so that each shard joins one dimension and sums
# its rows; filters as IN of a dimension; another dimension joined to the
# summed rows (one join per SELECT). DB stands for the database: a shard
# runs its part in its own default database. Where the view shows several
# levels of a hierarchy, the statement asks for the finest and the coarser
# levels are summed from its rows (families from departments, the product
# levels above the names from the names), as the engine does too. Time has
# no All member, so a view without Time on an axis is of 1997. The leaves
# join Time on the shards rather than Product: years cut the rows each
# shard sends to two per product, where days leave 730.
sql=(
  "SELECT store_state, store_city, sum(unit_sales), sum(store_sales) FROM DB.sales_fact ALL INNER JOIN (SELECT store_id, store_state, store_city FROM DB.store) USING store_id WHERE time_id IN (SELECT time_id FROM DB.time_by_day WHERE the_year = 1997) GROUP BY store_state, store_city"
  "SELECT the_year, product_family, product_department, sum(units) FROM (SELECT time_id, product_family, product_department, sum(unit_sales) AS units FROM DB.sales_fact ALL INNER JOIN (SELECT product_id, product_family, product_department FROM DB.product ALL INNER JOIN DB.product_class USING product_class_id) USING product_id GROUP BY time_id, product_family, product_department) ALL INNER JOIN (SELECT time_id, the_year FROM DB.time_by_day) USING time_id GROUP BY the_year, product_family, product_department"
  "SELECT quarter, product_family, product_department, sum(units) FROM (SELECT time_id, product_family, product_department, sum(unit_sales) AS units FROM DB.sales_fact ALL INNER JOIN (SELECT product_id, product_family, product_department FROM DB.product ALL INNER JOIN DB.product_class USING product_class_id) USING product_id WHERE time_id IN (SELECT time_id FROM DB.time_by_day WHERE the_year = 1997) GROUP BY time_id, product_family, product_department) ALL INNER JOIN (SELECT time_id, quarter FROM DB.time_by_day) USING time_id GROUP BY quarter, product_family, product_department"
  "SELECT store_state, store_city, quarter, month_of_year, sum(units) FROM (SELECT time_id, store_state, store_city, sum(unit_sales) AS units FROM DB.sales_fact ALL INNER JOIN (SELECT store_id, store_state, store_city FROM DB.store) USING store_id WHERE time_id IN (SELECT time_id FROM DB.time_by_day WHERE the_year = 1997) GROUP BY time_id, store_state, store_city) ALL INNER JOIN (SELECT time_id, quarter, month_of_year FROM DB.time_by_day) USING time_id GROUP BY store_state, store_city, quarter, month_of_year"
  "SELECT country, state_province, gender, sum(store_sales) FROM DB.sales_fact ALL INNER JOIN (SELECT customer_id, country, state_province, gender FROM DB.customer) USING customer_id WHERE time_id IN (SELECT time_id FROM DB.time_by_day WHERE the_year = 1997) GROUP BY country, state_province, gender"
  "SELECT the_year, store_state, product_family, media_type, sum(units) FROM (SELECT the_year, store_state, product_family, promotion_id, sum(units) AS units FROM (SELECT the_year, store_id, product_family, promotion_id, sum(units) AS units FROM (SELECT time_id, store_id, promotion_id, product_family, sum(unit_sales) AS units FROM DB.sales_fact ALL INNER JOIN (SELECT product_id, product_family FROM DB.product ALL INNER JOIN DB.product_class USING product_class_id) USING product_id GROUP BY time_id, store_id, promotion_id, product_family) ALL INNER JOIN (SELECT time_id, the_year FROM DB.time_by_day) USING time_id GROUP BY the_year, store_id, product_family, promotion_id) ALL INNER JOIN (SELECT store_id, store_state FROM DB.store) USING store_id GROUP BY the_year, store_state, product_family, promotion_id) ALL INNER JOIN (SELECT promotion_id, media_type FROM DB.promotion) USING promotion_id GROUP BY the_year, store_state, product_family, media_type"
  "SELECT the_year, product_name, sum(units) FROM (SELECT the_year, product_id, sum(unit_sales) AS units FROM DB.sales_fact ALL INNER JOIN (SELECT time_id, the_year FROM DB.time_by_day) USING time_id GROUP BY the_year, product_id) ALL INNER JOIN (SELECT product_id, product_name FROM DB.product) USING product_id GROUP BY the_year, product_name"
)
echo "ClickHouse, two shards on this machine, scale $scale; medians of $runs runs; load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-32s %9s %9s %9s %9s %9s %9s %8s %9s %7s\n' "statement" "cold ms" "warm ms" "sql ms" "hand ms" \
  "duck cold" "duck warm" "sql/hand" "cold/hand" "ch/duck"
for index in "${!mdx[@]}"; do
  samples=$(mktemp)
  for _ in $(seq 1 "$runs"); do
    read -r ch_cold ch_warm < <(session_ms "$ch" "${mdx[$index]}")
    read -r duck_cold duck_warm < <(session_ms "$duck" "${mdx[$index]}")
    echo "$ch_cold $ch_warm $(engine_sql_ms "${mdx[$index]}") $(hand_ms "${sql[$index]}") $duck_cold $duck_warm" >> "$samples"
  done
  pick() { awk -v c="$1" '{ print $c }' "$samples" | median; }
  cold=$(pick 1) warm=$(pick 2) engine=$(pick 3) hand=$(pick 4) duck_cold=$(pick 5) duck_warm=$(pick 6)
  rm -f "$samples"
  ratio=$(awk -v a="$engine" -v b="$hand" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  whole=$(awk -v a="$cold" -v b="$hand" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  versus=$(awk -v a="$cold" -v b="$duck_cold" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-32s %9s %9s %9s %9s %9s %9s %8s %9s %7s\n' "${names[$index]}" "$cold" "$warm" "$engine" "$hand" \
    "$duck_cold" "$duck_warm" "$ratio" "$whole" "$versus"
done

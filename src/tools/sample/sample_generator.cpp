#include "tools/sample/sample_generator.h"

#include <unistd.h>

#include <cmath>
#include <string>

#include "engine/common/engine_error.h"
#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/clickhouse/clickhouse_table_copy.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "engine/store/row_set.h"
#include "engine/store/store_config.h"
#include "tools/load/warehouse_indexes.h"
#include "tools/sample/sample_reference.h"

namespace orvex::tools {
namespace {

using engine::DuckDbDatabase;
using engine::PostgresConnection;
using engine::StoreConfig;

constexpr double kSalesPerScale = 100000;
constexpr int kCustomers = 10000;

// Slots per partition of a slot table: a draw modulo this picks a slot.
constexpr int64_t kSlots = 1 << 17;

// Weighted choice by hash join: `name` gives every row of `source` (which
// has an integer weight column w) a run of the numbers 0 to kSlots - 1, as
// long as its share of its partition's weight; a draw modulo kSlots then
// picks rows in proportion to their weight through an equality join on a
// small table, so millions of draws take seconds. Integer arithmetic makes
// the runs cover every number exactly once.
std::string Slots(const std::string& name, const std::string& source, const std::string& order,
                  const std::string& partition = "") {
  std::string over = partition.empty() ? "" : "PARTITION BY " + partition + " ";
  std::string running = "SUM(w) OVER (" + over + "ORDER BY " + order + " ROWS UNBOUNDED PRECEDING)";
  std::string total = "SUM(w) OVER (" + over + ")";
  std::string slots = std::to_string(kSlots);
  return "CREATE TEMP TABLE " + name + " AS SELECT * EXCLUDE (w, first_slot, end_slot),\n" +
         "  CAST(unnest(range(first_slot, end_slot)) AS INTEGER) AS slot\nFROM (SELECT *, CAST((" + running +
         " - w) * " + slots + " // " + total + " AS BIGINT) AS first_slot, CAST(" + running + " * " + slots +
         " // " + total + " AS BIGINT) AS end_slot\n      FROM (" + source + "));\n";
}

// A pseudo-random number for `value` in stream `stream`, the same on every
// run. DuckDB's hash of several values keeps their low bits related, so one
// value is hashed per stream and the well-mixed high bits are used.
std::string Random(const std::string& value, int stream) {
  return "(hash(" + value + " * 64 + " + std::to_string(stream) + ") >> 20)";
}

// The slot a row's draw `stream` picks.
std::string SlotDraw(int stream) {
  return "CAST(" + Random("i", stream) + " % " + std::to_string(kSlots) + " AS INTEGER)";
}

// The join that picks one row of slot table `name` by slot column `slot`, within `partition` = `value`.
std::string Pick(const std::string& name, const std::string& alias, const std::string& slot,
                 const std::string& partition = "", const std::string& value = "") {
  std::string join = "JOIN " + name + " AS " + alias + " ON " + alias + ".slot = " + slot;
  if (!partition.empty()) join += " AND " + alias + "." + partition + " = " + value;
  return join + "\n";
}

std::string TimeSql() {
  return R"(CREATE TABLE time_by_day AS
SELECT CAST(row_number() OVER (ORDER BY d) AS INTEGER) AS time_id, CAST(d AS DATE) AS the_date,
       CAST(year(d) AS INTEGER) AS the_year, 'Q' || quarter(d) AS quarter, CAST(month(d) AS INTEGER) AS month_of_year,
       monthname(d) AS the_month, CAST(day(d) AS INTEGER) AS day_of_month, dayname(d) AS the_day
FROM range(DATE '1997-01-01', DATE '1999-01-01', INTERVAL 1 DAY) AS days(d);
)";
}

std::string CustomerSql() {
  return Slots("s_city", "SELECT country, state_province, city, CAST(weight AS INTEGER) AS w FROM customer_city",
               "country, state_province, city") +
         "CREATE TABLE customer AS\n"
         "WITH c AS (SELECT i AS customer_id, " + SlotDraw(11) + " AS h_city, " + Random("i", 12) + " % 100 AS h\n"
         "           FROM range(1, " + std::to_string(kCustomers + 1) + ") AS ids(i))\n"
         // Names follow from the id so that no two customers share one.
         "SELECT CAST(c.customer_id AS INTEGER) AS customer_id, w.country, w.state_province, w.city,\n"
         "       f.name || ' ' || chr(CAST(65 + (c.customer_id // 4800) % 26 AS INTEGER)) || '. ' || l.name AS fullname,\n"
         "       f.gender, CASE WHEN c.h < 55 THEN 'M' ELSE 'S' END AS marital_status\n"
         "FROM c " + Pick("s_city", "w", "c.h_city") +
         "JOIN first_name f ON f.position = c.customer_id % 60\n"
         "JOIN last_name l ON l.position = (c.customer_id // 60) % 80\n"
         "ORDER BY c.customer_id;\n";
}

// The weighted tables the sales are drawn from: days with seasons and busy
// weekends, stores by size once open, frequent customers of the store's
// country, best-selling products and promotion media by year.
std::string WeightsSql() {
  const std::string years = "(VALUES (1997), (1998)) AS y(the_year)";
  return Slots("s_day",
               "SELECT time_id, the_year, CAST(round(100\n"
               "  * [0.9, 0.85, 0.95, 0.95, 1.0, 1.0, 1.05, 1.05, 0.95, 1.05, 1.2, 1.45][month_of_year]\n"
               "  * CASE WHEN dayofweek(the_date) IN (0, 6) THEN 1.3 ELSE 1.0 END\n"
               "  * CASE WHEN the_year = 1998 THEN 1.15 ELSE 1.0 END) AS INTEGER) AS w FROM time_by_day",
               "time_id") +
         Slots("s_store",
               "SELECT y.the_year, s.store_id, s.store_country, CAST(s.weight / 1000 AS INTEGER) AS w FROM store s JOIN " +
                   years + " ON s.first_year <= y.the_year AND s.weight > 0",
               "store_id", "the_year") +
         Slots("s_customer",
               "SELECT country, customer_id, CASE WHEN " + Random("customer_id", 13) + " % 10 = 0 THEN 6 ELSE 1 END AS w FROM customer",
               "customer_id", "country") +
         Slots("s_product",
               "SELECT p.product_id, p.srp, c.product_department, CAST(40 // (1 + " + Random("p.product_id", 21) + " % 40) AS INTEGER) AS w"
               " FROM product p JOIN product_class c USING (product_class_id)",
               "product_id") +
         Slots("s_promotion",
               "SELECT y.the_year, m.promotion_id, CAST(m.weight AS INTEGER) AS w FROM promotion m JOIN " + years +
                   " ON m.first_year <= y.the_year",
               "promotion_id", "the_year");
}

std::string SalesSql(int64_t rows) {
  return "CREATE TABLE sales_fact AS\n"
         "WITH d AS (SELECT " + SlotDraw(31) + " AS k_day, " + SlotDraw(32) + " AS k_store, " + SlotDraw(33) +
         " AS k_customer, " + SlotDraw(34) + " AS k_product, " + SlotDraw(35) + " AS k_promotion,\n"
         "    CAST(1 + floor(pow((" + Random("i", 36) + " % 1000) / 1000.0, 2) * 5) AS INTEGER) AS units,\n"
         "    (" + Random("i", 37) + " % 1000) / 1000.0 AS u_cost FROM range(" + std::to_string(rows) + ") AS ids(i))\n"
         "SELECT p.product_id, t.time_id, c.customer_id, m.promotion_id, s.store_id,\n"
         "       CAST(round(d.units * p.srp, 2) AS DECIMAL(18, 2)) AS store_sales,\n"
         "       CAST(round(d.units * p.srp * (0.3 + 0.2 * d.u_cost), 4) AS DECIMAL(18, 4)) AS store_cost,\n"
         "       d.units AS unit_sales\n"
         "FROM d\n" +
         Pick("s_day", "t", "d.k_day") + Pick("s_store", "s", "d.k_store", "the_year", "t.the_year") +
         Pick("s_customer", "c", "d.k_customer", "country", "s.store_country") + Pick("s_product", "p", "d.k_product") +
         Pick("s_promotion", "m", "d.k_promotion", "the_year", "t.the_year") +
         // Mexican stores carry no periodicals: one more corner for NON EMPTY to find.
         "WHERE NOT (s.store_country = 'Mexico' AND p.product_department = 'Periodicals')\n"
         "ORDER BY t.time_id;\n";
}

// A connection for loading: loads take as long as they take.
PostgresConnection ConnectForLoading(const StoreConfig& store) {
  engine::PostgresSettings settings = store.postgres;
  settings.statement_timeout = std::chrono::milliseconds(0);
  return PostgresConnection::Open(settings);
}

}  // namespace

void SampleGenerator::Generate(const std::filesystem::path& folder, double scale) {
  if (!(scale > 0) || !std::isfinite(scale)) throw engine::EngineError("The scale must be a positive number.");
  StoreConfig store = StoreConfig::Read(folder);
  int64_t rows = std::max<int64_t>(1, std::llround(kSalesPerScale * scale));
  std::filesystem::create_directories(folder);
  std::filesystem::path target = folder / "data.duckdb";
  std::filesystem::path building = folder / ("data.duckdb.building-" + std::to_string(getpid()));
  std::filesystem::remove(building);
  std::filesystem::remove(building.string() + ".wal");
  try {
    {
      auto database = DuckDbDatabase::Open(building, DuckDbDatabase::Mode::kReadWrite);
      auto connection = database.Connect();
      connection.Execute(TimeSql());
      connection.Execute(sample::StoreSql());
      connection.Execute(sample::ProductSql());
      connection.Execute(sample::CustomerReferenceSql());
      connection.Execute(CustomerSql());
      connection.Execute(sample::PromotionSql());
      connection.Execute(WeightsSql());
      connection.Execute(SalesSql(rows));
      connection.Execute("CREATE TABLE orvex_sample AS SELECT CAST(" + engine::ToText(engine::KeyValue(scale)) +
                         " AS DOUBLE) AS scale, (SELECT COUNT(*) FROM sales_fact) AS sales;\nCHECKPOINT;");
    }
    if (store.kind == StoreConfig::Kind::kClickHouse) {
      // The same data again, the sales spread over the cluster's shards.
      auto source = DuckDbDatabase::Open(building, DuckDbDatabase::Mode::kReadOnly).Connect();
      engine::CopyTablesToClickHouse(source, engine::DuckDbTableNames(source), {"sales_fact"}, store.clickhouse);
      std::filesystem::remove(building);
      return;
    }
    if (store.kind == StoreConfig::Kind::kPostgres) {
      // Built in DuckDB as always, so both stores hold the same data; then
      // copied over in one transaction, which keeps the old tables until it commits.
      auto source = DuckDbDatabase::Open(building, DuckDbDatabase::Mode::kReadOnly).Connect();
      auto target = ConnectForLoading(store);
      engine::CopyTablesToPostgres(source, engine::DuckDbTableNames(source), target, WarehouseIndexes(folder));
      std::filesystem::remove(building);
      return;
    }
    std::filesystem::rename(building, target);
    std::filesystem::remove(target.string() + ".wal");
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove(building, ignored);
    std::filesystem::remove(building.string() + ".wal", ignored);
    throw;
  }
}

std::optional<double> SampleGenerator::RecordedScale(const std::filesystem::path& folder) {
  try {
    StoreConfig store = StoreConfig::Read(folder);
    const std::string sql = "SELECT scale FROM orvex_sample";
    engine::RowSet rows =
        store.kind == StoreConfig::Kind::kClickHouse ? store.Open()->Query(sql)
        : store.kind == StoreConfig::Kind::kPostgres
            ? ConnectForLoading(store).Query(sql)
            : DuckDbDatabase::Open(folder / "data.duckdb", DuckDbDatabase::Mode::kReadOnly).Connect().Query(sql);
    double scale = 0;
    if (rows.row_count() == 1 && engine::ToDouble(rows.at(0, 0), scale)) return scale;
  } catch (const ComError&) {
  }
  return std::nullopt;
}

}  // namespace orvex::tools

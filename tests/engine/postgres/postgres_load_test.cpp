// orvex-load into a catalog whose store.conf names the test server: the
// same files give the same tables as in DuckDB, and a failed load changes
// no table.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/duckdb/duckdb_store.h"
#include "engine/store/postgres/postgres_connection.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "engine/store/postgres/postgres_store.h"
#include "platform/com/com_error.h"
#include "postgres_test_server.h"
#include "temp_dir.h"
#include "text_file.h"
#include "tools/load/table_loader.h"
#include "tools/load/warehouse_indexes.h"

namespace orvex::tools {
namespace {

using testing::RenderRows;
using testing::TempDir;
using testing::WriteTextFile;

// A catalog folder whose store is the scratch database of the test server.
std::filesystem::path PostgresCatalog(const TempDir& dir) {
  std::filesystem::create_directories(dir / "pg");
  WriteTextFile(dir / "pg/store.conf", testing::PostgresStoreConf("scratch"));
  return dir / "pg";
}

engine::PostgresStore ScratchStore() { return engine::PostgresStore(testing::PostgresTestSettings("scratch")); }

TEST(PostgresLoadTest, CsvAndParquetLoadIntoTheServerAsIntoDuckDb) {
  TempDir dir;
  auto csv = WriteTextFile(dir / "load_sales.csv",
                           "id,region,amount,day\n1,north,5.25,1997-01-02\n2,\"so, \"\"uth\"\"\",,1997-02-03\n"
                           "3,ünï\\x,7,\n");
  {
    auto scratch = engine::DuckDbDatabase::Open(dir / "make.duckdb", engine::DuckDbDatabase::Mode::kReadWrite);
    scratch.Connect().Execute("COPY (SELECT range AS id, 'p' || range AS name, range * 0.5 AS weight FROM range(250000)) TO " +
                              engine::QuoteStandardLiteral((dir / "load_items.parquet").string()) + " (FORMAT PARQUET)");
  }
  std::vector<TableLoader::Table> tables = {{"load_sales", csv}, {"load items", dir / "load_items.parquet"}};
  TableLoader::Load(dir / "duck", tables);
  std::vector<int64_t> duckdb_rows = {tables[0].rows, tables[1].rows};
  TableLoader::Load(PostgresCatalog(dir), tables);
  EXPECT_EQ(tables[0].rows, 3);
  EXPECT_EQ(tables[1].rows, 250000);
  EXPECT_EQ(std::vector<int64_t>({tables[0].rows, tables[1].rows}), duckdb_rows);

  auto duckdb = engine::DuckDbStore::Open(dir / "duck" / "data.duckdb");
  auto postgres = ScratchStore();
  for (const char* sql : {"SELECT * FROM load_sales ORDER BY id",
                          "SELECT count(*), CAST(sum(id) AS BIGINT), min(name), max(weight) FROM \"load items\""}) {
    SCOPED_TRACE(sql);
    EXPECT_EQ(RenderRows(postgres.Query(sql)), RenderRows(duckdb->Query(sql)));
  }
}

TEST(PostgresLoadTest, LoadThatFailsChangesNoTable) {
  TempDir dir;
  std::filesystem::path catalog = PostgresCatalog(dir);
  std::vector<TableLoader::Table> first = {{"load_kept", WriteTextFile(dir / "kept.csv", "x\n1\n2\n")}};
  TableLoader::Load(catalog, first);
  std::vector<TableLoader::Table> second = {{"load_kept", WriteTextFile(dir / "new.csv", "x\n3\n")},
                                            {"load_broken", WriteTextFile(dir / "broken.parquet", "not parquet")}};
  EXPECT_THROW(TableLoader::Load(catalog, second), ComError);
  EXPECT_EQ(RenderRows(ScratchStore().Query("SELECT x FROM load_kept ORDER BY x")),
            (std::vector<std::string>{"int:1", "int:2"}));
}

// A snowflake cube over warehouse tables: a shared dimension used through a
// DimensionUsage, a joined one keyed on its left table, one whose levels are
// fact columns (nothing to join) and one whose foreign key the fact table
// does not have.
constexpr const char* kWarehouseSchema = R"(<Schema name="Warehouse">
  <Dimension name="Store">
    <Hierarchy hasAll="true" primaryKey="store_id">
      <Table name="wh_store"/>
      <Level name="City" column="city"/>
    </Hierarchy>
  </Dimension>
  <Cube name="Sales">
    <Table name="wh_sales"/>
    <DimensionUsage name="Store" source="Store" foreignKey="store_id"/>
    <Dimension name="Product" foreignKey="product_id">
      <Hierarchy hasAll="true" primaryKey="product_id" primaryKeyTable="wh_product">
        <Join leftKey="class_id" rightKey="class_id">
          <Table name="wh_product"/>
          <Table name="wh_class"/>
        </Join>
        <Level name="Family" table="wh_class" column="family"/>
        <Level name="Product" table="wh_product" column="name"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Kind">
      <Hierarchy hasAll="true">
        <Level name="Kind" column="kind"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Missing" foreignKey="missing_id">
      <Hierarchy hasAll="true" primaryKey="store_id">
        <Table name="wh_store"/>
        <Level name="Name" column="city"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/>
  </Cube>
</Schema>
)";

// The catalog's indexes as (table, column) pairs, read back from the server.
std::vector<std::string> ServerIndexes() {
  auto connection = engine::PostgresConnection::Open(testing::PostgresTestSettings("scratch"));
  return RenderRows(connection.Query(
      "SELECT tablename, indexname, indexdef FROM pg_indexes WHERE schemaname = current_schema() AND "
      "tablename LIKE 'wh\\_%' ORDER BY tablename, indexname"));
}

TEST(PostgresLoadTest, LoadIndexesTheKeysTheSchemaJoinsOnAndReloads) {
  TempDir dir;
  std::filesystem::path catalog = PostgresCatalog(dir);
  WriteTextFile(catalog / "schema.xml", kWarehouseSchema);
  std::vector<TableLoader::Table> tables = {
      {"wh_sales", WriteTextFile(dir / "sales.csv", "store_id,product_id,kind,amount\n1,10,a,2.5\n2,11,b,4\n1,11,a,1\n")},
      {"wh_store", WriteTextFile(dir / "store.csv", "store_id,city\n1,Oslo\n2,Lima\n")},
      {"wh_product", WriteTextFile(dir / "product.csv", "product_id,class_id,name\n10,100,pen\n11,101,cup\n")},
      {"wh_class", WriteTextFile(dir / "class.csv", "class_id,family\n100,Office\n101,Kitchen\n")}};
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"wh_class", "class_id"}, {"wh_product", "class_id"}, {"wh_product", "product_id"},
      {"wh_sales", "product_id"}, {"wh_sales", "store_id"}, {"wh_store", "store_id"}};
  std::vector<std::string> wanted;
  for (const auto& [table, column] : expected) {
    std::string name = engine::PostgresIndexName(table, column);
    wanted.push_back("text:" + table + " | text:" + name + " | text:CREATE INDEX " + name + " ON public." + table +
                     " USING btree (" + column + ")");
  }
  std::sort(wanted.begin(), wanted.end());
  const std::string sum = "SELECT s.city, sum(f.amount) FROM wh_sales f JOIN wh_store s ON s.store_id = f.store_id "
                          "GROUP BY s.city ORDER BY s.city";
  std::vector<std::string> first_sums;
  for (int load = 0; load < 2; ++load) {
    SCOPED_TRACE("load " + std::to_string(load + 1));
    ASSERT_NO_THROW(TableLoader::Load(catalog, tables));
    EXPECT_EQ(ServerIndexes(), wanted);
    std::vector<std::string> sums = RenderRows(ScratchStore().Query(sum));
    if (load == 0) first_sums = sums;
    EXPECT_EQ(sums, first_sums);
  }
  EXPECT_EQ(first_sums, (std::vector<std::string>{"text:Lima | exact:4", "text:Oslo | exact:3.5"}));

  // A load of one dimension table keeps the indexes of the others and builds its own again.
  std::vector<TableLoader::Table> one = {tables[1]};
  TableLoader::Load(catalog, one);
  EXPECT_EQ(ServerIndexes(), wanted);
}

TEST(PostgresLoadTest, IndexNamesStayApartAndWithinTheServersLimit) {
  const std::string long_name(80, 'x');
  const std::string accented = std::string(53, 'a') + "\xc3\xa9\xc3\xa9";  // cut inside an "é"
  struct Case {
    std::string table, column;
  } cases[] = {{"a_b", "c"}, {"a", "b_c"}, {long_name, "k1"}, {long_name, "k2"}, {accented, "k"}};
  std::vector<std::string> names;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table + " / " + c.column);
    std::string name = engine::PostgresIndexName(c.table, c.column);
    EXPECT_LE(name.size(), 63u);
    EXPECT_EQ(name, engine::PostgresIndexName(c.table, c.column));
    EXPECT_EQ(std::find(names.begin(), names.end(), name), names.end());
    // Whole UTF-8 characters only: no lead byte without its continuation.
    EXPECT_EQ(name.find("\xc3_"), std::string::npos);
    names.push_back(name);
  }
}

// Raised where nobody chose a value; a value the catalog passes for its
// connections (as for a before-and-after comparison) is kept, 0 included.
TEST(PostgresLoadTest, ConnectionsMayUseParallelWorkersUnlessTheCatalogChoseOtherwise) {
  const std::string raised = "least(4, current_setting('max_worker_processes')::int, "
                             "current_setting('max_parallel_workers')::int)";
  struct Case {
    std::string extra, expected;
  } cases[] = {{"", raised},
               {"options = -c max_parallel_workers_per_gather=1\n", "1"},
               {"options = -c max_parallel_workers_per_gather=0\n", "0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    auto connection = engine::PostgresConnection::Open(testing::PostgresTestSettings("scratch", c.extra));
    EXPECT_EQ(RenderRows(connection.Query("SELECT current_setting('max_parallel_workers_per_gather')::int = " +
                                          c.expected)),
              std::vector<std::string>{"int:1"});
  }
}

}  // namespace
}  // namespace orvex::tools

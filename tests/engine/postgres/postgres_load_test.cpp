// orvex-load into a catalog whose store.conf names the test server: the
// same files give the same tables as in DuckDB, and a failed load changes
// no table.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/duckdb/duckdb_store.h"
#include "engine/store/postgres/postgres_store.h"
#include "platform/com/com_error.h"
#include "postgres_test_server.h"
#include "temp_dir.h"
#include "text_file.h"
#include "tools/load/table_loader.h"

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

}  // namespace
}  // namespace orvex::tools

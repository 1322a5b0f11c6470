// Fixture step of the store tests: fills the test server of a store
// (postgres: scripts/pg_server.sh; clickhouse: the two-shard cluster of
// scripts/ch_cluster.sh, the sales spread over the shards) with the Tiny and
// the sample catalogs, and writes two data-source roots holding the same
// catalogs, one over the store (catalogs/) and one over DuckDB (duckdb/), for
// the tests to compare. catalogs/ also serves the browser walk, which opens
// the catalog whose names hold markup from its hidden folder .odd.
//   load_store_catalogs postgres|clickhouse STATE_DIR
#include <cstdlib>
#include <iostream>

#include "clickhouse_test_cluster.h"
#include "engine/store/clickhouse/clickhouse_table_copy.h"
#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "platform/com/com_error.h"
#include "postgres_test_server.h"
#include "tiny_catalog.h"
#include "tiny_engine.h"
#include "tools/sample/sample_generator.h"

namespace {

using namespace orvex;

enum class Store { kPostgres, kClickHouse };

std::string StoreConf(Store store, const std::string& database) {
  return store == Store::kPostgres ? testing::PostgresStoreConf(database) : testing::ClickHouseStoreConf(database);
}

std::string ReadSource(const std::filesystem::path& relative) {
  std::filesystem::path path = std::filesystem::path(ORVEX_SOURCE_DIR) / relative;
  std::string text = testing::ReadTextFile(path);
  if (text.empty()) throw std::runtime_error("cannot read " + path.string());
  return text;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  testing::WriteTextFile(path, text);
}

// Tiny is built in DuckDB from its SQL, then copied table by table into the store.
void LoadTiny(Store store, const std::filesystem::path& state) {
  std::string schema = ReadSource("tests/catalogs/Tiny/schema.xml");
  std::filesystem::path duckdb_folder =
      testing::WriteCatalog(state / "duckdb", "Tiny", schema, ReadSource("tests/catalogs/Tiny/data.sql"));
  auto connection = engine::DuckDbDatabase::Open(duckdb_folder / "data.duckdb",
                                                 engine::DuckDbDatabase::Mode::kReadOnly).Connect();
  std::vector<std::string> tables = engine::DuckDbTableNames(connection);
  if (store == Store::kPostgres) {
    auto target = engine::PostgresConnection::Open(testing::PostgresTestSettings("tiny"));
    engine::CopyTablesToPostgres(connection, tables, target);
  } else {
    engine::CopyTablesToClickHouse(connection, tables, {"sales_fact"}, testing::ClickHouseTestSettings("tiny"));
  }
  WriteFile(state / "catalogs" / "Tiny" / "schema.xml", schema);
  WriteFile(state / "catalogs" / "Tiny" / "store.conf", StoreConf(store, "tiny"));
}

// The same sample data twice, generated straight into each store.
void LoadSample(Store store, const std::filesystem::path& state) {
  std::string schema = ReadSource("data/catalogs/Sample/schema.xml");
  std::filesystem::path in_store = state / "catalogs" / "Sample";
  WriteFile(in_store / "schema.xml", schema);
  WriteFile(in_store / "store.conf", StoreConf(store, "sample"));
  tools::SampleGenerator::Generate(in_store, 1);
  std::filesystem::path in_duckdb = state / "duckdb" / "Sample";
  WriteFile(in_duckdb / "schema.xml", schema);
  tools::SampleGenerator::Generate(in_duckdb, 1);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string kind = argc == 3 ? argv[1] : "";
  if (kind != "postgres" && kind != "clickhouse") {
    std::cerr << "usage: load_store_catalogs postgres|clickhouse STATE_DIR\n";
    return 2;
  }
  const Store store = kind == "postgres" ? Store::kPostgres : Store::kClickHouse;
  const std::filesystem::path state = argv[2];
  // The helpers that name the server read its state folder from the tests' variable.
  ::setenv(store == Store::kPostgres ? "ORVEX_PG_TEST_DIR" : "ORVEX_CH_TEST_DIR", argv[2], 1);
  try {
    std::filesystem::remove_all(state / "catalogs");
    std::filesystem::remove_all(state / "duckdb");
    LoadTiny(store, state);
    LoadSample(store, state);
    testing::WriteTestCatalog(state / "catalogs" / ".odd", "Odd", testing::kOddCatalogName);
  } catch (const ComError& failure) {
    std::cerr << "load_store_catalogs: " << failure.description() << "\n";
    return 1;
  } catch (const std::exception& failure) {
    std::cerr << "load_store_catalogs: " << failure.what() << "\n";
    return 1;
  }
  std::cout << "Loaded Tiny and Sample into the " << kind << " test store.\n";
  return 0;
}

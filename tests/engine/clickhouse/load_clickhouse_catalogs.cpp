// Fixture step of the ClickHouse tests: fills the two-shard test cluster
// started by scripts/ch_cluster.sh with the Tiny and the sample catalogs,
// their sales spread over the shards, and writes two data-source roots with
// the same catalogs, one over the cluster (catalogs/) and one over DuckDB
// (duckdb/), for the tests to compare; catalogs/ also serves the browser walk.
//   load_clickhouse_catalogs STATE_DIR
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "clickhouse_test_cluster.h"
#include "engine/store/clickhouse/clickhouse_table_copy.h"
#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "platform/com/com_error.h"
#include "tiny_catalog.h"
#include "tiny_engine.h"
#include "tools/sample/sample_generator.h"

namespace {

using namespace orvex;

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

void LoadTiny() {
  std::filesystem::path source = std::filesystem::path(ORVEX_SOURCE_DIR) / "tests" / "catalogs" / "Tiny";
  std::string schema = testing::ReadTextFile(source / "schema.xml");
  std::filesystem::path duckdb_folder =
      testing::WriteCatalog(testing::ClickHouseDuckDbRoot(), "Tiny", schema, testing::ReadTextFile(source / "data.sql"));
  auto connection = engine::DuckDbDatabase::Open(duckdb_folder / "data.duckdb",
                                                 engine::DuckDbDatabase::Mode::kReadOnly).Connect();
  engine::CopyTablesToClickHouse(connection, engine::DuckDbTableNames(connection), {"sales_fact"},
                                 testing::ClickHouseTestSettings("tiny"));
  WriteFile(testing::ClickHouseCatalogsRoot() / "Tiny" / "schema.xml", schema);
  WriteFile(testing::ClickHouseCatalogsRoot() / "Tiny" / "store.conf", testing::ClickHouseStoreConf("tiny"));
}

void LoadSample() {
  std::string schema = testing::ReadTextFile(std::filesystem::path(ORVEX_SOURCE_DIR) / "data" / "catalogs" / "Sample" / "schema.xml");
  std::filesystem::path cluster = testing::ClickHouseCatalogsRoot() / "Sample";
  WriteFile(cluster / "schema.xml", schema);
  WriteFile(cluster / "store.conf", testing::ClickHouseStoreConf("sample"));
  tools::SampleGenerator::Generate(cluster, 1);
  std::filesystem::path duckdb = testing::ClickHouseDuckDbRoot() / "Sample";
  WriteFile(duckdb / "schema.xml", schema);
  tools::SampleGenerator::Generate(duckdb, 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: load_clickhouse_catalogs STATE_DIR\n";
    return 2;
  }
  ::setenv("ORVEX_CH_TEST_DIR", argv[1], 1);
  try {
    std::filesystem::remove_all(testing::ClickHouseCatalogsRoot());
    std::filesystem::remove_all(testing::ClickHouseDuckDbRoot());
    LoadTiny();
    LoadSample();
    // The browser walk also opens the catalog whose names hold markup, from its hidden folder.
    testing::WriteTestCatalog(testing::ClickHouseCatalogsRoot() / ".odd", "Odd", testing::kOddCatalogName);
  } catch (const ComError& failure) {
    std::cerr << "load_clickhouse_catalogs: " << failure.description() << "\n";
    return 1;
  } catch (const std::exception& failure) {
    std::cerr << "load_clickhouse_catalogs: " << failure.what() << "\n";
    return 1;
  }
  std::cout << "Loaded Tiny and Sample into the test cluster.\n";
  return 0;
}

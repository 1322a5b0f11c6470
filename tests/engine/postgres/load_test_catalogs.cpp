// Fixture step of the PostgreSQL tests: fills the test server started by
// scripts/pg_server.sh with the Tiny and the sample catalogs, and writes two
// data-source roots holding the same catalogs, one over the server
// (catalogs/) and one over DuckDB (duckdb/), for the tests to compare.
//   load_test_catalogs STATE_DIR
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "platform/com/com_error.h"
#include "postgres_test_server.h"
#include "tiny_catalog.h"
#include "tools/sample/sample_generator.h"

namespace {

using namespace orvex;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  if (!file) throw std::runtime_error("cannot read " + path.string());
  return text.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

void LoadTiny() {
  std::filesystem::path source = std::filesystem::path(ORVEX_SOURCE_DIR) / "tests" / "catalogs" / "Tiny";
  std::string schema = ReadFile(source / "schema.xml");
  std::filesystem::path duckdb_folder =
      testing::WriteCatalog(testing::DuckDbCatalogsRoot(), "Tiny", schema, ReadFile(source / "data.sql"));
  auto connection = engine::DuckDbDatabase::Open(duckdb_folder / "data.duckdb",
                                                 engine::DuckDbDatabase::Mode::kReadOnly).Connect();
  auto target = engine::PostgresConnection::Open(testing::PostgresTestSettings("tiny"));
  engine::CopyTablesToPostgres(connection, engine::DuckDbTableNames(connection), target);
  WriteFile(testing::PostgresCatalogsRoot() / "Tiny" / "schema.xml", schema);
  WriteFile(testing::PostgresCatalogsRoot() / "Tiny" / "store.conf", testing::PostgresStoreConf("tiny"));
}

// The same sample data twice, generated straight into each store.
void LoadSample() {
  std::string schema = ReadFile(std::filesystem::path(ORVEX_SOURCE_DIR) / "data" / "catalogs" / "Sample" / "schema.xml");
  std::filesystem::path postgres = testing::PostgresCatalogsRoot() / "Sample";
  WriteFile(postgres / "schema.xml", schema);
  WriteFile(postgres / "store.conf", testing::PostgresStoreConf("sample"));
  tools::SampleGenerator::Generate(postgres, 1);
  std::filesystem::path duckdb = testing::DuckDbCatalogsRoot() / "Sample";
  WriteFile(duckdb / "schema.xml", schema);
  tools::SampleGenerator::Generate(duckdb, 1);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: load_test_catalogs STATE_DIR\n";
    return 2;
  }
  ::setenv("ORVEX_PG_TEST_DIR", argv[1], 1);
  try {
    std::filesystem::remove_all(testing::PostgresCatalogsRoot());
    std::filesystem::remove_all(testing::DuckDbCatalogsRoot());
    LoadTiny();
    LoadSample();
  } catch (const ComError& failure) {
    std::cerr << "load_test_catalogs: " << failure.description() << "\n";
    return 1;
  } catch (const std::exception& failure) {
    std::cerr << "load_test_catalogs: " << failure.what() << "\n";
    return 1;
  }
  std::cout << "Loaded Tiny and Sample into the test server.\n";
  return 0;
}

#pragma once
// The PostgreSQL server of the test run (scripts/pg_server.sh, started by a
// ctest fixture): where it is and the catalogs loaded into it.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/store/postgres/postgres_settings.h"
#include "engine/store/row_set.h"
#include "engine/store/store_config.h"
#include "text_file.h"

namespace orvex::testing {

// The fixture's state folder (ORVEX_PG_TEST_DIR); empty when the tests run without the fixture.
inline std::filesystem::path PostgresTestDir() {
  const char* dir = std::getenv("ORVEX_PG_TEST_DIR");
  return dir && *dir ? std::filesystem::path(dir) : std::filesystem::path();
}

// The server's connection lines ("host = ...", "port = ...", "user = ...").
inline std::string PostgresConnInfo() { return ReadTextFile(PostgresTestDir() / "conninfo"); }

// A store.conf for `database` on the test server, with `extra` lines after it.
inline std::string PostgresStoreConf(const std::string& database, const std::string& extra = "") {
  return "store = postgres\n" + PostgresConnInfo() + "dbname = " + database + "\n" + extra;
}

// Settings for `database` on the test server.
inline engine::PostgresSettings PostgresTestSettings(const std::string& database, const std::string& extra = "") {
  return engine::StoreConfig::Parse(PostgresStoreConf(database, extra)).postgres;
}

// Data-source roots with the same catalogs ("Tiny", "Sample") in each store.
inline std::filesystem::path PostgresCatalogsRoot() { return PostgresTestDir() / "catalogs"; }
inline std::filesystem::path DuckDbCatalogsRoot() { return PostgresTestDir() / "duckdb"; }

// One line per row, each value with its kind, so that 1, 1.0 and "1" differ.
inline std::vector<std::string> RenderRows(const engine::RowSet& rows) {
  std::vector<std::string> lines;
  for (size_t row = 0; row < rows.row_count(); ++row) {
    std::string line;
    for (size_t column = 0; column < rows.column_count(); ++column) {
      static constexpr const char* kKinds[] = {"null", "int", "real", "text", "exact"};
      const engine::KeyValue& value = rows.at(row, column);
      line += std::string(column ? " | " : "") + kKinds[value.index()] + ":" + engine::ToText(value);
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace orvex::testing

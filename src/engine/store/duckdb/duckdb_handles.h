#pragma once
// The C handles behind DuckDbDatabase and DuckDbConnection; included only by
// their .cpp files, so that no other header sees a DuckDB type.
#include <duckdb.h>

#include <memory>

#include "engine/store/duckdb/duckdb_connection.h"
#include "engine/store/duckdb/duckdb_database.h"

namespace orvex::engine {

struct DuckDbDatabase::Handle {
  duckdb_database database = nullptr;
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (database) duckdb_close(&database);
  }
};

struct DuckDbConnection::Handle {
  duckdb_connection connection = nullptr;
  std::shared_ptr<const void> database;  // keeps the database open while this connection lives
  Handle() = default;
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (connection) duckdb_disconnect(&connection);
  }
};

}  // namespace orvex::engine

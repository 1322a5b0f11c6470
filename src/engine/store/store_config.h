#pragma once
#include <filesystem>
#include <memory>
#include <string_view>

#include "engine/store/clickhouse/clickhouse_settings.h"
#include "engine/store/postgres/postgres_settings.h"
#include "engine/store/store.h"

namespace orvex::engine {

// Where a catalog's tables live. A catalog folder holds its tables in
// data.duckdb, unless a store.conf beside schema.xml names a PostgreSQL
// server instead:
//
//   # lines "setting = value"; blank lines and lines starting with # are skipped
//   store = postgres
//   host = db.example.com
//   dbname = sales
//   user = orvex
//   passfile = /etc/orvex/pgpass
//   statement_timeout = 30
//
// Settings: `store` (postgres or duckdb), the libpq connection keywords
// host, hostaddr, port, dbname, user, password, passfile, connect_timeout,
// sslmode, sslcert, sslkey, sslrootcert, sslcrl, application_name, options,
// target_session_attrs and service, and Orvex's statement_timeout (seconds)
// and max_connections. A ClickHouse store (store = clickhouse) takes url
// (one address, or the cluster's servers separated by commas, statements
// going to the first), database, user, password or password_file, cluster,
// statement_timeout and max_connections. Errors name the line and setting, never a value, so
// that no password reaches a page or a log.
struct StoreConfig {
  enum class Kind { kDuckDb, kPostgres, kClickHouse };
  Kind kind = Kind::kDuckDb;
  std::filesystem::path duckdb_file;  // kDuckDb: the folder's data.duckdb
  PostgresSettings postgres;          // kPostgres
  ClickHouseSettings clickhouse;      // kClickHouse

  // The store of `folder`: its store.conf when there is one, else its
  // data.duckdb. Throws ComError when store.conf cannot be read or is wrong.
  static StoreConfig Read(const std::filesystem::path& folder);
  // The settings of one store.conf text; throws ComError naming the line at fault.
  static StoreConfig Parse(std::string_view text);

  // Opens the store. DuckDB opens its file read-only now (and throws when it
  // is missing); PostgreSQL connects on the first statement, so that a
  // catalog whose server is down still loads and recovers by itself.
  std::shared_ptr<const Store> Open() const;
};

}  // namespace orvex::engine

#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/store/duckdb/duckdb_connection.h"
#include "engine/store/postgres/postgres_connection.h"

namespace orvex::engine {

// A single-column index to create on a copied table.
struct PostgresIndex {
  std::string table;
  std::string column;
  bool operator==(const PostgresIndex&) const = default;
};

// The name CopyTablesToPostgres gives the index of `column` on `table`: the
// same for the same pair on every load, within PostgreSQL's 63 bytes, and
// different pairs get different names even when cut short.
std::string PostgresIndexName(const std::string& table, const std::string& column);

// Copies tables of a DuckDB database into a PostgreSQL database: each table
// is created anew (replacing one of the same name) with the nearest
// PostgreSQL types, filled through COPY in batches (so a table of any size
// passes through little memory), given those of `indexes` that name it and
// one of its columns (others are passed over), and analysed. All tables go in one
// transaction: when one fails, none is changed. Texts get the "C" collation,
// so that members sort by their bytes, as DuckDB sorts them.
// Returns the rows copied per table, in the order given. Throws ComError
// for a table DuckDB does not have or a failure of either store.
std::vector<int64_t> CopyTablesToPostgres(DuckDbConnection& source, const std::vector<std::string>& tables,
                                          PostgresConnection& target,
                                          const std::vector<PostgresIndex>& indexes = {});

// The names of the base tables of a DuckDB database, in name order.
std::vector<std::string> DuckDbTableNames(DuckDbConnection& source);

}  // namespace orvex::engine

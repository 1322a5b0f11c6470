#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/store/duckdb/duckdb_connection.h"
#include "engine/store/postgres/postgres_connection.h"

namespace orvex::engine {

// Copies tables of a DuckDB database into a PostgreSQL database: each table
// is created anew (replacing one of the same name) with the nearest
// PostgreSQL types, filled through COPY in batches (so a table of any size
// passes through little memory) and analysed. All tables go in one
// transaction: when one fails, none is changed. Texts get the "C" collation,
// so that members sort by their bytes, as DuckDB sorts them.
// Returns the rows copied per table, in the order given. Throws ComError
// for a table DuckDB does not have or a failure of either store.
std::vector<int64_t> CopyTablesToPostgres(DuckDbConnection& source, const std::vector<std::string>& tables,
                                          PostgresConnection& target);

// The names of the base tables of a DuckDB database, in name order.
std::vector<std::string> DuckDbTableNames(DuckDbConnection& source);

}  // namespace orvex::engine

#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/store/clickhouse/clickhouse_settings.h"
#include "engine/store/duckdb/duckdb_connection.h"

namespace orvex::engine {

// Copies tables of a DuckDB database to the ClickHouse servers of
// `settings` (its database created when missing). Each table is created
// anew, replacing one of the same name, with the nearest ClickHouse types
// (every column Nullable, as DuckDB's are). A table in `fact_tables`, when
// the settings name a cluster, is spread over the servers: row n goes to
// server n modulo their count, into the table "<name>_shard", and "<name>"
// is a Distributed table over the cluster on every server; every other
// table is copied whole to each server, so each shard joins its own part.
// Without a cluster everything goes to the first server. Rows pass in
// batches, so a table of any size passes through little memory. ClickHouse
// has no transactions: a failure leaves the tables copied so far.
// Returns the rows copied per table, in the order given. Throws ComError.
std::vector<int64_t> CopyTablesToClickHouse(DuckDbConnection& source, const std::vector<std::string>& tables,
                                            const std::vector<std::string>& fact_tables,
                                            const ClickHouseSettings& settings);

// The ClickHouse type for a DuckDB column type ("INTEGER" to "Int32",
// "DECIMAL(10,2)" to "Decimal(10, 2)"), wrapped in Nullable. Throws ComError
// for a type with no counterpart.
std::string ClickHouseColumnType(const std::string& duckdb_type);

}  // namespace orvex::engine

#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/store/store.h"

namespace orvex::engine {

// What arranging a statement for the shards needs of the ClickHouse store.
struct ShardLocalContext {
  // Qualifies a table named without a schema: a shard does not know the
  // database the statement was sent with.
  std::string database;
  // The store's FROM clause of some tables of a statement (renamed-column subqueries, nested joins).
  std::function<std::string(const std::vector<Store::FromTable>&, const std::vector<Store::FromLink>&)> from_clause;
  // About how many rows a table holds; a guess is enough.
  std::function<int64_t(const Store::FromTable&)> row_count;
  // The number a statement of one value answers (SELECT uniq(...) FROM ...),
  // an estimate is enough; 0 when unknown. Empty: no estimates.
  std::function<int64_t(const std::string&)> count;
};

// A grouped statement arranged so that each shard joins and aggregates its
// own fact rows and the server it was sent to only merges: the fact table
// (Distributed) is the FROM of the statement the shards run, with one
// dimension joined there (of those grouped by, the one whose grouped
// columns take the fewest values per row of it), the other
// dimensions' filters as `key IN (SELECT ...)` of tables every shard holds,
// and the other grouped dimensions joined afterwards to rows already summed
// per key, their aggregates carried as partial states (sumState, sumMerge).
// Columns are named `alias.column` as ClickHouseStore::FromClause names them.
// nullopt when the statement has a shape this cannot keep exact (a filter
// over two dimensions not joined, an aggregate of a joined-late dimension,
// a dimension linked to the fact by more than one column, an aggregate it
// does not know); the caller then joins on the first server as before.
[[nodiscard]] std::optional<std::string> ShardLocalSelectSql(const Store::GroupedSelect& select,
                                                             const ShardLocalContext& context);

}  // namespace orvex::engine

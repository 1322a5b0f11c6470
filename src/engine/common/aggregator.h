#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "engine/common/decimal.h"

namespace orvex::engine {

enum class Aggregator { kSum, kCount, kMin, kMax, kAvg, kDistinctCount };

// Everything the engine knows about one aggregator, in one row: how a schema
// names it, how SQL computes it, and whether the values of finer cells
// combine into a coarser cell's (and how). Rows are static and immutable.
struct AggregatorInfo {
  Aggregator aggregator;
  std::string_view name;        // as a schema writes it, lower case
  std::string_view sql_prefix;  // the SQL aggregate up to its argument; ")" closes it
  // Folds `value` into `total`; null for aggregators whose parts do not
  // combine (an average of averages, a sum of distinct counts is wrong).
  void (*combine)(CellNumber& total, const CellNumber& value);

  bool rolls_up() const { return combine != nullptr; }
};

// The row of `aggregator`; every enumerator has one.
const AggregatorInfo& InfoOf(Aggregator aggregator);

// The aggregator a schema names, in any letter case ("distinct count" is
// also read as distinct-count); nullopt for a name that is not one.
[[nodiscard]] std::optional<Aggregator> ParseAggregator(std::string_view name);

// The names a schema may use, for messages: "sum, count, ...".
std::string AggregatorNames();

// The SQL aggregate of `expression`, such as "SUM(x)".
std::string AggregateSql(Aggregator aggregator, std::string_view expression);

}  // namespace orvex::engine

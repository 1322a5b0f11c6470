#include "engine/common/aggregator.h"

#include <array>
#include <cassert>

#include "platform/text.h"

namespace orvex::engine {
namespace {

void AddTo(CellNumber& total, const CellNumber& value) { total = Add(total, value); }

void KeepLeast(CellNumber& total, const CellNumber& value) {
  if (Compare(value, total) < 0) total = value;
}

void KeepGreatest(CellNumber& total, const CellNumber& value) {
  if (Compare(value, total) > 0) total = value;
}

// In enumerator order, so that InfoOf is an index.
constexpr std::array<AggregatorInfo, 6> kAggregators = {{
    {Aggregator::kSum, "sum", "SUM(", &AddTo},
    {Aggregator::kCount, "count", "COUNT(", &AddTo},
    {Aggregator::kMin, "min", "MIN(", &KeepLeast},
    {Aggregator::kMax, "max", "MAX(", &KeepGreatest},
    {Aggregator::kAvg, "avg", "AVG(", nullptr},
    {Aggregator::kDistinctCount, "distinct-count", "COUNT(DISTINCT ", nullptr},
}};

}  // namespace

const AggregatorInfo& InfoOf(Aggregator aggregator) {
  const AggregatorInfo& info = kAggregators[static_cast<size_t>(aggregator)];
  assert(info.aggregator == aggregator);
  return info;
}

std::optional<Aggregator> ParseAggregator(std::string_view name) {
  // Older schemas write the distinct count with a blank.
  if (EqualsIgnoreCase(name, "distinct count")) return Aggregator::kDistinctCount;
  for (const AggregatorInfo& info : kAggregators) {
    if (EqualsIgnoreCase(name, info.name)) return info.aggregator;
  }
  return std::nullopt;
}

std::string AggregatorNames() {
  std::string names;
  for (const AggregatorInfo& info : kAggregators) {
    if (!names.empty()) names += ", ";
    names += info.name;
  }
  return names;
}

std::string AggregateSql(Aggregator aggregator, std::string_view expression) {
  std::string sql(InfoOf(aggregator).sql_prefix);
  sql += expression;
  sql += ')';
  return sql;
}

}  // namespace orvex::engine

#include "engine/common/aggregator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvex::engine {
namespace {

// Folds 5, 3, 7 the way the aggregator combines finer cells; "" when it does not.
std::string Folded(Aggregator aggregator) {
  const AggregatorInfo& info = InfoOf(aggregator);
  if (!info.rolls_up()) return "";
  std::vector<CellNumber> values = {5.0, 3.0, 7.0};
  CellNumber total = values.front();
  for (size_t index = 1; index < values.size(); ++index) info.combine(total, values[index]);
  return std::to_string(static_cast<int>(std::get<double>(total)));
}

TEST(AggregatorTest, EachRowParsesWritesSqlAndCombinesConsistently) {
  struct Case {
    const char* schema_name;
    Aggregator aggregator;
    const char* sql;
    const char* folded;  // "" for an aggregator whose parts do not combine
  } cases[] = {
      {"SUM", Aggregator::kSum, "SUM(x)", "15"},
      {"count", Aggregator::kCount, "COUNT(x)", "15"},
      {"Min", Aggregator::kMin, "MIN(x)", "3"},
      {"max", Aggregator::kMax, "MAX(x)", "7"},
      {"avg", Aggregator::kAvg, "AVG(x)", ""},
      {"distinct-count", Aggregator::kDistinctCount, "COUNT(DISTINCT x)", ""},
      {"Distinct Count", Aggregator::kDistinctCount, "COUNT(DISTINCT x)", ""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.schema_name);
    ASSERT_EQ(ParseAggregator(test.schema_name), test.aggregator);
    EXPECT_EQ(InfoOf(test.aggregator).aggregator, test.aggregator);
    EXPECT_EQ(AggregateSql(test.aggregator, "x"), test.sql);
    EXPECT_EQ(Folded(test.aggregator), test.folded);
  }
}

TEST(AggregatorTest, RefusesNamesThatAreNoAggregator) {
  for (const char* name : {"", "median", "distinct_count", "sum ", "distinctcount"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(ParseAggregator(name));
  }
  EXPECT_EQ(AggregatorNames(), "sum, count, min, max, avg, distinct-count");
}

}  // namespace
}  // namespace orvex::engine

#include <gtest/gtest.h>

#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

TEST(EvaluatorTest, FamiliesByYearWithAnEmptyRow) {
  EXPECT_EQ(TinyTable("SELECT {[Time].[1997], [Time].[1998]} ON COLUMNS, [Product].[Product Family].Members ON ROWS "
                      "FROM [Sales]"),
            "                           | [Time].[1997] | [Time].[1998]\n"
            "[Product].[Drink]          | 49.00         | 10.00\n"
            "[Product].[Food]           | 29.00         | 7.00\n"
            "[Product].[Non-Consumable] |               |\n");
}

}  // namespace
}  // namespace orvex::engine::testing

#include <gtest/gtest.h>

#include <string>

#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

// Every customer with every product, store and month: thousands of tuples
// whose cells are all read, far more than the tiny budgets below allow.
constexpr const char* kHeavy =
    "SELECT NON EMPTY Filter(CrossJoin(CrossJoin([Customers].[Name].Members, [Product].[Product Name].Members), "
    "CrossJoin([Store].[Store Name].Members, [Time].[Month].Members)), [Measures].[Unit Sales] > 0) ON 0 "
    "FROM [Sales]";
constexpr const char* kLight = "SELECT [Time].[Year].Members ON 0 FROM [Sales]";

std::string ErrorOf(EngineSession& session, const char* mdx) {
  try {
    (void)session.Execute("Tiny", mdx);
  } catch (const ComError& error) {
    return error.description();
  }
  return "no error";
}

TEST(StatementBudgetTest, StatementPastABudgetFailsNamingItsFlagAndTheNextOneRuns) {
  EngineOptions tiny_time;
  tiny_time.query_timeout = std::chrono::milliseconds(1);
  EngineOptions tiny_memory;
  tiny_memory.max_statement_memory = 3'000;
  struct Case {
    const char* name;
    EngineOptions options;
    const char* statement;
    const char* message;
  } cases[] = {
      {"time", tiny_time, kHeavy, "the time limit set by --query-timeout"},
      {"memory: a set", tiny_memory, kHeavy, "the limit set by --max-statement-memory"},
      {"memory: cell values", tiny_memory,
       "SELECT [Customers].[Name].Members ON 0, [Product].[Product Name].Members ON 1 FROM [Sales]",
       "--max-statement-memory"},
      {"memory: sorting", tiny_memory,
       "SELECT Order(CrossJoin([Customers].[Name].Members, [Store].[Store Name].Members), [Measures].[Unit Sales], "
       "BDESC) ON 0 FROM [Sales]",
       "--max-statement-memory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineSession session(TinySources(), "Tiny", c.options);
    std::string error = ErrorOf(session, c.statement);
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    // Nothing of the failed statement stays in the way: the next one runs on
    // the same catalog and store connections (the data sources share them).
    EngineSession next(TinySources(), "Tiny", EngineOptions{});
    EXPECT_EQ(ErrorOf(next, kLight), "no error");
  }
  // Without the tiny budgets the heavy statement runs.
  EngineSession session(TinySources(), "Tiny", EngineOptions{});
  EXPECT_EQ(ErrorOf(session, kHeavy), "no error");
}

// Each pair: an aggregate the engine reads as one cell at the levels' all
// members, and the same aggregate written so that it is computed tuple by tuple.
TEST(StatementBudgetTest, AggregatesOverWholeLevelsGiveTheCellsOfTheGeneralPath) {
  const std::string names = "CrossJoin([Customers].[Name].Members, [Product].[Product Name].Members)";
  const std::string general = "Filter(" + names + ", 1 = 1)";
  struct Case {
    const char* name;
    std::string pushed;
    std::string computed;
    std::string member = "[Measures].[X]";
  } cases[] = {
      {"sum", "Sum(" + names + ", [Measures].[Unit Sales])", "Sum(" + general + ", [Measures].[Unit Sales])"},
      {"sum at the current measure", "Sum([Store].[Store Name].Members * [Gender].[Gender].Members)",
       "Sum(Filter([Store].[Store Name].Members * [Gender].[Gender].Members, 1 = 1))", "[Gender].[X]"},
      {"a hierarchy of the rows", "Sum([Store].[Store Name].Members * [Customers].[Name].Members, [Measures].[Unit Sales])",
       "Sum(Filter([Store].[Store Name].Members * [Customers].[Name].Members, 1 = 1), [Measures].[Unit Sales])"},
      {"aggregate", "Aggregate({[Customers].[Name].Members}, [Measures].[Store Sales])",
       "Aggregate(Filter([Customers].[Name].Members, 1 = 1), [Measures].[Store Sales])"},
      {"count", "Count(" + names + ")", "Count(" + general + ")"},
      {"count of one level", "[Product].[Product Name].Members.Count",
       "Filter([Product].[Product Name].Members, 1 = 1).Count"},
      {"min", "Min(" + names + ", [Measures].[Store Cost])", "Min(" + general + ", [Measures].[Store Cost])"},
      {"sum of a calculated measure", "Sum(" + names + ", [Measures].[Profit])",
       "Sum(" + general + ", [Measures].[Profit])"},
  };
  // Rows whose members filter the aggregate: the sum keeps the other coordinates of its cell.
  const std::string rows = " ON 0, {[Time].[1997].Children, [Time].[1997]} * {[Store].[All Stores], "
                           "[Store].[USA].Children} ON 1 FROM [Sales] WHERE [Promotion Media].[All Media]";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string pushed = TinyTable("WITH MEMBER " + c.member + " AS " + c.pushed + " SELECT {" + c.member + "}" + rows);
    std::string computed =
        TinyTable("WITH MEMBER " + c.member + " AS " + c.computed + " SELECT {" + c.member + "}" + rows);
    EXPECT_EQ(pushed, computed);
    EXPECT_NE(pushed.find_first_of("123456789"), std::string::npos) << pushed;
  }
}

TEST(StatementBudgetTest, SumOverWholeLevelsBuildsNoSet) {
  // The crossjoin would pass both limits if it were built.
  EngineOptions options;
  options.max_cells = 10;
  options.max_statement_memory = 6'000;  // room for reading a cell or two, not for the set
  const std::string crossjoin = "CrossJoin([Customers].[Name].Members, [Product].[Product Name].Members)";
  auto statement = [](const std::string& formula) {
    return "WITH MEMBER [Measures].[X] AS " + formula + " SELECT {[Measures].[X]} ON 0 FROM [Sales]";
  };
  // Summed over every customer and product, the total is the cube's own.
  EXPECT_EQ(CellsetToTable(*RunTiny(statement("Sum(" + crossjoin + ", [Measures].[Unit Sales])"), options), false),
            CellsetToTable(*RunTiny(statement("[Measures].[Unit Sales]"), options), false));
  EngineSession session(TinySources(), "Tiny", options);
  EXPECT_NE(ErrorOf(session, statement("Sum(Filter(" + crossjoin + ", 1 = 1), [Measures].[Unit Sales])").c_str()),
            "no error");
}

}  // namespace
}  // namespace orvex::engine::testing

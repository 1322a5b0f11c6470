// The sample catalog generated into a store gives the same cells as the same
// catalog in DuckDB, statement by statement: typical views of the explorer,
// every aggregator, empty corners and members at every level. Run once per
// store by its fixture, with ORVEX_STORE_TEST_DIR naming the fixture's state
// folder (catalogs/ over the store, duckdb/ beside it).
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/catalog/data_sources.h"
#include "engine/provider/cellset_text.h"
#include "engine/provider/engine_session.h"
#include "platform/com/com_error.h"

namespace orvex::engine {
namespace {

EngineSession SessionOver(const std::filesystem::path& root) {
  auto sources = std::make_shared<DataSources>();
  sources->Add("Sample", root);
  return EngineSession(sources, "Sample", EngineOptions{});
}

std::string Grid(EngineSession& session, const std::string& mdx) {
  try {
    return CellsetToTable(*session.Execute("Sample", mdx), true);
  } catch (const ComError& error) {
    return "error: " + error.description();
  }
}

TEST(StoreSampleCellsTest, EveryStatementGivesTheSameCellsAsDuckDb) {
  const char* state = std::getenv("ORVEX_STORE_TEST_DIR");
  ASSERT_TRUE(state && *state) << "ORVEX_STORE_TEST_DIR names no store fixture's folder";
  const std::pair<const char*, const char*> statements[] = {
      {"families and departments by the quarters of 1997, descending, non empty",
       "WITH SET [Axis 0] AS '{([Time].[1997].[Q1]), ([Time].[1997].[Q2]), ([Time].[1997].[Q3]), ([Time].[1997].[Q4])}' "
       "SET [Axis 1] AS '{Descendants([Product].[All Products], [Product].[Product Department], AFTER)}' "
       "SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0), NON EMPTY Distinct({Order(Hierarchize([Axis 1]), "
       "Sum({[Axis 0]}, [Measures].[Unit Sales]), DESC)}) ON Axis(1) FROM [Sales] WHERE ([Measures].[Unit Sales])"},
      {"store cities by months",
       "SELECT NON EMPTY Descendants([Time].[1998], [Time].[Month]) ON 0, NON EMPTY [Store].[Store City].Members ON 1 "
       "FROM [Sales] WHERE ([Measures].[Store Sales])"},
      {"customer states by gender with a hidden range",
       "WITH MEMBER [Measures].[__Filtered__Store Sales] AS 'IIf(([Measures].[Store Sales] >= 0 AND "
       "[Measures].[Store Sales] <= 5000), NULL, [Measures].[Store Sales])' SELECT Distinct({[Gender].[Gender].Members}) "
       "ON Axis(0), NON EMPTY Distinct({Order(Hierarchize({[Customers].[State Province].Members}), "
       "Sum({[Gender].[Gender].Members}, [Measures].[__Filtered__Store Sales]), BDESC)}) ON Axis(1) FROM [Sales] "
       "WHERE ([Measures].[__Filtered__Store Sales])"},
      {"three hierarchies crossed on the rows, every aggregator",
       "SELECT {[Measures].[Unit Sales], [Measures].[Store Cost], [Measures].[Sales Count], [Measures].[Customer Count], "
       "[Measures].[Profit]} ON 0, NON EMPTY CrossJoin(CrossJoin([Store].[Store Country].Members, "
       "[Promotion Media].[Media Type].Members), [Marital Status].[Marital Status].Members) ON 1 FROM [Sales]"},
      {"every product, leaves on the rows (a snowflake)",
       "SELECT {[Time].[1997], [Time].[1998]} ON 0, NON EMPTY [Product].[Product Name].Members ON 1 FROM [Sales]"},
      {"distinct customers down the customer hierarchy",
       "SELECT {[Measures].[Customer Count], [Measures].[Sales Count]} ON 0, "
       "Descendants([Customers].[Mexico], [Customers].[City], SELF_AND_BEFORE) ON 1 FROM [Sales] WHERE ([Time].[1998].[Q3])"},
      // Sums over thousands of cells, in the evaluator and from the cell cache, shown to the cent and beyond:
      // exact in every store, so not one digit may differ.
      {"exact sums of decimals, formatted to the cent",
       "WITH MEMBER [Measures].[Summed] AS 'Sum([Customers].[Name].Members, [Measures].[Store Sales])', "
       "FORMAT_STRING = '#,##0.00' MEMBER [Measures].[Cost] AS 'Aggregate([Product].[Product Name].Members, "
       "[Measures].[Store Cost])', FORMAT_STRING = '0.000' MEMBER [Measures].[Raw] AS '[Measures].[Store Cost]' "
       "SELECT {[Measures].[Summed], [Measures].[Cost], [Measures].[Raw], [Measures].[Store Sales]} ON 0, "
       "{[Time].[1997], [Time].[1997].[Q1], [Time].[1998].Children} ON 1 FROM [Sales]"},
      {"brands of one category, sorted, with the filter axis",
       "SELECT Order([Product].[Drink].[Beverages].Children, [Measures].[Store Sales], BDESC) ON 0 "
       "FROM [Sales] WHERE ([Store].[USA].[CA], [Time].[1997])"},
  };
  EngineSession store = SessionOver(std::filesystem::path(state) / "catalogs");
  EngineSession duckdb = SessionOver(std::filesystem::path(state) / "duckdb");
  for (const auto& [name, mdx] : statements) {
    SCOPED_TRACE(name);
    std::string expected = Grid(duckdb, mdx);
    EXPECT_EQ(expected.rfind("error: ", 0), std::string::npos) << expected;
    EXPECT_EQ(Grid(store, mdx), expected);
  }
}

}  // namespace
}  // namespace orvex::engine

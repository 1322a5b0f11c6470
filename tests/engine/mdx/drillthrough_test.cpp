// DRILLTHROUGH: its forms, the fact rows behind a cell, and what it refuses.
#include <gtest/gtest.h>

#include "drillthrough_checks.h"
#include "engine/eval/drillthrough_executor.h"
#include "engine/mdx/parser.h"
#include "engine/provider/cellset_text.h"
#include "hierarchy_catalogs.h"
#include "temp_dir.h"
#include "tiny_session.h"

namespace orvex::engine {
namespace {

using testing::TinySources;

std::string ParseError(const std::string& mdx) {
  try {
    (void)mdx::Parser::ParseStatement(mdx);
  } catch (const ComError& error) {
    return error.description();
  }
  return "no error";
}

// Runs of blanks as one: grids compared without their padding ("a | b" lines).
std::string Compact(const std::string& table) {
  std::string compact;
  for (char character : table) {
    if (character != ' ' || compact.empty() || compact.back() != ' ') compact += character;
  }
  return compact;
}

// The rows as orvex-mdx prints them, compacted, or the error's description.
std::string Drill(EngineSession& session, const std::string& catalog, const std::string& mdx) {
  try {
    return Compact(TabularToTable(session.Drillthrough(catalog, mdx)));
  } catch (const ComError& error) {
    return "error: " + error.description();
  }
}

std::string Drill(const std::string& mdx, const std::string& role = "") {
  EngineSession session(TinySources(), "Tiny", EngineOptions{}, role);
  return Drill(session, "Tiny", mdx);
}

TEST(DrillthroughParserTest, ReadsTheClausesAroundASelect) {
  struct Case {
    std::string mdx;
    int64_t max_rows;
    int64_t first_rowset;
    size_t columns;
  };
  const Case cases[] = {
      {"DRILLTHROUGH SELECT FROM Sales", 0, 0, 0},
      {"drillthrough maxrows 10 SELECT FROM Sales", 10, 0, 0},
      {"DRILLTHROUGH MAXROWS 5 FIRSTROWSET 2 SELECT FROM Sales WHERE [Time].[1997] RETURN [Measures].[Unit Sales]",
       5, 2, 1},
      {"DRILLTHROUGH FIRSTROWSET 1 WITH MEMBER [Measures].[X] AS 1 SELECT {[Measures].[X]} ON 0 FROM Sales "
       "RETURN [Time].[Year], Name([Store].[Store City]), Caption([$Store].[Store Name])",
       0, 1, 3},
      {"DRILLTHROUGH SELECT FROM Sales CELL PROPERTIES VALUE RETURN Key([Time].[Month])", 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mdx);
    auto statement = mdx::Parser::ParseStatement(c.mdx);
    ASSERT_TRUE(statement->drillthrough);
    EXPECT_EQ(statement->drillthrough->max_rows, c.max_rows);
    EXPECT_EQ(statement->drillthrough->first_rowset, c.first_rowset);
    EXPECT_EQ(statement->drillthrough->columns.size(), c.columns);
    EXPECT_EQ(statement->cube.front().text, "Sales");
  }
  EXPECT_FALSE(mdx::Parser::ParseStatement("SELECT FROM Sales")->drillthrough);
}

TEST(DrillthroughParserTest, RefusesMalformedClausesWithTheirPlace) {
  const std::pair<std::string, std::string> cases[] = {
      {"DRILLTHROUGH MAXROWS SELECT FROM Sales", "column 22: expected a whole number above 0 after MAXROWS"},
      {"DRILLTHROUGH MAXROWS 0 SELECT FROM Sales", "expected a whole number above 0 after MAXROWS"},
      {"DRILLTHROUGH MAXROWS 2.5 SELECT FROM Sales", "expected a whole number above 0 after MAXROWS"},
      {"DRILLTHROUGH MAXROWS 99999999999999999999 SELECT FROM Sales", "above 0 after MAXROWS"},
      {"DRILLTHROUGH FIRSTROWSET -1 SELECT FROM Sales", "above 0 after FIRSTROWSET"},
      {"DRILLTHROUGH FIRSTROWSET 1 MAXROWS 1 SELECT FROM Sales", "expected SELECT (or WITH)"},
      {"DRILLTHROUGH SELECT FROM Sales RETURN", "expected an expression"},
      {"DRILLTHROUGH SELECT FROM Sales RETURN [Time].[Year],", "expected an expression"},
      {"SELECT FROM Sales RETURN [Time].[Year]", "expected the end of the statement"},
      {"DRILLTHROUGH", "expected SELECT"},
  };
  for (const auto& [mdx, expected] : cases) {
    SCOPED_TRACE(mdx);
    EXPECT_NE(ParseError(mdx).find(expected), std::string::npos) << ParseError(mdx);
  }
}

TEST(DrillthroughTest, RowsAddUpToTheCellOnDuckDb) { testing::CheckRowsAddUpToCells(TinySources()); }

TEST(DrillthroughTest, DefaultColumnsAreEveryLevelAndStoredMeasureInOneOrder) {
  std::string table = Drill("DRILLTHROUGH SELECT FROM Sales WHERE ([Time].[1997].[Q1].[3], [Store].[USA].[WA])");
  EXPECT_EQ(table,
            "[Time].[Year] | [Time].[Quarter] | [Time].[Month] | [Store].[Store Country] | [Store].[Store State] | "
            "[Store].[Store City] | [Store].[Store Name] | [Product].[Product Family] | "
            "[Product].[Product Department] | [Product].[Product Category] | [Product].[Brand Name] | "
            "[Product].[Product Name] | [Customers].[Country] | [Customers].[State Province] | [Customers].[City] | "
            "[Customers].[Name] | [Gender].[Gender] | [Marital Status].[Marital Status] | "
            "[Promotion Media].[Media Type] | [Measures].[Unit Sales] | [Measures].[Store Cost] | "
            "[Measures].[Store Sales] | [Measures].[Sales Count] | [Measures].[Customer Count]\n"
            "1997 | Q1 | 3 | USA | WA | "
            "Seattle | Store 4 | Food | Snack Foods | "
            "Chips | Crunch | Crunch Chips | USA | "
            "WA | Seattle | Dee Kim | F | "
            "S | No Media | 6 | "
            "5 | 12 | 5 | 4\n");
}

TEST(DrillthroughTest, ReturnPicksColumnsMaxRowsCapsThemInAStableOrder) {
  const std::pair<std::string, std::string> cases[] = {
      {"DRILLTHROUGH SELECT FROM Sales WHERE [Store].[USA].[OR] RETURN [Time].[Month], [Measures].[Unit Sales]",
       "[Time].[Month] | [Measures].[Unit Sales]\n2 | 2\n5 | 3\n8 | 2\n"
       "12 | 4\n"},
      {"DRILLTHROUGH MAXROWS 2 SELECT FROM Sales WHERE [Store].[USA].[OR] RETURN [Time].[Month], "
       "[Measures].[Unit Sales]",
       "[Time].[Month] | [Measures].[Unit Sales]\n2 | 2\n5 | 3\n"},
      {"DRILLTHROUGH SELECT FROM Sales WHERE ([Time].[1997].[Q1].[2], [Store].[USA].[CA].[San Francisco]) "
       "RETURN Name([Customers].[Name]), Key([Customers].[Name]), Caption([$Product].[Product Name])",
       "Name([Customers].[Name]) | Key([Customers].[Name]) | Caption([Product].[Product Name])\n"
       "Bob Ray | 2 | Bob's \"Best\" [Big] Cola\n"},
      {"DRILLTHROUGH SELECT FROM Sales WHERE [Store].[Canada] RETURN [Measures].[Unit Sales]",
       "[Measures].[Unit Sales]\n"},
  };
  for (const auto& [mdx, expected] : cases) {
    SCOPED_TRACE(mdx);
    EXPECT_EQ(Drill(mdx), expected);
  }
}

TEST(DrillthroughTest, RefusesWhatIsNotTheStoredRowsOfOneCell) {
  const std::pair<std::string, std::string> cases[] = {
      {"DRILLTHROUGH SELECT {[Store].[USA].[CA], [Store].[USA].[OR]} ON 0 FROM Sales",
       "axis 0 has 2 positions"},
      {"DRILLTHROUGH SELECT {} ON 0 FROM Sales", "axis 0 has 0 positions"},
      {"DRILLTHROUGH SELECT {[Measures].[Profit]} ON 0 FROM Sales", "calculated member [Measures].[Profit]"},
      {"DRILLTHROUGH WITH MEMBER [Store].[West] AS [Store].[USA].[CA] + [Store].[USA].[OR] "
       "SELECT FROM Sales WHERE [Store].[West]",
       "calculated member [Store].[West]"},
      {"DRILLTHROUGH SELECT FROM Sales RETURN [Measures].[Profit]", "is a calculated measure"},
      {"DRILLTHROUGH SELECT FROM Sales RETURN [Store].[Store Planet]", "names no stored measure and no level"},
      {"DRILLTHROUGH SELECT FROM Sales RETURN UniqueName([Store].[Store City])", "uses UniqueName()"},
      {"DRILLTHROUGH SELECT FROM Sales RETURN [Store].[All Stores]", "names no stored measure and no level"},
      {"DRILLTHROUGH SELECT FROM Sales RETURN 1 + 1", "is not a measure, a level"},
      {"DRILLTHROUGH SELECT FROM Nowhere", "Nowhere"},
      {"DRILLTHROUGH MAXROWS 100000000 SELECT FROM Sales", "ask for fewer rows with MAXROWS"},
      {"SELECT FROM Sales", "needs a DRILLTHROUGH statement"},
  };
  for (const auto& [mdx, expected] : cases) {
    SCOPED_TRACE(mdx);
    std::string answer = Drill(mdx);
    EXPECT_NE(answer.find(expected), std::string::npos) << answer;
  }
  EXPECT_NE(testing::TinyError("DRILLTHROUGH SELECT FROM Sales").find("answers with fact rows, not cells"),
            std::string::npos);
}

TEST(DrillthroughTest, ARoleThatHidesMembersGetsNoRows) {
  std::string answer = Drill("DRILLTHROUGH SELECT FROM Sales WHERE [Store].[USA].[CA]", "California");
  EXPECT_NE(answer.find("not available under a role that shows only some members of [Store]"), std::string::npos)
      << answer;
}

// A member's rows are its whole subtree's in a parent-child hierarchy, and
// a ragged member's rows are found through the level it hides; a virtual
// cube has no one fact table to show.
TEST(DrillthroughTest, FollowsParentChildAndRaggedHierarchiesAndRefusesVirtualCubes) {
  const char* staff_data = R"(
CREATE TABLE staff (id INTEGER, boss INTEGER, name VARCHAR);
INSERT INTO staff VALUES (1, NULL, 'Ann'), (2, 1, 'Bob'), (3, 2, 'Cid'), (4, 1, 'Dee');
CREATE TABLE sales (staff_id INTEGER, amount INTEGER);
INSERT INTO sales VALUES (1, 1), (2, 10), (3, 100), (4, 1000);
)";
  const char* staff_schema = R"(<Schema name="S"><Cube name="C"><Table name="sales"/>
  <Dimension name="Staff" foreignKey="staff_id"><Hierarchy hasAll="true" primaryKey="id"><Table name="staff"/>
    <Level name="Member" column="id" nameColumn="name" parentColumn="boss" uniqueMembers="true"/></Hierarchy></Dimension>
  <Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
  struct Case {
    std::string schema;
    const char* data;
    std::string mdx;
    std::string rows;
  };
  const Case cases[] = {
      {staff_schema, staff_data, "DRILLTHROUGH SELECT FROM C WHERE [Staff].[Ann].[Bob]",
       "[Staff].[Member] | [Measures].[Amount]\nBob | 10\nCid | 100\n"},
      {staff_schema, staff_data, "DRILLTHROUGH SELECT FROM C RETURN Key([Staff].[Member]), [Measures].[Amount]",
       "Key([Staff].[Member]) | [Measures].[Amount]\n1 | 1\n2 | 10\n3 | 100\n4 | 1000\n"},
      {testing::RaggedSchema("IfBlankName"), testing::kRaggedData,
       "DRILLTHROUGH SELECT FROM C WHERE [Geo].[Israel].[Haifa] RETURN [Geo].[Country], [Geo].[City], "
       "[Measures].[Amount]",
       "[Geo].[Country] | [Geo].[City] | [Measures].[Amount]\nIsrael | Haifa | 1000\n"},
      {testing::VirtualSchema(testing::kIgnoring), testing::kVirtualData, "DRILLTHROUGH SELECT FROM Both",
       "error: Drill-through is not available on this cube"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mdx);
    orvex::testing::TempDir root;
    orvex::testing::WriteCatalog(root.path(), "C", c.schema, c.data);
    auto sources = std::make_shared<DataSources>();
    sources->Add("C", root.path());
    EngineSession session(sources, "C", EngineOptions{});
    std::string answer = Drill(session, "C", c.mdx);
    EXPECT_EQ(answer.substr(0, c.rows.size()), c.rows) << answer;
  }
}

}  // namespace
}  // namespace orvex::engine

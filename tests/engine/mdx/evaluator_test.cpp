#include <gtest/gtest.h>

#include <thread>

#include "engine/eval/query_executor.h"
#include "engine/eval/statement_cache.h"
#include "temp_dir.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

// The view's statement over the Tiny catalog: quarters by families and departments, sorted, non empty.
constexpr const char* kViewStatement =
    "WITH MEMBER [Measures].[__Filtered__Unit Sales] AS 'IIf(([Measures].[Unit Sales] <= 3), NULL, "
    "[Measures].[Unit Sales])' SET [Axis 0] AS '{([Time].[1997].[Q1]), ([Time].[1997].[Q2]), ([Time].[1997].[Q3]), "
    "([Time].[1997].[Q4])}' SET [Axis 1] AS '{([Product].[Drink]), ([Product].[Drink].[Alcoholic Beverages]), "
    "([Product].[Drink].[Beverages]), ([Product].[Food]), ([Product].[Food].[Produce]), "
    "([Product].[Food].[Snack Foods]), ([Product].[Non-Consumable])}' SELECT Distinct({Hierarchize([Axis 0])}) ON "
    "Axis(0), NON EMPTY Distinct({Order(Hierarchize([Axis 1]), Sum({[Axis 0]}, "
    "[Measures].[__Filtered__Unit Sales]), DESC)}) ON Axis(1) FROM [Sales] WHERE "
    "([Measures].[__Filtered__Unit Sales])";

constexpr const char* kViewResult =
    "                                        | [Time].[1997].[Q1] | [Time].[1997].[Q2] | [Time].[1997].[Q3] | "
    "[Time].[1997].[Q4]\n"
    "[Product].[Drink]                       | 13.00              | 12.00              | 8.00               | 16.00\n"
    "[Product].[Drink].[Beverages]           | 10.00              | 5.00               | 8.00               | 9.00\n"
    "[Product].[Drink].[Alcoholic Beverages] |                    | 7.00               |                    | 7.00\n"
    "[Product].[Food]                        | 8.00               | 10.00              | 9.00               |\n"
    "[Product].[Food].[Produce]              |                    | 8.00               | 5.00               |\n"
    "[Product].[Food].[Snack Foods]          | 6.00               |                    | 4.00               |\n";

TEST(EvaluatorTest, TheViewStatementSortsWithinTheHierarchyAndHidesEmptyRows) {
  EXPECT_EQ(TinyTable(kViewStatement), kViewResult);
}

TEST(EvaluatorTest, FromCacheAndColdGiveTheSameCells) {
  std::string warm_first = TinyTable(kViewStatement);
  std::string warm_again = TinyTable(kViewStatement);
  // A fresh catalog: members read again, no cell cached.
  auto sources = std::make_shared<DataSources>();
  sources->Add("Fresh", orvex::testing::TinyCatalogsRoot());
  EngineSession cold(sources, "Fresh", EngineOptions{});
  EXPECT_EQ(CellsetToTable(*cold.Execute("Tiny", kViewStatement), true),
            CellsetToTable(*RunTiny(kViewStatement), true));
  EXPECT_EQ(warm_first, warm_again);
}

TEST(EvaluatorTest, ManyThreadsGetIdenticalResults) {
  const std::vector<std::string> statements = {
      kViewStatement,
      "SELECT NON EMPTY CrossJoin([Gender].[Gender].Members, [Store].[Store City].Members) ON 0, "
      "Descendants([Time].[1997], [Time].[Month]) ON 1 FROM [Sales] WHERE [Measures].[Profit]",
      "SELECT TopCount([Product].[Product Name].Members, 3, [Measures].[Store Sales]) ON 0 FROM [Sales]",
  };
  std::vector<std::string> expected;
  for (const auto& statement : statements) expected.push_back(TinyTable(statement));
  // Each thread opens its own fresh catalog half the time, so loading and cold reads race too.
  std::vector<std::thread> threads;
  std::vector<std::string> failures(8);
  for (int thread = 0; thread < 8; ++thread) {
    threads.emplace_back([&, thread] {
      auto sources = TinySources();
      if (thread % 2) {
        sources = std::make_shared<DataSources>();
        sources->Add("Tiny", orvex::testing::TinyCatalogsRoot());
      }
      EngineSession session(sources, "Tiny", EngineOptions{});
      for (int round = 0; round < 10; ++round) {
        size_t index = static_cast<size_t>(thread + round) % statements.size();
        std::string actual = CellsetToTable(*session.Execute("Tiny", statements[index]), false);
        if (actual != expected[index]) failures[static_cast<size_t>(thread)] = actual;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (const auto& failure : failures) EXPECT_EQ(failure, "");
}

TEST(EvaluatorTest, StatementsBeyondTheCellLimitFailClearly) {
  EngineOptions options;
  options.max_cells = 50;
  struct Case {
    const char* statement;
    const char* message;
  } cases[] = {
      {"SELECT Descendants([Time].[1997], [Time].[Month]) ON 0, [Store].[Store Name].Members ON 1 FROM [Sales]",
       "The statement would compute 60 cells, more than the limit of 50; ask for fewer positions."},
      {"SELECT NON EMPTY Descendants([Time].[1997], [Time].[Month]) ON 0, [Store].[Store Name].Members ON 1 FROM "
       "[Sales]",
       "would compute 60 cells"},
      {"SELECT CrossJoin(Descendants([Time].[1997], [Time].[Month]), [Store].[Store Name].Members) ON 0 FROM [Sales]",
       "The set would hold 60 tuples, more than the limit of 50"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    try {
      (void)RunTiny(c.statement, options);
      ADD_FAILURE() << "no error";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find(c.message), std::string::npos) << error.description();
    }
  }
  // Within the limit the same kind of statement runs.
  EXPECT_NO_THROW((void)RunTiny("SELECT [Time].[1997].Children ON 0, [Store].[Store Name].Members ON 1 FROM [Sales]",
                                options));
}

TEST(EvaluatorTest, SetsNestedTooDeeplyFailInsteadOfExhaustingTheStack) {
  std::string statement = "WITH SET [S0] AS '{[Time].[1997]}'";
  for (int level = 1; level <= 300; ++level) {
    statement += " SET [S" + std::to_string(level) + "] AS '[S" + std::to_string(level - 1) + "]'";
  }
  EXPECT_NE(TinyError(statement + " SELECT [S300] ON 0 FROM [Sales]").find("more than 128 deep"), std::string::npos);
  EXPECT_EQ(TinyTable(statement + " SELECT [S100] ON 0 FROM [Sales]"), "[Time].[1997] | 78.00\n");
}

// Each formula is within the parser's height limit, but a chain of them nests
// their trees: the evaluator bounds the whole depth of one evaluation.
std::string FormulaChain(int members, int height) {
  std::string statement = "WITH";
  for (int member = 0; member < members; ++member) {
    std::string formula = member + 1 < members ? "[Measures].[M" + std::to_string(member + 1) + "]" : "1";
    for (int level = 1; level < height; ++level) formula = "(" + formula + " + 0)";
    statement += " MEMBER [Measures].[M" + std::to_string(member) + "] AS '" + formula + "'";
  }
  return statement + " SELECT {[Measures].[M0]} ON 0 FROM [Sales]";
}

TEST(EvaluatorTest, FormulasNestedTooDeeplyTogetherFailInsteadOfExhaustingTheStack) {
  EXPECT_NE(TinyError(FormulaChain(20, 190)).find("nest more than 1000 levels deep"), std::string::npos);
  EXPECT_EQ(TinyTable(FormulaChain(4, 190)), "[Measures].[M0] | 1\n");
}

TEST(EvaluatorTest, ParsedStatementsAreSharedByTextAndTheLeastRecentlyUsedIsForgotten) {
  StatementCache cache(2);
  auto sales = cache.Statement("SELECT FROM [Sales]");
  EXPECT_EQ(cache.Statement("SELECT FROM [Sales]"), sales);
  EXPECT_THROW((void)cache.Statement("SELECT FROM"), ComError);
  auto a = cache.Statement("SELECT FROM [A]");
  EXPECT_EQ(cache.Statement("SELECT FROM [Sales]"), sales);  // now used after [A]
  (void)cache.Statement("SELECT FROM [B]");                  // full: [A] goes
  EXPECT_EQ(cache.Statement("SELECT FROM [Sales]"), sales);
  EXPECT_NE(cache.Statement("SELECT FROM [A]"), a);
}

TEST(EvaluatorTest, AFaultyFormulaOfTheCubeIsNamedInTheMessageOnceByTheInnermostMember) {
  orvex::testing::TempDir root;
  std::string schema = R"(<Schema name="Broken">
  <Cube name="Sales">
    <Table name="facts"/>
    <Dimension name="Color"><Hierarchy hasAll="true"><Level name="Color" column="color"/></Hierarchy></Dimension>
    <Measure name="Units" column="units" aggregator="sum"/>
    <CalculatedMember name="Ghost" dimension="Measures"><Formula>[Measures].[Nothing] * 2</Formula></CalculatedMember>
    <CalculatedMember name="Twice" dimension="Measures"><Formula>[Measures].[Ghost] * 2</Formula></CalculatedMember>
    <NamedSet name="Haunted"><Formula>Filter([Color].[Color].Members, [Measures].[Twice] > 0)</Formula></NamedSet>
    <NamedSet name="Outer"><Formula>{[Haunted]}</Formula></NamedSet>
  </Cube>
</Schema>)";
  orvex::testing::WriteCatalog(root.path(), "Broken", schema,
                               "CREATE TABLE facts (color VARCHAR, units INTEGER); INSERT INTO facts VALUES ('red', 2);");
  auto sources = std::make_shared<DataSources>();
  sources->Add("Broken", root.path());
  EngineSession session(sources, "Broken", EngineOptions{});
  EXPECT_EQ(CellsetToTable(*session.Execute("Broken", "SELECT [Color].[Color].Members ON 0 FROM [Sales]"), false),
            "[Color].[red] | 2\n");
  const std::string fault =
      "The name [Measures].[Nothing] at line 1, column 1 is not a member, level, hierarchy, dimension or set of the "
      "cube 'Sales'.";
  struct Case {
    const char* mdx;
    std::string expected;
  } cases[] = {
      {"SELECT {[Measures].[Ghost]} ON 0 FROM [Sales]", "In the formula of [Measures].[Ghost]: " + fault},
      // Through another member of the cube and through one of the statement: still named once.
      {"SELECT {[Measures].[Twice]} ON 0 FROM [Sales]", "In the formula of [Measures].[Ghost]: " + fault},
      {"WITH MEMBER [Measures].[Plus] AS '[Measures].[Twice] + 1' SELECT {[Measures].[Plus]} ON 0 FROM [Sales]",
       "In the formula of [Measures].[Ghost]: " + fault},
      // Named sets of the cube name themselves around it, the outer one first.
      {"SELECT [Haunted] ON 0 FROM [Sales]", "In the named set [Haunted]: In the formula of [Measures].[Ghost]: " + fault},
      {"SELECT [Outer] ON 0 FROM [Sales]",
       "In the named set [Outer]: In the named set [Haunted]: In the formula of [Measures].[Ghost]: " + fault},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.mdx);
    try {
      (void)session.Execute("Broken", test.mdx);
      ADD_FAILURE() << "no error";
    } catch (const ComError& error) {
      EXPECT_EQ(error.description(), test.expected);
    }
  }
}

}  // namespace
}  // namespace orvex::engine::testing

#include "engine/mdx/parser.h"

#include <gtest/gtest.h>

#include "platform/com/com_error.h"

namespace orvex::engine::mdx {
namespace {

std::string Reparse(std::string_view expression) { return ToText(*Parser::ParseExpression(expression)); }

std::string ErrorOf(std::string_view statement) {
  try {
    (void)Parser::ParseStatement(statement);
  } catch (const ComError& error) {
    return error.description();
  }
  return "no error";
}

TEST(ParserTest, ExpressionsKeepPrecedenceAndPostfixCalls) {
  struct Case {
    const char* text;
    const char* normal;
  } cases[] = {
      {"1 + 2 * 3", "(1 + (2 * 3))"},
      {"-a * b", "(-[a] * [b])"},
      {"a OR b AND NOT c = d", "([a] OR ([b] AND NOT ([c] = [d])))"},
      {"[Time].[1997].Children", "[Time].[1997].Children"},
      {"Time.[1997].children.Count", "[Time].[1997].children.Count"},
      {"[Product].[Product Family].Members", "[Product].[Product Family].Members"},
      {"[Time].[1997].Lag(2).Name", "[Time].[1997].Lag(2).Name"},
      {"Order(Hierarchize([Axis 1]), Sum({[Axis 0]}, [Measures].[X]), BDESC)",
       "Order(Hierarchize([Axis 1]), Sum({[Axis 0]}, [Measures].[X]), [BDESC])"},
      {"{}", "{}"},
      {"{ {a, b}, Distinct({c}) }", "{{[a], [b]}, Distinct({[c]})}"},
      {"([Store].[USA], [Product].[Drink])", "([Store].[USA], [Product].[Drink])"},
      {"(([Time].[1997]))", "[Time].[1997]"},
      {"[Time].&[1997]", "[Time].&[1997]"},
      {"[A]]B].x", "[A]]B].[x]"},
      {"a:b", "([a]:[b])"},
      {"IIf(x >= 0 AND x <= 100, NULL, x)", "IIf((([x] >= 0) AND ([x] <= 100)), NULL, [x])"},
      {"'it''s'", "'it''s'"},
      {"a * b * c", "(([a] * [b]) * [c])"},
      {"x IS NULL", "([x] IS NULL)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Reparse(c.text), c.normal);
  }
}

TEST(ParserTest, StatementWithNamedSetsCalculatedMemberAndAxes) {
  auto statement = Parser::ParseStatement(
      "WITH MEMBER [Measures].[__Filtered__Unit Sales] AS 'IIf(([Measures].[Unit Sales] >= 0 AND "
      "[Measures].[Unit Sales] <= 100), NULL, [Measures].[Unit Sales])' "
      "SET [Axis 0] AS '{([Time].[1997]), ([Time].[1998])}' "
      "SET [Axis 1] AS '{([Store].[O''Brien], [Product].[Drink])}' "
      "SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0), NON EMPTY Distinct({Order(Hierarchize([Axis 1]), "
      "Sum({[Axis 0]}, [Measures].[__Filtered__Unit Sales]), BDESC)}) ON Axis(1) "
      "FROM [Sales] WHERE ([Measures].[__Filtered__Unit Sales])");
  ASSERT_EQ(statement->formulas.size(), 3u);
  EXPECT_EQ(statement->formulas[0].kind, Formula::Kind::kMember);
  EXPECT_EQ(FormatName(statement->formulas[0].name), "[Measures].[__Filtered__Unit Sales]");
  EXPECT_EQ(ToText(*statement->formulas[0].expression),
            "IIf((([Measures].[Unit Sales] >= 0) AND ([Measures].[Unit Sales] <= 100)), NULL, [Measures].[Unit Sales])");
  EXPECT_EQ(statement->formulas[2].kind, Formula::Kind::kSet);
  EXPECT_EQ(ToText(*statement->formulas[2].expression), "{([Store].[O'Brien], [Product].[Drink])}");
  ASSERT_EQ(statement->axes.size(), 2u);
  EXPECT_FALSE(statement->axes[0].non_empty);
  EXPECT_TRUE(statement->axes[1].non_empty);
  EXPECT_EQ(ToText(*statement->axes[0].set), "Distinct({Hierarchize([Axis 0])})");
  EXPECT_EQ(FormatName(statement->cube), "[Sales]");
  EXPECT_EQ(ToText(*statement->slicer), "[Measures].[__Filtered__Unit Sales]");
}

TEST(ParserTest, AxesMayBeNamedNumberedOrMissing) {
  auto statement = Parser::ParseStatement("select {a} on rows, {b} on columns, {c} on 2 from Sales");
  ASSERT_EQ(statement->axes.size(), 3u);
  EXPECT_EQ(ToText(*statement->axes[0].set), "{[b]}");
  EXPECT_EQ(ToText(*statement->axes[1].set), "{[a]}");
  EXPECT_EQ(FormatName(statement->cube), "[Sales]");

  auto empty = Parser::ParseStatement("SELECT  FROM [Sales] WHERE ([Measures].[Unit Sales])");
  EXPECT_TRUE(empty->axes.empty());
  ASSERT_NE(empty->slicer, nullptr);

  auto formatted = Parser::ParseStatement(
      "WITH MEMBER [Measures].[P] AS [Measures].[A] / 2, FORMAT_STRING = '0.0%', SOLVE_ORDER = 3 "
      "SELECT {} ON Axis(0), {} ON Axis(1) FROM [Sales] CELL PROPERTIES VALUE, FORMATTED_VALUE");
  ASSERT_EQ(formatted->formulas[0].properties.size(), 2u);
  EXPECT_EQ(formatted->formulas[0].properties[0].name, "FORMAT_STRING");
  EXPECT_EQ(ToText(*formatted->formulas[0].properties[0].value), "'0.0%'");
}

TEST(ParserTest, MalformedStatementsSayWhatWasExpectedAndWhere) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"SELECT {a} ON 0 FROM", "line 1, column 21: expected a cube name after FROM, found the end of the statement."},
      {"SELECT {a ON 0 FROM x", "line 1, column 11: expected '}' or ',' in the set, found 'ON'."},
      {"SELECT {a} 0 FROM x", "line 1, column 12: expected ON after the axis set, found '0'."},
      {"SELECT {a} ON 1 FROM x", "axis 1 is given without axis 0."},
      {"SELECT {a} ON 0, {b} ON COLUMNS FROM x", "axis 0 is given twice."},
      {"SELEC {a} ON 0 FROM x", "line 1, column 1: expected SELECT (or WITH), found 'SELEC'."},
      {"SELECT {a} ON 0 FROM x WHERE", "expected an expression, found the end of the statement."},
      {"SELECT Sum({a}, ) ON 0 FROM x", "line 1, column 17: expected an expression, found ')'."},
      {"SELECT {a} ON 0 FROM x y", "expected the end of the statement, found 'y'."},
      // Places inside a quoted formula are places in the statement, doubled quotes counted.
      {"WITH MEMBER [M].[X] AS 'a +' SELECT FROM x", "line 1, column 28: expected an expression, found the closing quote."},
      {"WITH MEMBER [M].[X] AS 'x + ''a'' * * 1' SELECT FROM s", "line 1, column 37: expected an expression, found '*'."},
      {"WITH SET [S] AS\n  '{a,\n b c}' SELECT FROM s", "line 3, column 4: expected '}' or ',' in the set, found 'c'."},
      {"SELECT {a} ON AXIS(x) FROM s", "expected an axis number, found 'x'."},
      {"SELECT a.[b].Children.[c] ON 0 FROM s", "expected a property or method name after '.', found '[c]'."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string message = ErrorOf(c.text);
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
  }
}

TEST(ParserTest, DeepNestingFailsInsteadOfExhaustingTheStack) {
  for (const std::string& open : {std::string("("), std::string("{"), std::string("Sum("), std::string("- "),
                                  std::string("NOT ")}) {
    SCOPED_TRACE(open);
    std::string deep;
    for (int level = 0; level < 100000; ++level) deep += open;
    EXPECT_NE(ErrorOf("SELECT " + deep + "x").find("nested more than 200 levels deep"), std::string::npos);
  }
  std::string fine = "SELECT ";
  for (int level = 0; level < 150; ++level) fine += "(";
  fine += "x";
  for (int level = 0; level < 150; ++level) fine += ")";
  EXPECT_EQ(ErrorOf(fine + " ON 0 FROM s"), "no error");
}

// Chains read in a loop, without the parser recursing, but they build trees as
// deep as they are long, which evaluation and destruction walk recursively.
TEST(ParserTest, LongChainsFailBeforeTheirTreesOutgrowTheStack) {
  struct Case {
    const char* first;
    const char* link;
  } cases[] = {
      {"1", " + 1"}, {"1", " * 1"}, {"1", " || 1"}, {"a", " AND a"}, {"a", " OR a"}, {"a", " = a"},
      {"a", " IS a"}, {"[Time].[1997]", ".Parent"}, {"[Time]", ".Children.Item(0)"}, {"x", ".Lag(1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + c.link);
    std::string chain = c.first;
    for (int link = 0; link < 50000; ++link) chain += c.link;
    EXPECT_NE(ErrorOf("SELECT " + chain + " ON 0 FROM s").find("nested more than 200 levels deep"),
              std::string::npos);
    std::string shorter = c.first;
    for (int link = 0; link < 90; ++link) shorter += c.link;
    EXPECT_EQ(ErrorOf("SELECT " + shorter + " ON 0 FROM s"), "no error");
  }
}

TEST(ParserTest, StatementsAreBoundedInBytesAndTokensButNotInBreadth) {
  std::string wide = "SELECT {";
  for (int element = 0; element < 100000; ++element) wide += element ? ", a" : "a";
  EXPECT_EQ(ErrorOf(wide + "} ON 0 FROM s"), "no error");

  std::string many_tokens = "SELECT {";
  for (size_t element = 0; element < Parser::kMaxTokens / 2 + 1; ++element) many_tokens += "a,";
  EXPECT_NE(ErrorOf(many_tokens + "a} ON 0 FROM s").find("tokens, more than the limit of 500000"), std::string::npos);

  std::string long_text = "SELECT {[" + std::string(Parser::kMaxStatementBytes, 'x') + "]} ON 0 FROM s";
  EXPECT_NE(ErrorOf(long_text).find("more than the limit of 4194304"), std::string::npos);
}

TEST(ParserTest, NumberLiteralsOutOfRangeAreRefusedOrZero) {
  EXPECT_NE(ErrorOf("SELECT 1e400 ON 0 FROM s").find("the number 1e400 is too large"), std::string::npos);
  EXPECT_NE(ErrorOf("SELECT " + std::string(400, '9') + " ON 0 FROM s").find("is too large"), std::string::npos);
  EXPECT_NE(ErrorOf("SELECT 0.00001e+999 ON 0 FROM s").find("is too large"), std::string::npos);
  for (const char* tiny : {"1e-400", "0.00001e-999", "0.0000000000000000001e-320"}) {
    SCOPED_TRACE(tiny);
    EXPECT_EQ(Reparse(tiny), "0");
  }
  EXPECT_EQ(Reparse("1e308"), "1e+308");
}

}  // namespace
}  // namespace orvex::engine::mdx

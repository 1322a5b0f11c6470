#include "tools/mdx/mdx_tool.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tiny_catalog.h"

namespace orvex::tools {
namespace {

MdxRequest Parse(std::vector<std::string> arguments, std::string* error = nullptr) {
  arguments.insert(arguments.begin(), "orvex-mdx");
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  MdxRequest request;
  bool help = false;
  std::string message = ParseMdxArguments(static_cast<int>(argv.size()), argv.data(), request, help);
  if (error) *error = message;
  return request;
}

TEST(MdxToolTest, TheStatementIsTheLastArgumentThatIsNoOptionValue) {
  MdxRequest request = Parse({"--catalogs", "/c", "--catalog", "Tiny", "--format", "json", "SELECT FROM [Sales]"});
  EXPECT_EQ(request.catalogs, "/c");
  EXPECT_EQ(request.catalog, "Tiny");
  EXPECT_EQ(request.format, "json");
  EXPECT_EQ(request.statement, "SELECT FROM [Sales]");
  // Without a statement, the last argument is the value of --catalog (the statement comes from standard input).
  request = Parse({"--data-source", "Tiny", "--catalog", "Tiny"});
  EXPECT_EQ(request.catalog, "Tiny");
  EXPECT_EQ(request.statement, "");
  for (std::vector<std::string> bad : {std::vector<std::string>{"--format", "xml", "x"},
                                       std::vector<std::string>{"--max-cells", "none", "x"},
                                       std::vector<std::string>{"--query-timeout", "-2", "x"},
                                       std::vector<std::string>{"--max-statement-memory", "lots", "x"},
                                       std::vector<std::string>{"--colour", "red", "x"}}) {
    std::string error;
    Parse(bad, &error);
    EXPECT_FALSE(error.empty()) << bad[0];
  }
}

TEST(MdxToolTest, AStatementMayStartWithACommentOrFollowTheEndOfOptions) {
  struct Case {
    std::vector<std::string> arguments;
    std::string statement;
    std::string format;
  };
  const Case cases[] = {
      {{"--format", "json", "-- totals\nSELECT FROM [Sales]"}, "-- totals\nSELECT FROM [Sales]", "json"},
      {{"--format", "json", "--", "--help"}, "--help", "json"},
      {{"--format", "json", "--"}, "", "json"},
      {{"--", "SELECT FROM [Sales]"}, "SELECT FROM [Sales]", "table"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    std::string error;
    MdxRequest request = Parse(c.arguments, &error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(request.statement, c.statement);
    EXPECT_EQ(request.format, c.format);
  }
  std::string error;
  Parse({"--", "SELECT 1", "SELECT 2"}, &error);
  EXPECT_NE(error, "");
}

TEST(MdxToolTest, JsonOutputIsOneObjectWithAxesFilterAxisAndCells) {
  MdxRequest request;
  request.catalogs = orvex::testing::TinyCatalogsRoot();
  request.format = "json";
  request.statement =
      "WITH MEMBER [Measures].[Label] AS '\"a \"\"quoted\"\" \\ text\"' "
      "SELECT {[Store].[Canada], [Store].[USA]} ON 0, {[Measures].[Unit Sales], [Measures].[Label]} ON 1 "
      "FROM [Sales] WHERE ([Time].[1998], [Gender].[M])";
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunMdx(request, out, err), 0) << err.str();
  // A member's text: its names, its level, its parent ("" at the top) and how many children it has.
  auto fields = [](const std::string& unique_name, const std::string& caption, int depth, const std::string& level,
                   const std::string& parent, int children) {
    std::string dimension = unique_name.substr(0, unique_name.find(']') + 1);
    return "{\"uniqueName\": \"" + unique_name + "\", \"caption\": \"" + caption + "\", \"levelDepth\": " +
           std::to_string(depth) + ", \"levelName\": \"" + level + "\", \"levelUniqueName\": \"" + dimension + ".[" +
           level + "]\", \"parentUniqueName\": \"" + parent + "\", \"childCount\": " + std::to_string(children) + "}";
  };
  auto member = [&](const std::string& unique_name, const std::string& caption, int depth) {
    bool measure = unique_name.rfind("[Measures]", 0) == 0;
    return "{\"members\": [" +
           (measure ? fields(unique_name, caption, depth, "MeasuresLevel", "", 0)
                    : fields(unique_name, caption, depth, "Store Country", "[Store].[All Stores]",
                             caption == "USA" ? 3 : 1)) +
           "]}";
  };
  std::string filter = "{\"members\": [" + fields("[Time].[1998]", "1998", 0, "Year", "", 4) + ", " +
                       fields("[Product].[All Products]", "All Products", 0, "(All)", "", 3) + ", " +
                       fields("[Customers].[All Customers]", "All Customers", 0, "(All)", "", 2) + ", " +
                       fields("[Gender].[M]", "M", 1, "Gender", "[Gender].[All Gender]", 0) + ", " +
                       fields("[Marital Status].[All Marital Status]", "All Marital Status", 0, "(All)", "", 2) + ", " +
                       fields("[Promotion Media].[All Media]", "All Media", 0, "(All)", "", 4) + "]}";
  EXPECT_EQ(out.str(),
            "{\"axes\": [{\"positions\": [" + member("[Store].[Canada]", "Canada", 1) + ", " +
                member("[Store].[USA]", "USA", 1) + "]}, {\"positions\": [" +
                member("[Measures].[Unit Sales]", "Unit Sales", 0) + ", " + member("[Measures].[Label]", "Label", 0) +
                "]}], \"filterAxis\": {\"positions\": [" + filter + "]}, \"cells\": ["
                "{\"ordinal\": 0, \"value\": null, \"formattedValue\": \"\"}, "
                "{\"ordinal\": 1, \"value\": 9, \"formattedValue\": \"9.00\"}, "
                "{\"ordinal\": 2, \"value\": \"a \\\"quoted\\\" \\\\ text\", \"formattedValue\": \"a \\\"quoted\\\" \\\\ text\"}, "
                "{\"ordinal\": 3, \"value\": \"a \\\"quoted\\\" \\\\ text\", \"formattedValue\": \"a \\\"quoted\\\" \\\\ text\"}]}\n");
}

// Columns line up on a terminal: widths count characters, not bytes, and
// East Asian wide characters as two.
TEST(MdxToolTest, TableColumnsLineUpByCharactersNotBytes) {
  MdxRequest request;
  request.catalogs = orvex::testing::TinyCatalogsRoot();
  request.statement =
      "WITH MEMBER [Measures].[Größe] AS '\"日本\"' MEMBER [Measures].[Naïve] AS '\"café\"' "
      "SELECT {[Measures].[Größe], [Measures].[Naïve], [Measures].[Unit Sales]} ON 0, "
      "{[Store].[Canada], [Store].[USA]} ON 1 FROM [Sales] WHERE ([Time].[1997])";
  std::ostringstream out;
  std::ostringstream err;
  ASSERT_EQ(RunMdx(request, out, err), 0) << err.str();
  std::string table = out.str();
  table = table.substr(table.find('\n') + 1);  // the filter line
  EXPECT_EQ(table,
            "                 | [Measures].[Größe] | [Measures].[Naïve] | [Measures].[Unit Sales]\n"
            "[Store].[Canada] | 日本               | café               |\n"
            "[Store].[USA]    | 日本               | café               | 78.00\n");
}

TEST(MdxToolTest, FailuresGoToStandardErrorWithStatusOne) {
  MdxRequest request;
  request.catalogs = orvex::testing::TinyCatalogsRoot();
  request.statement = "SELECT {[Time].[2001]} ON 0 FROM [Sales]";
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunMdx(request, out, err), 1);
  EXPECT_EQ(out.str(), "");
  EXPECT_NE(err.str().find("[Time].[2001]"), std::string::npos);
  request.data_source = "Elsewhere";
  EXPECT_EQ(RunMdx(request, out, err), 1);
  EXPECT_NE(err.str().find("'Elsewhere' is not known"), std::string::npos);
}

TEST(MdxToolTest, StatementBudgetsComeFromTheCommandLine) {
  std::string error;
  MdxRequest request = Parse({"--query-timeout", "0.5", "--max-statement-memory", "2000",
                              "SELECT CrossJoin([Customers].[Name].Members, [Store].[Store Name].Members) ON 0 "
                              "FROM [Sales]"},
                             &error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(request.query_timeout_seconds, 0.5);
  EXPECT_EQ(request.max_statement_memory, 2000);
  request.catalogs = orvex::testing::TinyCatalogsRoot();
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(RunMdx(request, out, err), 1);
  EXPECT_NE(err.str().find("--max-statement-memory"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace orvex::tools

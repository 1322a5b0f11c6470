#include <gtest/gtest.h>

#include <sstream>

#include "api/api_service.h"
#include "api/query_body.h"
#include "tiny_engine.h"
#include "tools/mdx/mdx_tool.h"

// POST /api/query against orvex-mdx on the same statement.
namespace orvex::api {
namespace {

ApiService Service() {
  ApiOptions options;
  options.default_data_source = "localhost";
  return ApiService(options);
}

ApiResponse Post(const std::string& call, const std::string& body) {
  return Service().Handle(ApiRequest{"POST", call, {}, body});
}

ApiResponse PostQuery(const nlohmann::json& body) { return Post("query", body.dump()); }

// What orvex-mdx writes for the statement, as JSON. It serves the test
// catalogs under the names the API uses ("localhost" and "Odd").
nlohmann::json OrvexMdx(const std::string& statement, const std::string& catalog = "",
                        const std::string& data_source = "localhost") {
  tools::MdxRequest request;
  request.catalogs = testing::TinyCatalogsRoot();
  if (data_source == "Odd") request.data_source = "Odd=" + testing::OddCatalogsRoot().string();
  request.catalog = catalog;
  request.format = "json";
  request.statement = statement;
  std::ostringstream out;
  std::ostringstream err;
  EXPECT_EQ(tools::RunMdx(request, out, err), 0) << err.str();
  return nlohmann::json::parse(out.str());
}

// The answer without what orvex-mdx does not write; checks those on the way.
nlohmann::json CellSetPart(const ApiResponse& response, const std::string& mdx) {
  EXPECT_EQ(response.status, 200) << response.body;
  nlohmann::json answer = nlohmann::json::parse(response.body);
  EXPECT_TRUE(answer["millis"].is_number()) << response.body;
  EXPECT_EQ(answer["mdx"], mdx);
  answer.erase("millis");
  answer.erase("mdx");
  return answer;
}

TEST(QueryCallTest, AnswersAsOrvexMdxDoesForTheSameStatement) {
  const char* statements[] = {
      "SELECT FROM [Sales]",
      "SELECT {[Store].[USA].Children} ON 0 FROM [Sales] WHERE ([Measures].[Store Sales])",
      "WITH MEMBER [Measures].[Label] AS '\"a \"\"quoted\"\" <b>text</b>\"' "
      "SELECT CrossJoin({[Time].[1997].Children}, {[Measures].[Unit Sales], [Measures].[Label]}) ON 0, "
      "NON EMPTY [Product].[Product Family].Members ON 1 FROM [Sales]",
      "SELECT {[Measures].[Customer Count]} ON 0, {[Gender].[F], [Gender].[M]} ON 1 FROM [Sales] "
      "WHERE {[Store].[USA].[CA], [Store].[USA].[WA]}",
      "SELECT {[Time].[1997]} ON 0, {[Store].[Canada]} ON 1, {[Measures].[Profit]} ON 2 FROM [Sales]",
  };
  testing::ServeTestCatalogs();
  for (const char* statement : statements) {
    SCOPED_TRACE(statement);
    nlohmann::json expected = OrvexMdx(statement);
    EXPECT_EQ(CellSetPart(PostQuery({{"mdx", statement}}), statement), expected);
    // The catalog named or left to the data source's first: the same answer.
    EXPECT_EQ(CellSetPart(PostQuery({{"dataSource", "localhost"}, {"catalog", "Tiny"}, {"mdx", statement}}),
                          statement),
              expected);
  }
}

// Members carry what a grid needs to draw and expand a heading.
TEST(QueryCallTest, MembersCarryTheirLevelParentAndChildCount) {
  const std::string statement = "SELECT {[Store].[USA], [Store].[USA].[CA].[Los Angeles]} ON 0 FROM [Sales]";
  nlohmann::json answer = CellSetPart(PostQuery({{"mdx", statement}}), statement);
  const nlohmann::json& positions = answer["axes"][0]["positions"];
  EXPECT_EQ(positions[0]["members"][0],
            (nlohmann::json{{"uniqueName", "[Store].[USA]"}, {"caption", "USA"}, {"levelDepth", 1},
                            {"levelName", "Store Country"}, {"levelUniqueName", "[Store].[Store Country]"},
                            {"parentUniqueName", "[Store].[All Stores]"}, {"childCount", 3}}));
  const nlohmann::json& city = positions[1]["members"][0];
  EXPECT_EQ(city["levelDepth"], 3);
  EXPECT_EQ(city["parentUniqueName"], "[Store].[USA].[CA]");
  EXPECT_EQ(city["childCount"], 1);
  // The time dimension has no all member: its filter member is a year, at the top.
  const nlohmann::json& time = answer["filterAxis"]["positions"][0]["members"][0];
  EXPECT_EQ(time["uniqueName"], "[Time].[1997]");
  EXPECT_EQ(time["parentUniqueName"], "");
}

// A view runs the statement the object model builds for it, and its cells
// are those orvex-mdx gives for that statement.
TEST(QueryCallTest, AViewRunsTheObjectModelsStatement) {
  const std::string view =
      "<cubeView><dataSource provider=\"MSOLAP\">localhost</dataSource><catalog>Tiny</catalog><cube>Sales</cube>"
      "<measure>Unit Sales</measure><ranges/><axes>"
      "<axis><set><t><m>[Time].[1997]</m></t><t><m>[Time].[1998]</m></t></set></axis>"
      "<axis><set><t><m>[Product].[Drink]</m></t><t><m>[Product].[Food]</m></t></set></axis></axes>"
      "<filters><hierarchy dimensionName=\"Store\" hierarchyName=\"\"><m>[Store].[USA].[CA]</m>"
      "<m>[Store].[USA].[WA]</m></hierarchy></filters>"
      "<measures axis=\"0\"><m>Unit Sales</m><m>Store Sales</m></measures></cubeView>";
  testing::ServeTestCatalogs();
  ApiResponse response = PostQuery({{"view", view}});
  ASSERT_EQ(response.status, 200) << response.body;
  const std::string mdx = nlohmann::json::parse(response.body)["mdx"];
  EXPECT_NE(mdx.find("WHERE CrossJoin({[Store].[USA].[CA], [Store].[USA].[WA]})"), std::string::npos) << mdx;
  nlohmann::json expected = OrvexMdx(mdx);
  EXPECT_EQ(CellSetPart(response, mdx), expected);
  EXPECT_EQ(expected["cells"].size(), 8u);
  EXPECT_EQ(expected["axes"][0]["positions"][1]["members"][1]["uniqueName"], "[Measures].[Store Sales]");

  // The body's data source and catalog take the place of the view's own.
  std::string elsewhere = view;
  elsewhere.replace(elsewhere.find(">localhost<"), 11, ">Nowhere<");
  response = PostQuery({{"dataSource", "localhost"}, {"catalog", "Tiny"}, {"view", elsewhere}});
  EXPECT_EQ(CellSetPart(response, mdx), expected);
}

TEST(QueryCallTest, FaultsAnswerWithAStatusAndTheEnginesMessage) {
  struct Case {
    std::string body;
    int status;
    std::string message;  // a part of the answer's "error"
  };
  const std::string head = "<cubeView><dataSource>localhost</dataSource><catalog>Tiny</catalog><cube>Sales</cube>";
  const Case cases[] = {
      {"SELECT", 400, "the request body is no JSON object"},
      {"{}", 400, "either 'mdx' or 'view'"},
      {R"({"mdx": "SELECT FROM [Sales]", "view": "<cubeView/>"})", 400, "either 'mdx' or 'view'"},
      {R"({"mdx": 7})", 400, "'mdx' must be a text"},
      {R"({"mdx": "SELECT {[Time].[2001]} ON 0 FROM [Sales]"})", 400, "[Time].[2001]"},
      {R"({"mdx": "SELECT FROM [Sales]", "dataSource": "Elsewhere"})", 400, "'Elsewhere' is not known"},
      {R"({"mdx": "SELECT FROM [Sales]", "dataSource": "localhost;Provider=Other"})", 400, "';', '='"},
      {R"({"view": "<cubeView><dataSource provider='Other;Data Source=x'>localhost</dataSource></cubeView>"})", 400,
       "no provider name holds"},
      {R"({"view": "not a view"})", 400, "the view is no XML document"},
      {nlohmann::json{{"view", head + "<ranges/><axes/><measures><m>Nothing</m></measures></cubeView>"}}.dump(), 400,
       "The cube has no measure 'Nothing'."},
      {nlohmann::json{{"view", head + "<ranges/></cubeView>"}}.dump(), 400, "Object variable"},
  };
  testing::ServeTestCatalogs();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    ApiResponse response = Post("query", c.body);
    EXPECT_EQ(response.status, c.status);
    nlohmann::json answer = nlohmann::json::parse(response.body);
    EXPECT_EQ(answer["status"], c.status);
    EXPECT_NE(answer["error"].get<std::string>().find(c.message), std::string::npos) << answer["error"];
    EXPECT_TRUE(answer["millis"].is_number());
  }
  EXPECT_EQ(Service().Handle(ApiRequest{"GET", "query", {}, ""}).status, 405);
}

// Names and captions that would be markup or script travel as text: the
// answer parses back to exactly what orvex-mdx gives.
TEST(QueryCallTest, HostileNamesTravelAsText) {
  const std::string statement =
      "SELECT [<img src=x onerror=\"window.injected=1\">].[Item].Members ON 0, [Side].[Side].Members ON 1 "
      "FROM [Odd \"<b>cube</b>\" 'x' \\ y]";
  testing::ServeTestCatalogs();
  nlohmann::json expected = OrvexMdx(statement, testing::kOddCatalogName, "Odd");
  nlohmann::json answer = CellSetPart(
      PostQuery({{"dataSource", "Odd"}, {"catalog", testing::kOddCatalogName}, {"mdx", statement}}), statement);
  EXPECT_EQ(answer, expected);
  EXPECT_EQ(answer["axes"][0]["positions"][1]["members"][0]["caption"], "</script><script>window.injected=3</script>");
}

// The export path's entry: the provider's result, alive after every connection has gone.
TEST(QueryCallTest, RunQueryBodyHandsOutTheResultAndTheStatement) {
  testing::ServeTestCatalogs();
  ApiContext context(ApiOptions{});
  std::string mdx;
  auto data = RunQueryBody(context, {{"mdx", "SELECT {[Store].[USA]} ON 0 FROM [Sales] WHERE ([Time].[1997])"}}, &mdx);
  EXPECT_EQ(mdx, "SELECT {[Store].[USA]} ON 0 FROM [Sales] WHERE ([Time].[1997])");
  EXPECT_EQ(data->GetCell(0)->FormattedValue(), "78.00");
  EXPECT_EQ(data->GetAxes()->Item(0)->GetPositions()->Item(0)->GetMembers()->Item(0)->Caption(), "USA");
}

}  // namespace
}  // namespace orvex::api

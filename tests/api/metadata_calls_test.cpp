// The metadata calls against the embedded engine on the test catalogs,
// compared with what MDX statements give for the same members.
#include <gtest/gtest.h>

#include "api/api_calls.h"
#include "api_test_support.h"
#include "provider/connection.h"

namespace orvex::api {
namespace {

using testing::Get;

// The members of a statement's first axis, as the members call writes them.
nlohmann::json AxisMembers(const std::string& data_source, const std::string& catalog, const std::string& mdx) {
  testing::ServeApiCatalogs();
  provider::Connection connection;
  connection.Open("Provider=MSOLAP;Data Source=" + data_source + ";SOURCE_DSN=" + catalog);
  auto positions = connection.GetSession().Execute(catalog, mdx)->GetAxes()->Item(0)->GetPositions();
  nlohmann::json members = nlohmann::json::array();
  for (int index = 0; index < positions->Count(); ++index) {
    auto member = positions->Item(index)->GetMembers()->Item(0);
    members.push_back({{"uniqueName", member->UniqueName()},
                       {"caption", member->Caption()},
                       {"levelName", member->LevelName()},
                       {"levelUniqueName", member->GetProperties().Item("LEVEL_UNIQUE_NAME").value.ToString()},
                       {"levelDepth", member->LevelDepth()},
                       {"childCount", member->ChildCount()}});
  }
  return members;
}

std::vector<std::string> Names(const nlohmann::json& list, const char* field = "uniqueName") {
  std::vector<std::string> names;
  for (const auto& item : list) names.push_back(item[field].get<std::string>());
  return names;
}

const nlohmann::json* Find(const nlohmann::json& list, const std::string& unique_name) {
  for (const auto& item : list) {
    if (item["uniqueName"] == unique_name) return &item;
  }
  return nullptr;
}

TEST(CatalogsCallTest, ListsTheCatalogsOfTheNamedOrDefaultDataSource) {
  EXPECT_EQ(Get("catalogs", {})["catalogs"], nlohmann::json::array({"Tiny"}));
  EXPECT_EQ(Get("catalogs", {{"dataSource", "Odd"}})["catalogs"], nlohmann::json::array({orvex::testing::kOddCatalogName}));
}

TEST(CubesCallTest, DescribesDimensionsHierarchiesLevelsAndMeasures) {
  nlohmann::json cubes = Get("cubes", {{"catalog", "Tiny"}})["cubes"];
  ASSERT_EQ(cubes.size(), 1u);
  const nlohmann::json& sales = cubes[0];
  EXPECT_EQ(sales["name"], "Sales");
  EXPECT_EQ(Names(sales["dimensions"]), (std::vector<std::string>{"[Time]", "[Store]", "[Product]", "[Customers]",
                                                                  "[Gender]", "[Marital Status]", "[Promotion Media]"}));
  const nlohmann::json& time = sales["dimensions"][0]["hierarchies"][0];
  EXPECT_EQ(time["hasAll"], false);
  EXPECT_FALSE(time.contains("allMember"));
  EXPECT_EQ(time["defaultMember"], "[Time].[1997]");
  EXPECT_EQ(Names(time["levels"]), (std::vector<std::string>{"[Time].[Year]", "[Time].[Quarter]", "[Time].[Month]"}));
  EXPECT_EQ(time["levels"][2]["depth"], 2);

  const nlohmann::json& store = sales["dimensions"][1]["hierarchies"][0];
  EXPECT_EQ(store["uniqueName"], "[Store]");
  EXPECT_EQ(store["hasAll"], true);
  EXPECT_EQ(store["allMember"], "[Store].[All Stores]");
  EXPECT_EQ(store["defaultMember"], "[Store].[All Stores]");
  ASSERT_EQ(store["levels"].size(), 5u);
  EXPECT_EQ(store["levels"][4]["uniqueName"], "[Store].[Store Name]");
  EXPECT_EQ(store["levels"][4]["depth"], 4);

  const nlohmann::json* profit = Find(sales["measures"], "[Measures].[Profit]");
  ASSERT_NE(profit, nullptr);
  EXPECT_EQ((*profit)["formatString"], "$#,##0.00");
  EXPECT_EQ((*Find(sales["measures"], "[Measures].[Unit Sales]"))["formatString"], "Standard");
  EXPECT_EQ(sales["namedSets"], nlohmann::json::array());
}

TEST(CubesCallTest, GivesNamedSetsAndOneCubeWhenAsked) {
  nlohmann::json cubes = Get("cubes", {{"dataSource", "Search"}, {"catalog", "Search"}, {"cube", "places"}})["cubes"];
  ASSERT_EQ(cubes.size(), 1u);
  EXPECT_EQ(cubes[0]["namedSets"], nlohmann::json::parse(R"([{"name": "Swiss Cities", "uniqueName": "[Swiss Cities]",
      "caption": "Cities of Switzerland", "expression": "[City].[Schweiz].Children"}])"));
  // The set's expression, run as a statement, names the members a page would show for it.
  EXPECT_EQ(Names(AxisMembers("Search", "Search", "SELECT [Swiss Cities] ON 0 FROM [Places]")),
            (std::vector<std::string>{"[City].[Schweiz].[Zurich Nord]", "[City].[Schweiz].[Zürich]"}));

  nlohmann::json missing = Get("cubes", {{"catalog", "Tiny"}, {"cube", "Nope"}}, 404);
  EXPECT_NE(missing["error"].get<std::string>().find("Nope"), std::string::npos);
  nlohmann::json broken = Get("cubes", {{"catalog", "Nowhere"}}, 400);
  EXPECT_NE(broken["error"].get<std::string>().find("Nowhere"), std::string::npos);
}

TEST(MembersCallTest, ListsWhatTheSameSetsInMdxGive) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> params;
    const char* mdx;
  };
  const Case cases[] = {
      {"a level", {{"level", "[Store].[Store State]"}}, "SELECT [Store].[Store State].Members ON 0 FROM [Sales]"},
      {"a member's children", {{"parent", "[Store].[USA]"}}, "SELECT [Store].[USA].Children ON 0 FROM [Sales]"},
      {"children by hierarchy and parent", {{"hierarchy", "[Product]"}, {"parent", "[Product].[Drink]"}},
       "SELECT [Product].[Drink].Children ON 0 FROM [Sales]"},
      {"a hierarchy's top level", {{"hierarchy", "[Store]"}}, "SELECT {[Store].[All Stores]} ON 0 FROM [Sales]"},
      {"without an all level", {{"hierarchy", "[Time]"}}, "SELECT [Time].[Year].Members ON 0 FROM [Sales]"},
      {"the measures", {{"level", "[Measures].[MeasuresLevel]"}}, "SELECT [Measures].AllMembers ON 0 FROM [Sales]"},
      {"a leaf's children", {{"parent", "[Store].[USA].[CA].[Los Angeles].[Store 1]"}},
       "SELECT {} ON 0 FROM [Sales]"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    auto params = test.params;
    params["catalog"] = "Tiny";
    params["cube"] = "Sales";
    nlohmann::json answer = Get("members", params);
    nlohmann::json expected = AxisMembers("Tiny", "Tiny", test.mdx);
    EXPECT_EQ(answer["members"], expected);
    EXPECT_EQ(answer["total"], expected.size());
    EXPECT_EQ(answer["offset"], 0);
  }
}

TEST(MembersCallTest, PagesThroughALevel) {
  std::map<std::string, std::string> level = {{"catalog", "Tiny"}, {"cube", "Sales"}, {"level", "[Product].[Product Name]"}};
  nlohmann::json all = Get("members", level)["members"];
  ASSERT_GT(all.size(), 4u);
  nlohmann::json joined = nlohmann::json::array();
  for (size_t offset = 0; offset < all.size(); offset += 3) {
    auto params = level;
    params["offset"] = std::to_string(offset);
    params["limit"] = "3";
    nlohmann::json page = Get("members", params);
    EXPECT_EQ(page["total"], all.size());
    EXPECT_EQ(page["offset"], offset);
    for (const auto& member : page["members"]) joined.push_back(member);
  }
  EXPECT_EQ(joined, all);
  auto past = level;
  past["offset"] = std::to_string(all.size() + 5);
  nlohmann::json beyond = Get("members", past);
  EXPECT_EQ(beyond["members"], nlohmann::json::array());
  EXPECT_EQ(beyond["total"], all.size());
}

TEST(MembersCallTest, RefusesWhatItCannotAnswer) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> params;
    int status;
    const char* error;
  };
  const Case cases[] = {
      {"nothing to list", {}, 400, "'hierarchy', 'level', 'parent' or 'search'"},
      {"limit zero", {{"level", "[Store].[Store State]"}, {"limit", "0"}}, 400, "'limit'"},
      {"limit too big", {{"level", "[Store].[Store State]"}, {"limit", "10001"}}, 400, "'limit'"},
      {"limit no number", {{"level", "[Store].[Store State]"}, {"limit", "5x"}}, 400, "'limit'"},
      {"negative offset", {{"level", "[Store].[Store State]"}, {"offset", "-1"}}, 400, "'offset'"},
      {"unknown level", {{"level", "[Store].[Planet]"}}, 404, "[Store].[Planet]"},
      {"unknown parent", {{"parent", "[Store].[USA].[TX]"}}, 404, "[Store].[USA].[TX]"},
      {"parent of no hierarchy", {{"parent", "[Moon].[Base]"}}, 404, "[Moon].[Base]"},
      {"unknown hierarchy", {{"hierarchy", "[Moon]"}}, 404, "[Moon]"},
      {"unknown cube", {{"cube", "Nope"}, {"hierarchy", "[Store]"}}, 404, "Nope"},
      {"unknown cube searched", {{"cube", "Nope"}, {"search", "a"}}, 400, "Nope"},
      {"unknown hierarchy searched", {{"hierarchy", "[Moon]"}, {"search", "a"}}, 400, "[Moon]"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    std::map<std::string, std::string> params = {{"catalog", "Tiny"}, {"cube", "Sales"}};
    for (const auto& [name, value] : test.params) params[name] = value;
    nlohmann::json answer = Get("members", params, test.status);
    EXPECT_NE(answer["error"].get<std::string>().find(test.error), std::string::npos) << answer["error"];
  }
}

TEST(MembersCallTest, CarriesMarkupInCaptionsAsText) {
  std::string catalog = orvex::testing::kOddCatalogName;
  nlohmann::json cubes = Get("cubes", {{"dataSource", "Odd"}, {"catalog", catalog}})["cubes"];
  ASSERT_EQ(cubes.size(), 1u);
  std::string cube = cubes[0]["name"];
  std::string hierarchy = cubes[0]["dimensions"][0]["hierarchies"][0]["uniqueName"];
  EXPECT_EQ(hierarchy, "[<img src=x onerror=\"window.injected=1\">]");
  std::map<std::string, std::string> params = {{"dataSource", "Odd"}, {"catalog", catalog}, {"cube", cube},
                                               {"level", hierarchy + ".[Item]"}};
  nlohmann::json members = Get("members", params)["members"];
  EXPECT_EQ(Names(members, "caption"), (std::vector<std::string>{"</script><script>window.injected=3</script>",
                                                                 "it's <b>bold</b>", "back\\slash ' \" \\' end"}));
  params.erase("level");
  params["search"] = "<B>";
  EXPECT_EQ(Names(Get("members", params)["members"], "caption"), (std::vector<std::string>{"it's <b>bold</b>"}));
}

TEST(MembersCallTest, ShowsAndFindsOnlyWhatTheRoleSees) {
  provider::ScopedConnectionRole role("California");
  std::map<std::string, std::string> base = {{"catalog", "Tiny"}, {"cube", "Sales"}};
  auto with = [&base](std::map<std::string, std::string> more) {
    auto params = base;
    params.insert(more.begin(), more.end());
    return params;
  };
  EXPECT_EQ(Names(Get("members", with({{"search", "store"}, {"level", "[Store].[Store Name]"}}))["members"]),
            (std::vector<std::string>{"[Store].[USA].[CA].[Los Angeles].[Store 1]",
                                      "[Store].[USA].[CA].[San Francisco].[Store 2]"}));
  EXPECT_EQ(Names(Get("members", with({{"level", "[Store].[Store State]"}}))["members"]),
            (std::vector<std::string>{"[Store].[USA].[CA]"}));
  EXPECT_EQ(Get("members", with({{"search", "Portland"}}))["total"], 0);
  (void)Get("members", with({{"parent", "[Store].[USA].[OR]"}}), 404);
  (void)Get("members", with({{"hierarchy", "[Customers]"}, {"search", "a"}}), 400);
  nlohmann::json dimensions = Get("cubes", {{"catalog", "Tiny"}})["cubes"][0]["dimensions"];
  EXPECT_EQ(Find(dimensions, "[Customers]"), nullptr);
}

}  // namespace
}  // namespace orvex::api

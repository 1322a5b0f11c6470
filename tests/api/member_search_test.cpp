// Member search by caption: folding, ranking, paging, and the engine's index
// answering exactly as the generic walk over the levels does.
#include <gtest/gtest.h>

#include <thread>

#include "api_test_support.h"
#include "engine/model/level.h"
#include "engine/model/member.h"
#include "engine/provider/engine_session.h"
#include "engine/provider/member_search_index.h"
#include "provider/connection.h"
#include "provider/member_search.h"

namespace orvex::api {
namespace {

using testing::Get;

std::vector<std::string> Names(const nlohmann::json& list, const char* field = "uniqueName") {
  std::vector<std::string> names;
  for (const auto& item : list) names.push_back(item[field].get<std::string>());
  return names;
}

TEST(FoldForSearchTest, FoldsCaseAndAccentsAndKeepsTheRest) {
  const std::pair<const char*, const char*> cases[] = {
      {"ZÜRICH", "zurich"},
      {"Zu\xCC\x88rich", "zurich"},  // u followed by a combining diaeresis
      {"Ærøskøbing", "aeroskobing"},
      {"Straße", "strasse"},
      {"ŁÓDŹ Œuvre Ĳssel", "lodz oeuvre ijssel"},
      {"ÉLAN élan", "elan elan"},
      {"Ωmega МОСКВА", "ωmega москва"},
      {"× ÷ Þ", "× ÷ þ"},
      {"<b>\"x\" & y</b>", "<b>\"x\" & y</b>"},
      {"東京", "東京"},
      {"bad \xff byte", "bad \xff byte"},
      {"", ""},
  };
  for (const auto& [text, folded] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(provider::FoldForSearch(text), folded);
  }
}

TEST(MemberSearchIndexTest, FindsEachMemberOnceAndOnlyAtItsLevel) {
  engine::Level countries(nullptr, "Country", "[C].[Country]", "Country", 0, false);
  engine::Level cities(nullptr, "City", "[C].[City]", "City", 1, false);
  std::vector<engine::Member> members(4);
  members[0].caption = "Anna an Anna";
  members[1].caption = "Savannah";
  members[2].caption = "Ann";
  members[3].caption = std::string("x\0nna", 5);
  for (size_t index = 0; index < members.size(); ++index) members[index].level = index < 2 ? &countries : &cities;
  std::vector<const engine::Member*> pointers;
  for (const auto& member : members) pointers.push_back(&member);
  engine::MemberSearchIndex index(pointers);

  std::vector<engine::MemberSearchIndex::Hit> hits;
  index.Collect("ann", nullptr, hits);
  ASSERT_EQ(hits.size(), 3u);  // "Anna an Anna" once, though it holds the text twice
  EXPECT_EQ(hits[0].member, &members[0]);
  EXPECT_EQ(hits[0].kind, provider::MatchKind::kPrefix);
  EXPECT_EQ(hits[1].kind, provider::MatchKind::kSubstring);
  EXPECT_EQ(hits[2].member, &members[2]);
  EXPECT_EQ(hits[2].folded_caption, "ann");

  hits.clear();
  index.Collect("ann", &cities, hits);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].member, &members[2]);

  // A match never runs from one caption into the next, nor across a 0 byte inside one.
  for (std::string text : {std::string("ann\0ban", 7), std::string("hann"), std::string("x\0nna", 5), std::string()}) {
    SCOPED_TRACE(text);
    hits.clear();
    index.Collect(text, nullptr, hits);
    EXPECT_TRUE(hits.empty());
  }
  hits.clear();
  index.Collect("x nna", nullptr, hits);
  EXPECT_EQ(hits.size(), 1u);
}

TEST(MemberSearchCallTest, RanksPrefixesFirstThenHigherLevelsThenCaptions) {
  struct Case {
    const char* text;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"zu",
       {"[City].[Zuid]", "[City].[Schweiz].[Zürich]", "[City].[Schweiz].[Zurich Nord]",
        "[City].[Österreich].[<b>zu</b> \"x\" & y]", "[City].[Deutschland].[Neu-Zürich]"}},
      {"ZÜRICH", {"[City].[Schweiz].[Zürich]", "[City].[Schweiz].[Zurich Nord]", "[City].[Deutschland].[Neu-Zürich]"}},
      {"Zu\xCC\x88rich nord", {"[City].[Schweiz].[Zurich Nord]"}},
      {"koln", {"[City].[Deutschland].[Köln]"}},
      {"oster", {"[City].[Österreich]"}},
      {"<B>ZU", {"[City].[Österreich].[<b>zu</b> \"x\" & y]"}},
      {"\"x\" &", {"[City].[Österreich].[<b>zu</b> \"x\" & y]"}},
      {"all c", {"[City].[All Cities]"}},
      {"", {}},
      {"nowhere", {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.text);
    nlohmann::json answer =
        Get("members", {{"dataSource", "Search"}, {"catalog", "Search"}, {"cube", "Places"}, {"search", test.text}});
    EXPECT_EQ(Names(answer["members"]), test.expected);
    EXPECT_EQ(answer["total"], test.expected.size());
  }
}

TEST(MemberSearchCallTest, PagesAndNarrowsToALevel) {
  std::map<std::string, std::string> base = {
      {"dataSource", "Search"}, {"catalog", "Search"}, {"cube", "Places"}, {"search", "zu"}};
  auto with = [&base](std::map<std::string, std::string> more) {
    for (const auto& item : base) more.insert(item);
    return more;
  };
  std::vector<std::string> all = Names(Get("members", base)["members"]);
  ASSERT_EQ(all.size(), 5u);
  std::vector<std::string> paged;
  for (int offset = 0; offset < 5; offset += 2) {
    nlohmann::json page = Get("members", with({{"offset", std::to_string(offset)}, {"limit", "2"}}));
    EXPECT_EQ(page["total"], 5);
    for (const auto& name : Names(page["members"])) paged.push_back(name);
  }
  EXPECT_EQ(paged, all);
  nlohmann::json beyond = Get("members", with({{"offset", "9"}}));
  EXPECT_EQ(beyond["members"], nlohmann::json::array());
  EXPECT_EQ(beyond["total"], 5);

  nlohmann::json countries = Get("members", with({{"level", "[City].[Country]"}}));
  EXPECT_EQ(Names(countries["members"]), std::vector<std::string>{"[City].[Zuid]"});
  nlohmann::json first = Get("members", with({{"hierarchy", "[City]"}, {"limit", "1"}}))["members"][0];
  EXPECT_EQ(first, nlohmann::json::parse(R"({"uniqueName": "[City].[Zuid]", "caption": "Zuid",
      "levelName": "Country", "levelUniqueName": "[City].[Country]", "levelDepth": 1, "childCount": 1})"));
}

TEST(MemberSearchCallTest, SearchesOnlyUnderAParent) {
  std::map<std::string, std::string> base = {{"dataSource", "Search"}, {"catalog", "Search"}, {"cube", "Places"}};
  auto with = [&base](std::map<std::string, std::string> more) {
    for (const auto& item : base) more.insert(item);
    return more;
  };
  struct Case {
    const char* parent;
    const char* text;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"[City].[Schweiz]", "zu", {"[City].[Schweiz].[Zürich]", "[City].[Schweiz].[Zurich Nord]"}},
      {"[city].[deutschland]", "ZÜ", {"[City].[Deutschland].[Neu-Zürich]"}},
      // The last country's run ends the index: its last city must still be read.
      {"[City].[Österreich]", "w", {"[City].[Österreich].[Wien]"}},
      {"[City].[Österreich]", "<b>", {"[City].[Österreich].[<b>zu</b> \"x\" & y]"}},
      // The parent itself is no descendant of its own.
      {"[City].[Zuid]", "zu", {}},
      {"[City].[Schweiz].[Zürich]", "zu", {}},
      {"[City].[Schweiz]", "köln", {}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.parent) + " " + test.text);
    nlohmann::json answer = Get("members", with({{"search", test.text}, {"parent", test.parent}}));
    EXPECT_EQ(Names(answer["members"]), test.expected);
    EXPECT_EQ(answer["total"], test.expected.size());
  }

  // Pages through everything under the all member, which holds every match.
  std::vector<std::string> paged;
  for (int offset = 0; offset < 6; offset += 2) {
    nlohmann::json page = Get("members", with({{"search", "zu"}, {"parent", "[City].[All Cities]"},
                                               {"offset", std::to_string(offset)}, {"limit", "2"}}));
    EXPECT_EQ(page["total"], 5);
    for (const auto& name : Names(page["members"])) paged.push_back(name);
  }
  EXPECT_EQ(paged, Names(Get("members", with({{"search", "zu"}}))["members"]));

  // A parent that is not there, or not in the hierarchy or level searched, is named in a 404.
  const std::map<std::string, std::string> unknown[] = {
      {{"parent", "[City].[Atlantis]"}},
      {{"parent", "Schweiz"}},
      {{"parent", "[City].[Schweiz]"}, {"hierarchy", "[Measures]"}},
  };
  for (auto params : unknown) {
    SCOPED_TRACE(params.at("parent"));
    params["search"] = "zu";
    nlohmann::json answer = Get("members", with(params), 404);
    EXPECT_NE(answer["error"].get<std::string>().find(params.at("parent")), std::string::npos) << answer;
  }
}

// The engine's index and the generic walk over the levels are two answers to
// one question: same members, same order, same total.
TEST(MemberSearchCallTest, IndexAnswersAsTheWalkOverLevelsDoes) {
  testing::ServeApiCatalogs();
  struct Case {
    const char* data_source;
    const char* cube;
    provider::MemberSearch search;
  };
  const Case cases[] = {
      {"Tiny", "Sales", {"Sales", "", "", "a", 0, 1000, ""}},
      {"Tiny", "Sales", {"Sales", "", "", "S", 2, 7, ""}},
      {"Tiny", "Sales", {"Sales", "[Product]", "", "e", 0, 1000, ""}},
      {"Tiny", "Sales", {"Sales", "[Measures]", "", "sales", 0, 1000, ""}},
      {"Tiny", "Sales", {"Sales", "", "[Customers].[Name]", "an", 1, 3, ""}},
      {"Search", "Places", {"Places", "", "", "ZU", 0, 1000, ""}},
      {"Search", "Places", {"Places", "[City]", "", "i", 3, 100, ""}},
      // Under a parent: the index reads one run of captions, the walk climbs each member's path.
      {"Tiny", "Sales", {"Sales", "", "", "e", 0, 1000, "[Product].[Drink]"}},
      {"Tiny", "Sales", {"Sales", "[Store]", "", "s", 1, 2, "[Store].[USA]"}},
      {"Tiny", "Sales", {"Sales", "", "[Product].[Brand Name]", "e", 0, 1000, "[Product].[Food]"}},
      {"Search", "Places", {"Places", "", "", "zu", 0, 1000, "[City].[All Cities]"}},
      {"Search", "Places", {"Places", "[City]", "", "i", 0, 1000, "[City].[Österreich]"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.data_source) + " " + test.search.hierarchy + test.search.level + " " + test.search.text);
    provider::Connection connection;
    connection.Open(std::string("Provider=MSOLAP;Data Source=") + test.data_source);
    provider::Session& session = connection.GetSession();
    std::string catalog = connection.DefaultDatabase();
    provider::MemberSearchPage indexed = session.SearchMembers(catalog, test.search);
    provider::MemberSearchPage walked = provider::SearchByWalkingLevels(*session.GetCubeDefs(catalog), test.search);
    EXPECT_GT(indexed.total, 0);
    EXPECT_EQ(indexed.total, walked.total);
    ASSERT_EQ(indexed.members.size(), walked.members.size());
    for (size_t index = 0; index < indexed.members.size(); ++index) {
      EXPECT_EQ(indexed.members[index]->UniqueName(), walked.members[index]->UniqueName()) << index;
    }
  }
}

TEST(MemberSearchIndexTest, ThreadsAskingAtOnceShareOneIndexPerHierarchyAndCatalog) {
  std::shared_ptr<const engine::Catalog> catalog = orvex::testing::TinyCatalog();
  const engine::Hierarchy& store = *orvex::testing::TinySalesCube().hierarchies()[1];
  const engine::Hierarchy& product = *orvex::testing::TinySalesCube().hierarchies()[2];
  std::vector<std::shared_ptr<const engine::MemberSearchIndex>> found(8);
  std::vector<std::thread> threads;
  for (size_t thread = 0; thread < found.size(); ++thread) {
    threads.emplace_back([&, thread] {
      found[thread] = engine::MemberSearchIndex::For(catalog, thread % 2 ? store : product);
    });
  }
  for (auto& thread : threads) thread.join();
  for (size_t thread = 2; thread < found.size(); ++thread) EXPECT_EQ(found[thread], found[thread % 2]);
  EXPECT_NE(found[0], found[1]);
  std::vector<engine::MemberSearchIndex::Hit> hits;
  found[1]->Collect("store", nullptr, hits);
  EXPECT_EQ(hits.size(), 6u);  // five stores and All Stores
}

// A page that lists a cube is about to search it: the session queues the
// indexes of the hierarchies a search reads, which a background thread builds
// from members no one has read yet.
TEST(MemberSearchIndexTest, PreparingACubeBuildsItsIndexesInTheBackground) {
  orvex::testing::TempDir root;
  orvex::testing::WriteCatalog(root.path(), "Search", testing::kSearchSchema, testing::kSearchData);
  auto data_sources = std::make_shared<engine::DataSources>();
  data_sources->Add("Fresh", root.path());
  std::shared_ptr<const engine::Catalog> catalog = data_sources->OpenCatalog("Fresh", "Search");
  const engine::Hierarchy* found = catalog->cubes().front()->FindHierarchy("[City]");
  ASSERT_NE(found, nullptr);
  const engine::Hierarchy& city = *found;
  ASSERT_FALSE(city.members_read());

  engine::EngineSession session(data_sources, "Fresh", engine::EngineOptions{});
  session.PrepareMemberSearch("Search", "No Such Cube");  // a hint: nothing to do, nothing thrown
  session.PrepareMemberSearch("Search", "places");
  engine::MemberSearchIndex::WaitForBackgroundBuilds();
  EXPECT_TRUE(city.members_read());

  std::vector<engine::MemberSearchIndex::Hit> hits;
  engine::MemberSearchIndex::For(catalog, city)->Collect("zu", nullptr, hits);
  EXPECT_EQ(hits.size(), 5u);
  provider::MemberSearchPage page = session.SearchMembers("Search", {"Places", "", "", "zu", 0, 10, ""});
  EXPECT_EQ(page.total, 5);
}

}  // namespace
}  // namespace orvex::api

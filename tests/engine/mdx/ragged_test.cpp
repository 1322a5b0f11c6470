// Ragged hierarchies: a level's members hidden by hideMemberIf, their
// children hanging from the nearest shown ancestor. Israel has no state (a
// NULL name); Vatican's state is named as its country. Each city sells a
// power of ten: LA 1, SF 10, Tel Aviv 100, Haifa 1000, Vatican City 10000.
#include <gtest/gtest.h>

#include <string>

#include "engine/model/catalog.h"
#include "engine/catalog/catalog_loader.h"
#include "temp_dir.h"
#include "hierarchy_catalogs.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {



TEST(RaggedTest, HiddenMembersChildrenHangFromTheNearestShownAncestor) {
  struct Case {
    std::string rule;
    std::string rows;
    std::string expected;
  };
  const Case cases[] = {
      // Cities first: the coarser cells of the next statements can be added up from them.
      {"IfBlankName", "[Geo].[City].Members",
       "[Geo].[Israel].[Haifa] | 1000\n[Geo].[Israel].[Tel Aviv] | 100\n[Geo].[USA].[CA].[LA] | 1\n"
       "[Geo].[USA].[CA].[SF] | 10\n[Geo].[Vatican].[Vatican].[Vatican City] | 10000\n"},
      {"IfBlankName", "[Geo].[Israel].Children", "[Geo].[Israel].[Haifa] | 1000\n[Geo].[Israel].[Tel Aviv] | 100\n"},
      {"IfBlankName", "[Geo].[State].Members", "[Geo].[USA].[CA] | 11\n[Geo].[Vatican].[Vatican] | 10000\n"},
      {"IfBlankName", "Descendants([Geo].[Israel], [Geo].[City])",
       "[Geo].[Israel].[Haifa] | 1000\n[Geo].[Israel].[Tel Aviv] | 100\n"},
      {"IfBlankName", "Descendants([Geo].[Israel], [Geo].[State])", ""},
      {"IfBlankName", "{[Geo].[Israel].[Haifa].Parent, [Geo].[Country].Members, [Geo].[All Geos]}",
       "[Geo].[Israel] | 1100\n[Geo].[Israel] | 1100\n[Geo].[USA] | 11\n[Geo].[Vatican] | 10000\n"
       "[Geo].[All Geos] | 11111\n"},
      {"IfBlankName", "Descendants([Geo].[All Geos], 3, LEAVES)",
       "[Geo].[Israel].[Haifa] | 1000\n[Geo].[Israel].[Tel Aviv] | 100\n[Geo].[USA].[CA].[LA] | 1\n"
       "[Geo].[USA].[CA].[SF] | 10\n[Geo].[Vatican].[Vatican].[Vatican City] | 10000\n"},
      {"IfParentsName", "[Geo].[Vatican].Children", "[Geo].[Vatican].[Vatican City] | 10000\n"},
      {"IfParentsName", "[Geo].[State].Members", "[Geo].[Israel].[#null] | 1100\n[Geo].[USA].[CA] | 11\n"},
      {"Never", "[Geo].[Vatican].Children", "[Geo].[Vatican].[Vatican] | 10000\n"},
      {"Never", "[Geo].[Israel].Children", "[Geo].[Israel].[#null] | 1100\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.rule + ": " + test.rows);
    orvex::testing::TempDir root;
    orvex::testing::WriteCatalog(root.path(), "R", RaggedSchema(test.rule), kRaggedData);
    auto sources = std::make_shared<DataSources>();
    sources->Add("R", root.path());
    EngineSession session(sources, "R", EngineOptions{});
    // Every statement of the table again, so that later ones meet a warm cache.
    for (const auto& statement : cases) {
      if (statement.rule != test.rule) continue;
      std::string table = CellsetToTable(
          *session.Execute("R", "SELECT {[Measures].[Amount]} ON 0, " + statement.rows + " ON 1 FROM C"), false);
      EXPECT_EQ(CompactRows(table), statement.expected) << statement.rows << "\n" << table;
    }
  }
}

TEST(RaggedTest, HiddenMembersAreInNoLevelListAndTheirCityIsACountrysChild) {
  orvex::testing::TempDir root;
  auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "R", RaggedSchema("IfBlankName"), kRaggedData));
  const Hierarchy& geo = *catalog->FindCube("C").FindHierarchy("[Geo]");
  const Member* haifa = geo.FindMember("[Geo].[Israel].[Haifa]");
  ASSERT_NE(haifa, nullptr);
  EXPECT_EQ(haifa->depth(), 3);
  EXPECT_EQ(haifa->parent->name, "Israel");
  ASSERT_NE(haifa->stored_parent(), haifa->parent);
  EXPECT_EQ(haifa->stored_parent()->parent, haifa->parent);
  EXPECT_EQ(geo.LevelMembers(2).size(), 2u);
  EXPECT_EQ(geo.HiddenMembers(2).size(), 1u);
  EXPECT_EQ(geo.FindMember("[Geo].[Israel].[#null]"), nullptr);
}

// The member query orders a level by its ordinal column before its key, so a
// member's rows need not be consecutive: CA's cities, and Israel's blank
// (hidden) state, come apart. Each key still makes one member below its parent.
TEST(RaggedTest, AMembersRowsApartStillMakeOneMember) {
  const char* data = R"(
CREATE TABLE geo (id INTEGER, country VARCHAR, state VARCHAR, city VARCHAR, ord INTEGER);
INSERT INTO geo VALUES (1, 'USA', 'CA', 'LA', 1), (2, 'USA', 'NY', 'NYC', 2), (3, 'USA', 'CA', 'SF', 3),
  (4, 'Israel', NULL, 'Haifa', 1), (5, 'Israel', 'X', 'Eilat', 2), (6, 'Israel', NULL, 'Tel Aviv', 3);
CREATE TABLE sales (geo_id INTEGER, amount INTEGER);
INSERT INTO sales VALUES (1, 1), (2, 10), (3, 100), (4, 1000), (5, 10000), (6, 100000);
)";
  const char* schema = R"(<Schema name="S"><Cube name="C"><Table name="sales"/>
  <Dimension name="Geo" foreignKey="geo_id">
    <Hierarchy hasAll="true" primaryKey="id"><Table name="geo"/>
      <Level name="Country" column="country" uniqueMembers="true"/>
      <Level name="State" column="state" ordinalColumn="ord" hideMemberIf="IfBlankName"/>
      <Level name="City" column="city"/>
    </Hierarchy>
  </Dimension>
  <Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
  struct Case {
    std::string rows;
    std::string expected;
  };
  const Case cases[] = {
      {"[Geo].[USA].Children", "[Geo].[USA].[CA] | 101\n[Geo].[USA].[NY] | 10\n"},
      {"[Geo].[USA].[CA].Children", "[Geo].[USA].[CA].[LA] | 1\n[Geo].[USA].[CA].[SF] | 100\n"},
      {"[Geo].[Israel].Children",
       "[Geo].[Israel].[Haifa] | 1000\n[Geo].[Israel].[X] | 10000\n[Geo].[Israel].[Tel Aviv] | 100000\n"},
      {"[Geo].[State].Members", "[Geo].[Israel].[X] | 10000\n[Geo].[USA].[CA] | 101\n[Geo].[USA].[NY] | 10\n"},
  };
  orvex::testing::TempDir root;
  orvex::testing::WriteCatalog(root.path(), "R", schema, data);
  auto sources = std::make_shared<DataSources>();
  sources->Add("R", root.path());
  EngineSession session(sources, "R", EngineOptions{});
  for (const auto& test : cases) {
    SCOPED_TRACE(test.rows);
    std::string table =
        CellsetToTable(*session.Execute("R", "SELECT {[Measures].[Amount]} ON 0, " + test.rows + " ON 1 FROM C"), false);
    EXPECT_EQ(CompactRows(table), test.expected) << table;
  }
}

TEST(RaggedTest, AnUnknownRuleIsRefusedAtLoadWithItsLine) {
  orvex::testing::TempDir root;
  auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "R", RaggedSchema("IfNoName"), kRaggedData));
  ASSERT_EQ(catalog->failed_cubes().count("C"), 1u);
  const std::string& error = catalog->failed_cubes().at("C");
  EXPECT_NE(error.find("Schema line 5: the level 'State' has hideMemberIf=\"IfNoName\""), std::string::npos) << error;
}

}  // namespace
}  // namespace orvex::engine::testing

// Names and results over a dimension with two hierarchies, and member names
// built to break quoting; shapes the Tiny catalog does not have.
#include <gtest/gtest.h>

#include "provider/metadata.h"
#include "temp_dir.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

const char* kSchema = R"(<Schema name="Shapes">
  <Cube name="Shapes" defaultMeasure="Amount">
    <Table name="facts"/>
    <Dimension name="Time" foreignKey="day_id">
      <Hierarchy hasAll="false" primaryKey="day_id">
        <Table name="days"/>
        <Level name="Year" column="yr" uniqueMembers="true"/>
        <Level name="Month" column="mon" ordinalColumn="mon_no" uniqueMembers="false"/>
      </Hierarchy>
      <Hierarchy name="Weekly" hasAll="true" primaryKey="day_id">
        <Table name="days"/>
        <Level name="Year" column="yr" uniqueMembers="true"/>
        <Level name="Week" column="wk" uniqueMembers="false"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Shop">
      <Hierarchy allMemberName="Every Shop">
        <Level name="Shop" column="shop" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount" column="amount" aggregator="sum" formatString="#,##0"/>
  </Cube>
</Schema>)";

const char* kData = R"(
CREATE TABLE days (day_id INTEGER, yr INTEGER, mon VARCHAR, mon_no INTEGER, wk INTEGER);
INSERT INTO days VALUES (1, 2020, 'Jan', 1, 1), (2, 2020, 'Feb', 2, 5), (3, 2021, 'Jan', 1, 1);
CREATE TABLE facts (day_id INTEGER, shop VARCHAR, amount INTEGER);
INSERT INTO facts VALUES (1, 'North', 10), (2, 'North', 20), (2, 'x''); DROP TABLE facts; --', 5), (3, 'North', 1);
)";

EngineSession& Shapes() {
  static orvex::testing::TempDir root;
  static EngineSession session = [] {
    orvex::testing::WriteCatalog(root.path(), "Shapes", kSchema, kData);
    auto sources = std::make_shared<DataSources>();
    sources->Add("Shapes", root.path());
    return EngineSession(sources, "Shapes", EngineOptions{});
  }();
  return session;
}

std::string Table(std::string_view mdx) { return CellsetToTable(*Shapes().Execute("Shapes", mdx), true); }

TEST(SeveralHierarchiesTest, EachHierarchyHasItsOwnNamesAndDefault) {
  EXPECT_EQ(Table("SELECT [Time].[Weekly].[Week].Members ON 0, [Time].[Time].[2020].Children ON 1 FROM Shapes"),
            "filter: [Measures].[Amount], [Shop].[Every Shop]\n"
            "                           | [Time].[Weekly].[2020].[1] | [Time].[Weekly].[2020].[5] | [Time].[Weekly].[2021].[1]\n"
            "[Time].[Time].[2020].[Jan] | 10                         |                            |\n"
            "[Time].[Time].[2020].[Feb] |                            | 25                         |\n");
}

TEST(SeveralHierarchiesTest, TheDimensionNameFindsMembersInItsHierarchiesInOrder) {
  // [Time].[2021] is in the first hierarchy; [Time].[2021].[1] only in the second (weeks).
  EXPECT_EQ(Table("SELECT {[Time].[2021], [Time].[2020].[Feb]} ON 0, {[Time].[2021].[1], [Time].[Weekly]} ON 1 "
                  "FROM [Shapes]"),
            "filter: [Measures].[Amount], [Shop].[Every Shop]\n"
            "                            | [Time].[Time].[2021] | [Time].[Time].[2020].[Feb]\n"
            "[Time].[Weekly].[2021].[1]  | 1                    |\n"
            "[Time].[Weekly].[All Times] | 1                    | 25\n");
}

TEST(SeveralHierarchiesTest, MetadataListsBothHierarchies) {
  auto cube = Shapes().GetCubeDefs("Shapes")->Item("Shapes");
  auto hierarchies = cube->GetDimensions()->Item("Time")->GetHierarchies();
  ASSERT_EQ(hierarchies->Count(), 2);
  EXPECT_EQ(hierarchies->Item("Weekly")->UniqueName(), "[Time].[Weekly]");
  EXPECT_EQ(hierarchies->Item("[Time].[Time]")->Name(), "Time");
  EXPECT_EQ(hierarchies->Item("Weekly")->GetProperties().Item("DEFAULT_MEMBER").value.ToString(),
            "[Time].[Weekly].[All Times]");
}

TEST(SeveralHierarchiesTest, MemberNamesNeverReachTheStoreAsText) {
  EXPECT_EQ(Table("SELECT [Shop].[Shop].Members ON 0 FROM [Shapes] WHERE [Time].[Weekly].[2020]"),
            "filter: [Measures].[Amount], [Time].[Time].[2020], [Time].[Weekly].[2020]\n"
            "[Shop].[North]                     | 30\n"
            "[Shop].[x'); DROP TABLE facts; --] | 5\n");
  EXPECT_EQ(Table("SELECT {[Shop].[x'); DROP TABLE facts; --]} ON 0 FROM [Shapes] WHERE [Time].[Weekly]"),
            "filter: [Measures].[Amount], [Time].[Time].[2020], [Time].[Weekly].[All Times]\n"
            "[Shop].[x'); DROP TABLE facts; --] | 5\n");
}

// Without a measure group, hierarchies of one dimension over one table exist
// together where a row of that table holds both; days: 2020 Jan week 1, 2020
// Feb week 5, 2021 Jan week 1. Weeks repeat across years, so only whole key
// paths tell week 1 of 2020 from week 1 of 2021.
TEST(SeveralHierarchiesTest, ExistsRelatesHierarchiesThroughTheirDimensionTable) {
  struct Case {
    const char* set;
    const char* expected;
  };
  const Case cases[] = {
      {"Exists([Time].[Weekly].[Week].Members, {[Time].[Time].[2020].[Feb]})", "{[Time].[Weekly].[2020].[5]}"},
      {"Exists([Time].[Time].[Month].Members, {[Time].[Weekly].[2021].[1]})", "{[Time].[Time].[2021].[Jan]}"},
      {"Exists([Time].[Time].[Month].Members, {[Time].[Weekly].[2020].[1], [Time].[Weekly].[2020].[5]})",
       "{[Time].[Time].[2020].[Jan], [Time].[Time].[2020].[Feb]}"},
      {"Exists([Time].[Weekly].Members, {[Time].[Time].[2021]})",
       "{[Time].[Weekly].[All Times], [Time].[Weekly].[2021], [Time].[Weekly].[2021].[1]}"},
      {"Exists(CrossJoin([Time].[Weekly].[Week].Members, {[Shop].[North]}), "
       "{[Time].[Time].[2020].[Jan], [Time].[Time].[2021].[Jan]})",
       "{([Time].[Weekly].[2020].[1], [Shop].[North]), ([Time].[Weekly].[2021].[1], [Shop].[North])}"},
      // Another dimension does not restrict without a measure group.
      {"Exists([Shop].[Shop].Members, {[Time].[Time].[2021]})",
       "{[Shop].[North], [Shop].[x'); DROP TABLE facts; --]}"},
      {"Exists([Time].[Weekly].[Week].Members, {})", "{}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    EXPECT_EQ(Table(std::string("WITH MEMBER [Measures].[S] AS SetToStr(") + c.set +
                    ") SELECT {[Measures].[S]} ON 0 FROM [Shapes]"),
              std::string("filter: [Time].[Time].[2020], [Time].[Weekly].[All Times], [Shop].[Every Shop]\n"
                          "[Measures].[S] | ") +
                  c.expected + "\n");
  }
}

}  // namespace
}  // namespace orvex::engine::testing

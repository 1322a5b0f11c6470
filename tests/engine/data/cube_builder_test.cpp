#include "engine/catalog/cube_builder.h"

#include "engine/cells/sql_cell_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cube_cells.h"
#include "engine/model/catalog.h"
#include "engine/catalog/catalog_loader.h"
#include "engine/model/level.h"
#include "platform/com/com_error.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using orvex::testing::Cell;
using orvex::testing::FindMember;

// Shapes the Tiny catalog does not have: a dimension with two hierarchies on
// one table, months ordered by an ordinal column, week captions, a snowflake
// of three tables with a region name used under two areas and a NULL one, a
// degenerate dimension with DOUBLE keys, and a name built to break quoting.
const char* kShapesSchema = R"(<Schema name="Shapes">
  <Cube name="Shapes" defaultMeasure="amount">
    <Table name="facts" alias="f"/>
    <Dimension name="Time" foreignKey="day_id">
      <Hierarchy hasAll="false" primaryKey="day_id">
        <Table name="days"/>
        <Level name="Year" column="yr" uniqueMembers="true"/>
        <Level name="Month" column="mon" ordinalColumn="mon_no" uniqueMembers="false"/>
      </Hierarchy>
      <Hierarchy name="Weekly" primaryKey="day_id" defaultMember="[Time].[Weekly].[2020]">
        <Table name="days"/>
        <Level name="Year" column="yr" uniqueMembers="true"/>
        <Level name="Week" column="wk" captionColumn="week_label" uniqueMembers="false"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Region" foreignKey="region_id">
      <Hierarchy primaryKey="region_id" primaryKeyTable="region">
        <Join leftKey="area_id" rightAlias="area" rightKey="area_id">
          <Table name="region"/>
          <Join leftKey="zone_id" rightKey="zone_id">
            <Table name="area"/>
            <Table name="zone"/>
          </Join>
        </Join>
        <Level name="Zone" table="zone" column="zone_name" uniqueMembers="true"/>
        <Level name="Area" table="area" column="area_name" uniqueMembers="false"/>
        <Level name="Region" table="region" column="region_name" uniqueMembers="false"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Shop">
      <Hierarchy allMemberName="Every Shop">
        <Level name="Shop" column="shop" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Weight">
      <Hierarchy>
        <Level name="Weight" column="weight" type="Numeric" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/>
    <Measure name="Doubled" aggregator="sum">
      <MeasureExpression>
        <SQL dialect="postgres">"f"."amount" * 3</SQL>
        <SQL dialect="generic">"f"."amount" * 2</SQL>
      </MeasureExpression>
    </Measure>
    <Measure name="Biggest" column="amount" aggregator="max"/>
    <Measure name="Smallest" column="amount" aggregator="min"/>
    <Measure name="Mean" column="amount" aggregator="avg"/>
  </Cube>
</Schema>)";

const char* kShapesData = R"(
CREATE TABLE days (day_id INTEGER, yr INTEGER, mon VARCHAR, mon_no INTEGER, wk INTEGER, week_label VARCHAR);
INSERT INTO days VALUES (1, 2020, 'Jan', 1, 1, 'W1'), (2, 2020, 'Feb', 2, 5, 'W5'), (3, 2020, 'Mar', 3, 9, 'W9'),
                        (4, 2021, 'Jan', 1, 1, 'W1'), (5, 2021, 'Dec', 12, 52, 'W52');
CREATE TABLE zone (zone_id INTEGER, zone_name VARCHAR);
INSERT INTO zone VALUES (1, 'North'), (2, 'South');
CREATE TABLE area (area_id INTEGER, zone_id INTEGER, area_name VARCHAR);
INSERT INTO area VALUES (10, 1, 'Hills'), (11, 1, 'Lakes'), (20, 2, 'Coast');
CREATE TABLE region (region_id INTEGER, area_id INTEGER, region_name VARCHAR);
INSERT INTO region VALUES (100, 10, 'Alpha'), (101, 11, 'Alpha'), (102, 20, NULL),
                          (103, 20, 'Gamma''); DROP TABLE facts; --');
CREATE TABLE facts (day_id INTEGER, region_id INTEGER, shop VARCHAR, weight DOUBLE, amount INTEGER);
INSERT INTO facts VALUES (1, 100, 'S1', 0.5, 10), (1, 101, 'S2', 0.5, 20), (2, 102, 'S1', 1.25, 5),
                         (3, 103, 'S3', 0.5, 7), (4, 100, 'S2', 1.25, 1), (5, 101, 'S1', 2.0, 2);
)";

const Cube& Shapes() {
  static orvex::testing::TempDir root;
  static std::shared_ptr<const Catalog> catalog =
      CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "Shapes", kShapesSchema, kShapesData));
  return catalog->FindCube("Shapes");
}

std::vector<std::string> Names(const std::vector<const Member*>& members, bool captions = false) {
  std::vector<std::string> names;
  for (const Member* member : members) names.push_back(captions ? member->caption : member->unique_name);
  return names;
}

TEST(CubeBuilderTest, NamesEachHierarchyOfADimensionThatHasSeveral) {
  const Cube& cube = Shapes();
  const Hierarchy* time = cube.FindHierarchy("[Time].[Time]");
  const Hierarchy* weekly = cube.FindHierarchy("[Time].[Weekly]");
  ASSERT_NE(time, nullptr);
  ASSERT_NE(weekly, nullptr);
  EXPECT_EQ(time->name(), "Time");
  EXPECT_EQ(weekly->name(), "Weekly");
  EXPECT_EQ(cube.FindHierarchy("[Time]"), nullptr);
  EXPECT_EQ(cube.FindDimension("Time")->hierarchies().size(), 2u);
  EXPECT_EQ(time->levels()[1]->unique_name(), "[Time].[Time].[Month]");
  EXPECT_EQ(Names(time->levels()[0]->members()), (std::vector<std::string>{"[Time].[Time].[2020]", "[Time].[Time].[2021]"}));
  EXPECT_EQ(weekly->all_member()->unique_name, "[Time].[Weekly].[All Times]");
  EXPECT_EQ(weekly->default_member()->unique_name, "[Time].[Weekly].[2020]");
  EXPECT_EQ(time->default_member()->unique_name, "[Time].[Time].[2020]");
  EXPECT_EQ(cube.FindHierarchy("[Shop]")->all_member()->unique_name, "[Shop].[Every Shop]");
  EXPECT_EQ(cube.default_measure()->unique_name, "[Measures].[Amount]");
}

TEST(CubeBuilderTest, OrdersByTheOrdinalColumnAndKeepsCaptionsApartFromNames) {
  const Cube& cube = Shapes();
  const Member* year = FindMember(cube, "[Time].[Time].[2020]");
  EXPECT_EQ(Names(year->children()), (std::vector<std::string>{"[Time].[Time].[2020].[Jan]", "[Time].[Time].[2020].[Feb]",
                                                             "[Time].[Time].[2020].[Mar]"}));
  const Member* weeks = FindMember(cube, "[Time].[Weekly].[2021]");
  EXPECT_EQ(Names(weeks->children()), (std::vector<std::string>{"[Time].[Weekly].[2021].[1]", "[Time].[Weekly].[2021].[52]"}));
  EXPECT_EQ(Names(weeks->children(), true), (std::vector<std::string>{"W1", "W52"}));
  const Hierarchy& weekly = *cube.FindHierarchy("[Time].[Weekly]");
  EXPECT_EQ(weekly.FindChild(weeks, "w52")->name, "52");
  EXPECT_EQ(FindMember(cube, "[Region].[South].[Coast].[#null]")->key, KeyValue());
  EXPECT_EQ(Names(cube.FindHierarchy("[Weight]")->levels()[1]->members()),
            (std::vector<std::string>{"[Weight].[0.5]", "[Weight].[1.25]", "[Weight].[2]"}));
}

TEST(CubeBuilderTest, ReadsCellsThroughSnowflakesDegenerateDimensionsAndEveryAggregator) {
  const Cube& cube = Shapes();
  orvex::testing::ExpectCells(cube, {
      {"Amount", {}, 45},
      {"Amount", {"[Region].[North]"}, 33},
      {"Amount", {"[Region].[South]"}, 12},
      // The same region name under two areas: each member counts only its own rows.
      {"Amount", {"[Region].[North].[Hills].[Alpha]"}, 11},
      {"Amount", {"[Region].[North].[Lakes].[Alpha]"}, 22},
      {"Amount", {"[Region].[South].[Coast].[#null]"}, 5},
      {"Amount", {"[Region].[South].[Coast].[Gamma'); DROP TABLE facts; --]"}, 7},
      {"Amount", {"[Shop].[S1]"}, 17},
      {"Amount", {"[Weight].[0.5]"}, 37},
      {"Amount", {"[Weight].[1.25]"}, 6},
      {"Amount", {"[Time].[Time].[2020].[Jan]"}, 30},
      {"Amount", {"[Time].[Time].[2021].[Jan]"}, 1},
      {"Amount", {"[Time].[Weekly].[2020].[1]"}, 30},
      {"Amount", {"[Time].[Time].[2020].[Jan]", "[Region].[North].[Lakes].[Alpha]"}, 20},
      {"Amount", {"[Time].[Time].[2020]", "[Time].[Weekly].[2020].[5]", "[Shop].[S1]"}, 5},
      {"Amount", {"[Time].[Time].[2021]", "[Weight].[0.5]"}, std::nullopt},
      {"Doubled", {}, 90},
      {"Biggest", {"[Region].[North]"}, 20},
      {"Smallest", {}, 1},
      {"Mean", {}, 7.5},
      {"Mean", {"[Shop].[S2]"}, 10.5},
  });
}

TEST(CubeBuilderTest, MinimaAndMaximaAddUpFromFinerAnswersAveragesDoNot) {
  const Cube& cube = Shapes();
  auto& reader = dynamic_cast<SqlCellReader&>(cube.cells());
  reader.ClearCache();
  std::vector<Coordinate> regions;
  for (const Member* region : cube.FindHierarchy("[Region]")->LevelMembers(3)) {
    regions.push_back(orvex::testing::At(cube, {}));
    regions.back()[static_cast<size_t>(region->level->hierarchy().index())] = region;
  }
  std::vector<const Measure*> measures;
  for (const std::string name : {"Biggest", "Smallest", "Mean"}) measures.push_back(orvex::testing::FindMeasure(cube, name));
  (void)orvex::testing::Cells(cube, measures, regions);
  size_t before = reader.query_count();
  EXPECT_DOUBLE_EQ(*Cell(cube, "Biggest", {"[Region].[North]"}), 20);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Smallest", {"[Region].[North]"}), 1);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Smallest", {"[Region].[South]"}), 5);
  EXPECT_EQ(reader.query_count(), before);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Mean", {"[Region].[North]"}), 33.0 / 4);
  EXPECT_EQ(reader.query_count(), before + 1);
}

// A cube over the Shapes tables whose body is `body`.
std::string ShapesCube(const std::string& body) {
  return R"(<Schema name="S"><Cube name="C"><Table name="facts" alias="f"/>)" + body +
         R"(<Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
}

TEST(CubeBuilderTest, ACubeThatCannotBeMappedFailsAloneWithAReason) {
  struct Case {
    std::string body;
    std::string expected;
  };
  const std::string region_join = R"(<Join leftKey="area_id" rightKey="area_id"><Table name="region"/><Table name="area"/></Join>)";
  const Case cases[] = {
      {R"(<Dimension name="R" foreignKey="region_id"><Hierarchy primaryKey="region_id"><Table name="region"/>
          <Level name="L" table="zone" column="zone_name"/></Hierarchy></Dimension>)",
       "the level 'L' of the dimension 'R' names the table 'zone', which its hierarchy does not join"},
      {R"(<Dimension name="R"><Hierarchy primaryKey="region_id"><Table name="region"/>
          <Level name="L" column="region_name"/></Hierarchy></Dimension>)",
       "the dimension 'R' has no foreignKey"},
      {R"(<Dimension name="R" foreignKey="region_id"><Hierarchy primaryKey="region_id">)" + region_join +
           R"(<Level name="L" table="region" column="region_name"/></Hierarchy></Dimension>)",
       "needs primaryKeyTable"},
      {R"(<Dimension name="R" foreignKey="region_id"><Hierarchy primaryKey="region_id" primaryKeyTable="region">)" +
           region_join + R"(<Level name="L" column="region_name"/></Hierarchy></Dimension>)",
       "the level 'L' of the dimension 'R' needs a table attribute"},
      {R"(<Dimension name="R" foreignKey="region_id"><Hierarchy primaryKey="region_id"><Table name="region"/>
          <Level name="L"><KeyExpression><SQL dialect="oracle">x</SQL></KeyExpression></Level></Hierarchy></Dimension>)",
       "has no version for this store"},
      {R"(<Dimension name="A" foreignKey="region_id"><Hierarchy primaryKey="region_id"><Table name="region"/>
          <Level name="L" column="region_name"/></Hierarchy></Dimension>
         <Dimension name="B" foreignKey="day_id"><Hierarchy primaryKey="region_id"><Table name="region"/>
          <Level name="L" column="region_name"/></Hierarchy></Dimension>)",
       "The dimensions 'A' and 'B' join the tables 'f' and 'region' in different ways"},
      {R"(<Dimension name="A" foreignKey="region_id"><Hierarchy primaryKey="region_id"><Table name="zone" alias="f"/>
          <Level name="L" column="zone_name"/></Hierarchy></Dimension>)",
       "Schema line 1: the table alias 'f' stands for two tables, 'facts' and 'zone'"},
      {R"(<Dimension name="S"><Hierarchy><Level name="S" column="shop"/></Hierarchy></Dimension>
          <CalculatedMember name="X" dimension="S" formula="1"/><CalculatedMember name="x" hierarchy="[S]" formula="2"/>)",
       "Schema line 2: the calculated member 'x' is defined twice in one place."},
      {R"(<CalculatedMember name="X" dimension="Nowhere" formula="1"/>)",
       "the calculated member 'X' names 'Nowhere', which is not a dimension of the cube."},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.expected);
    orvex::testing::TempDir root;
    auto folder = orvex::testing::WriteCatalog(
        root.path(), "Broken",
        R"(<Schema name="S"><Cube name="Fine"><Table name="facts"/><Measure name="M" column="amount" aggregator="sum"/></Cube>)" +
            ShapesCube(test.body).substr(std::string(R"(<Schema name="S">)").size()),
        kShapesData);
    auto catalog = CatalogLoader::Load(folder);
    ASSERT_EQ(catalog->cubes().size(), 1u);
    EXPECT_DOUBLE_EQ(*Cell(catalog->FindCube("Fine"), "M", {}), 45);
    ASSERT_EQ(catalog->failed_cubes().count("C"), 1u);
    const std::string& reason = catalog->failed_cubes().at("C");
    EXPECT_NE(reason.find(test.expected), std::string::npos) << reason;
    try {
      (void)catalog->FindCube("c");
      ADD_FAILURE() << "a failed cube was found";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find("could not be loaded: " + reason), std::string::npos);
    }
  }
}

TEST(CubeBuilderTest, AMisspeltTableOrColumnIsReportedAtLoadWithItsLine) {
  struct Case {
    std::string body;  // its second line is the culprit
    std::string expected;
  };
  const std::string hierarchy = R"(<Hierarchy primaryKey="region_id"><Table name="region"/>)";
  const Case cases[] = {
      {"\n<Dimension name=\"R\" foreignKey=\"region_id\"><Hierarchy primaryKey=\"region_id\"><Table name=\"regoin\"/>"
       "<Level name=\"L\" column=\"region_name\"/></Hierarchy></Dimension>",
       "Schema line 2: the table 'regoin' does not exist in the store."},
      {"<Dimension name=\"R\" foreignKey=\"region_id\">" + hierarchy +
           "\n<Level name=\"L\" column=\"region_nam\"/></Hierarchy></Dimension>",
       "Schema line 2: the level 'L' of the dimension 'R' names the column 'region_nam', which the table 'region' "
       "does not have."},
      {"\n<Dimension name=\"R\" foreignKey=\"regon_id\">" + hierarchy +
           "<Level name=\"L\" column=\"region_name\"/></Hierarchy></Dimension>",
       "Schema line 2: the foreignKey of the dimension 'R' names the column 'regon_id', which the table 'facts'"},
      {"<Dimension name=\"R\" foreignKey=\"region_id\">\n<Hierarchy primaryKey=\"id\"><Table name=\"region\"/>"
       "<Level name=\"L\" column=\"region_name\"/></Hierarchy></Dimension>",
       "Schema line 2: the primaryKey of the dimension 'R' names the column 'id', which the table 'region'"},
      {"<Dimension name=\"R\" foreignKey=\"region_id\"><Hierarchy primaryKey=\"region_id\" primaryKeyTable=\"region\">"
       "\n<Join leftKey=\"area\" rightKey=\"area_id\"><Table name=\"region\"/><Table name=\"area\"/></Join>"
       "<Level name=\"L\" table=\"area\" column=\"area_name\"/></Hierarchy></Dimension>",
       "Schema line 2: a <Join> names the column 'area', which the table 'region' does not have."},
      {"\n<Measure name=\"Typo\" column=\"amont\" aggregator=\"sum\"/>",
       "Schema line 2: the measure 'Typo' names the column 'amont', which the table 'facts' does not have."},
      {"<Dimension name=\"R\"><Hierarchy>\n<Level name=\"L\"><KeyExpression><SQL>shop</SQL></KeyExpression></Level>"
       "</Hierarchy></Dimension><Dimension name=\"W\"><Hierarchy>"
       "<Level name=\"L\" nameColumn=\"Weight\" column=\"wieght\"/></Hierarchy></Dimension>",
       "names the column 'wieght'"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.expected);
    orvex::testing::TempDir root;
    auto folder = orvex::testing::WriteCatalog(
        root.path(), "Typos",
        R"(<Schema name="S"><Cube name="Fine"><Table name="facts"/><Measure name="M" column="amount" aggregator="sum"/></Cube>)" +
            ShapesCube(test.body).substr(std::string(R"(<Schema name="S">)").size()),
        kShapesData);
    auto catalog = CatalogLoader::Load(folder);
    EXPECT_DOUBLE_EQ(*Cell(catalog->FindCube("Fine"), "M", {}), 45);
    ASSERT_EQ(catalog->failed_cubes().count("C"), 1u);
    const std::string& reason = catalog->failed_cubes().at("C");
    EXPECT_NE(reason.find(test.expected), std::string::npos) << reason;
  }
}

TEST(CubeBuilderTest, StoreFailuresAndUnknownDefaultMembersSurfaceWhenMembersAreRead) {
  orvex::testing::TempDir root;
  auto folder = orvex::testing::WriteCatalog(
      root.path(), "Late", ShapesCube(R"(
        <Dimension name="R" foreignKey="region_id"><Hierarchy primaryKey="region_id"><Table name="region"/>
          <Level name="L"><KeyExpression><SQL>no_such_column</SQL></KeyExpression></Level></Hierarchy></Dimension>
        <Dimension name="S"><Hierarchy defaultMember="[S].[S9]"><Level name="S" column="shop"/></Hierarchy></Dimension>)"),
      kShapesData);
  auto catalog = CatalogLoader::Load(folder);
  const Cube& cube = catalog->FindCube("C");
  const Hierarchy& broken = *cube.FindHierarchy("[R]");
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      (void)broken.AllMembers();
      ADD_FAILURE() << "members of a missing column were read";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find("no_such_column"), std::string::npos) << error.description();
    }
  }
  const Hierarchy& shops = *cube.FindHierarchy("[S]");
  EXPECT_EQ(shops.AllMembers().size(), 4u);
  EXPECT_THROW((void)shops.default_member(), ComError);
}

}  // namespace
}  // namespace orvex::engine

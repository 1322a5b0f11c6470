// Relations besides plain tables: rows written in the schema, SELECTs per
// dialect and filtered tables, as dimension and as fact tables.
#include <gtest/gtest.h>

#include <string>

#include "cube_cells.h"
#include "engine/model/catalog.h"
#include "engine/catalog/catalog_loader.h"
#include "platform/com/com_error.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using orvex::testing::Cell;

// Amounts by shop: 1 has 10 + 6, 2 has 20, 3 has 5 + 1; shop 4 is closed.
const char* kData = R"(
CREATE TABLE shop (shop_id INTEGER, region_id INTEGER, shop_name VARCHAR, closed BOOLEAN);
INSERT INTO shop VALUES (1, 1, 'S1', false), (2, 1, 'S2', false), (3, 2, 'S3', false), (4, 2, 'S4', true);
CREATE TABLE facts (shop_id INTEGER, amount INTEGER);
INSERT INTO facts VALUES (1, 10), (1, 6), (2, 20), (3, 5), (3, 1), (4, 100);
)";

std::shared_ptr<const Catalog> Load(const orvex::testing::TempDir& root, const std::string& cube_body) {
  std::string schema = R"(<Schema name="S"><Cube name="C">)" + cube_body +
                       R"(<Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
  return CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "R", schema, kData));
}

const char* kRegions = R"(
  <Dimension name="Region" foreignKey="shop_id">
    <Hierarchy hasAll="true" primaryKey="shop_id" primaryKeyTable="shop">
      <Join leftKey="region_id" rightAlias="region" rightKey="id">
        <Table name="shop"/>
        <InlineTable alias="region">
          <ColumnDefs>
            <ColumnDef name="id" type="Integer"/>
            <ColumnDef name="name" type="String"/>
            <ColumnDef name="rank" type="Numeric"/>
          </ColumnDefs>
          <Rows>
            <Row><Value column="id">1</Value><Value column="name">North</Value><Value column="rank">2</Value></Row>
            <Row><Value column="id">2</Value><Value column="name">South's</Value><Value column="rank">1</Value></Row>
            <Row><Value column="id">3</Value><Value column="rank">3</Value></Row>
          </Rows>
        </InlineTable>
      </Join>
      <Level name="Region" table="region" column="id" nameColumn="name" ordinalColumn="rank" uniqueMembers="true"/>
    </Hierarchy>
  </Dimension>)";

TEST(RelationsTest, AnInlineTableJoinsLikeAStoredOne) {
  orvex::testing::TempDir root;
  auto catalog = Load(root, R"(<Table name="facts"/>)" + std::string(kRegions));
  ASSERT_TRUE(catalog->failed_cubes().empty()) << catalog->failed_cubes().begin()->second;
  const Cube& cube = catalog->FindCube("C");
  // Ordered by rank: South's first; region 3 has no shop and so no member.
  std::vector<std::string> names;
  for (const Member* member : cube.FindHierarchy("[Region]")->LevelMembers(1)) names.push_back(member->unique_name);
  EXPECT_EQ(names, (std::vector<std::string>{"[Region].[South's]", "[Region].[North]"}));
  EXPECT_DOUBLE_EQ(*Cell(cube, "Amount", {"[Region].[North]"}), 36);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Amount", {"[Region].[South's]"}), 106);
}

TEST(RelationsTest, ViewsTakeTheStoresDialectAndTablesTheirFilter) {
  struct Case {
    std::string name;
    std::string fact;
    double total;
  };
  const Case cases[] = {
      {"a view in this store's dialect, not the generic one",
       R"(<View alias="f"><SQL dialect="generic">SELECT * FROM facts WHERE amount > 5</SQL>
          <SQL dialect="duckdb">SELECT * FROM facts WHERE amount &lt; 100</SQL>
          <SQL dialect="postgres">SELECT * FROM facts WHERE amount &lt; 100</SQL></View>)",
       42},
      {"a view with the generic dialect only", R"(<View alias="f"><SQL>SELECT * FROM facts WHERE amount > 5</SQL></View>)",
       136},
      {"a filtered table", R"(<Table name="facts" alias="f"><SQL dialect="generic">"f"."amount" &lt;= 10</SQL></Table>)",
       22},
      {"an inline fact table",
       R"(<InlineTable alias="f"><ColumnDefs><ColumnDef name="shop_id" type="Integer"/>
          <ColumnDef name="amount" type="Integer"/></ColumnDefs>
          <Rows><Row><Value column="shop_id">1</Value><Value column="amount">7</Value></Row>
                <Row><Value column="shop_id">3</Value><Value column="amount">8</Value></Row>
                <Row><Value column="shop_id">3</Value></Row></Rows></InlineTable>)",
       15},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    orvex::testing::TempDir root;
    auto catalog = Load(root, test.fact + kRegions);
    ASSERT_TRUE(catalog->failed_cubes().empty()) << catalog->failed_cubes().begin()->second;
    EXPECT_DOUBLE_EQ(*Cell(catalog->FindCube("C"), "Amount", {}), test.total);
  }
  // A filtered dimension table leaves the closed shop out of the members.
  orvex::testing::TempDir root;
  auto catalog = Load(root, R"(<Table name="facts"/><Dimension name="Shop" foreignKey="shop_id">
      <Hierarchy primaryKey="shop_id"><Table name="shop"><SQL>NOT "shop"."closed"</SQL></Table>
      <Level name="Shop" column="shop_name"/></Hierarchy></Dimension>)");
  EXPECT_EQ(catalog->FindCube("C").FindHierarchy("[Shop]")->LevelMembers(1).size(), 3u);
}

TEST(RelationsTest, BrokenInlineTablesAndViewsAreRefusedAtLoad) {
  struct Case {
    std::string body;
    std::string expected;
  };
  const Case cases[] = {
      {R"(<InlineTable alias="f"><ColumnDefs><ColumnDef name="a"/></ColumnDefs>
          <Rows><Row><Value column="b">1</Value></Row></Rows></InlineTable>)",
       "the <Value> names the column 'b', which <ColumnDefs> does not."},
      {R"(<InlineTable alias="f"><ColumnDefs><ColumnDef name="amount" type="Money"/></ColumnDefs></InlineTable>)",
       "the column 'amount' has the type 'Money'"},
      {R"(<InlineTable><ColumnDefs><ColumnDef name="amount"/></ColumnDefs></InlineTable>)", "needs an alias"},
      {R"(<InlineTable alias="f"><ColumnDefs><ColumnDef name="amt" type="Integer"/></ColumnDefs></InlineTable>)",
       "the measure 'Amount' names the column 'amount', which the inline table 'f' does not have."},
      {R"(<View alias="f"><SQL dialect="oracle">SELECT 1</SQL></View>)", "has no version for this store"},
      {R"(<View alias="f"></View>)", "holds no <SQL>"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.expected);
    orvex::testing::TempDir root;
    auto catalog = Load(root, test.body);
    ASSERT_EQ(catalog->failed_cubes().count("C"), 1u);
    EXPECT_NE(catalog->failed_cubes().at("C").find(test.expected), std::string::npos) << catalog->failed_cubes().at("C");
  }
}

}  // namespace
}  // namespace orvex::engine

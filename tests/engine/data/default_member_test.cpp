// How a hierarchy's defaultMember is found, as schemas write it: bare names,
// paths below the hierarchy and full unique names.
#include <gtest/gtest.h>

#include <string>

#include "cube_cells.h"
#include "engine/model/catalog.h"
#include "engine/catalog/catalog_loader.h"
#include "engine/model/hierarchy.h"
#include "platform/com/com_error.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using orvex::testing::Cell;

// Shops S1 to S3 in two regions; each dimension below is the same shop table
// under another name, so each can carry its own defaultMember.
const char* kData = R"(
CREATE TABLE shop (shop_id INTEGER, region VARCHAR, shop_name VARCHAR);
INSERT INTO shop VALUES (1, 'North', 'S1'), (2, 'North', 'S2'), (3, 'South', 'S3');
CREATE TABLE facts (shop_id INTEGER, amount INTEGER);
INSERT INTO facts VALUES (1, 10), (2, 20), (3, 5), (3, 1);
)";

std::string ShopDimension(const std::string& name, const std::string& hierarchy_attributes) {
  return R"(<Dimension name=")" + name + R"(" foreignKey="shop_id"><Hierarchy primaryKey="shop_id" )" +
         hierarchy_attributes +
         R"(><Table name="shop"/><Level name="Region" column="region" uniqueMembers="true"/>
           <Level name="Shop" column="shop_name"/></Hierarchy></Dimension>)";
}

TEST(DefaultMemberTest, ResolvesBareNamesPathsAndUniqueNamesWithinTheHierarchy) {
  struct Case {
    std::string attributes;
    std::string expected;  // the default member's unique name; "" when the name names none
  };
  const Case cases[] = {
      {R"(allMemberName="All Media" defaultMember="All Media")", "[D].[All Media]"},
      {R"(allMemberName="All Media" defaultMember="[All Media]")", "[D].[All Media]"},
      {R"(allMemberName="All Media" defaultMember="[D].[All Media]")", "[D].[All Media]"},
      {R"(defaultMember="all ds")", "[D].[All Ds]"},
      {R"(defaultMember="North")", "[D].[North]"},
      {R"(defaultMember="[South].[S3]")", "[D].[South].[S3]"},
      {R"(defaultMember="[D].[North].[S2]")", "[D].[North].[S2]"},
      {R"(defaultMember="[All Ds].[North].[S1]")", "[D].[North].[S1]"},
      {R"(defaultMember="[d].[All Ds].[North]")", "[D].[North]"},
      {R"(hasAll="false" defaultMember="South")", "[D].[South]"},
      // A brackets name that does not fit the hierarchy names nothing rather than something else.
      {R"(defaultMember="S2")", ""},
      {R"(defaultMember="[North].[S3]")", ""},
      {R"(defaultMember="[Other].[North]")", ""},
      {R"(defaultMember="[North")", ""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.attributes);
    orvex::testing::TempDir root;
    std::string schema = R"(<Schema name="S"><Cube name="C"><Table name="facts"/>)" +
                         ShopDimension("D", test.attributes) +
                         R"(<Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
    auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "Default", schema, kData));
    const Hierarchy& hierarchy = *catalog->FindCube("C").FindHierarchy("[D]");
    if (test.expected.empty()) {
      EXPECT_THROW((void)hierarchy.default_member(), ComError);
    } else {
      ASSERT_NE(hierarchy.default_member(), nullptr);
      EXPECT_EQ(hierarchy.default_member()->unique_name, test.expected);
    }
  }
}

TEST(DefaultMemberTest, AHierarchyOfSeveralTakesItsDimensionsNameAsPrefix) {
  orvex::testing::TempDir root;
  std::string schema = R"(<Schema name="S"><Cube name="C"><Table name="facts"/>
      <Dimension name="D" foreignKey="shop_id">
        <Hierarchy primaryKey="shop_id"><Table name="shop"/><Level name="Region" column="region"/></Hierarchy>
        <Hierarchy name="Shops" primaryKey="shop_id" defaultMember="[D].[S3]"><Table name="shop"/>
          <Level name="Shop" column="shop_name"/></Hierarchy>
      </Dimension><Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
  auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "Default", schema, kData));
  EXPECT_EQ(catalog->FindCube("C").FindHierarchy("[D].[Shops]")->default_member()->unique_name, "[D].[Shops].[S3]");
}

// A fragment in the style of the widely shared retail example: promotions
// keyed by id, the media hierarchy defaulting to its all member by bare name.
TEST(DefaultMemberTest, ARetailSchemaWithABareAllMemberNameLoadsAndAnswers) {
  orvex::testing::TempDir root;
  const char* schema = R"(<?xml version="1.0"?>
<Schema name="Retail">
  <Dimension name="Store">
    <Hierarchy hasAll="true" primaryKey="store_id">
      <Table name="store"/>
      <Level name="Store Country" column="store_country" uniqueMembers="true"/>
    </Hierarchy>
  </Dimension>
  <Cube name="Sales" defaultMeasure="Unit Sales">
    <Table name="sales_fact"/>
    <DimensionUsage name="Store" source="Store" foreignKey="store_id"/>
    <Dimension name="Promotion Media" foreignKey="promotion_id">
      <Hierarchy hasAll="true" allMemberName="All Media" primaryKey="promotion_id" defaultMember="All Media">
        <Table name="promotion"/>
        <Level name="Media Type" column="media_type" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Dimension name="Promotions" foreignKey="promotion_id">
      <Hierarchy hasAll="true" allMemberName="All Promotions" primaryKey="promotion_id"
                 defaultMember="[All Promotions]">
        <Table name="promotion"/>
        <Level name="Promotion Name" column="promotion_name" uniqueMembers="true"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Unit Sales" column="unit_sales" aggregator="sum" formatString="Standard"/>
  </Cube>
</Schema>)";
  const char* data = R"(
CREATE TABLE store (store_id INTEGER, store_country VARCHAR);
INSERT INTO store VALUES (1, 'USA'), (2, 'Mexico');
CREATE TABLE promotion (promotion_id INTEGER, media_type VARCHAR, promotion_name VARCHAR);
INSERT INTO promotion VALUES (0, 'No Media', 'No Promotion'), (1, 'Radio', 'Spring'), (2, 'TV', 'Summer');
CREATE TABLE sales_fact (store_id INTEGER, promotion_id INTEGER, unit_sales INTEGER);
INSERT INTO sales_fact VALUES (1, 0, 3), (1, 1, 4), (2, 2, 5), (2, 0, 6);
)";
  auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "Retail", schema, data));
  ASSERT_TRUE(catalog->failed_cubes().empty());
  const Cube& cube = catalog->FindCube("Sales");
  EXPECT_EQ(cube.FindHierarchy("[Promotion Media]")->default_member()->unique_name, "[Promotion Media].[All Media]");
  EXPECT_EQ(cube.FindHierarchy("[Promotions]")->default_member()->unique_name, "[Promotions].[All Promotions]");
  EXPECT_DOUBLE_EQ(*Cell(cube, "Unit Sales", {}), 18);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Unit Sales", {"[Promotion Media].[No Media]"}), 9);
}

}  // namespace
}  // namespace orvex::engine

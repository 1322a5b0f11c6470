// visible="false" hides a dimension or measure from the provider's listings
// (a level says so in a property), while statements still name it.
#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

const char* kData = R"(
CREATE TABLE product (id INTEGER, category VARCHAR, name VARCHAR);
INSERT INTO product VALUES (1, 'Fruit', 'Apple'), (2, 'Fruit', 'Pear');
CREATE TABLE sales (product_id INTEGER, region VARCHAR, amount INTEGER, cost INTEGER);
INSERT INTO sales VALUES (1, 'North', 1, 5), (2, 'South', 10, 50);
)";

const char* kSchema = R"(<Schema name="S"><Cube name="C"><Table name="sales"/>
  <Dimension name="Product" foreignKey="product_id"><Hierarchy hasAll="true" primaryKey="id"><Table name="product"/>
    <Level name="Category" column="category" visible="false"/><Level name="Name" column="name"/></Hierarchy></Dimension>
  <Dimension name="Region" visible="false"><Hierarchy hasAll="true"><Level name="Region" column="region"/></Hierarchy>
  </Dimension>
  <Measure name="Amount" column="amount" aggregator="sum"/>
  <Measure name="Cost" column="cost" aggregator="sum" visible="false"/>
  <CalculatedMember name="Margin" dimension="Measures" formula="[Measures].[Amount] - [Measures].[Cost]">
    <CalculatedMemberProperty name="VISIBLE" value="false"/></CalculatedMember>
</Cube></Schema>)";

template <class Collection>
std::string Names(const Collection& items) {
  std::string names;
  for (int index = 0; index < items->Count(); ++index) names += items->Item(index)->Name() + " ";
  return names;
}

TEST(VisibilityTest, HiddenMetadataIsLeftOutOfListingsButStillFoundAndQueried) {
  orvex::testing::TempDir root;
  orvex::testing::WriteCatalog(root.path(), "V", kSchema, kData);
  auto sources = std::make_shared<DataSources>();
  sources->Add("V", root.path());
  EngineSession session(sources, "V", EngineOptions{});
  auto dimensions = session.GetCubeDefs("V")->Item("C")->GetDimensions();
  EXPECT_EQ(Names(dimensions), "Measures Product ");
  EXPECT_EQ(dimensions->Item("Region")->Name(), "Region");
  auto levels = dimensions->Item("Product")->GetHierarchies()->Item(0)->GetLevels();
  // Levels stay at their depths, which clients address them by; the hidden one says so.
  EXPECT_EQ(Names(levels), "(All) Category Name ");
  EXPECT_FALSE(levels->Item("Category")->GetProperties().Item("LEVEL_IS_VISIBLE").value.ToBool());
  EXPECT_TRUE(levels->Item("Name")->GetProperties().Item("LEVEL_IS_VISIBLE").value.ToBool());
  auto measures = dimensions->Item("Measures")->GetHierarchies()->Item(0)->GetLevels()->Item(0)->GetMembers();
  EXPECT_EQ(Names(measures), "Amount ");
  EXPECT_EQ(CompactRows(CellsetToTable(*session.Execute("V", "SELECT {[Measures].[Cost], [Measures].[Margin]} ON 0, "
                                                              "[Region].[Region].Members ON 1 FROM C"),
                                       false)),
            "[Region].[North] | 5 | -4\n[Region].[South] | 50 | -40\n");
}

}  // namespace
}  // namespace orvex::engine::testing

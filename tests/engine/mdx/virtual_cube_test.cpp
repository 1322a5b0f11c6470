// Virtual cubes: one cube over two base cubes that share the Product
// dimension; Region is the Sales cube's alone. Sales: Apple North 1, Pear
// North 10, Apple South 100. Stock: Apple 1000, Pear 10000 + 20000.
#include <gtest/gtest.h>

#include <string>

#include "engine/model/catalog.h"
#include "engine/model/catalog_loader.h"
#include "temp_dir.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

const char* kData = R"(
CREATE TABLE product (id INTEGER, name VARCHAR);
INSERT INTO product VALUES (1, 'Apple'), (2, 'Pear');
CREATE TABLE sales (product_id INTEGER, region VARCHAR, amount INTEGER);
INSERT INTO sales VALUES (1, 'North', 1), (2, 'North', 10), (1, 'South', 100);
CREATE TABLE stock (product_id INTEGER, qty INTEGER);
INSERT INTO stock VALUES (1, 1000), (2, 10000), (2, 20000);
)";

// The virtual cube comes first: its base cubes are found wherever they are.
std::string Schema(const std::string& usages, const std::string& measure = "[Measures].[Qty]") {
  return R"(<Schema name="S">
  <Dimension name="Product"><Hierarchy hasAll="true" primaryKey="id"><Table name="product"/>
    <Level name="Name" column="name" uniqueMembers="true"/></Hierarchy></Dimension>
  <VirtualCube name="Both" defaultMeasure="Amount">)" +
         usages + R"(
    <VirtualCubeDimension name="Product"/>
    <VirtualCubeDimension cubeName="Sales" name="Region"/>
    <VirtualCubeMeasure cubeName="Sales" name="[Measures].[Amount]"/>
    <VirtualCubeMeasure cubeName="Stock" name=")" +
         measure + R"("/>
    <CalculatedMember name="Total" dimension="Measures" formula="[Measures].[Amount] + [Measures].[Qty]"/>
  </VirtualCube>
  <Cube name="Sales"><Table name="sales"/>
    <DimensionUsage name="Product" source="Product" foreignKey="product_id"/>
    <Dimension name="Region"><Hierarchy hasAll="true"><Level name="Region" column="region"/></Hierarchy></Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/></Cube>
  <Cube name="Stock"><Table name="stock"/>
    <DimensionUsage name="Product" source="Product" foreignKey="product_id"/>
    <Measure name="Qty" column="qty" aggregator="sum"/></Cube>
</Schema>)";
}

const char* kIgnoring = R"(<CubeUsages><CubeUsage cubeName="Sales"/>
  <CubeUsage cubeName="Stock" ignoreUnrelatedDimensions="true"/></CubeUsages>)";

TEST(VirtualCubeTest, EachMeasureIsReadFromItsBaseCubeAndUnrelatedDimensionsFollowTheUsage) {
  struct Case {
    std::string usages;
    std::string rows;
    std::string expected;  // Amount | Qty | Total
  };
  const Case cases[] = {
      {"", "{[Product].[All Products], [Product].[Apple], [Product].[Pear]}",
       "[Product].[All Products] | 111 | 31000 | 31111\n[Product].[Apple] | 101 | 1000 | 1101\n"
       "[Product].[Pear] | 10 | 30000 | 30010\n"},
      // Stock has no Region: its Qty shows only at Region's all member.
      {"", "{[Region].[All Regions], [Region].[North], [Region].[South]}",
       "[Region].[All Regions] | 111 | 31000 | 31111\n[Region].[North] | 11 |  | 11\n[Region].[South] | 100 |  | 100\n"},
      {"", "CrossJoin({[Region].[North]}, {[Product].[Apple], [Product].[Pear]})",
       "[Region].[North], [Product].[Apple] | 1 |  | 1\n[Region].[North], [Product].[Pear] | 10 |  | 10\n"},
      // Ignoring unrelated dimensions, every Region member shows Stock's figure.
      {kIgnoring, "{[Region].[All Regions], [Region].[North], [Region].[South]}",
       "[Region].[All Regions] | 111 | 31000 | 31111\n[Region].[North] | 11 | 31000 | 31011\n"
       "[Region].[South] | 100 | 31000 | 31100\n"},
      {kIgnoring, "CrossJoin({[Region].[South]}, {[Product].[Apple], [Product].[Pear]})",
       "[Region].[South], [Product].[Apple] | 100 | 1000 | 1100\n[Region].[South], [Product].[Pear] |  | 30000 | 30000\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.usages + " " + test.rows);
    orvex::testing::TempDir root;
    orvex::testing::WriteCatalog(root.path(), "V", Schema(test.usages), kData);
    auto sources = std::make_shared<DataSources>();
    sources->Add("V", root.path());
    EngineSession session(sources, "V", EngineOptions{});
    std::string table = CellsetToTable(
        *session.Execute("V", "SELECT {[Measures].[Amount], [Measures].[Qty], [Measures].[Total]} ON 0, " +
                                  test.rows + " ON 1 FROM Both"),
        false);
    EXPECT_EQ(CompactRows(table), test.expected) << table;
  }
}

TEST(VirtualCubeTest, BaseCubesKeepTheirOwnFiguresAndTheCatalogListsCubesInSchemaOrder) {
  orvex::testing::TempDir root;
  auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "V", Schema(kIgnoring), kData));
  ASSERT_TRUE(catalog->failed_cubes().empty()) << catalog->failed_cubes().begin()->second;
  std::string names;
  for (const auto& cube : catalog->cubes()) names += cube->name() + " ";
  EXPECT_EQ(names, "Both Sales Stock ");
  auto sources = std::make_shared<DataSources>();
  sources->Add("V", root.path());
  EngineSession session(sources, "V", EngineOptions{});
  EXPECT_EQ(CompactRows(CellsetToTable(
                *session.Execute("V", "SELECT {[Measures].[Qty]} ON 0, [Product].Children ON 1 FROM Stock"), false)),
            "[Product].[Apple] | 1000\n[Product].[Pear] | 30000\n");
}

TEST(VirtualCubeTest, AVirtualCubeNamingWhatItsBasesLackFailsAloneWithItsLine) {
  struct Case {
    std::string usages;
    std::string measure;
    std::string expected;
  };
  const Case cases[] = {
      {"", "[Measures].[Weight]", "Schema line 8: the cube 'Stock' has no measure [Measures].[Weight]."},
      {R"(<CubeUsages><CubeUsage cubeName="Nowhere"/></CubeUsages>)", "[Measures].[Qty]",
       "it names the cube 'Nowhere', which is not a cube of the schema."},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.expected);
    orvex::testing::TempDir root;
    auto catalog =
        CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "V", Schema(test.usages, test.measure), kData));
    ASSERT_EQ(catalog->failed_cubes().count("Both"), 1u);
    EXPECT_NE(catalog->failed_cubes().at("Both").find(test.expected), std::string::npos)
        << catalog->failed_cubes().at("Both");
    EXPECT_EQ(catalog->cubes().size(), 2u);
  }
}

}  // namespace
}  // namespace orvex::engine::testing

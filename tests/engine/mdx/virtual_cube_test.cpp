// Virtual cubes: one cube over two base cubes that share the Product
// dimension; Region is the Sales cube's alone. Sales: Apple North 1, Pear
// North 10, Apple South 100. Stock: Apple 1000, Pear 10000 + 20000.
#include <gtest/gtest.h>

#include <string>

#include "engine/model/catalog.h"
#include "engine/catalog/catalog_loader.h"
#include "temp_dir.h"
#include "hierarchy_catalogs.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {




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
    orvex::testing::WriteCatalog(root.path(), "V", VirtualSchema(test.usages), kVirtualData);
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
  auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "V", VirtualSchema(kIgnoring), kVirtualData));
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
        CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "V", VirtualSchema(test.usages, test.measure), kVirtualData));
    ASSERT_EQ(catalog->failed_cubes().count("Both"), 1u);
    EXPECT_NE(catalog->failed_cubes().at("Both").find(test.expected), std::string::npos)
        << catalog->failed_cubes().at("Both");
    EXPECT_EQ(catalog->cubes().size(), 2u);
  }
}

}  // namespace
}  // namespace orvex::engine::testing

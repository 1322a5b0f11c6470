#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/axis_hierarchies.h"
#include "olap/ranges.h"
#include "olap_test_support.h"
#include "tools/sample/sample_generator.h"

// A whole view on the sample catalog: built, reshaped, saved and rebuilt.
namespace orvex::olap {
namespace {

using testing::Grid;
using testing::ResultTuples;

// The sample catalog's schema over a small generated store, made once per process.
std::filesystem::path SampleRoot() {
  static std::once_flag once;
  static std::filesystem::path root = testing::ProcessTempDir() / "sample";
  std::call_once(once, [] {
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "Sample");
    std::filesystem::copy_file(std::filesystem::path(ORVEX_SOURCE_DIR) / "data/catalogs/Sample/schema.xml",
                               root / "Sample/schema.xml");
    tools::SampleGenerator::Generate(root / "Sample", 0.01);
  });
  return root;
}

TEST(SampleViewTest, AReshapedViewSurvivesItsDefinition) {
  auto data_source = testing::ConnectFolder("Sample", SampleRoot());
  auto view = data_source->CreateCubeView(
      "<cubeView><dataSource provider='MSOLAP'>Sample</dataSource><catalog>Sample</catalog><cube>Sales</cube>"
      "<measure>Store Sales</measure><ranges/><axes>"
      "<axis><set><t><m>[Time].[1997]</m></t><t><m>[Time].[1998]</m></t></set></axis>"
      "<axis><hierarchy dimensionName='Store' hierarchyName=''/><hierarchy dimensionName='Product' hierarchyName=''/>"
      "</axis></axes></cubeView>");
  auto rows = view->Axes()->Item(1);
  rows->ExpandHeading(Variant("[Store]"), 0);  // the countries
  rows->ExpandHeading(Variant("[Store]"));     // and their states
  rows->ExpandHeading(Variant("[Product]"), 0);
  rows->SetSortOrder(static_cast<int32_t>(SortTypes::Descending));
  rows->SetShowEmpty(false);
  view->Ranges()->Add(Variant::Null(), Variant(100), clrHidden);
  view->Ranges()->Add(Variant(5000), Variant::Null(), clrGreen);
  ASSERT_GT(rows->PositionCount(), 10);
  const std::string definition = view->ToXML(0);

  auto reader = testing::ConnectFolder("Sample", SampleRoot());
  auto rebuilt = reader->CreateCubeView(definition);
  EXPECT_EQ(rebuilt->ToXML(0), definition);
  EXPECT_EQ(rebuilt->ToXML(3), view->ToXML(3));
  for (int32_t axis = 0; axis < 2; ++axis) {
    SCOPED_TRACE(axis);
    EXPECT_EQ(ResultTuples(*rebuilt->Axes()->Item(axis)), ResultTuples(*view->Axes()->Item(axis)));
  }
  EXPECT_EQ(Grid(*rebuilt), Grid(*view));
}

}  // namespace
}  // namespace orvex::olap

#include "olap/axis.h"

#include <gtest/gtest.h>

#include <functional>

#include "error_expect.h"
#include "olap/axes.h"
#include "olap/axis_hierarchies.h"
#include "olap/axis_hierarchy.h"
#include "olap/globals.h"
#include "olap_test_support.h"

namespace orvex::olap {
namespace {

using testing::AddSetAxis;
using testing::ConnectTiny;
using testing::ExpectComError;
using testing::LastStatement;
using testing::NewSalesView;
using testing::SourceTuples;
using testing::TakeStatements;

std::vector<int32_t> Indexes(Axes& axes) {
  std::vector<int32_t> indexes;
  for (const auto& axis : axes.NewEnum()) indexes.push_back(axis->Index());
  return indexes;
}

TEST(AxesTest, AddPlacesAndRenumbers) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  auto axes = view->Axes();
  axes->Add();
  axes->Add();
  auto first = axes->Item(0);
  EXPECT_EQ(axes->Add(std::nullopt, 0), 0);
  EXPECT_EQ(Indexes(*axes), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(axes->Item(1), first);
  EXPECT_EQ(axes->Add(std::nullopt, 7), 3);
  EXPECT_EQ(axes->Add(std::nullopt, -1), 4);
  axes->Remove(1);
  EXPECT_EQ(Indexes(*axes), (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(first->Index(), 1);  // removed: it keeps what it had but belongs to no view
  ExpectComError(errors::kObjectNotSet, [&] { first->CubeView(); });
  ExpectComError(errors::kSubscriptOutOfRange, [&] { axes->Item(4); });
  axes->Remove();
  EXPECT_EQ(axes->Count(), 0);
  ComError error = ExpectComError(errors::kInvalidProcedureCall, [] { std::make_shared<Axes>()->f_Construct(nullptr); });
  EXPECT_EQ(error.description(), "The 'CubeView' argument must be a reference to a valid 'CubeView' object.");
}

TEST(AxisTest, ResolvesASetIntoSourcePositions) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  auto axes = view->Axes();
  axes->Add();
  auto empty = axes->Item(0);
  EXPECT_EQ(empty->f_SourceToMDX(), "");
  EXPECT_EQ(empty->f_SourcePositionCount(), 0);

  TakeStatements();
  axes->Add("<axis><set><mdx>[Time].[1997].children</mdx></set></axis>");
  EXPECT_EQ(LastStatement(),
            "SELECT Distinct({{{[Time].[1997].children}}}) ON Axis(0), {} ON Axis(1) FROM [Sales] "
            "WHERE ([Measures].[Unit Sales])");
  auto quarters = axes->Item(1);
  EXPECT_EQ(quarters->Hierarchies()->Count(), 1);
  EXPECT_EQ(SourceTuples(*quarters),
            "[Time].[1997].[Q1]\n[Time].[1997].[Q2]\n[Time].[1997].[Q3]\n[Time].[1997].[Q4]\n");
  EXPECT_EQ(quarters->f_SourceToMDX(),
            "([Time].[1997].[Q1]), ([Time].[1997].[Q2]), ([Time].[1997].[Q3]), ([Time].[1997].[Q4])");
  EXPECT_EQ(quarters->f_SourceToMDX(0, 0, 1, 2), "([Time].[1997].[Q2]), ([Time].[1997].[Q3])");
  EXPECT_EQ(quarters->f_SourceToMDX(0, -1), "");

  AddSetAxis(*view, {{"[Store].[USA]", "[Product].[Drink]"}, {"[Store].[USA]", "[Product].[Food]"}});
  auto rows = axes->Item(2);
  EXPECT_EQ(rows->f_SourceToMDX(), "([Store].[USA], [Product].[Drink]), ([Store].[USA], [Product].[Food])");
  EXPECT_EQ(rows->f_SourceToMDX(1, 1, 1, 1), "([Product].[Food])");
}

TEST(AxisTest, ProviderRejectionKeepsTheFormerSource) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Time].[1997]"}});
  auto axis = view->Axes()->Item(0);
  auto cellset = view->f_CellSet();
  EXPECT_THROW(axis->Populate("<axis><set><mdx>[Time].[1997].NoSuchFunction(</mdx></set></axis>"), ComError);
  EXPECT_EQ(SourceTuples(*axis), "[Time].[1997]\n");
  EXPECT_EQ(view->f_CellSet(), cellset);
}

TEST(AxisTest, OptionsRefuseReadOnlyAxes) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  auto filter = view->FilterAxis();
  const std::vector<std::pair<std::string, std::function<void()>>> changes = {
      {"SortOrder [PropertyLet]", [&] { filter->SetSortOrder(1); }},
      {"GroupByLevel [PropertyLet]", [&] { filter->SetGroupByLevel(false); }},
      {"ShowEmpty [PropertyLet]", [&] { filter->SetShowEmpty(false); }},
      {"ShowTotalsOnExpand [PropertyLet]", [&] { filter->SetShowTotalsOnExpand(false); }},
      {"Populate", [&] { filter->Populate("<axis/>"); }},
  };
  for (const auto& [procedure, change] : changes) {
    SCOPED_TRACE(procedure);
    ComError error = ExpectComError(errors::kActionNotSupported, change);
    EXPECT_EQ(error.description(), "This Axis is read-only and cannot be modified.");
    EXPECT_EQ(error.source(), "Tessel\r\nin Axis." + procedure);
  }
  ExpectComError(errors::kActionNotSupported, [&] { filter->Hierarchies()->Remove(); });
  EXPECT_EQ(filter->SortOrder(), 0);
  EXPECT_TRUE(filter->ShowEmpty());

  auto unplaced = std::make_shared<Axis>();
  unplaced->f_Construct(view);
  EXPECT_EQ(unplaced->Index(), -2);
  EXPECT_EQ(unplaced->f_CellSetAxis(), nullptr);
  ExpectComError(errors::kActionNotSupported, [&] { unplaced->SetShowEmpty(false); });
  ExpectComError(errors::kObjectNotSet, [&] { unplaced->PositionCount(); });
  ComError error =
      ExpectComError(errors::kInvalidProcedureCall, [&] { std::make_shared<Axis>()->f_Construct(view, std::shared_ptr<provider::Axis>()); });
  EXPECT_EQ(error.description(), "The 'AxisDefinition' argument cannot be an empty 'ADOMD.Axis' reference.");
}

TEST(AxisTest, ResultAxisAnswersNameAndCount) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Time].[1998]"}, {"[Time].[1997]"}});
  auto columns = view->Axes()->Item(0);
  EXPECT_EQ(columns->PositionCount(), 2);
  EXPECT_FALSE(columns->Name().empty());
  // The query hierarchizes: the source order does not reach the result.
  EXPECT_EQ(testing::ResultTuples(*columns), "[Time].[1997]\n[Time].[1998]\n");
  EXPECT_EQ(SourceTuples(*columns), "[Time].[1998]\n[Time].[1997]\n");
}

TEST(AxisTest, ResultPositionsAsTupleLists) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Time].[1997]", "[Store].[USA]"}, {"[Time].[1998]", "[Store].[USA]"}});
  auto positions = view->Axes()->Item(0)->f_CellSetAxis()->GetPositions();
  Globals& globals = Globals::Instance();
  EXPECT_EQ(globals.PositionsToTupleList(positions.get()),
            "([Time].[1997], [Store].[USA]), ([Time].[1998], [Store].[USA])");
  EXPECT_EQ(globals.PositionsToTupleList(positions.get(), 0, 0), "([Time].[1997]), ([Time].[1998])");
  EXPECT_EQ(globals.PositionsToTupleList(positions.get(), 1, 1, 1), "([Store].[USA])");
  EXPECT_EQ(globals.PositionsToTupleList(positions.get(), 1, 0), "");
  EXPECT_EQ(globals.PositionToTuple(positions->Item(0).get(), 1), "([Store].[USA])");
  EXPECT_THROW(globals.PositionToTuple(positions->Item(0).get(), 0, 2), ComError);
}

}  // namespace
}  // namespace orvex::olap

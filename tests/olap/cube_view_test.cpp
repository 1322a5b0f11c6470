#include "olap/cube_view.h"

#include <gtest/gtest.h>

#include <functional>

#include "error_expect.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/cell.h"
#include "olap/cube.h"
#include "olap/range.h"
#include "olap/ranges.h"
#include "olap_test_support.h"

namespace orvex::olap {
namespace {

using testing::AddSetAxis;
using testing::ConnectTiny;
using testing::ExpectComError;
using testing::LastStatement;
using testing::NewSalesView;
using testing::TakeStatements;

// The statement the view sends for its query (it may fail to run: only the text counts here).
std::string QueryText(CubeView& view) {
  view.f_ClearResults();
  TakeStatements();
  try {
    view.f_CellSet();
  } catch (const ComError&) {
  }
  return LastStatement();
}

// Years on the columns, store and product on the rows, as in the classic example.
void AddExampleAxes(CubeView& view) {
  AddSetAxis(view, {{"[Time].[1997]"}, {"[Time].[1998]"}});
  AddSetAxis(view, {{"[Store].[USA]", "[Product].[Drink]"}, {"[Store].[USA]", "[Product].[Food]"}});
}

TEST(CubeViewTest, BuildsTheExampleStatement) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddExampleAxes(*view);
  auto rows = view->Axes()->Item(1);
  rows->SetShowEmpty(false);
  rows->SetSortOrder(static_cast<int32_t>(SortTypes::Descending));
  rows->SetGroupByLevel(false);
  view->Ranges()->Add(Variant(0), Variant(100), clrHidden);
  EXPECT_EQ(QueryText(*view),
            "WITH MEMBER [Measures].[__Filtered__Unit Sales] AS 'IIf(([Measures].[Unit Sales] >= 0 AND "
            "[Measures].[Unit Sales] <= 100), NULL, [Measures].[Unit Sales])' "
            "SET [Axis 0] AS '{([Time].[1997]), ([Time].[1998])}' "
            "SET [Axis 1] AS '{([Store].[USA], [Product].[Drink]), ([Store].[USA], [Product].[Food])}' "
            "SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0), NON EMPTY Distinct({Order(Hierarchize([Axis 1]), "
            "Sum({[Axis 0]}, [Measures].[__Filtered__Unit Sales]), BDESC)}) ON Axis(1) "
            "FROM [Sales] WHERE ([Measures].[__Filtered__Unit Sales])");
  // Every value lies in the hidden band, so no row is left.
  EXPECT_EQ(rows->PositionCount(), 0);
}

TEST(CubeViewTest, StatementVariants) {
  struct Case {
    std::string name;
    std::function<void(CubeView&)> setup;
    std::string expected;
  };
  const Case cases[] = {
      {"no axes", [](CubeView&) {}, "SELECT  FROM [Sales] WHERE ([Measures].[Unit Sales])"},
      {"hidden range with a ceiling only",
       [](CubeView& view) { view.Ranges()->Add(Variant::Null(), Variant(5.5), clrHidden); },
       "WITH MEMBER [Measures].[__Filtered__Unit Sales] AS 'IIf(([Measures].[Unit Sales] <= 5.5), NULL, "
       "[Measures].[Unit Sales])' SELECT  FROM [Sales] WHERE ([Measures].[__Filtered__Unit Sales])"},
      {"two hidden ranges among others",
       [](CubeView& view) {
         view.Ranges()->Add(Variant(1), Variant(), clrHidden);
         view.Ranges()->Add(Variant(7), Variant(9), clrRed);
         view.Ranges()->Add(Variant(), Variant(), clrHidden);
         view.Ranges()->Add(Variant(-2.25), Variant(3), clrHidden);
       },
       "WITH MEMBER [Measures].[__Filtered__Unit Sales] AS 'IIf(([Measures].[Unit Sales] >= 1) OR "
       "([Measures].[Unit Sales] >= -2.25 AND [Measures].[Unit Sales] <= 3), NULL, [Measures].[Unit Sales])' "
       "SELECT  FROM [Sales] WHERE ([Measures].[__Filtered__Unit Sales])"},
      {"an axis without hierarchies", [](CubeView& view) { view.Axes()->Add(); },
       "WITH SET [Axis 0] AS '{}' SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0) FROM [Sales] "
       "WHERE ([Measures].[Unit Sales])"},
      {"three axes, sorted ascending by level",
       [](CubeView& view) {
         view.Axes()->Add();
         view.Axes()->Add();
         view.Axes()->Add();
         view.Axes()->Item(0)->SetSortOrder(1);
         view.Axes()->Item(2)->SetSortOrder(7);
       },
       "WITH SET [Axis 0] AS '{}' SET [Axis 1] AS '{}' SET [Axis 2] AS '{}' SELECT "
       "Distinct({Order(Hierarchize([Axis 0]), Sum(CrossJoin({{[Axis 1]}}, {[Axis 2]}), [Measures].[Unit Sales]), "
       "ASC)}) ON Axis(0), Distinct({Hierarchize([Axis 1])}) ON Axis(1), Distinct({Hierarchize([Axis 2])}) ON "
       "Axis(2) FROM [Sales] WHERE ([Measures].[Unit Sales])"},
      {"two axes sorted both ways, breaking and keeping the hierarchy",
       [](CubeView& view) {
         AddSetAxis(view, {{"[Time].[1997]"}}, "sortOrder='2'");
         AddSetAxis(view, {{"[Store].[USA]"}}, "sortOrder='1' groupByLevel='false'");
       },
       "WITH SET [Axis 0] AS '{([Time].[1997])}' SET [Axis 1] AS '{([Store].[USA])}' SELECT "
       "Distinct({Order(Hierarchize([Axis 0]), Sum({[Axis 1]}, [Measures].[Unit Sales]), DESC)}) ON Axis(0), "
       "Distinct({Order(Hierarchize([Axis 1]), Sum({[Axis 0]}, [Measures].[Unit Sales]), BASC)}) ON Axis(1) "
       "FROM [Sales] WHERE ([Measures].[Unit Sales])"},
      {"quotes doubled inside the named set",
       [](CubeView& view) {
         AddSetAxis(view, {{"[Product].[Drink].[Beverages].[Soda].[Bob's].[Bob's \"Best\" [Big]] Cola]"}});
         view.SetMeasure(Variant("Store Sales"));
       },
       "WITH SET [Axis 0] AS '{([Product].[Drink].[Beverages].[Soda].[Bob''s].[Bob''s \"Best\" [Big]] Cola])}' "
       "SELECT Distinct({Hierarchize([Axis 0])}) ON Axis(0) FROM [Sales] WHERE ([Measures].[Store Sales])"},
  };
  auto data_source = ConnectTiny();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto view = NewSalesView(*data_source);
    c.setup(*view);
    EXPECT_EQ(QueryText(*view), c.expected);
  }
}

TEST(CubeViewTest, CellsByOrdinalOrPositions) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddExampleAxes(*view);
  // Unit sales: 1997 Drink 49, Food 29; 1998 Drink 10, Food 7.
  struct Case {
    Variant positions;
    int32_t ordinal;
    double value;
  };
  const Case cases[] = {
      {Variant(0), 0, 49},
      {Variant(3), 3, 7},
      {Variant(Variant::Array{Variant(1), Variant(0)}), 1, 10},
      {Variant(Variant::Array{Variant(0), Variant(1)}), 2, 29},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ordinal);
    auto cell = view->GetCell(c.positions);
    EXPECT_EQ(cell->Ordinal(), c.ordinal);
    EXPECT_EQ(cell->Value().ToDouble(), c.value);
  }
  EXPECT_NE(view->GetCell(0), view->GetCell(0));
  ExpectComError(errors::kItemNotFound, [&] { view->GetCell(std::vector<int32_t>{2, 0}); });
}

TEST(CubeViewTest, CellRangeIndexIsLookedUpOnceAndSkipsEmptyValues) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddExampleAxes(*view);
  view->Ranges()->Add(Variant(0), Variant(30), clrRed);
  view->Ranges()->Add(Variant(20), Variant(), clrBlue);
  auto drink_1997 = view->GetCell(0);
  auto food_1998 = view->GetCell(3);
  EXPECT_EQ(drink_1997->RangeIndex(), 1);
  EXPECT_EQ(food_1998->RangeIndex(), 0);
  EXPECT_EQ(view->GetCell(2)->RangeIndex(), 1);

  auto empty_view = NewSalesView(*data_source);
  AddSetAxis(*empty_view, {{"[Store].[Canada]"}});
  empty_view->Ranges()->Add();
  auto empty = empty_view->GetCell(0);
  EXPECT_TRUE(empty->Value().IsEmpty());
  EXPECT_EQ(empty->RangeIndex(), -1);
}

TEST(CubeViewTest, MeasureByNameUniqueNameOrPosition) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  for (const Variant& measure : {Variant("Store Cost"), Variant("[Measures].[Store Cost]"), Variant("store cost")}) {
    SCOPED_TRACE(measure.ToString());
    view->SetMeasure(Variant("Unit Sales"));
    view->SetMeasure(measure);
    EXPECT_EQ(view->Measure()->UniqueName(), "[Measures].[Store Cost]");
  }
  view->SetMeasure(Variant(0));
  EXPECT_EQ(view->f_MeasureUniqueName(), "[Measures].[Unit Sales]");
  view->f_CellSet();
  ComError error = ExpectComError(errors::kItemNotFound, [&] { view->SetMeasure(Variant("Weight")); });
  EXPECT_EQ(error.source().substr(error.source().find("\r\n")),
            "\r\nin CubeView.f_Measure [PropertyLet]\r\nin CubeView.Measure [PropertyLet]");
  EXPECT_EQ(view->f_MeasureUniqueName(), "[Measures].[Unit Sales]");
  ComError construct = ExpectComError(errors::kInvalidProcedureCall, [] { std::make_shared<CubeView>()->f_Construct(nullptr); });
  EXPECT_EQ(construct.description(), "The 'Cube' argument must be a reference to a valid 'Cube' object.");
}

TEST(CubeViewTest, ChangesDropResultsAndTheNextReadRunsTheQueryAgain) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddExampleAxes(*view);
  auto cellset = view->f_CellSet();
  auto filter = view->FilterAxis();
  EXPECT_EQ(view->f_CellSet(), cellset);
  EXPECT_EQ(view->FilterAxis(), filter);
  EXPECT_EQ(filter->Index(), -1);
  const std::vector<std::function<void()>> changes = {
      [&] { view->SetMeasure(Variant("Store Cost")); },
      [&] { view->Ranges()->Add(); },
      [&] { view->Ranges()->Item(0)->SetColour(clrRed); },
      [&] { view->Axes()->Item(0)->SetShowEmpty(false); },
      [&] { view->Axes()->Item(1)->SetShowTotalsOnExpand(false); },
  };
  for (size_t change = 0; change < changes.size(); ++change) {
    SCOPED_TRACE(change);
    changes[change]();
    EXPECT_EQ(cellset->State(), provider::Connection::kStateClosed);
    auto rerun = view->f_CellSet();
    EXPECT_NE(rerun, cellset);
    EXPECT_NE(view->FilterAxis(), filter);
    cellset = rerun;
    filter = view->FilterAxis();
  }
  ComError error = ExpectComError(errors::kActionNotSupported, [&] { filter->SetSortOrder(1); });
  EXPECT_EQ(error.description(), "This Axis is read-only and cannot be modified.");
  EXPECT_EQ(error.source(), "Tessel\r\nin Axis.SortOrder [PropertyLet]");
}

}  // namespace
}  // namespace orvex::olap

#include "olap/axis_hierarchies.h"

#include <gtest/gtest.h>

#include <functional>

#include "error_expect.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/axis_hierarchy.h"
#include "olap/axis_level.h"
#include "olap/axis_levels.h"
#include "olap/position.h"
#include "olap/positions.h"
#include "olap_test_support.h"

namespace orvex::olap {
namespace {

using testing::AddSetAxis;
using testing::ConnectTiny;
using testing::ExpectComError;
using testing::NewSalesView;
using testing::SourceTuples;

// The members each slot of a positions collection holds, "-" for an empty slot.
std::string Slots(const Positions& positions) {
  std::string text;
  for (int32_t slot = 0; slot < positions.Count(); ++slot) {
    if (!text.empty()) text += " ";
    text += positions.Item(slot)->f_MemberKey().value_or("-");
  }
  return text;
}

TEST(AxisHierarchyTest, LevelsShowAncestorsAndLeaveDeeperLevelsEmpty) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Time].[1997].[Q1]"}, {"[Time].[1997].[Q2]"}});
  auto hierarchy = view->Axes()->Item(0)->Hierarchies()->Item(Variant("[time]"));
  EXPECT_EQ(hierarchy->Caption(), "Time");
  EXPECT_EQ(hierarchy->Index(), 0);
  auto levels = hierarchy->Levels();
  ASSERT_EQ(levels->Count(), 3);
  EXPECT_EQ(levels->Item(Variant("quarter"))->Index(), 1);

  // Source and result positions tell the same here: the result keeps both tuples.
  struct Case {
    std::string name;
    std::function<std::shared_ptr<Positions>(AxisLevel&)> level_positions;
    std::shared_ptr<Positions> own;
  };
  const Case cases[] = {
      {"source", [](AxisLevel& level) { return level.f_SourcePositions(); }, hierarchy->f_SourcePositions()},
      {"result", [](AxisLevel& level) { return level.Positions(); }, hierarchy->Positions()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Slots(*c.level_positions(*levels->Item(Variant(0)))), "[Time].[1997] [Time].[1997]");
    EXPECT_EQ(Slots(*c.level_positions(*levels->Item(Variant(1)))), "[Time].[1997].[Q1] [Time].[1997].[Q2]");
    auto months = c.level_positions(*levels->Item(Variant(2)));
    EXPECT_EQ(Slots(*months), "- -");
    EXPECT_TRUE(months->AllEmpty());
    EXPECT_EQ(months->HighestLevelIndex(), 2);
    EXPECT_EQ(months->Item(0)->Caption(), "(All)");
    EXPECT_EQ(c.own->HighestLevelIndex(), 1);
    EXPECT_FALSE(c.own->AllEmpty());
    // The hierarchy's slot and the member's level slot are one object.
    EXPECT_EQ(c.own->Item(1), c.level_positions(*levels->Item(Variant(1)))->Item(1));
  }
  auto months = levels->Item(Variant(2))->Positions();
  auto one = months->Item(1);
  auto two = months->Item(1);
  EXPECT_NE(one, two);
  EXPECT_EQ(one->Index(), two->Index());
  EXPECT_EQ(hierarchy->Positions()->Item(0)->Caption(), "Q1");
  EXPECT_EQ(hierarchy->Positions()->Item(0)->Member()->UniqueName(), "[Time].[1997].[Q1]");

  EXPECT_TRUE(levels->Item(Variant(0))->IsSameHeading(0, 1));
  EXPECT_FALSE(levels->Item(Variant(1))->IsSameHeading(0, 1));
  // No member at the month level: each position shows its own quarter there.
  EXPECT_FALSE(levels->Item(Variant(2))->IsSameHeading(0, 1));
  EXPECT_EQ(ExpectComError(errors::kInvalidProcedureCall, [&] { months->Item(-1); }).description(),
            "Index out of range.  The index '-1' must be between 0 and 1.");
  EXPECT_EQ(levels->IndexOf(Variant("Week")), -1);
  EXPECT_FALSE(levels->Exists(Variant(3)));
}

TEST(AxisHierarchyTest, ClearingResultsReachesLevelsTheLastResultDidNotShow) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Time].[1997]"}, {"[Time].[1998].[Q2]"}}, "showEmpty='false'");
  auto axis = view->Axes()->Item(0);
  auto quarter = axis->Hierarchies()->Item(Variant(0))->Levels()->Item(Variant("Quarter"));
  EXPECT_EQ(Slots(*quarter->Positions()), "-");  // 1998 has no sales after March
  axis->SetShowEmpty(true);
  EXPECT_EQ(Slots(*quarter->Positions()), "- [Time].[1998].[Q2]");
}

TEST(AxisHierarchyTest, SameHeadingComparesEarlierHierarchiesFirst) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Store].[USA].[CA]", "[Time].[1997].[Q1]"},
                     {"[Store].[USA].[CA]", "[Time].[1997].[Q2]"},
                     {"[Store].[USA].[OR]", "[Time].[1997].[Q1]"}});
  auto axis = view->Axes()->Item(0);
  auto time_year = axis->Hierarchies()->Item(Variant(1))->Levels()->Item(Variant(0));
  auto store_country = axis->Hierarchies()->Item(Variant(0))->Levels()->Item(Variant(1));
  EXPECT_TRUE(time_year->IsSameHeading(0, 1));
  EXPECT_FALSE(time_year->IsSameHeading(1, 2));
  EXPECT_TRUE(store_country->IsSameHeading(0, 2));
  // Deeper than the state: each position shows its state there.
  auto store_city = axis->Hierarchies()->Item(Variant(0))->Levels()->Item(Variant(3));
  EXPECT_TRUE(store_city->IsSameHeading(0, 1));
  EXPECT_FALSE(store_city->IsSameHeading(1, 2));
}

TEST(AxisHierarchiesTest, AddMoveRemoveAndLookups) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Time].[1997]"}});
  auto axis = view->Axes()->Item(0);
  auto hierarchies = axis->Hierarchies();
  EXPECT_EQ(hierarchies->Add("<hierarchy dimensionName='store' hierarchyName=''/>"), 1);
  hierarchies = axis->Hierarchies();
  EXPECT_EQ(SourceTuples(*axis), "[Time].[1997], [Store].[All Stores]\n");
  EXPECT_EQ(hierarchies->IndexOf(Variant("[Store]")), 1);
  EXPECT_TRUE(hierarchies->Exists(Variant("[STORE]")));
  EXPECT_EQ(hierarchies->IndexOf(Variant("[Product]")), -1);
  EXPECT_FALSE(hierarchies->Exists(Variant(2)));

  hierarchies->Move(Variant("[Store]"), Variant("[Store]"));
  EXPECT_EQ(hierarchies->Item(Variant(1))->UniqueName(), "[Store]");
  hierarchies->Move(Variant("[Store]"), Variant(0));
  EXPECT_EQ(hierarchies->Item(Variant(0))->UniqueName(), "[Store]");
  EXPECT_EQ(hierarchies->Item(Variant(1))->Index(), 1);
  hierarchies->Move(Variant(0));
  EXPECT_EQ(hierarchies->Item(Variant(1))->UniqueName(), "[Store]");

  // Adding a hierarchy already on the axis only moves it.
  testing::TakeStatements();
  EXPECT_EQ(hierarchies->Add("<hierarchy dimensionName='Store' hierarchyName=''/>", Variant(0)), 0);
  EXPECT_TRUE(testing::TakeStatements().empty());

  hierarchies->Remove(Variant("[Time]"));
  hierarchies = axis->Hierarchies();
  EXPECT_EQ(SourceTuples(*axis), "[Store].[All Stores]\n");
  hierarchies->Remove();
  EXPECT_EQ(axis->Hierarchies()->Count(), 0);
  EXPECT_EQ(axis->f_SourceToMDX(), "");
  ExpectComError(errors::kInvalidProcedureCall, [&] { axis->Hierarchies()->Item(Variant("[Time]")); });
  ExpectComError(errors::kSubscriptOutOfRange, [&] { axis->Hierarchies()->Item(Variant(0)); });
}

TEST(AxisHierarchiesTest, AHierarchyMovesBetweenAxes) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  AddSetAxis(*view, {{"[Time].[1997]", "[Store].[USA]"}, {"[Time].[1998]", "[Store].[USA]"}});
  AddSetAxis(*view, {{"[Product].[Drink]"}});
  view->Axes()->Item(1)->Hierarchies()->Add("<hierarchy dimensionName='Time' hierarchyName=''/>", Variant(0));
  auto columns = view->Axes()->Item(0);
  auto rows = view->Axes()->Item(1);
  EXPECT_EQ(SourceTuples(*columns), "[Store].[USA]\n");
  EXPECT_EQ(SourceTuples(*rows), "[Time].[1997], [Product].[Drink]\n[Time].[1998], [Product].[Drink]\n");
  EXPECT_FALSE(columns->Hierarchies()->Exists(Variant("[Time]")));
}

TEST(AxisHierarchiesTest, AnEmptyResultGivesNoHierarchies) {
  auto data_source = ConnectTiny();
  auto view = NewSalesView(*data_source);
  view->Axes()->Add("<axis><set/></axis>");
  EXPECT_EQ(view->Axes()->Item(0)->Hierarchies()->Count(), 0);
  auto hierarchy = std::make_shared<AxisHierarchy>();
  ComError error = ExpectComError(errors::kInvalidProcedureCall, [&] { hierarchy->f_Construct(view->Axes()->Item(0), {}); });
  EXPECT_EQ(error.description(), "The 'SourceMembers' collection must contain at least one member.");
  error = ExpectComError(errors::kInvalidProcedureCall, [&] { hierarchy->f_Construct(nullptr, {}); });
  EXPECT_EQ(error.description(), "The 'Axis' argument must be a reference to a valid 'Axis' object.");
}

}  // namespace
}  // namespace orvex::olap

#include <gtest/gtest.h>

#include "error_expect.h"
#include "olap/axes.h"
#include "olap/axis.h"
#include "olap/axis_hierarchies.h"
#include "olap_test_support.h"

// Expanding, collapsing, isolating and removing headings of an axis.
namespace orvex::olap {
namespace {

using testing::AddSetAxis;
using testing::ConnectTiny;
using testing::ExpectComError;
using testing::NewSalesView;
using testing::ResultTuples;
using testing::SourceTuples;
using testing::TakeStatements;

// The set expression the last resolving query of an axis resolved.
std::string ResolvedSet() {
  static const std::string kPrefix = "SELECT Distinct({";
  static const std::string kSuffix = "}) ON Axis(0), {} ON Axis(1) FROM [Sales] WHERE ([Measures].[Unit Sales])";
  std::string statement = testing::LastStatement();
  if (statement.rfind(kPrefix, 0) != 0 || statement.size() < kPrefix.size() + kSuffix.size() ||
      statement.compare(statement.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    return "not a resolving query: " + statement;
  }
  return statement.substr(kPrefix.size(), statement.size() - kPrefix.size() - kSuffix.size());
}

struct Fixture {
  std::shared_ptr<DataSource> data_source = ConnectTiny();
  std::shared_ptr<CubeView> view = NewSalesView(*data_source);
  std::shared_ptr<olap::Axis> NewAxis(const std::vector<std::vector<std::string>>& tuples) {
    AddSetAxis(*view, tuples);
    auto axis = view->Axes()->Item(view->Axes()->Count() - 1);
    axis->PositionCount();  // run the view's query, as the renderer has done before any click
    TakeStatements();
    return axis;
  }
};

TEST(HeadingOperationsTest, ExpandingAYearWithAndWithoutItsTotal) {
  struct Case {
    bool totals;
    std::string resolved;
    std::string result;
  };
  const Case cases[] = {
      {true,
       "Except({ {([Time].[1997]), ([Time].[1998])}, Distinct({Except(Distinct({{[Time].[1997], "
       "[Time].[1997].children}}), Distinct({}))}) }, Distinct({}) )",
       "[Time].[1997]\n[Time].[1997].[Q1]\n[Time].[1997].[Q2]\n[Time].[1997].[Q3]\n[Time].[1997].[Q4]\n"
       "[Time].[1998]\n"},
      {false,
       "Except({ {([Time].[1997]), ([Time].[1998])}, Distinct({Except(Distinct({{[Time].[1997].children}}), "
       "Distinct({}))}) }, Distinct({([Time].[1997])}) )",
       "[Time].[1997].[Q1]\n[Time].[1997].[Q2]\n[Time].[1997].[Q3]\n[Time].[1997].[Q4]\n[Time].[1998]\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.totals);
    Fixture fixture;
    auto axis = fixture.NewAxis({{"[Time].[1997]"}, {"[Time].[1998]"}});
    axis->SetShowTotalsOnExpand(c.totals);
    axis->ExpandHeading(Variant(0), 0, Variant(0));
    EXPECT_EQ(ResolvedSet(), c.resolved);
    EXPECT_EQ(ResultTuples(*axis), c.result);
  }
}

TEST(HeadingOperationsTest, ExpandingBeforeAnotherHierarchyCombinesWithItsTopLevel) {
  Fixture fixture;
  auto axis = fixture.NewAxis({{"[Store].[USA]", "[Product].[Drink]"}, {"[Store].[USA]", "[Product].[Food]"}});
  axis->ExpandHeading(Variant("[Store]"), 1, Variant(1));
  EXPECT_EQ(ResolvedSet(),
            "Except({ {([Store].[USA], [Product].[Drink]), ([Store].[USA], [Product].[Food])}, "
            "Distinct({CrossJoin({Except(Distinct({{[Store].[USA], [Store].[USA].children}}), Distinct({}))}, "
            "{[Product].[All Products]})}) }, Distinct({}) )");
  EXPECT_EQ(SourceTuples(*axis),
            "[Store].[USA], [Product].[Drink]\n[Store].[USA], [Product].[Food]\n"
            "[Store].[USA], [Product].[All Products]\n[Store].[USA].[CA], [Product].[All Products]\n"
            "[Store].[USA].[OR], [Product].[All Products]\n[Store].[USA].[WA], [Product].[All Products]\n");
}

TEST(HeadingOperationsTest, ExpandingALeafChangesNothing) {
  Fixture fixture;
  auto axis = fixture.NewAxis({{"[Time].[1997].[Q1].[1]"}});
  auto cellset = fixture.view->f_CellSet();
  axis->ExpandHeading(Variant(0), 0);
  EXPECT_TRUE(TakeStatements().empty());
  EXPECT_EQ(fixture.view->f_CellSet(), cellset);
}

TEST(HeadingOperationsTest, CollapsingWhatWasExpandedBringsBackTheMember) {
  Fixture fixture;
  auto axis = fixture.NewAxis({{"[Time].[1997]"}});
  axis->SetShowTotalsOnExpand(false);
  axis->ExpandHeading(Variant(0), 0);
  EXPECT_EQ(axis->f_SourcePositionCount(), 4);
  axis->CollapseHeading(Variant(0), 2, Variant(0));
  EXPECT_EQ(SourceTuples(*axis), "[Time].[1997]\n");
}

TEST(HeadingOperationsTest, ExpandingAParentKeepsItsOpenChildClosed) {
  Fixture fixture;
  auto axis = fixture.NewAxis({{"[Time].[1997]"}});
  axis->SetShowTotalsOnExpand(false);
  axis->ExpandHeading(Variant(0), 0);
  axis->ExpandHeading(Variant(0), 0);  // Q1 into its months
  std::string before = ResultTuples(*axis);
  EXPECT_EQ(before,
            "[Time].[1997].[Q1].[1]\n[Time].[1997].[Q1].[2]\n[Time].[1997].[Q1].[3]\n[Time].[1997].[Q2]\n"
            "[Time].[1997].[Q3]\n[Time].[1997].[Q4]\n");
  axis->ExpandHeading(Variant(0), 0, Variant(0));  // 1997 again
  EXPECT_EQ(ResultTuples(*axis), before);
}

TEST(HeadingOperationsTest, ExpandingAndCollapsingWholeLevels) {
  Fixture fixture;
  auto axis = fixture.NewAxis({{"[Time].[1997]"}, {"[Time].[1998]"}});
  axis->ExpandHeading(Variant(0));
  EXPECT_EQ(axis->f_SourcePositionCount(), 10);
  axis->CollapseHeading(Variant(0), std::nullopt, Variant("Year"));
  EXPECT_EQ(ResultTuples(*axis), "[Time].[1997]\n[Time].[1998]\n");

  // Without a result position no level shows a member: nothing to expand.
  Fixture empty;
  auto canada = empty.NewAxis({{"[Store].[Canada]"}});
  canada->SetShowEmpty(false);
  EXPECT_EQ(canada->PositionCount(), 0);
  TakeStatements();
  canada->ExpandHeading(Variant(0));
  canada->CollapseHeading(Variant(0));
  EXPECT_TRUE(TakeStatements().empty());
}

TEST(HeadingOperationsTest, IsolatingAndRemovingFollowTheResultPrefix) {
  const std::vector<std::vector<std::string>> tuples = {{"[Store].[USA].[CA]", "[Time].[1997]"},
                                                        {"[Store].[USA].[CA]", "[Time].[1997].[Q1]"},
                                                        {"[Store].[USA].[CA]", "[Time].[1998]"},
                                                        {"[Store].[USA].[OR]", "[Time].[1997]"}};
  {
    Fixture fixture;
    auto axis = fixture.NewAxis(tuples);
    axis->IsolateHeading(Variant(1), 1, Variant(0));  // 1997 under California
    EXPECT_EQ(ResolvedSet(),
              "Except({ {([Store].[USA].[CA], [Time].[1997]), ([Store].[USA].[CA], [Time].[1997].[Q1]), "
              "([Store].[USA].[CA], [Time].[1998]), ([Store].[USA].[OR], [Time].[1997])}, "
              "Distinct({Except(Distinct({}), Distinct({}))}) }, "
              "Distinct({([Store].[USA].[CA], [Time].[1998]), ([Store].[USA].[OR], [Time].[1997])}) )");
    EXPECT_EQ(SourceTuples(*axis), "[Store].[USA].[CA], [Time].[1997]\n[Store].[USA].[CA], [Time].[1997].[Q1]\n");
  }
  {
    Fixture fixture;
    auto axis = fixture.NewAxis(tuples);
    axis->RemoveHeading(Variant(1), 1, Variant(0));
    EXPECT_EQ(SourceTuples(*axis), "[Store].[USA].[CA], [Time].[1998]\n[Store].[USA].[OR], [Time].[1997]\n");
  }
  {
    Fixture fixture;
    auto axis = fixture.NewAxis(tuples);
    axis->IsolateHeading(Variant(0), 3);  // Oregon, with the other hierarchy's top level behind it
    EXPECT_EQ(SourceTuples(*axis), "[Store].[USA].[OR], [Time].[1997]\n");
  }
}

TEST(HeadingOperationsTest, RemovingTheOnlyHeadingEmptiesTheAxis) {
  Fixture fixture;
  auto axis = fixture.NewAxis({{"[Time].[1997]"}});
  axis->RemoveHeading(Variant(0), 0);
  EXPECT_EQ(axis->Hierarchies()->Count(), 0);
  EXPECT_EQ(axis->f_SourceToMDX(), "");
}

TEST(HeadingOperationsTest, BadIndexesChangeNothing) {
  Fixture fixture;
  auto axis = fixture.NewAxis({{"[Time].[1997]"}, {"[Time].[1998]"}});
  auto cellset = fixture.view->f_CellSet();
  ComError error = ExpectComError(errors::kSubscriptOutOfRange, [&] { axis->ExpandHeading(Variant(3), 0); });
  EXPECT_EQ(error.source(), "Tessel\r\nin AxisHierarchies.Item [PropertyGet]\r\nin Axis.ExpandHeading");
  error = ExpectComError(errors::kInvalidProcedureCall, [&] { axis->IsolateHeading(Variant(0), 2); });
  EXPECT_EQ(error.description(), "Index out of range.  The index '2' must be between 0 and 1.");
  ExpectComError(errors::kInvalidProcedureCall, [&] { axis->RemoveHeading(Variant(0), 0, Variant("Week")); });
  ExpectComError(errors::kInvalidProcedureCall, [&] { axis->CollapseHeading(Variant("[Store]"), 0); });
  EXPECT_EQ(fixture.view->f_CellSet(), cellset);
  EXPECT_EQ(SourceTuples(*axis), "[Time].[1997]\n[Time].[1998]\n");
}

}  // namespace
}  // namespace orvex::olap

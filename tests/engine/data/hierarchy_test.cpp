#include "engine/model/hierarchy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cube_cells.h"
#include "engine/model/dimension.h"
#include "engine/model/level.h"
#include "platform/text.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using orvex::testing::FindMember;

const Cube& Tiny() { return orvex::testing::TinySalesCube(); }

std::vector<std::string> UniqueNames(const std::vector<const Member*>& members) {
  std::vector<std::string> names;
  for (const Member* member : members) names.push_back(member->unique_name);
  return names;
}

TEST(HierarchyTest, NamesDimensionsHierarchiesAndLevels) {
  const Cube& cube = Tiny();
  std::vector<std::string> dimensions;
  for (const Dimension* dimension : cube.dimensions()) dimensions.push_back(dimension->unique_name());
  EXPECT_EQ(dimensions, (std::vector<std::string>{"[Measures]", "[Time]", "[Store]", "[Product]", "[Customers]",
                                                  "[Gender]", "[Marital Status]", "[Promotion Media]"}));
  ASSERT_EQ(cube.hierarchies().size(), 7u);
  for (size_t index = 0; index < cube.hierarchies().size(); ++index) {
    const Hierarchy* hierarchy = cube.hierarchies()[index];
    SCOPED_TRACE(hierarchy->unique_name());
    EXPECT_EQ(hierarchy->index(), static_cast<int>(index));
    EXPECT_EQ(hierarchy->name(), "");
    EXPECT_EQ(hierarchy->unique_name(), hierarchy->dimension().unique_name());
    EXPECT_EQ(cube.FindHierarchy(ToLower(hierarchy->unique_name())), hierarchy);
  }
  const Hierarchy& store = *cube.FindHierarchy("[Store]");
  std::vector<std::string> levels;
  for (const auto& level : store.levels()) levels.push_back(level->unique_name() + "@" + std::to_string(level->depth()));
  EXPECT_EQ(levels, (std::vector<std::string>{"[Store].[(All)]@0", "[Store].[Store Country]@1", "[Store].[Store State]@2",
                                              "[Store].[Store City]@3", "[Store].[Store Name]@4"}));
  EXPECT_TRUE(store.levels()[0]->is_all());
  EXPECT_EQ(cube.FindDimension("product"), cube.FindDimension("[Product]"));
  EXPECT_EQ(cube.FindDimension("Nope"), nullptr);
  EXPECT_EQ(cube.FindHierarchy("[Time].[Time]"), nullptr);
}

TEST(HierarchyTest, MembersHaveUniqueNamesWithTheAllMemberLeftOutAndBracketsDoubled) {
  const Cube& cube = Tiny();
  struct Case {
    std::string unique_name;
    std::string name;
    int depth;
    std::string parent;
  };
  const Case cases[] = {
      {"[Time].[1997]", "1997", 0, ""},
      {"[Time].[1997].[Q1]", "Q1", 1, "[Time].[1997]"},
      {"[Time].[1998].[Q4].[12]", "12", 2, "[Time].[1998].[Q4]"},
      {"[Store].[All Stores]", "All Stores", 0, ""},
      {"[Store].[USA]", "USA", 1, "[Store].[All Stores]"},
      {"[Store].[USA].[CA].[San Francisco].[Store 2]", "Store 2", 4, "[Store].[USA].[CA].[San Francisco]"},
      {"[Product].[Drink].[Beverages].[Soda].[Bob's].[Bob's \"Best\" [Big]] Cola]", "Bob's \"Best\" [Big] Cola", 5,
       "[Product].[Drink].[Beverages].[Soda].[Bob's]"},
      {"[Customers].[USA].[CA].[Los Angeles].[Ann Lee]", "Ann Lee", 4, "[Customers].[USA].[CA].[Los Angeles]"},
      {"[Gender].[All Gender]", "All Gender", 0, ""},
      {"[Marital Status].[All Marital Status]", "All Marital Status", 0, ""},
      {"[Promotion Media].[All Media]", "All Media", 0, ""},
      {"[Customers].[All Customers]", "All Customers", 0, ""},
      {"[Product].[All Products]", "All Products", 0, ""},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.unique_name);
    const Member* member = FindMember(cube, test.unique_name);
    ASSERT_NE(member, nullptr);
    EXPECT_EQ(member->unique_name, test.unique_name);
    EXPECT_EQ(member->name, test.name);
    EXPECT_EQ(member->caption, test.name);
    EXPECT_EQ(member->depth(), test.depth);
    EXPECT_EQ(member->parent ? member->parent->unique_name : "", test.parent);
    EXPECT_EQ(member->is_all, test.name.rfind("All ", 0) == 0);
  }
  // Unique names are found without regard to case; a name with a single "]" is not a member's.
  const Hierarchy& product = *cube.FindHierarchy("[Product]");
  EXPECT_EQ(product.FindMember("[PRODUCT].[drink]"), FindMember(cube, "[Product].[Drink]"));
  EXPECT_EQ(product.FindMember("[Product].[Drink].[Beverages].[Soda].[Bob's].[Bob's \"Best\" [Big] Cola]"), nullptr);
  EXPECT_EQ(product.FindMember("[Product].[USA]"), nullptr);
}

TEST(HierarchyTest, MembersComeInHierarchyOrderWithLevelsInOrder) {
  const Cube& cube = Tiny();
  for (const Hierarchy* hierarchy : cube.hierarchies()) {
    SCOPED_TRACE(hierarchy->unique_name());
    const auto& members = hierarchy->AllMembers();
    for (size_t position = 0; position < members.size(); ++position) {
      const Member* member = members[position];
      EXPECT_EQ(member->order, static_cast<int32_t>(position));
      if (member->parent) {
        EXPECT_LT(member->parent->order, member->order);
      }
      EXPECT_EQ(member->level->members()[static_cast<size_t>(member->index_in_level)], member);
      EXPECT_EQ(&member->level->hierarchy(), hierarchy);
    }
  }
  const Hierarchy& time = *cube.FindHierarchy("[Time]");
  EXPECT_EQ(UniqueNames(time.levels()[1]->members()),
            (std::vector<std::string>{"[Time].[1997].[Q1]", "[Time].[1997].[Q2]", "[Time].[1997].[Q3]",
                                      "[Time].[1997].[Q4]", "[Time].[1998].[Q1]", "[Time].[1998].[Q2]",
                                      "[Time].[1998].[Q3]", "[Time].[1998].[Q4]"}));
  // Numeric keys order numerically, not as text: 10, 11, 12 come after 9.
  EXPECT_EQ(UniqueNames(FindMember(cube, "[Time].[1997].[Q4]")->children()),
            (std::vector<std::string>{"[Time].[1997].[Q4].[10]", "[Time].[1997].[Q4].[11]", "[Time].[1997].[Q4].[12]"}));
  EXPECT_EQ(UniqueNames(cube.FindHierarchy("[Store]")->levels()[1]->members()),
            (std::vector<std::string>{"[Store].[Canada]", "[Store].[USA]"}));
  EXPECT_EQ(cube.FindHierarchy("[Store]")->levels()[0]->members().size(), 1u);
  EXPECT_TRUE(time.LevelMembers(7).empty());

  const Member* usa = FindMember(cube, "[Store].[USA]");
  const Member* store_2 = FindMember(cube, "[Store].[USA].[CA].[San Francisco].[Store 2]");
  EXPECT_TRUE(usa->IsAncestorOf(*store_2));
  EXPECT_FALSE(store_2->IsAncestorOf(*usa));
  EXPECT_FALSE(usa->IsAncestorOf(*usa));
}

TEST(HierarchyTest, FindsChildrenByNameAndTheAllMemberIsOptionalAtTheTop) {
  const Cube& cube = Tiny();
  const Hierarchy& store = *cube.FindHierarchy("[Store]");
  const Member* usa = store.FindChild(nullptr, "usa");
  ASSERT_NE(usa, nullptr);
  EXPECT_EQ(usa->unique_name, "[Store].[USA]");
  EXPECT_EQ(store.FindChild(nullptr, "All Stores"), store.all_member());
  EXPECT_EQ(store.FindChild(usa, "ca")->unique_name, "[Store].[USA].[CA]");
  EXPECT_EQ(store.FindChild(usa, "BC"), nullptr);
  const Hierarchy& time = *cube.FindHierarchy("[Time]");
  EXPECT_EQ(time.FindChild(nullptr, "1998")->unique_name, "[Time].[1998]");
  EXPECT_EQ(time.FindChild(nullptr, "Q1"), nullptr);
}

TEST(HierarchyTest, DefaultMembersAndTheMeasures) {
  const Cube& cube = Tiny();
  EXPECT_EQ(cube.FindHierarchy("[Time]")->default_member()->unique_name, "[Time].[1997]");
  EXPECT_EQ(cube.FindHierarchy("[Time]")->all_member(), nullptr);
  EXPECT_EQ(cube.FindHierarchy("[Store]")->default_member()->unique_name, "[Store].[All Stores]");
  EXPECT_EQ(cube.FindHierarchy("[Store]")->all_member()->unique_name, "[Store].[All Stores]");

  const Hierarchy& measures = cube.measures_hierarchy();
  EXPECT_TRUE(measures.is_measures());
  EXPECT_EQ(measures.unique_name(), "[Measures]");
  EXPECT_EQ(measures.index(), -1);
  EXPECT_FALSE(measures.has_all());
  EXPECT_EQ(cube.FindHierarchy("[measures]"), &measures);
  ASSERT_EQ(measures.levels().size(), 1u);
  EXPECT_EQ(measures.levels()[0]->name(), "MeasuresLevel");
  EXPECT_EQ(UniqueNames(measures.AllMembers()),
            (std::vector<std::string>{"[Measures].[Unit Sales]", "[Measures].[Store Cost]", "[Measures].[Store Sales]",
                                      "[Measures].[Sales Count]", "[Measures].[Customer Count]",
                                      "[Measures].[Profit]"}));
  EXPECT_EQ(measures.default_member(), cube.default_measure());
  EXPECT_EQ(cube.default_measure()->unique_name, "[Measures].[Unit Sales]");
  const Member* profit = measures.FindMember("[Measures].[profit]");
  ASSERT_NE(profit, nullptr);
  ASSERT_NE(profit->calculated, nullptr);
  EXPECT_EQ(profit->measure, nullptr);
  EXPECT_EQ(profit->calculated->format_string, "$#,##0.00");
  EXPECT_EQ(profit->calculated->hierarchy, &measures);
  const Member* count = measures.FindMember("[Measures].[Customer Count]");
  ASSERT_NE(count->measure, nullptr);
  EXPECT_EQ(count->measure->aggregator, Aggregator::kDistinctCount);
  EXPECT_EQ(count->measure->column, "customer_id");
  EXPECT_EQ(cube.measures().size(), 5u);
  EXPECT_EQ(cube.calculated_members().size(), 1u);
}

}  // namespace
}  // namespace orvex::engine

namespace orvex::engine {
namespace {

TEST(HierarchyTest, TimeDimensionsKeepWhatTheirLevelsCount) {
  const Cube& cube = orvex::testing::TinySalesCube();
  const Hierarchy& time = *cube.FindHierarchy("[Time]");
  EXPECT_TRUE(time.dimension().is_time());
  EXPECT_FALSE(cube.FindHierarchy("[Store]")->dimension().is_time());
  ASSERT_EQ(time.levels().size(), 3u);
  EXPECT_EQ(time.levels()[0]->type(), LevelType::kTimeYears);
  EXPECT_EQ(time.levels()[1]->type(), LevelType::kTimeQuarters);
  EXPECT_EQ(time.levels()[2]->type(), LevelType::kTimeMonths);
  EXPECT_EQ(cube.FindHierarchy("[Store]")->levels()[1]->type(), LevelType::kRegular);
}

}  // namespace
}  // namespace orvex::engine

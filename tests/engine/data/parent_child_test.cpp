// Parent-child hierarchies: a tree of any depth from one table, with and
// without a closure table. Every number can be checked by hand from kData.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cube_cells.h"
#include "engine/model/catalog.h"
#include "engine/catalog/catalog_loader.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using orvex::testing::Cell;

// Ann leads Bob and Dee, Bob leads Cid; Eve's parent 0 marks a top member.
// Each sells a power of ten: Ann 1, Bob 10, Cid 100, Dee 1000, Eve 10000.
const char* kData = R"(
CREATE TABLE staff (id INTEGER, boss INTEGER, name VARCHAR);
INSERT INTO staff VALUES (1, NULL, 'Ann'), (2, 1, 'Bob'), (3, 2, 'Cid'), (4, 1, 'Dee'), (5, 0, 'Eve');
CREATE TABLE staff_closure (boss INTEGER, id INTEGER);
INSERT INTO staff_closure VALUES (1, 1), (1, 2), (1, 3), (1, 4), (2, 2), (2, 3), (3, 3), (4, 4), (5, 5);
CREATE TABLE sales (staff_id INTEGER, amount INTEGER);
INSERT INTO sales VALUES (1, 1), (2, 10), (3, 100), (4, 1000), (5, 10000);
)";

std::string Schema(const std::string& closure) {
  return R"(<Schema name="S"><Cube name="C"><Table name="sales"/>
    <Dimension name="Staff" foreignKey="staff_id">
      <Hierarchy hasAll="true" primaryKey="id"><Table name="staff"/>
        <Level name="Member" column="id" nameColumn="name" parentColumn="boss" nullParentValue="0"
               uniqueMembers="true">)" +
         closure + R"(</Level>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
}

const char* kClosure = R"(<Closure parentColumn="boss" childColumn="id"><Table name="staff_closure"/></Closure>)";

TEST(ParentChildTest, AParentsCellHoldsItsOwnRowsAndAllItsDescendants) {
  struct Case {
    std::string name;
    std::string closure;
  };
  const Case cases[] = {{"through the closure table", kClosure}, {"from the member tree", ""}};
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    orvex::testing::TempDir root;
    auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "P", Schema(test.closure), kData));
    ASSERT_TRUE(catalog->failed_cubes().empty()) << catalog->failed_cubes().begin()->second;
    const Cube& cube = catalog->FindCube("C");
    const std::pair<std::string, double> cells[] = {
        {"[Staff].[Ann]", 1111},          {"[Staff].[Ann].[Bob]", 110}, {"[Staff].[Ann].[Bob].[Cid]", 100},
        {"[Staff].[Ann].[Dee]", 1000},    {"[Staff].[Eve]", 10000},
    };
    // All cells of the tree at once, members of every depth mixed, in one
    // grouped read; then each alone, from the cache or a coarser query.
    std::vector<const Member*> members;
    for (const auto& [member, amount] : cells) members.push_back(orvex::testing::FindMember(cube, member));
    auto values = orvex::testing::Cells(cube, {orvex::testing::FindMeasure(cube, "Amount")},
                                        orvex::testing::Alone(cube, members));
    ASSERT_EQ(values.size(), members.size());
    for (size_t index = 0; index < members.size(); ++index) {
      EXPECT_DOUBLE_EQ(*orvex::testing::AsDouble(values[index]), cells[index].second) << members[index]->unique_name;
    }
    for (const auto& [member, amount] : cells) {
      SCOPED_TRACE(member);
      EXPECT_DOUBLE_EQ(*Cell(cube, "Amount", {member}), amount);
    }
    EXPECT_DOUBLE_EQ(*Cell(cube, "Amount", {}), 11111);

  }
}

TEST(ParentChildTest, MembersFormATreeByDepth) {
  orvex::testing::TempDir root;
  auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "P", Schema(""), kData));
  const Hierarchy& staff = *catalog->FindCube("C").FindHierarchy("[Staff]");
  auto names = [](const std::vector<const Member*>& members) {
    std::vector<std::string> text;
    for (const Member* member : members) text.push_back(member->name);
    return text;
  };
  EXPECT_EQ(names(staff.LevelMembers(1)), (std::vector<std::string>{"Ann", "Eve"}));
  EXPECT_EQ(names(staff.LevelMembers(2)), (std::vector<std::string>{"Bob", "Dee"}));
  EXPECT_EQ(names(staff.LevelMembers(3)), (std::vector<std::string>{"Cid"}));
  const Member* cid = staff.FindMember("[Staff].[Ann].[Bob].[Cid]");
  ASSERT_NE(cid, nullptr);
  EXPECT_EQ(cid->depth(), 3);
  EXPECT_EQ(cid->level->name(), "Member");
  EXPECT_EQ(cid->parent->parent->name, "Ann");
  EXPECT_TRUE(cid->parent->parent->parent->is_all);
}

TEST(ParentChildTest, BrokenParentChildLevelsAreRefusedAtLoad) {
  struct Case {
    std::string level;
    std::string expected;
  };
  const Case cases[] = {
      {R"(<Level name="M" column="id" parentColumn="chief"/>)", "names the column 'chief'"},
      {R"(<Level name="M" column="id" parentColumn="boss"><Closure parentColumn="boss" childColumn="kid">
          <Table name="staff_closure"/></Closure></Level>)",
       "names the column 'kid'"},
      {R"(<Level name="M" column="id" parentColumn="boss"><Closure parentColumn="boss" childColumn="id">
          <Table name="nowhere"/></Closure></Level>)",
       "the table 'nowhere' does not exist"},
      {R"(<Level name="Top" column="boss"/><Level name="M" column="id" parentColumn="boss"/>)",
       "only level below the all level"},
      {R"(<Level name="M" column="id"><Closure parentColumn="boss" childColumn="id">
          <Table name="staff_closure"/></Closure></Level>)",
       "has a <Closure> but no parentColumn"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.expected);
    orvex::testing::TempDir root;
    std::string schema = R"(<Schema name="S"><Cube name="C"><Table name="sales"/>
      <Dimension name="Staff" foreignKey="staff_id"><Hierarchy hasAll="true" primaryKey="id"><Table name="staff"/>)" +
                         test.level + R"(</Hierarchy></Dimension>
      <Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";
    auto catalog = CatalogLoader::Load(orvex::testing::WriteCatalog(root.path(), "P", schema, kData));
    ASSERT_EQ(catalog->failed_cubes().count("C"), 1u);
    EXPECT_NE(catalog->failed_cubes().at("C").find(test.expected), std::string::npos) << catalog->failed_cubes().at("C");
  }
}

}  // namespace
}  // namespace orvex::engine

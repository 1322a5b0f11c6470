// A hierarchy's members are read when a statement first goes below its all
// member, not for every hierarchy of the cube on the first statement; and
// many threads asking first at once read them once, all seeing the same tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <barrier>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "engine/catalog/catalog_loader.h"
#include "engine/eval/query_executor.h"
#include "engine/model/hierarchy.h"
#include "temp_dir.h"
#include "tiny_catalog.h"
#include "tiny_session.h"

namespace orvex::engine {
namespace {

class LazyMembersTest : public ::testing::Test {
 protected:
  void SetUp() override { orvex::testing::WriteTestCatalog(root_.path(), "Tiny", "Tiny"); }

  // A catalog read afresh: no hierarchy has read its members yet.
  std::shared_ptr<const Catalog> Fresh() const { return CatalogLoader::Load(root_.path() / "Tiny"); }

  static std::string Cells(const std::shared_ptr<const Catalog>& catalog, const std::string& mdx) {
    return testing::StatementCells(catalog, mdx);
  }

  static std::set<std::string> Read(const Cube& cube) {
    std::set<std::string> read;
    for (const Hierarchy* hierarchy : cube.hierarchies()) {
      if (hierarchy->members_read()) read.insert(hierarchy->unique_name());
    }
    return read;
  }

  orvex::testing::TempDir root_;
};

TEST_F(LazyMembersTest, AStatementReadsOnlyTheHierarchiesItGoesBelowTheAllMemberOf) {
  struct Case {
    std::string mdx;
    std::set<std::string> read;  // [Time] has no all member: its default is its first year
  };
  const Case cases[] = {
      {"SELECT {[Measures].[Unit Sales]} ON 0 FROM Sales", {"[Time]"}},
      {"SELECT {[Measures].[Unit Sales]} ON 0, [Store].[Store Country].Members ON 1 FROM Sales",
       {"[Time]", "[Store]"}},
      // The default member itself, on an axis and in the slicer, needs no members.
      {"SELECT {[Measures].[Unit Sales]} ON 0, {[Product].DefaultMember} ON 1 FROM Sales "
       "WHERE [Gender].DefaultMember",
       {"[Time]"}},
      // Its children do: they are read through the all member handed out before.
      {"SELECT {[Measures].[Unit Sales]} ON 0, [Gender].DefaultMember.Children ON 1 FROM Sales", {"[Time]", "[Gender]"}},
      // So does the all member by its name; a member below it does not.
      {"SELECT {[Measures].[Unit Sales]} ON 0, {[Promotion Media].[All Media]} ON 1 FROM Sales", {"[Time]"}},
      {"SELECT {[Measures].[Unit Sales]} ON 0, {[Customers].[All Customers].[USA]} ON 1 FROM Sales",
       {"[Time]", "[Customers]"}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.mdx);
    auto catalog = Fresh();
    const Cube& cube = catalog->FindCube("Sales");
    EXPECT_EQ(Read(cube), std::set<std::string>{});
    std::string cells = Cells(catalog, test.mdx);
    EXPECT_EQ(Read(cube), test.read);
    // The same cells as where every hierarchy's members were read before.
    EXPECT_EQ(cells, Cells(orvex::testing::TinyCatalog(), test.mdx));
  }
}

TEST_F(LazyMembersTest, ManyThreadsAskingFirstReadTheMembersOnceAndSeeOneTree) {
  const Hierarchy& expected = *orvex::testing::TinySalesCube().FindHierarchy("[Customers]");
  std::vector<std::string> expected_names;
  for (const Member* member : expected.AllMembers()) expected_names.push_back(member->unique_name);
  ASSERT_GT(expected_names.size(), 2u);

  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE(round);
    auto catalog = Fresh();
    const Hierarchy& customers = *catalog->FindCube("Sales").FindHierarchy("[Customers]");
    constexpr int kThreads = 8;
    std::barrier start(kThreads);
    std::vector<std::vector<std::string>> seen(kThreads);
    std::vector<const Member*> all_members(kThreads);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < kThreads; ++thread) {
      threads.emplace_back([&, thread] {
        start.arrive_and_wait();
        // Each way in first: through the all member's children, a level's
        // list, the whole list, and a lookup by name.
        const Member* all = customers.default_member();
        switch (thread % 4) {
          case 0: (void)all->children(); break;
          case 1: (void)customers.LevelMembers(1); break;
          case 2: (void)customers.AllMembers(); break;
          default: (void)customers.FindMember(expected_names[1]); break;
        }
        all_members[static_cast<size_t>(thread)] = customers.all_member();
        for (const Member* member : customers.AllMembers()) seen[static_cast<size_t>(thread)].push_back(member->unique_name);
      });
    }
    for (auto& thread : threads) thread.join();
    for (int thread = 0; thread < kThreads; ++thread) {
      EXPECT_EQ(seen[static_cast<size_t>(thread)], expected_names);
      EXPECT_EQ(all_members[static_cast<size_t>(thread)], customers.AllMembers().front());
    }
    // Read twice, the shared all member would list its children twice.
    EXPECT_EQ(customers.all_member()->children(), customers.LevelMembers(1));
    EXPECT_EQ(customers.all_member()->order, 0);
  }
}

}  // namespace
}  // namespace orvex::engine

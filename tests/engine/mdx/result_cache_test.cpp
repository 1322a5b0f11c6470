// Answers kept between runs of the same statement: found again only for the
// very catalog they were computed on, within their bound, and pinning that
// catalog for as long as an answer handed out is held.
#include "engine/eval/result_cache.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/catalog/catalog_loader.h"
#include "engine/eval/query_executor.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

const char* kSchema = R"xml(<Schema name="S">
  <Cube name="Sales">
    <Table name="sales"/>
    <Dimension name="Shop"><Hierarchy hasAll="true"><Level name="Shop" column="shop"/></Hierarchy></Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/>
  </Cube>
</Schema>)xml";

std::shared_ptr<const CellSet> Answer(size_t cells) {
  auto result = std::make_shared<CellSet>();
  result->cells.resize(cells);
  return result;
}

TEST(ResultCacheTest, AStatementSentAgainGetsTheKeptAnswerUnderTheSameTextAndLimits) {
  auto catalog = orvex::testing::TinyCatalog();
  const std::string mdx = "SELECT [Store].[USA].Children ON 0 FROM [Sales] WHERE [Measures].[Unit Sales]";
  auto first = QueryExecutor(catalog, EngineOptions{}).Execute(mdx);
  EXPECT_EQ(QueryExecutor(catalog, EngineOptions{}).Execute(mdx).get(), first.get());
  struct Case {
    std::string title, mdx;
    EngineOptions options;
  };
  EngineOptions uncached;
  uncached.cache_results = false;
  EngineOptions fewer_cells;
  fewer_cells.max_cells = 10;
  const Case cases[] = {
      {"another text", mdx + " ", EngineOptions{}},
      {"not cached", mdx, uncached},
      {"other limits", mdx, fewer_cells},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.title);
    auto other = QueryExecutor(catalog, test.options).Execute(test.mdx);
    EXPECT_NE(other.get(), first.get());
    EXPECT_EQ(other->cells.size(), first->cells.size());
  }
}

TEST(ResultCacheTest, ACatalogLoadedAgainNeverGetsTheOldOnesAnswers) {
  orvex::testing::TempDir root;
  const std::string mdx = "SELECT [Shop].[Shop].Members ON 0 FROM Sales WHERE [Measures].[Amount]";
  std::shared_ptr<const CellSet> kept;
  // Each catalog is dropped before the next is loaded, so the allocator may well
  // put the new one where the old one was: the key's address then matches.
  for (int round = 1; round <= 4; ++round) {
    SCOPED_TRACE(round);
    std::filesystem::remove_all(root.path() / "C");
    auto folder = orvex::testing::WriteCatalog(root.path(), "C", kSchema,
                                               "CREATE TABLE sales (shop VARCHAR, amount INTEGER);"
                                               "INSERT INTO sales VALUES ('S" + std::to_string(round) + "', " +
                                                   std::to_string(round * 10) + ");");
    auto catalog = CatalogLoader::Load(folder);
    auto result = QueryExecutor(catalog, EngineOptions{}).Execute(mdx);
    ASSERT_EQ(result->cells.size(), 1u);
    EXPECT_EQ(ScalarText(result->cells[0].value), std::to_string(round * 10));
    if (round == 1) kept = result;
  }
  // The first answer still names its members: it keeps its catalog loaded.
  EXPECT_EQ(kept->axes[0].positions[0][0]->unique_name, "[Shop].[S1]");
}

TEST(ResultCacheTest, KeepsWithinItsBoundForgettingTheLeastRecentlyUsedFirst) {
  auto catalog = orvex::testing::TinyCatalog();
  ResultCache cache(3, 100);
  cache.Put(catalog, "a", Answer(39));
  cache.Put(catalog, "b", Answer(39));
  EXPECT_NE(cache.Find(catalog, "a"), nullptr);  // a is now used after b
  cache.Put(catalog, "c", Answer(39));           // 120 held: b goes
  EXPECT_EQ(cache.Find(catalog, "b"), nullptr);
  EXPECT_NE(cache.Find(catalog, "a"), nullptr);
  EXPECT_NE(cache.Find(catalog, "c"), nullptr);
  cache.Put(catalog, "big", Answer(100));  // alone beyond the bound: not kept, nothing forgotten
  EXPECT_EQ(cache.Find(catalog, "big"), nullptr);
  EXPECT_EQ(cache.size(), 2u);
  cache.Put(catalog, "c", Answer(1));  // replaced, not added
  cache.Put(catalog, "d", Answer(1));
  cache.Put(catalog, "e", Answer(1));  // three at most: a, the least recently used, goes
  EXPECT_EQ(cache.size(), 3u);
  EXPECT_EQ(cache.Find(catalog, "a"), nullptr);
  EXPECT_EQ(cache.Find(catalog, "c")->cells.size(), 1u);
}

TEST(ResultCacheTest, AnotherCatalogAtTheAddressOfADroppedOneFindsNothing) {
  auto catalog = orvex::testing::TinyCatalog();
  ResultCache cache(8, 1000);
  {
    // A catalog that lived at this address and is gone, as after a reload.
    auto owner = std::make_shared<int>(0);
    std::shared_ptr<const Catalog> dropped(owner, catalog.get());
    cache.Put(dropped, "a", Answer(1));
    EXPECT_NE(cache.Find(dropped, "a"), nullptr);
  }
  EXPECT_EQ(cache.Find(catalog, "a"), nullptr);
  // Nor does one alive at the same address under another owner.
  cache.Put(catalog, "b", Answer(1));
  std::shared_ptr<const Catalog> other(std::make_shared<int>(0), catalog.get());
  EXPECT_EQ(cache.Find(other, "b"), nullptr);
  EXPECT_NE(cache.Find(catalog, "b"), nullptr);
}

}  // namespace
}  // namespace orvex::engine

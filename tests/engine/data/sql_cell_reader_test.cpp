#include "engine/cells/sql_cell_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "cube_cells.h"
#include "engine/cells/segment.h"
#include "engine/catalog/cube_builder.h"
#include "engine/model/level.h"
#include "engine/schema/schema_reader.h"
#include "engine/store/duckdb/duckdb_store.h"
#include "platform/com/com_error.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

using orvex::testing::At;
using orvex::testing::Cell;
using orvex::testing::Cells;
using orvex::testing::FindMeasure;
using orvex::testing::FindMember;

const Cube& Tiny() { return orvex::testing::TinySalesCube(); }
SqlCellReader& Reader(const Cube& cube) { return dynamic_cast<SqlCellReader&>(cube.cells()); }

// Every number below is summed by hand from tests/catalogs/Tiny/data.sql.
TEST(SqlCellReaderTest, ReadsHandCheckedTotals) {
  orvex::testing::ExpectCells(Tiny(), {
      {"Unit Sales", {}, 95},
      {"Unit Sales", {"[Time].[1997]"}, 78},
      {"Unit Sales", {"[Time].[1998]"}, 17},
      {"Unit Sales", {"[Time].[1997].[Q1]"}, 21},
      {"Unit Sales", {"[Time].[1997].[Q2]"}, 22},
      {"Unit Sales", {"[Time].[1997].[Q4]"}, 18},
      {"Unit Sales", {"[Time].[1997].[Q2].[4]"}, 9},
      {"Unit Sales", {"[Time].[1998].[Q1].[3]"}, 3},
      {"Unit Sales", {"[Store].[All Stores]"}, 95},
      {"Unit Sales", {"[Store].[USA].[CA]"}, 54},
      {"Unit Sales", {"[Store].[USA].[WA].[Seattle].[Store 4]"}, 28},
      {"Unit Sales", {"[Product].[Drink]"}, 59},
      {"Unit Sales", {"[Product].[Drink].[Beverages].[Soda]"}, 42},
      {"Unit Sales", {"[Product].[Food]"}, 36},
      {"Unit Sales", {"[Product].[Drink].[Beverages].[Soda].[Bob's].[Bob's \"Best\" [Big]] Cola]"}, 11},
      {"Unit Sales", {"[Customers].[USA].[CA].[Los Angeles].[Ann Lee]"}, 30},
      {"Unit Sales", {"[Time].[1997].[Q1]", "[Store].[USA].[CA]"}, 13},
      {"Unit Sales", {"[Product].[Drink]", "[Promotion Media].[Radio]"}, 3},
      {"Unit Sales", {"[Gender].[F]", "[Marital Status].[M]"}, 35},
      {"Store Sales", {}, 197},
      {"Store Sales", {"[Time].[1997]"}, 165.5},
      {"Store Sales", {"[Product].[Drink].[Beverages].[Soda].[Bob's].[Bob's \"Best\" [Big]] Cola]"}, 22},
      {"Store Cost", {"[Time].[1997]"}, 68.3},
      {"Store Cost", {"[Time].[1998]"}, 12.5},
      {"Sales Count", {}, 24},
      {"Sales Count", {"[Time].[1997].[Q1]"}, 6},
      // Distinct counts do not add up: 1997's five customers bought in every quarter.
      {"Customer Count", {"[Time].[1997]"}, 5},
      {"Customer Count", {"[Time].[1997].[Q1]"}, 5},
      {"Customer Count", {"[Time].[1997].[Q2]"}, 4},
      {"Customer Count", {"[Time].[1997].[Q3]"}, 4},
      {"Customer Count", {"[Store].[USA].[OR]"}, 4},
      {"Customer Count", {"[Gender].[F]", "[Time].[1997].[Q2]"}, 2},
      // Empty cells are empty, not zero, for sums and counts alike.
      {"Unit Sales", {"[Time].[1998].[Q2]"}, std::nullopt},
      {"Unit Sales", {"[Store].[Canada]"}, std::nullopt},
      {"Unit Sales", {"[Product].[Non-Consumable]"}, std::nullopt},
      {"Sales Count", {"[Promotion Media].[TV]"}, std::nullopt},
      {"Customer Count", {"[Time].[1998].[Q3].[8]"}, std::nullopt},
      {"Unit Sales", {"[Time].[1998].[Q1]", "[Store].[USA].[OR].[Portland]", "[Product].[Drink]"}, std::nullopt},
  });
}

TEST(SqlCellReaderTest, ChildrenAddUpToTheirParentForEveryAdditiveMeasure) {
  const Cube& cube = Tiny();
  std::vector<const Measure*> measures;
  for (const Measure* measure : cube.measures()) {
    if (measure->aggregator == Aggregator::kSum || measure->aggregator == Aggregator::kCount) {
      measures.push_back(measure);
    }
  }
  for (const Hierarchy* hierarchy : cube.hierarchies()) {
    for (const Member* parent : hierarchy->AllMembers()) {
      if (parent->children().empty()) continue;
      SCOPED_TRACE(parent->unique_name);
      Coordinate parent_at(cube.hierarchies().size(), nullptr);
      parent_at[static_cast<size_t>(hierarchy->index())] = parent;
      std::vector<Coordinate> children;
      for (const Member* child : parent->children()) {
        children.push_back(parent_at);
        children.back()[static_cast<size_t>(hierarchy->index())] = child;
      }
      auto totals = Cells(cube, measures, {parent_at});
      auto parts = Cells(cube, measures, children);
      for (size_t measure = 0; measure < measures.size(); ++measure) {
        double sum = 0;
        bool any = false;
        for (size_t child = 0; child < children.size(); ++child) {
          if (const auto& value = parts[child * measures.size() + measure]) {
            sum += ToDouble(*value);
            any = true;
          }
        }
        ASSERT_EQ(totals[measure].has_value(), any) << measures[measure]->name;
        if (any) {
          EXPECT_DOUBLE_EQ(ToDouble(*totals[measure]), sum) << measures[measure]->name;
        }
      }
    }
  }
}

TEST(SqlCellReaderTest, GroupsCellsByLevelCombinationIntoOneQueryEach) {
  const Cube& cube = Tiny();
  SqlCellReader& reader = Reader(cube);
  reader.ClearCache();
  const Hierarchy& time = *cube.FindHierarchy("[Time]");
  const Hierarchy& store = *cube.FindHierarchy("[Store]");
  std::vector<Coordinate> coordinates;
  for (const Member* quarter : time.levels()[1]->members()) {
    coordinates.push_back(At(cube, {}));
    coordinates.back()[0] = quarter;
    for (const Member* state : store.levels()[2]->members()) {
      coordinates.push_back(coordinates.back());
      coordinates.back()[1] = state;
    }
  }
  std::vector<const Measure*> measures = {FindMeasure(cube, "Unit Sales"), FindMeasure(cube, "Customer Count")};
  size_t before = reader.query_count();
  auto cold = Cells(cube, measures, coordinates);
  // Quarters alone, and quarters by states: two combinations, two queries for
  // 2 * 40 cells (the distinct count of a quarter cannot come from its states).
  EXPECT_EQ(reader.query_count() - before, 2u);
  auto warm = Cells(cube, measures, coordinates);
  EXPECT_EQ(reader.query_count() - before, 2u);
  EXPECT_EQ(warm, cold);
  reader.ClearCache();
  EXPECT_EQ(Cells(cube, measures, coordinates), cold);
  EXPECT_EQ(reader.query_count() - before, 4u);
  // Without the distinct count, the quarters are added up from the quarters by states.
  reader.ClearCache();
  (void)Cells(cube, {measures[0]}, coordinates);
  EXPECT_EQ(reader.query_count() - before, 5u);
  EXPECT_DOUBLE_EQ(ToDouble(*cold[0]), 21);  // 1997 Q1
  EXPECT_DOUBLE_EQ(ToDouble(*cold[1]), 5);
}

TEST(SqlCellReaderTest, RowsBeyondTheCellsAskedForAreCachedExactly) {
  const Cube& cube = Tiny();
  SqlCellReader& reader = Reader(cube);
  reader.ClearCache();
  // Asking for Q1 of 1997 and Q2 of 1998 filters on both years and both
  // quarters, so the store also returns Q2 of 1997: it must be that cell's own value.
  (void)Cells(cube, {FindMeasure(cube, "Unit Sales")},
              {At(cube, {"[Time].[1997].[Q1]"}), At(cube, {"[Time].[1998].[Q2]"})});
  size_t before = reader.query_count();
  EXPECT_DOUBLE_EQ(*Cell(cube, "Unit Sales", {"[Time].[1997].[Q2]"}), 22);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Unit Sales", {"[Time].[1998].[Q1]"}), 17);
  EXPECT_EQ(reader.query_count(), before);
}

// Every quarter by every store state: a whole answer, filtered on nothing.
std::vector<Coordinate> QuartersByStates(const Cube& cube) {
  std::vector<Coordinate> coordinates;
  for (const Member* quarter : cube.FindHierarchy("[Time]")->LevelMembers(1)) {
    for (const Member* state : cube.FindHierarchy("[Store]")->LevelMembers(2)) {
      coordinates.push_back(At(cube, {}));
      coordinates.back()[0] = quarter;
      coordinates.back()[1] = state;
    }
  }
  return coordinates;
}

TEST(SqlCellReaderTest, AddsCoarserCellsUpFromAWholeFinerAnswer) {
  const Cube& cube = Tiny();
  SqlCellReader& reader = Reader(cube);
  reader.ClearCache();
  (void)Cells(cube, {FindMeasure(cube, "Unit Sales"), FindMeasure(cube, "Sales Count"), FindMeasure(cube, "Store Cost")},
              QuartersByStates(cube));
  size_t before = reader.query_count();
  orvex::testing::ExpectCells(cube, {
      {"Unit Sales", {"[Time].[1997]"}, 78},
      {"Unit Sales", {"[Time].[1997].[Q2]"}, 22},
      {"Unit Sales", {"[Time].[1998].[Q2]"}, std::nullopt},
      {"Unit Sales", {"[Store].[USA].[CA]"}, 54},
      {"Unit Sales", {"[Store].[USA]"}, 95},
      {"Unit Sales", {"[Store].[Canada]"}, std::nullopt},
      {"Unit Sales", {}, 95},
      {"Sales Count", {"[Time].[1997].[Q1]", "[Store].[USA]"}, 6},
      {"Store Cost", {"[Time].[1998]"}, 12.5},
  });
  EXPECT_EQ(reader.query_count(), before);
}

TEST(SqlCellReaderTest, NeverAddsUpDistinctCountsOrFilteredAnswers) {
  const Cube& cube = Tiny();
  SqlCellReader& reader = Reader(cube);
  reader.ClearCache();
  (void)Cells(cube, {FindMeasure(cube, "Customer Count")}, QuartersByStates(cube));
  size_t before = reader.query_count();
  EXPECT_DOUBLE_EQ(*Cell(cube, "Customer Count", {"[Time].[1997]"}), 5);
  EXPECT_EQ(reader.query_count(), before + 1);

  // An answer filtered to California holds none of the other states' rows.
  reader.ClearCache();
  (void)Cells(cube, {FindMeasure(cube, "Unit Sales")}, {At(cube, {"[Time].[1997].[Q1]", "[Store].[USA].[CA]"})});
  EXPECT_DOUBLE_EQ(*Cell(cube, "Unit Sales", {"[Time].[1997].[Q1]"}), 21);
  EXPECT_DOUBLE_EQ(*Cell(cube, "Unit Sales", {"[Store].[USA].[CA]"}), 54);
}

TEST(SqlCellReaderTest, AnAnswerTooLargeForTheCacheKeepsOnlyTheCellsAskedFor) {
  // The Tiny cube once more, with a cache of 40 cells.
  auto folder = orvex::testing::TinyCatalogsRoot() / "Tiny";
  SqlCellReader::Options options;
  options.max_cached_cells = 40;
  auto cube = CubeBuilder::Build(SchemaReader::Read(folder / "schema.xml").cubes[0],
                                 std::shared_ptr<const Store>(DuckDbStore::Open(folder / "data.duckdb")), options);
  SqlCellReader& reader = Reader(*cube);
  auto coordinates = QuartersByStates(*cube);
  auto cold = Cells(*cube, {FindMeasure(*cube, "Unit Sales")}, coordinates);
  EXPECT_EQ(Cells(*cube, {FindMeasure(*cube, "Unit Sales")}, coordinates), cold);
  EXPECT_EQ(reader.query_count(), 1u);
  // The 40 cells asked for are kept, but not the whole answer to add 1997 up from.
  EXPECT_DOUBLE_EQ(*Cell(*cube, "Unit Sales", {"[Time].[1997]"}), 78);
  EXPECT_EQ(reader.query_count(), 2u);
}

TEST(SqlCellReaderTest, ManyThreadsGetIdenticalCorrectResults) {
  const Cube& cube = Tiny();
  Reader(cube).ClearCache();
  std::vector<Coordinate> coordinates;
  for (const Hierarchy* hierarchy : cube.hierarchies()) {
    for (const Member* member : hierarchy->AllMembers()) {
      coordinates.push_back(At(cube, {}));
      coordinates.back()[static_cast<size_t>(hierarchy->index())] = member;
    }
  }
  std::vector<const Measure*> measures(cube.measures().begin(), cube.measures().end());
  constexpr int kThreads = 8;
  std::vector<std::vector<CellValue>> results(kThreads);
  std::vector<std::thread> threads;
  for (int thread = 0; thread < kThreads; ++thread) {
    threads.emplace_back([&, thread] {
      for (int round = 0; round < 5; ++round) results[thread] = Cells(cube, measures, coordinates);
    });
  }
  for (auto& thread : threads) thread.join();
  for (int thread = 1; thread < kThreads; ++thread) EXPECT_EQ(results[thread], results[0]);
  EXPECT_DOUBLE_EQ(ToDouble(*results[0][0]), 78);  // [Time].[1997], Unit Sales
}

TEST(SqlCellReaderTest, RefusesRequestsThatDoNotFitTheCube) {
  const Cube& cube = Tiny();
  Coordinate short_coordinate(2, nullptr);
  Coordinate swapped = At(cube, {});
  swapped[0] = FindMember(cube, "[Store].[USA]");
  Coordinate good = At(cube, {});
  Measure stranger;
  const CellRequest requests[] = {
      {FindMeasure(cube, "Unit Sales"), &short_coordinate},
      {FindMeasure(cube, "Unit Sales"), &swapped},
      {&stranger, &good},
      {nullptr, &good},
      {FindMeasure(cube, "Unit Sales"), nullptr},
  };
  for (const auto& request : requests) {
    CellValue value;
    EXPECT_THROW(cube.cells().Fetch(std::span(&request, 1), std::span(&value, 1)), ComError);
  }
}

// Coarser cells added up from a cached answer are exact for decimal
// measures, so they match what the store itself sums whatever order the
// answer's rows came in; min and max pick by exact value.
TEST(SegmentTest, RollsDecimalsUpExactlyInAnyRowOrder) {
  Measure sum;
  Measure least;
  least.aggregator = Aggregator::kMin;
  std::vector<std::string> figures = {"1234567.89", "0.10", "0.20", "-0.30", "0.01", "1234567.89"};
  auto rolled = [&](const std::vector<std::string>& order) {
    std::vector<KeyValue> keys;
    std::vector<CellValue> values;
    for (size_t row = 0; row < order.size(); ++row) {
      keys.emplace_back(static_cast<int64_t>(row));
      values.emplace_back(*Decimal::Parse(order[row]));
      values.emplace_back(*Decimal::Parse(order[row]));
    }
    Segment segment({SegmentColumn{0, 1, false, {}}}, {&sum, &least}, std::move(keys), std::move(values));
    return std::make_pair(segment.RollUp(sum, {})->at({}), segment.RollUp(least, {})->at({}));
  };
  auto forward = rolled(figures);
  std::reverse(figures.begin(), figures.end());
  auto backward = rolled(figures);
  ASSERT_TRUE(std::holds_alternative<Decimal>(forward.first));
  EXPECT_EQ(std::get<Decimal>(forward.first).ToText(), "2469135.79");
  EXPECT_EQ(std::get<Decimal>(backward.first).ToText(), "2469135.79");
  EXPECT_EQ(std::get<Decimal>(forward.second).ToText(), "-0.30");
  EXPECT_EQ(std::get<Decimal>(backward.second).ToText(), "-0.30");
}

}  // namespace
}  // namespace orvex::engine

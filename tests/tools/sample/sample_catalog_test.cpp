#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "engine/cells/sql_cell_reader.h"
#include "engine/model/catalog.h"
#include "engine/catalog/catalog_loader.h"
#include "engine/model/cube.h"
#include "engine/model/level.h"
#include "cube_cells.h"
#include "engine/store/duckdb/duckdb_database.h"
#include "platform/com/com_error.h"
#include "temp_dir.h"
#include "tools/sample/sample_generator.h"

namespace orvex::tools {
namespace {

using engine::Catalog;
using engine::CellValue;
using engine::Coordinate;
using engine::Cube;
using engine::Hierarchy;
using engine::Measure;
using engine::Member;

constexpr double kScale = 0.05;  // about 5,000 sales: every shape of the data, in a fraction of a second

// The sample catalog's folder (the checked-in schema) with data generated at
// kScale, made once per test process.
const std::filesystem::path& SampleFolder() {
  static orvex::testing::TempDir root;
  static std::filesystem::path folder = [] {
    auto made = root / "Sample";
    std::filesystem::create_directories(made);
    std::filesystem::copy_file(std::filesystem::path(ORVEX_SOURCE_DIR) / "data/catalogs/Sample/schema.xml",
                               made / "schema.xml");
    SampleGenerator::Generate(made, kScale);
    return made;
  }();
  return folder;
}

const Catalog& Sample() {
  static std::shared_ptr<const Catalog> catalog = engine::CatalogLoader::Load(SampleFolder());
  return *catalog;
}

// One column of numbers from a hand-written query on the sample's store.
std::vector<double> Column(const std::string& sql) {
  auto database = engine::DuckDbDatabase::Open(SampleFolder() / "data.duckdb", engine::DuckDbDatabase::Mode::kReadOnly);
  auto rows = database.Connect().Query(sql);
  std::vector<double> values;
  for (size_t row = 0; row < rows.row_count(); ++row) {
    double value = 0;
    EXPECT_TRUE(engine::ToDouble(rows.at(row, rows.column_count() - 1), value));
    values.push_back(value);
  }
  return values;
}

std::vector<double> Numbers(const std::vector<std::optional<double>>& values) {
  std::vector<double> numbers;
  for (const auto& value : values) numbers.push_back(value.value_or(-1));
  return numbers;
}

const Cube& Sales() { return Sample().FindCube("Sales"); }

// The values of `measures` at every member of `members`, each alone on its hierarchy, in one Fetch.
std::vector<std::optional<double>> ValuesAt(const Cube& cube, const std::vector<const Measure*>& measures,
                                            const std::vector<const Member*>& members) {
  std::vector<std::optional<double>> values;
  for (const auto& value : orvex::testing::Cells(cube, measures, orvex::testing::Alone(cube, members))) {
    values.push_back(orvex::testing::AsDouble(value));
  }
  return values;
}

TEST(SampleCatalogTest, HasTheClassicMembersAndShape) {
  const Cube& cube = Sales();
  EXPECT_TRUE(Sample().failed_cubes().empty());
  for (const std::string name : {"[Time].[1997]", "[Time].[1998]", "[Time].[1997].[Q1]", "[Time].[1997].[Q4].[12]",
                                 "[Store].[USA]", "[Store].[USA].[CA]", "[Store].[USA].[OR]", "[Store].[USA].[WA]",
                                 "[Store].[Canada]", "[Store].[Mexico]", "[Product].[Drink]", "[Product].[Food]",
                                 "[Product].[Non-Consumable]", "[Customers].[All Customers]", "[Gender].[All Gender]",
                                 "[Marital Status].[All Marital Status]", "[Promotion Media].[All Media]",
                                 "[Store].[All Stores]", "[Product].[All Products]"}) {
    bool found = false;
    for (const Hierarchy* hierarchy : cube.hierarchies()) found = found || hierarchy->FindMember(name);
    EXPECT_TRUE(found) << name;
  }
  auto count_at = [&](const std::string& hierarchy, int depth) {
    return cube.FindHierarchy(hierarchy)->LevelMembers(depth).size();
  };
  EXPECT_EQ(count_at("[Time]", 0), 2u);
  EXPECT_EQ(count_at("[Time]", 2), 24u);
  EXPECT_EQ(count_at("[Store]", 4), 24u);
  EXPECT_EQ(count_at("[Customers]", 4), 10000u);
  EXPECT_EQ(count_at("[Promotion Media]", 1), 14u);
  EXPECT_GT(count_at("[Product]", 5), 1300u);
  EXPECT_LT(count_at("[Product]", 5), 1700u);
  EXPECT_EQ(cube.FindHierarchy("[Time]")->all_member(), nullptr);
  EXPECT_EQ(cube.default_measure()->unique_name, "[Measures].[Unit Sales]");
  ASSERT_EQ(cube.calculated_members().size(), 1u);
  EXPECT_EQ(cube.calculated_members()[0]->unique_name, "[Measures].[Profit]");
}

TEST(SampleCatalogTest, ChildrenAddUpToTheirParentOnEveryHierarchy) {
  const Cube& cube = Sales();
  std::vector<const Measure*> additive;
  for (const Measure* measure : cube.measures()) {
    if (measure->aggregator == engine::Aggregator::kSum || measure->aggregator == engine::Aggregator::kCount) {
      additive.push_back(measure);
    }
  }
  ASSERT_EQ(additive.size(), 4u);
  for (const Hierarchy* hierarchy : cube.hierarchies()) {
    for (size_t depth = 0; depth + 1 < hierarchy->levels().size(); ++depth) {
      SCOPED_TRACE(hierarchy->levels()[depth]->unique_name());
      const auto& parents = hierarchy->LevelMembers(static_cast<int>(depth));
      const auto& children = hierarchy->LevelMembers(static_cast<int>(depth) + 1);
      auto parent_values = ValuesAt(cube, additive, parents);
      auto child_values = ValuesAt(cube, additive, children);
      std::map<const Member*, std::vector<double>> sums;
      for (size_t child = 0; child < children.size(); ++child) {
        auto& sum = sums[children[child]->parent];
        sum.resize(additive.size());
        for (size_t measure = 0; measure < additive.size(); ++measure) {
          sum[measure] += child_values[child * additive.size() + measure].value_or(0);
        }
      }
      for (size_t parent = 0; parent < parents.size(); ++parent) {
        for (size_t measure = 0; measure < additive.size(); ++measure) {
          double expected = sums[parents[parent]].empty() ? 0 : sums[parents[parent]][measure];
          EXPECT_NEAR(parent_values[parent * additive.size() + measure].value_or(0), expected, 1e-6 * (1 + expected))
              << parents[parent]->unique_name << " " << additive[measure]->name;
        }
      }
    }
  }
}

TEST(SampleCatalogTest, DistinctCountsDoNotAddUpAndMatchTheStore) {
  const Cube& cube = Sales();
  const Measure* customers = orvex::testing::FindMeasure(cube, "Customer Count");
  const Hierarchy& time = *cube.FindHierarchy("[Time]");
  auto years = ValuesAt(cube, {customers}, time.LevelMembers(0));
  auto quarters = ValuesAt(cube, {customers}, time.LevelMembers(1));
  EXPECT_EQ(Numbers(quarters), Column("SELECT t.the_year, t.quarter, COUNT(DISTINCT f.customer_id) FROM sales_fact f "
                                     "JOIN time_by_day t USING (time_id) GROUP BY ALL ORDER BY ALL"));
  EXPECT_EQ(Numbers(years), Column("SELECT t.the_year, COUNT(DISTINCT f.customer_id) FROM sales_fact f "
                                   "JOIN time_by_day t USING (time_id) GROUP BY ALL ORDER BY ALL"));
  const Hierarchy& gender = *cube.FindHierarchy("[Gender]");
  EXPECT_EQ(Numbers(ValuesAt(cube, {customers}, gender.LevelMembers(1))),
            Column("SELECT c.gender, COUNT(DISTINCT f.customer_id) FROM sales_fact f "
                   "JOIN customer c USING (customer_id) GROUP BY ALL ORDER BY ALL"));
  double quarter_sum = 0;
  for (const auto& value : quarters) quarter_sum += value.value_or(0);
  ASSERT_TRUE(years[0] && years[1]);
  EXPECT_GT(quarter_sum, *years[0] + *years[1]);
  EXPECT_LE(*years[0], 10000);
  for (size_t quarter = 0; quarter < quarters.size(); ++quarter) {
    const Member* year = time.LevelMembers(1)[quarter]->parent;
    EXPECT_LE(*quarters[quarter], *years[static_cast<size_t>(year->index_in_level)]);
  }
}

TEST(SampleCatalogTest, CachedAndColdAnswersAreTheSame) {
  const Cube& cube = Sales();
  auto& reader = dynamic_cast<engine::SqlCellReader&>(cube.cells());
  std::vector<Coordinate> coordinates;
  const Hierarchy& time = *cube.FindHierarchy("[Time]");
  const Hierarchy& product = *cube.FindHierarchy("[Product]");
  const Hierarchy& store = *cube.FindHierarchy("[Store]");
  for (const Member* quarter : time.LevelMembers(1)) {
    for (const Member* department : product.LevelMembers(2)) {
      for (const Member* country : store.LevelMembers(1)) {
        coordinates.emplace_back(cube.hierarchies().size(), nullptr);
        coordinates.back()[static_cast<size_t>(time.index())] = quarter;
        coordinates.back()[static_cast<size_t>(product.index())] = department;
        coordinates.back()[static_cast<size_t>(store.index())] = country;
      }
    }
  }
  auto read = [&] { return orvex::testing::Cells(cube, cube.measures(), coordinates); };
  reader.ClearCache();
  std::vector<CellValue> cold = read();
  size_t queries = reader.query_count();
  std::vector<CellValue> warm = read();
  EXPECT_EQ(reader.query_count(), queries);
  EXPECT_EQ(warm, cold);
  reader.ClearCache();
  EXPECT_EQ(read(), cold);
  size_t empty = 0;
  for (const auto& value : cold) empty += value ? 0 : 1;
  EXPECT_GT(empty, 0u);  // stores outside the USA open in 1998, and Mexico sells no periodicals
}

TEST(SampleCatalogTest, TheSameScaleGivesTheSameDataAndTheScaleIsRecorded) {
  orvex::testing::TempDir dir;
  EXPECT_EQ(SampleGenerator::RecordedScale(dir.path()), std::nullopt);
  auto totals = [](const std::filesystem::path& folder) {
    auto database = engine::DuckDbDatabase::Open(folder / "data.duckdb", engine::DuckDbDatabase::Mode::kReadOnly);
    auto rows = database.Connect().Query(
        "SELECT COUNT(*), SUM(unit_sales), SUM(store_sales), SUM(customer_id * time_id) FROM sales_fact");
    std::string text;
    for (size_t column = 0; column < rows.column_count(); ++column) text += engine::ToText(rows.at(0, column)) + " ";
    return text;
  };
  SampleGenerator::Generate(dir / "a", 0.02);
  SampleGenerator::Generate(dir / "b", 0.02);
  EXPECT_EQ(totals(dir / "a"), totals(dir / "b"));
  EXPECT_EQ(SampleGenerator::RecordedScale(dir / "a"), 0.02);
  SampleGenerator::Generate(dir / "a", 0.03);  // replaces the file as a whole
  EXPECT_EQ(SampleGenerator::RecordedScale(dir / "a"), 0.03);
  EXPECT_NE(totals(dir / "a"), totals(dir / "b"));
  for (const auto& entry : std::filesystem::directory_iterator(dir / "a")) {
    EXPECT_EQ(entry.path().filename(), "data.duckdb");  // nothing half-built is left behind
  }
  EXPECT_THROW(SampleGenerator::Generate(dir / "c", 0), ComError);
}

}  // namespace
}  // namespace orvex::tools

// Aggregate tables: the same statements give the same cells with and without
// them, and the tables are read where they can answer. The fact rows:
//
//   store    quarter   customer  amount
//   LA       1997 Q1   10        1
//   LA       1997 Q2   10        2
//   SF       1997 Q1   11        4
//   SF       1997 Q3   12        8
//   Seattle  1997 Q2   11        16
//   Seattle  1998 Q1   13        32
//   LA       1998 Q1   10        64
//
// agg_year_sales groups them by store key and year (named, <AggName>);
// agg_state_quarter_sales by state, year and quarter (found by <AggPattern>,
// its columns by their names); agg_bad_sales holds wrong figures and is
// excluded, so reading it would show.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/cells/sql_cell_reader.h"
#include "engine/eval/query_executor.h"
#include "engine/catalog/catalog_loader.h"
#include "temp_dir.h"
#include "tiny_catalog.h"
#include "tiny_session.h"

namespace orvex::engine {
namespace {

const char* kData = R"(
CREATE TABLE store (store_id INTEGER, state VARCHAR, city VARCHAR);
INSERT INTO store VALUES (1, 'CA', 'LA'), (2, 'CA', 'SF'), (3, 'WA', 'Seattle');
CREATE TABLE period (time_id INTEGER, year INTEGER, quarter VARCHAR);
INSERT INTO period VALUES (1, 1997, 'Q1'), (2, 1997, 'Q2'), (3, 1997, 'Q3'), (4, 1998, 'Q1');
CREATE TABLE sales (store_id INTEGER, time_id INTEGER, customer_id INTEGER, amount INTEGER);
INSERT INTO sales VALUES (1, 1, 10, 1), (1, 2, 10, 2), (2, 1, 11, 4), (2, 3, 12, 8), (3, 2, 11, 16),
  (3, 4, 13, 32), (1, 4, 10, 64);
CREATE TABLE agg_year_sales (store_id INTEGER, the_year INTEGER, fact_count INTEGER, amount INTEGER,
  row_count INTEGER, note VARCHAR);
INSERT INTO agg_year_sales VALUES (1, 1997, 2, 3, 2, 'x'), (2, 1997, 2, 12, 2, 'x'), (3, 1997, 1, 16, 1, 'x'),
  (3, 1998, 1, 32, 1, 'x'), (1, 1998, 1, 64, 1, 'x');
CREATE TABLE agg_state_quarter_sales (store_state VARCHAR, time_year INTEGER, time_quarter VARCHAR,
  fact_count INTEGER, amount INTEGER, "rows" INTEGER, customer_id INTEGER);
INSERT INTO agg_state_quarter_sales VALUES ('CA', 1997, 'Q1', 2, 5, 2, 2), ('CA', 1997, 'Q2', 1, 2, 1, 1),
  ('CA', 1997, 'Q3', 1, 8, 1, 1), ('WA', 1997, 'Q2', 1, 16, 1, 1), ('WA', 1998, 'Q1', 1, 32, 1, 1),
  ('CA', 1998, 'Q1', 1, 64, 1, 1);
CREATE TABLE agg_bad_sales (store_state VARCHAR, fact_count INTEGER, amount INTEGER);
INSERT INTO agg_bad_sales VALUES ('CA', 1, 1000), ('WA', 1, 1000);
)";

// The cube; `aggregates` goes inside the fact <Table>.
std::string Schema(const std::string& aggregates) {
  return R"(<Schema name="S"><Cube name="C"><Table name="sales">)" + aggregates + R"(</Table>
  <Dimension name="Store" foreignKey="store_id">
    <Hierarchy hasAll="true" primaryKey="store_id"><Table name="store"/>
      <Level name="State" column="state" uniqueMembers="true"/>
      <Level name="City" column="city" uniqueMembers="true"/>
    </Hierarchy>
  </Dimension>
  <Dimension name="Time" foreignKey="time_id">
    <Hierarchy hasAll="true" primaryKey="time_id"><Table name="period"/>
      <Level name="Year" column="year" uniqueMembers="true"/>
      <Level name="Quarter" column="quarter" uniqueMembers="false"/>
    </Hierarchy>
  </Dimension>
  <Measure name="Amount" column="amount" aggregator="sum"/>
  <Measure name="Rows" column="amount" aggregator="count"/>
  <Measure name="Customers" column="customer_id" aggregator="distinct-count"/>
  <Measure name="Average" column="amount" aggregator="avg"/>
  <CalculatedMember name="Per Row" dimension="Measures" formula="[Measures].[Amount] / [Measures].[Rows]"/>
</Cube></Schema>)";
}

const char* kAggregates = R"(
  <AggName name="agg_year_sales">
    <AggFactCount column="fact_count"/>
    <AggIgnoreColumn column="note"/>
    <AggForeignKey factColumn="store_id" aggColumn="store_id"/>
    <AggMeasure name="[Measures].[Amount]" column="amount"/>
    <AggMeasure name="[Measures].[Rows]" column="row_count"/>
    <AggLevel name="[Time].[Year]" column="the_year"/>
  </AggName>
  <AggPattern pattern="agg_.*_sales">
    <AggExclude name="agg_bad_sales"/>
  </AggPattern>)";

class AggregateTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    orvex::testing::WriteCatalog(root_.path(), "With", Schema(kAggregates), kData);
    orvex::testing::WriteCatalog(root_.path(), "Without", Schema(""), kData);
    with_ = CatalogLoader::Load(root_.path() / "With");
    without_ = CatalogLoader::Load(root_.path() / "Without");
    ASSERT_TRUE(with_->failed_cubes().empty()) << with_->failed_cubes().begin()->second;
  }

  static std::string Cells(const std::shared_ptr<const Catalog>& catalog, const std::string& mdx) {
    return testing::StatementCells(catalog, mdx);
  }

  SqlCellReader& Reader() { return dynamic_cast<SqlCellReader&>(with_->FindCube("C").cells()); }

  orvex::testing::TempDir root_;
  std::shared_ptr<const Catalog> with_, without_;
};

TEST_F(AggregateTableTest, AnswersAreTheSameAndTheTableThatCanAnswerIsRead) {
  struct Case {
    std::string mdx;
    std::string cells;  // by hand
    std::string reads;  // the table the last statement reads
  };
  const std::string measures = "SELECT {[Measures].[Amount], [Measures].[Rows]} ON 0, ";
  const Case cases[] = {
      // States and years: the state-quarter table, the most grouped that holds both.
      {measures + "CrossJoin([Store].[State].Members, [Time].[Year].Members) ON 1 FROM C",
       "15 4 64 1 16 1 32 1", "agg_state_quarter_sales"},
      // Cities are below its states: the year table, through the store key.
      {measures + "CrossJoin([Store].[City].Members, [Time].[Year].Members) ON 1 FROM C",
       "3 2 64 1 12 2 - - 16 1 32 1", "agg_year_sales"},
      // Cities by quarter: only the fact table has them.
      {"SELECT {[Measures].[Amount]} ON 0, {[Store].[CA].[LA]} * {[Time].[1997].[Q2]} ON 1 FROM C", "2", "\"sales\""},
      // A distinct count at exactly the table's grain reads it...
      {"SELECT {[Measures].[Customers]} ON 0, CrossJoin([Store].[State].Members, [Time].[Quarter].Members) ON 1 "
       "FROM C",
       "2 1 1 1 - 1 - 1", "agg_state_quarter_sales"},
      // ... any coarser one the fact table, where it counts each customer once.
      {"SELECT {[Measures].[Customers]} ON 0, [Store].[State].Members ON 1 FROM C", "3 2", "\"sales\""},
      // An average cannot be rolled up from the tables.
      {"SELECT {[Measures].[Average]} ON 0, [Time].[Year].Members ON 1 FROM C", "6.2 48", "\"sales\""},
      // Filters and compound slicers are read from the table too.
      {"SELECT {[Measures].[Amount], [Measures].[Per Row]} ON 0, {[Store].[WA]} ON 1 FROM C "
       "WHERE {[Time].[1997].[Q2], [Time].[1998].[Q1]}",
       "48 24", "agg_state_quarter_sales"},
      {"SELECT {[Measures].[Amount]} ON 0 FROM C WHERE {([Store].[CA].[SF], [Time].[1997]), "
       "([Store].[WA].[Seattle], [Time].[1998])}",
       "44", "agg_year_sales"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.mdx);
    EXPECT_EQ(Cells(without_, test.mdx), test.cells);
    EXPECT_EQ(Cells(with_, test.mdx), test.cells);
    std::string sql = Reader().recent_sql().back();
    EXPECT_NE(sql.find(test.reads), std::string::npos) << sql;
    EXPECT_EQ(sql.find("agg_bad_sales"), std::string::npos) << sql;
  }
}

TEST_F(AggregateTableTest, TablesThatDoNotFitTheCubeAreRefusedWithTheirLine) {
  struct Case {
    const char* aggregates;
    const char* message;
  };
  const Case cases[] = {
      {R"(<AggName name="agg_year_sales"><AggFactCount column="fact_count"/>
          <AggLevel name="[Time].[Month]" column="the_year"/></AggName>)",
       "names the level [Time].[Month]"},
      {R"(<AggName name="agg_year_sales"><AggFactCount column="fact_count"/>
          <AggMeasure name="[Measures].[Profit]" column="amount"/></AggName>)",
       "names the measure [Measures].[Profit]"},
      {R"(<AggName name="agg_state_quarter_sales"><AggFactCount column="fact_count"/>
          <AggLevel name="[Time].[Quarter]" column="time_quarter"/></AggName>)",
       "but not the level [Time].[Year]"},
      {R"(<AggName name="agg_year_sales"><AggFactCount column="fact_count"/>
          <AggMeasure name="[Measures].[Amount]" column="no_such_column"/></AggName>)",
       "no_such_column"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.aggregates);
    orvex::testing::TempDir root;
    orvex::testing::WriteCatalog(root.path(), "Bad", Schema(test.aggregates), kData);
    auto catalog = CatalogLoader::Load(root.path() / "Bad");
    ASSERT_EQ(catalog->failed_cubes().size(), 1u);
    const std::string& reason = catalog->failed_cubes().begin()->second;
    EXPECT_NE(reason.find(test.message), std::string::npos) << reason;
    EXPECT_NE(reason.find("line 1"), std::string::npos) << reason;
  }
}

// The Tiny catalog's sales cube has an aggregate table by year and store,
// which every engine test over Tiny (on DuckDB and on PostgreSQL) reads
// where it can: the hand-checked figures of those tests hold through it.
TEST(TinyAggregateTableTest, YearsByStateReadTheAggregateTable) {
  auto catalog = orvex::testing::TinyCatalog();
  auto result = QueryExecutor(catalog, EngineOptions{})
                    .Execute("SELECT {[Measures].[Unit Sales], [Measures].[Store Cost]} ON 0, "
                             "CrossJoin([Time].[Year].Members, {[Store].[USA].[CA]}) ON 1 FROM [Sales]");
  std::string cells;
  for (const auto& cell : result->cells) cells += cell.formatted_value + " ";
  EXPECT_EQ(cells, "42.00 39.80 12.00 9.00 ");
  auto sql = dynamic_cast<SqlCellReader&>(catalog->FindCube("Sales").cells()).recent_sql();
  ASSERT_FALSE(sql.empty());
  EXPECT_NE(sql.back().find("agg_year_store_sales"), std::string::npos) << sql.back();
}

}  // namespace
}  // namespace orvex::engine

// Cells aggregated over a set of tuples: compound slicers and Aggregate() of a
// distinct count. Seven sales rows, small enough to add up by hand:
//
//   store  quarter   customer  amount
//   LA     1997 Q1   10        1
//   LA     1997 Q2   10        2
//   SF     1997 Q1   11        4
//   SF     1997 Q3   12        8
//   Seattle 1997 Q2  11        16
//   Seattle 1998 Q1  13        32
//   LA     1998 Q1   10        64
//
// LA and SF are in CA, Seattle in WA. Quarter names repeat across years, so a
// quarter is filtered by its year's key too.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/cells/sql_cell_reader.h"
#include "engine/eval/query_executor.h"
#include "engine/catalog/catalog_loader.h"
#include "platform/com/com_error.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

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
)";

const char* kSchema = R"(<Schema name="S"><Cube name="C"><Table name="sales"/>
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
  <CalculatedMember name="Per Row" dimension="Measures" formula="[Measures].[Amount] / [Measures].[Rows]"/>
</Cube></Schema>)";

class CompoundSlicerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    orvex::testing::WriteCatalog(root_.path(), "C", kSchema, kData);
    catalog_ = CatalogLoader::Load(root_.path() / "C");
  }

  // The cells' texts, row after row, separated by spaces; "-" for an empty cell.
  std::string Cells(const std::string& mdx) {
    auto result = QueryExecutor(catalog_, EngineOptions{}).Execute(mdx);
    std::string text;
    for (const auto& cell : result->cells) {
      text += (text.empty() ? "" : " ") + (IsEmpty(cell.value) ? std::string("-") : ScalarText(cell.value));
    }
    return text;
  }

  SqlCellReader& Reader() { return dynamic_cast<SqlCellReader&>(catalog_->FindCube("C").cells()); }

  orvex::testing::TempDir root_;
  std::shared_ptr<const Catalog> catalog_;
};

constexpr const char* kFourMeasures =
    "SELECT {[Measures].[Amount], [Measures].[Rows], [Measures].[Customers], [Measures].[Per Row]} ON 0 FROM C ";

TEST_F(CompoundSlicerTest, EachCellAggregatesOverTheSlicerSet) {
  struct Case {
    const char* where;
    const char* cells;  // Amount, Rows, Customers, Per Row
  };
  const Case cases[] = {
      // Customers 10 and 11 bought in both quarters: two, not four.
      {"{[Time].[1997].[Q1], [Time].[1997].[Q2]}", "23 4 2 5.75"},
      {"{([Store].[CA], [Time].[1997]), ([Store].[WA], [Time].[1998])}", "47 5 4 9.4"},
      {"CrossJoin({[Store].[CA]}, {[Time].[1997].[Q1], [Time].[1998].[Q1]})", "69 3 2 23"},
      {"{[Store].[CA].[LA], [Store].[WA]}", "115 5 3 23"},
      // Overlapping members: each fact row counts once.
      {"{[Time].[1997], [Time].[1997].[Q1]}", "31 5 3 6.2"},
      {"{[Time].[1997].[Q1]}", "5 2 2 2.5"},
      {"{}", "- - - -"},
      {"{[Time].[All Times], [Time].[1998]}", "127 7 4 18.142857142857142"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.where);
    EXPECT_EQ(Cells(std::string(kFourMeasures) + "WHERE " + test.where), test.cells);
  }
}

TEST_F(CompoundSlicerTest, SumsMatchTheSingleSlicersAddedUp) {
  const std::vector<std::vector<std::string>> sets = {
      {"[Time].[1997].[Q1]", "[Time].[1997].[Q2]", "[Time].[1997].[Q3]"},
      {"[Store].[CA].[SF]", "[Store].[WA].[Seattle]"},
      {"([Store].[CA], [Time].[1998])", "([Store].[WA], [Time].[1997].[Q2])"},
  };
  for (const auto& set : sets) {
    std::string joined;
    double separately = 0;
    for (const auto& tuple : set) {
      joined += (joined.empty() ? "" : ", ") + tuple;
      separately += std::stod(Cells("SELECT {[Measures].[Amount]} ON 0 FROM C WHERE " + tuple));
    }
    SCOPED_TRACE(joined);
    EXPECT_EQ(std::stod(Cells("SELECT {[Measures].[Amount]} ON 0 FROM C WHERE {" + joined + "}")), separately);
  }
}

TEST_F(CompoundSlicerTest, OneGroupedStatementWithOneFilterReadsTheCells) {
  size_t before = Reader().query_count();
  EXPECT_EQ(Cells("SELECT {[Measures].[Amount], [Measures].[Customers]} ON 0, [Store].[State].Members ON 1 "
                  "FROM C WHERE {[Time].[1997].[Q1], [Time].[1997].[Q2], [Time].[1998].[Q1]}"),
            "71 2 48 2");
  EXPECT_EQ(Reader().query_count() - before, 1u);
  std::string sql = Reader().recent_sql().back();
  EXPECT_NE(sql.find(" OR "), std::string::npos) << sql;
  EXPECT_NE(sql.find("COUNT(DISTINCT"), std::string::npos) << sql;
  // Asked again, the cells come from the cache.
  Cells("SELECT {[Measures].[Amount], [Measures].[Customers]} ON 0, [Store].[State].Members ON 1 "
        "FROM C WHERE {[Time].[1998].[Q1], [Time].[1997].[Q2], [Time].[1997].[Q1]}");
  EXPECT_EQ(Reader().query_count() - before, 1u);
}

TEST_F(CompoundSlicerTest, AFormulaNamingASlicerHierarchyOverridesThatHierarchyOnly) {
  struct Case {
    const char* formula;
    const char* where;
    const char* cell;
  };
  const Case cases[] = {
      {"([Measures].[Amount], [Time].[All Times])", "{[Time].[1997].[Q1], [Time].[1997].[Q2]}", "127"},
      // The stores of the slicer's tuples stay: CA and WA, both in 1997.
      {"([Measures].[Amount], [Time].[1997])", "{([Store].[CA], [Time].[1997]), ([Store].[WA], [Time].[1998])}",
       "31"},
      {"([Measures].[Customers], [Store].[CA])", "{([Store].[CA], [Time].[1997]), ([Store].[WA], [Time].[1998])}",
       "3"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.formula);
    EXPECT_EQ(Cells(std::string("WITH MEMBER [Measures].[X] AS '") + test.formula +
                    "' SELECT {[Measures].[X]} ON 0 FROM C WHERE " + test.where),
              test.cell);
  }
}

TEST_F(CompoundSlicerTest, AggregateOfADistinctCountCountsTheUnionOnce) {
  struct Case {
    const char* where;
    const char* cells;  // Customers, Amount of the first half of 1997
  };
  const Case cases[] = {
      {"", "2 23"},
      {"WHERE {[Store].[CA].[LA], [Store].[WA]}", "2 19"},
      {"WHERE [Store].[CA].[SF]", "1 4"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.where);
    EXPECT_EQ(Cells(std::string("WITH MEMBER [Time].[H1] AS 'Aggregate({[Time].[1997].[Q1], [Time].[1997].[Q2]})' "
                                "SELECT {[Measures].[Customers], [Measures].[Amount]} ON 0, {[Time].[H1]} ON 1 "
                                "FROM C ") +
                    test.where),
              test.cells);
  }
}

TEST_F(CompoundSlicerTest, SetsThatCannotFilterFactRowsAreRefused) {
  const char* wheres[] = {
      "{[Measures].[Amount], [Measures].[Rows]}",
  };
  for (const char* where : wheres) {
    SCOPED_TRACE(where);
    EXPECT_THROW(Cells(std::string("SELECT {[Measures].[Amount]} ON 0 FROM C WHERE ") + where), orvex::ComError);
  }
  EXPECT_THROW(Cells("WITH MEMBER [Time].[Both] AS '[Time].[1997] + [Time].[1998]' "
                     "SELECT {[Measures].[Amount]} ON 0 FROM C WHERE {[Time].[Both], [Time].[1997]}"),
               orvex::ComError);
}

}  // namespace
}  // namespace orvex::engine

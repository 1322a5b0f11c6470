// MDX over a parent-child hierarchy: navigation along the tree and unique
// names along the path. Ann leads Bob and Dee, Bob leads Cid; each sells a
// power of ten (Ann 1, Bob 10, Cid 100, Dee 1000).
#include <gtest/gtest.h>

#include <string>

#include "temp_dir.h"
#include "tiny_session.h"

namespace orvex::engine::testing {
namespace {

const char* kData = R"(
CREATE TABLE staff (id INTEGER, boss INTEGER, name VARCHAR);
INSERT INTO staff VALUES (1, NULL, 'Ann'), (2, 1, 'Bob'), (3, 2, 'Cid'), (4, 1, 'Dee');
CREATE TABLE sales (staff_id INTEGER, amount INTEGER);
INSERT INTO sales VALUES (1, 1), (2, 10), (3, 100), (4, 1000);
)";

const char* kSchema = R"(<Schema name="S"><Cube name="C"><Table name="sales"/>
  <Dimension name="Staff" foreignKey="staff_id">
    <Hierarchy hasAll="true" primaryKey="id"><Table name="staff"/>
      <Level name="Member" column="id" nameColumn="name" parentColumn="boss" uniqueMembers="true"/>
    </Hierarchy>
  </Dimension>
  <Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";

TEST(ParentChildMdxTest, NavigatesTheTreeAtAnyDepth) {
  orvex::testing::TempDir root;
  orvex::testing::WriteCatalog(root.path(), "C", kSchema, kData);
  auto sources = std::make_shared<DataSources>();
  sources->Add("C", root.path());
  EngineSession session(sources, "C", EngineOptions{});
  struct Case {
    std::string rows;
    std::string expected;
  };
  const Case cases[] = {
      {"[Staff].[Ann].Children",
       "[Staff].[Ann].[Bob] | 110\n"
       "[Staff].[Ann].[Dee] | 1000\n"},
      {"Descendants([Staff].[Ann], 2)", "[Staff].[Ann].[Bob].[Cid] | 100\n"},
      {"{[Staff].[Ann].[Bob].[Cid].Parent}", "[Staff].[Ann].[Bob] | 110\n"},
      {"{[Staff].[Ann].[Bob].[Cid].Parent.Parent.Parent}", "[Staff].[All Staffs] | 1111\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.rows);
    std::string table =
        CellsetToTable(*session.Execute("C", "SELECT {[Measures].[Amount]} ON 0, " + test.rows + " ON 1 FROM C"), false);
    // The header's width follows the longest name; compare the rows without padding.
    std::string rows;
    for (size_t start = table.find('\n') + 1; start < table.size();) {
      size_t end = table.find('\n', start);
      std::string line = table.substr(start, end - start);
      size_t bar = line.find('|');
      std::string name = line.substr(0, line.find_last_not_of(' ', bar - 1) + 1);
      rows += name + " | " + line.substr(line.find_first_not_of(' ', bar + 1)) + "\n";
      start = end + 1;
    }
    EXPECT_EQ(rows, test.expected) << table;
  }
}

}  // namespace
}  // namespace orvex::engine::testing

// Ragged hierarchies, virtual cubes and parent-child walks on the test
// server give the same cells as on DuckDB, over the tiny catalogs of the
// MDX tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "../mdx/hierarchy_catalogs.h"
#include "engine/catalog/data_sources.h"
#include "engine/provider/cellset_text.h"
#include "engine/provider/engine_session.h"
#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "platform/com/com_error.h"
#include "postgres_test_server.h"
#include "temp_dir.h"
#include "tiny_catalog.h"

namespace orvex::engine {
namespace {

std::string Grid(EngineSession& session, const std::string& mdx) {
  try {
    return CellsetToTable(*session.Execute("H", mdx), false);
  } catch (const ComError& error) {
    return "error: " + error.description();
  }
}

// Ann leads Bob and Dee, Bob leads Cid; no closure table, so the store walks
// the parent column itself.
const char* kStaffData = R"(
CREATE TABLE staff (id INTEGER, boss INTEGER, name VARCHAR);
INSERT INTO staff VALUES (1, NULL, 'Ann'), (2, 1, 'Bob'), (3, 2, 'Cid'), (4, 1, 'Dee');
CREATE TABLE sales (staff_id INTEGER, amount INTEGER);
INSERT INTO sales VALUES (1, 1), (2, 10), (3, 100), (4, 1000);
)";

const char* kStaffSchema = R"(<Schema name="S"><Cube name="C"><Table name="sales"/>
  <Dimension name="Staff" foreignKey="staff_id"><Hierarchy hasAll="true" primaryKey="id"><Table name="staff"/>
    <Level name="Member" column="id" nameColumn="name" parentColumn="boss" uniqueMembers="true"/></Hierarchy></Dimension>
  <Measure name="Amount" column="amount" aggregator="sum"/></Cube></Schema>)";

TEST(PostgresHierarchiesTest, RaggedParentChildAndVirtualCubesGiveTheSameCellsOnBothStores) {
  struct Case {
    std::string name;
    std::string schema;
    const char* data;
    std::vector<std::string> statements;
  };
  const Case cases[] = {
      {"ragged", testing::RaggedSchema("IfBlankName"), testing::kRaggedData,
       {"SELECT {[Measures].[Amount]} ON 0, [Geo].[City].Members ON 1 FROM C",
        "SELECT {[Measures].[Amount]} ON 0, {[Geo].[Israel].Children, [Geo].[Country].Members} ON 1 FROM C"}},
      {"virtual", testing::VirtualSchema(testing::kIgnoring), testing::kVirtualData,
       {"SELECT {[Measures].[Amount], [Measures].[Qty], [Measures].[Total]} ON 0, "
        "CrossJoin([Region].Members, [Product].Members) ON 1 FROM Both"}},
      {"parent_child", kStaffSchema, kStaffData,
       {"SELECT {[Measures].[Amount]} ON 0, Descendants([Staff].[All Staffs], 3, SELF_AND_BEFORE) ON 1 FROM C"}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    orvex::testing::TempDir duckdb_root, postgres_root;
    std::filesystem::path folder = orvex::testing::WriteCatalog(duckdb_root.path(), "H", test.schema, test.data);
    std::string database = "hierarchies_" + test.name + "_" + std::to_string(getpid());
    auto admin = PostgresConnection::Open(orvex::testing::PostgresTestSettings("scratch"));
    admin.Execute("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
    admin.Execute("CREATE DATABASE " + database);
    {
      auto source = DuckDbDatabase::Open(folder / "data.duckdb", DuckDbDatabase::Mode::kReadOnly).Connect();
      auto target = PostgresConnection::Open(orvex::testing::PostgresTestSettings(database));
      CopyTablesToPostgres(source, DuckDbTableNames(source), target);
    }
    std::filesystem::create_directories(postgres_root.path() / "H");
    std::ofstream(postgres_root.path() / "H" / "schema.xml") << test.schema;
    std::ofstream(postgres_root.path() / "H" / "store.conf") << orvex::testing::PostgresStoreConf(database);
    for (const auto& statement : test.statements) {
      SCOPED_TRACE(statement);
      auto duckdb_sources = std::make_shared<DataSources>();
      duckdb_sources->Add("H", duckdb_root.path());
      EngineSession duckdb(duckdb_sources, "H", EngineOptions{});
      auto postgres_sources = std::make_shared<DataSources>();
      postgres_sources->Add("H", postgres_root.path());
      EngineSession postgres(postgres_sources, "H", EngineOptions{});
      std::string expected = Grid(duckdb, statement);
      EXPECT_EQ(expected.rfind("error: ", 0), std::string::npos) << expected;
      EXPECT_EQ(Grid(postgres, statement), expected);
    }
    admin.Execute("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
  }
}

}  // namespace
}  // namespace orvex::engine

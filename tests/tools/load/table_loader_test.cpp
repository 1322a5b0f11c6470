#include "tools/load/table_loader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cube_cells.h"
#include "engine/model/catalog.h"
#include "engine/catalog/catalog_loader.h"
#include "engine/model/cube.h"
#include "engine/store/duckdb/duckdb_database.h"
#include "platform/com/com_error.h"
#include "temp_dir.h"
#include "text_file.h"

namespace orvex::tools {
namespace {

using engine::DuckDbDatabase;
using orvex::testing::TempDir;
using orvex::testing::WriteTextFile;

// A Parquet file written by DuckDB itself from `select`.
std::filesystem::path WriteParquet(const TempDir& dir, const std::string& name, const std::string& select) {
  auto database = DuckDbDatabase::Open(dir / "scratch.duckdb", DuckDbDatabase::Mode::kReadWrite);
  database.Connect().Execute("COPY (" + select + ") TO '" + (dir / name).string() + "' (FORMAT parquet)");
  return dir / name;
}

std::string Query(const std::filesystem::path& catalog, const std::string& sql) {
  auto database = DuckDbDatabase::Open(catalog / "data.duckdb", DuckDbDatabase::Mode::kReadOnly);
  auto rows = database.Connect().Query(sql);
  std::string text;
  for (size_t row = 0; row < rows.row_count(); ++row) {
    for (size_t column = 0; column < rows.column_count(); ++column) {
      text += (column ? "|" : "") + engine::ToText(rows.at(row, column));
    }
    text += "\n";
  }
  return text;
}

TEST(TableLoaderTest, LoadsCsvAndParquetIntoACatalogThatAnEngineCubeCanRead) {
  TempDir dir;
  auto catalog = dir / "Shop";
  std::vector<TableLoader::Table> tables = {
      {"sales",
       WriteTextFile(dir / "sales.csv", "day,product_id,amount\n2024-01-02,1,10\n2024-01-02,2,5\n2024-02-01,1,7\n")},
      {"products", WriteParquet(dir, "products.parquet",
                                "SELECT * FROM (VALUES (1, 'Tea', 'Drink'), (2, 'Bread', 'Food')) t(id, name, family)")},
  };
  TableLoader::Load(catalog, tables);
  EXPECT_EQ(tables[0].rows, 3);
  EXPECT_EQ(tables[1].rows, 2);
  EXPECT_EQ(Query(catalog, "SELECT typeof(day), typeof(amount), SUM(amount) FROM sales GROUP BY ALL"), "DATE|BIGINT|22\n");

  WriteTextFile(catalog / "schema.xml", R"(<Schema name="Shop"><Cube name="Sales">
    <Table name="sales"/>
    <Dimension name="Product" foreignKey="product_id">
      <Hierarchy hasAll="true" primaryKey="id"><Table name="products"/>
        <Level name="Family" column="family" uniqueMembers="true"/>
        <Level name="Name" column="name"/>
      </Hierarchy>
    </Dimension>
    <Measure name="Amount" column="amount" aggregator="sum"/>
  </Cube></Schema>)");
  auto loaded = engine::CatalogLoader::Load(catalog);
  EXPECT_EQ(orvex::testing::Cell(loaded->FindCube("Sales"), "Amount", {"[Product].[Drink]"}), 17);
}

TEST(TableLoaderTest, ReplacesTablesAndChangesNothingWhenOneFails) {
  TempDir dir;
  auto catalog = dir / "Shop";
  std::vector<TableLoader::Table> first = {
      {"facts", WriteTextFile(dir / "a.csv", "x\n1\n2\n")},
      {"we\"ird; DROP TABLE facts; --", WriteTextFile(dir / "b.tsv", "y\tz\n3\t4\n")}};
  TableLoader::Load(catalog, first);
  std::vector<TableLoader::Table> second = {{"facts", WriteTextFile(dir / "c.csv", "x\n5\n")}};
  TableLoader::Load(catalog, second);
  EXPECT_EQ(Query(catalog, "SELECT SUM(x) FROM facts"), "5\n");
  EXPECT_EQ(Query(catalog, "SELECT y + z FROM \"we\"\"ird; DROP TABLE facts; --\""), "7\n");

  std::vector<TableLoader::Table> broken = {{"facts", WriteTextFile(dir / "d.csv", "x\n9\n")},
                                            {"more", WriteTextFile(dir / "e.parquet", "this is no parquet file")}};
  EXPECT_THROW(TableLoader::Load(catalog, broken), ComError);
  EXPECT_EQ(Query(catalog, "SELECT SUM(x) FROM facts"), "5\n");
  EXPECT_EQ(Query(catalog, "SELECT COUNT(*) FROM information_schema.tables WHERE table_name = 'more'"), "0\n");
}

// Figures with a decimal point load as DECIMAL with the source's scale, 18
// digits wide when they fit and 38 when not, so that sums over them are
// exact; what is no plain figure, or too wide even for 38 digits, stays a double.
TEST(TableLoaderTest, KeepsDecimalFiguresExactWithTheSourcesScale) {
  TempDir dir;
  auto catalog = dir / "Shop";
  std::vector<TableLoader::Table> tables = {
      {"csv", WriteTextFile(dir / "figures.csv",
                            "units,price,rate,wide,science,huge\n"
                            "1,12.30,0.125,12345678901234567.5,1e3,1234567890123456789012345678901234567.89\n"
                            "2,-0.5,7,,2.5,1\n"
                            "3,,-0.001,0.25,3,2\n")},
      {"parquet", WriteParquet(dir, "figures.parquet",
                               "SELECT CAST(1.125 AS DECIMAL(10, 3)) AS narrow, CAST(2.5 AS DECIMAL(20, 2)) AS wide, "
                               "CAST(12.25 AS DECIMAL(18, 2)) AS plain, CAST(0.1 AS DOUBLE) AS approximate")},
  };
  TableLoader::Load(catalog, tables);
  EXPECT_EQ(Query(catalog, "SELECT typeof(units), typeof(price), typeof(rate), typeof(wide), typeof(science), "
                           "typeof(huge) FROM csv LIMIT 1"),
            "BIGINT|DECIMAL(18,2)|DECIMAL(18,3)|DECIMAL(38,2)|DOUBLE|DOUBLE\n");
  EXPECT_EQ(Query(catalog, "SELECT SUM(price), SUM(rate), SUM(wide) FROM csv"), "11.8|7.124|12345678901234567.75\n");
  EXPECT_EQ(Query(catalog, "SELECT typeof(narrow), typeof(wide), typeof(plain), typeof(approximate), narrow, wide "
                           "FROM parquet"),
            "DECIMAL(18,3)|DECIMAL(38,2)|DECIMAL(18,2)|DOUBLE|1.125|2.5\n");
}

TEST(TableLoaderTest, RefusesWhatItCannotLoadBeforeTouchingTheCatalog) {
  TempDir dir;
  struct Case {
    std::string name;
    std::filesystem::path file;
    std::string expected;
  };
  const Case cases[] = {
      {"", WriteTextFile(dir / "a.csv", "x\n1\n"), "needs a name"},
      {"t", dir / "missing.csv", "does not exist"},
      {"t", WriteTextFile(dir / "sheet.xlsx", "x"), "neither CSV"},
      {"t", WriteTextFile(dir / "a*.csv", "x\n1\n"), "holds one of * ? [ {"},
      {"t", dir.path(), "does not exist"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.file.string());
    std::vector<TableLoader::Table> tables = {{test.name, test.file}};
    try {
      TableLoader::Load(dir / "Catalog", tables);
      ADD_FAILURE() << "no error";
    } catch (const ComError& error) {
      EXPECT_NE(error.description().find(test.expected), std::string::npos) << error.description();
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "Catalog"));
  }
}

}  // namespace
}  // namespace orvex::tools

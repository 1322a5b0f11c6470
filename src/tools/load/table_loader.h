#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace orvex::tools {

// Creates or replaces tables of a catalog's store from CSV or Parquet files:
// its data.duckdb, or the PostgreSQL database its store.conf names. All
// tables load in one transaction: either every table is loaded or none is
// changed. Column names and types are taken from the files; figures with a
// decimal point (a CSV column guessed DOUBLE whose values are all plain
// figures, a Parquet DECIMAL) load as DECIMAL(18, s) or DECIMAL(38, s) with
// the source's scale, so that sums over them are exact. In PostgreSQL, the
// tables get the indexes the catalog's schema.xml joins on (see
// WarehouseIndexes) and fresh statistics.
class TableLoader {
 public:
  struct Table {
    std::string name;            // the table to create or replace
    std::filesystem::path file;  // .csv, .tsv, .csv.gz, .tsv.gz or .parquet
    int64_t rows = 0;            // filled by Load
  };

  // Creates `catalog_dir` and its data.duckdb when missing (a PostgreSQL
  // database must exist; its tables are created). Throws ComError
  // for an empty table name, a missing file, an unknown file type, a file
  // name DuckDB would take as a pattern, or a file the store cannot read.
  // On a ClickHouse cluster, the tables named in `fact_tables` are spread
  // over its shards and the others copied to every shard; ClickHouse has no
  // transactions, so a failure there leaves the tables loaded so far.
  static void Load(const std::filesystem::path& catalog_dir, std::vector<Table>& tables,
                   const std::vector<std::string>& fact_tables = {});
};

}  // namespace orvex::tools

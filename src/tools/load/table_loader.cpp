#include "tools/load/table_loader.h"

#include "engine/common/engine_error.h"
#include <unistd.h>

#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/clickhouse/clickhouse_table_copy.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "engine/store/store.h"
#include "engine/store/store_config.h"
#include "platform/text.h"
#include "tools/load/warehouse_indexes.h"

namespace orvex::tools {
namespace {

using engine::EngineError;
using engine::QuoteStandardIdentifier;
using engine::QuoteStandardLiteral;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool IsParquet(const std::filesystem::path& file) {
  std::string name = ToLower(file.filename().string());
  return EndsWith(name, ".parquet") || EndsWith(name, ".pq");
}

// The table function that reads `file`, with the file as a quoted literal;
// `types` overrides the types of named CSV columns ("'a': 'VARCHAR', ...").
std::string Reader(const std::filesystem::path& file, const std::string& types = "") {
  std::string name = ToLower(file.filename().string());
  std::string path = QuoteStandardLiteral(std::filesystem::absolute(file).string());
  if (IsParquet(file)) return "read_parquet(" + path + ")";
  for (const char* end : {".csv", ".tsv", ".txt", ".csv.gz", ".tsv.gz"}) {
    if (EndsWith(name, end)) {
      return "read_csv(" + path + ", auto_detect = true" + (types.empty() ? "" : ", types = {" + types + "}") + ")";
    }
  }
  throw EngineError("The file '" + file.string() + "' is neither CSV (.csv, .tsv) nor Parquet (.parquet).");
}

// The DECIMAL type that holds `integer_digits` before the point and `scale`
// after it: 18 digits (stored in 64 bits) when they fit, else 38; empty when
// not even 38 do, and the column stays a double.
std::string DecimalType(int64_t integer_digits, int64_t scale) {
  if (integer_digits + scale <= 18) return "DECIMAL(18, " + std::to_string(scale) + ")";
  if (integer_digits + scale <= 38) return "DECIMAL(38, " + std::to_string(scale) + ")";
  return "";
}

int64_t IntegerOf(const engine::KeyValue& value) {
  double number = 0;
  return engine::ToDouble(value, number) ? static_cast<int64_t>(number) : -1;
}

// The SELECT that loads `file` with its decimal figures kept exact. DuckDB
// guesses DOUBLE for a CSV column of figures such as 12.30; a sum of doubles
// then depends on the order a parallel scan adds them in, and cents drift
// between runs. A CSV column guessed DOUBLE whose every value is a plain
// decimal figure becomes DECIMAL with the most decimals any value has;
// Parquet DECIMAL columns are widened to 18 or 38 digits, so that every
// catalog has the same few types. Figures in exponent notation, and
// Parquet's binary doubles, stay doubles.
std::string ExactSelect(engine::DuckDbConnection& connection, const std::filesystem::path& file) {
  std::string reader = Reader(file);
  engine::RowSet columns = connection.Query("DESCRIBE SELECT * FROM " + reader);
  if (IsParquet(file)) {
    std::string replace;
    for (size_t row = 0; row < columns.row_count(); ++row) {
      std::string type = engine::ToText(columns.at(row, 1));
      if (type.rfind("DECIMAL(", 0) != 0) continue;
      int64_t precision = std::stoll(type.substr(8));
      int64_t scale = std::stoll(type.substr(type.find(',') + 1));
      std::string wide = DecimalType(precision - scale, scale);
      if (wide.empty() || (precision == 18 || precision == 38)) continue;
      std::string name = QuoteStandardIdentifier(engine::ToText(columns.at(row, 0)));
      replace += (replace.empty() ? "" : ", ") + ("CAST(" + name + " AS " + wide + ") AS " + name);
    }
    return "SELECT *" + (replace.empty() ? "" : " REPLACE (" + replace + ")") + " FROM " + reader;
  }
  std::vector<std::string> candidates;
  for (size_t row = 0; row < columns.row_count(); ++row) {
    std::string type = engine::ToText(columns.at(row, 1));
    if (type == "DOUBLE" || type == "FLOAT") candidates.push_back(engine::ToText(columns.at(row, 0)));
  }
  if (candidates.empty()) return "SELECT * FROM " + reader;
  // Read as text, each candidate gives: whether every value is a plain
  // figure, the most digits after the point, and before it (leading zeros
  // and sign aside).
  std::string as_text;
  std::string measures;
  for (const auto& name : candidates) {
    as_text += (as_text.empty() ? "" : ", ") + QuoteStandardLiteral(name) + ": 'VARCHAR'";
    std::string value = "trim(" + QuoteStandardIdentifier(name) + ")";
    std::string fraction = "CASE WHEN strpos(" + value + ", '.') > 0 THEN length(" + value + ") - strpos(" + value +
                           ", '.') ELSE 0 END";
    std::string integer = "length(ltrim(ltrim(split_part(" + value + ", '.', 1), '+-'), '0'))";
    measures += (measures.empty() ? "" : ", ") + ("bool_and(" + value + " IS NULL OR regexp_full_match(" + value +
                                                  ", '[+-]?([0-9]+[.]?[0-9]*|[.][0-9]+)')), max(" + fraction +
                                                  "), max(" + integer + ")");
  }
  engine::RowSet figures = connection.Query("SELECT " + measures + " FROM " + Reader(file, as_text));
  std::string types;
  for (size_t index = 0; index < candidates.size(); ++index) {
    const engine::KeyValue& plain = figures.at(0, index * 3);
    if (!std::holds_alternative<int64_t>(plain) || std::get<int64_t>(plain) != 1) continue;
    int64_t scale = IntegerOf(figures.at(0, index * 3 + 1));
    int64_t integer_digits = IntegerOf(figures.at(0, index * 3 + 2));
    if (scale < 0 || integer_digits < 0) continue;  // no values at all
    std::string type = DecimalType(integer_digits, scale);
    if (type.empty()) continue;
    types += (types.empty() ? "" : ", ") + QuoteStandardLiteral(candidates[index]) + ": " +
             QuoteStandardLiteral(type);
  }
  return "SELECT * FROM " + Reader(file, types);
}

void CountRows(engine::DuckDbConnection& connection, std::vector<TableLoader::Table>& tables) {
  for (auto& table : tables) {
    double rows = 0;
    if (engine::ToDouble(connection.Query("SELECT COUNT(*) FROM " + QuoteStandardIdentifier(table.name)).at(0, 0),
                         rows)) {
      table.rows = static_cast<int64_t>(rows);
    }
  }
}

// A DuckDB file that is removed, with its write-ahead log, when it goes out of scope.
class ScratchDatabase {
 public:
  ScratchDatabase()
      : path_(std::filesystem::temp_directory_path() / ("orvex-load-" + std::to_string(getpid()) + ".duckdb")) {
    Remove();
  }
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;
  ~ScratchDatabase() { Remove(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  void Remove() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
    std::filesystem::remove(path_.string() + ".wal", ignored);
  }
  std::filesystem::path path_;
};

}  // namespace

void TableLoader::Load(const std::filesystem::path& catalog_dir, std::vector<Table>& tables,
                       const std::vector<std::string>& fact_tables) {
  for (const auto& table : tables) {
    if (table.name.empty()) throw EngineError("A table needs a name: --table NAME=FILE.");
    std::error_code error;
    if (!std::filesystem::is_regular_file(table.file, error)) {
      throw EngineError("The file '" + table.file.string() + "' does not exist.");
    }
    // The store would read such a name as a pattern and might load other files.
    if (table.file.string().find_first_of("*?[{") != std::string::npos) {
      throw EngineError("The file name '" + table.file.string() + "' holds one of * ? [ {; rename the file.");
    }
    (void)Reader(table.file);  // refuses an unknown kind of file before anything is changed
  }
  engine::StoreConfig store = engine::StoreConfig::Read(catalog_dir);
  if (store.kind == engine::StoreConfig::Kind::kClickHouse) {
    // Read by DuckDB as for the other stores, then spread over the cluster.
    ScratchDatabase scratch;
    auto database = engine::DuckDbDatabase::Open(scratch.path(), engine::DuckDbDatabase::Mode::kReadWrite);
    auto connection = database.Connect();
    std::vector<std::string> names;
    for (const auto& table : tables) {
      connection.Execute("CREATE OR REPLACE TABLE " + QuoteStandardIdentifier(table.name) + " AS " +
                         ExactSelect(connection, table.file));
      names.push_back(table.name);
    }
    CountRows(connection, tables);
    engine::CopyTablesToClickHouse(connection, names, fact_tables, store.clickhouse);
    return;
  }
  if (store.kind == engine::StoreConfig::Kind::kPostgres) {
    // DuckDB reads the files (the same types as in a DuckDB catalog); the
    // tables then go to the server in one transaction.
    ScratchDatabase scratch;
    auto database = engine::DuckDbDatabase::Open(scratch.path(), engine::DuckDbDatabase::Mode::kReadWrite);
    auto connection = database.Connect();
    std::vector<std::string> names;
    for (size_t index = 0; index < tables.size(); ++index) {
      connection.Execute("CREATE OR REPLACE TABLE " + QuoteStandardIdentifier(tables[index].name) + " AS " +
                         ExactSelect(connection, tables[index].file));
      names.push_back(tables[index].name);
    }
    CountRows(connection, tables);
    engine::PostgresSettings settings = store.postgres;
    settings.statement_timeout = std::chrono::milliseconds(0);  // a load takes as long as it takes
    auto target = engine::PostgresConnection::Open(settings);
    engine::CopyTablesToPostgres(connection, names, target, WarehouseIndexes(catalog_dir));
    return;
  }
  std::filesystem::create_directories(catalog_dir);
  auto database = engine::DuckDbDatabase::Open(catalog_dir / "data.duckdb", engine::DuckDbDatabase::Mode::kReadWrite);
  auto connection = database.Connect();
  connection.Execute("BEGIN TRANSACTION");
  for (size_t index = 0; index < tables.size(); ++index) {
    connection.Execute("CREATE OR REPLACE TABLE " + QuoteStandardIdentifier(tables[index].name) + " AS " +
                       ExactSelect(connection, tables[index].file));
  }
  CountRows(connection, tables);
  connection.Execute("COMMIT");
}

}  // namespace orvex::tools

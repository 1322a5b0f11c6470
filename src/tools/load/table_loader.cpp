#include "tools/load/table_loader.h"

#include "engine/model/engine_error.h"
#include <unistd.h>

#include "engine/store/duckdb/duckdb_database.h"
#include "engine/store/postgres/postgres_table_copy.h"
#include "engine/store/store.h"
#include "engine/store/store_config.h"
#include "platform/text.h"

namespace orvex::tools {
namespace {

using engine::EngineError;
using engine::QuoteStandardIdentifier;
using engine::QuoteStandardLiteral;

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The table function that reads `file`, with the file as a quoted literal.
std::string Reader(const std::filesystem::path& file) {
  std::string name = ToLower(file.filename().string());
  std::string path = QuoteStandardLiteral(std::filesystem::absolute(file).string());
  if (EndsWith(name, ".parquet") || EndsWith(name, ".pq")) return "read_parquet(" + path + ")";
  for (const char* end : {".csv", ".tsv", ".txt", ".csv.gz", ".tsv.gz"}) {
    if (EndsWith(name, end)) return "read_csv(" + path + ", auto_detect = true)";
  }
  throw EngineError("The file '" + file.string() + "' is neither CSV (.csv, .tsv) nor Parquet (.parquet).");
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

void TableLoader::Load(const std::filesystem::path& catalog_dir, std::vector<Table>& tables) {
  std::vector<std::string> readers;
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
    readers.push_back(Reader(table.file));
  }
  engine::StoreConfig store = engine::StoreConfig::Read(catalog_dir);
  if (store.kind == engine::StoreConfig::Kind::kPostgres) {
    // DuckDB reads the files (the same types as in a DuckDB catalog); the
    // tables then go to the server in one transaction.
    ScratchDatabase scratch;
    auto database = engine::DuckDbDatabase::Open(scratch.path(), engine::DuckDbDatabase::Mode::kReadWrite);
    auto connection = database.Connect();
    std::vector<std::string> names;
    for (size_t index = 0; index < tables.size(); ++index) {
      connection.Execute("CREATE OR REPLACE TABLE " + QuoteStandardIdentifier(tables[index].name) +
                         " AS SELECT * FROM " + readers[index]);
      names.push_back(tables[index].name);
    }
    CountRows(connection, tables);
    engine::PostgresSettings settings = store.postgres;
    settings.statement_timeout = std::chrono::milliseconds(0);  // a load takes as long as it takes
    auto target = engine::PostgresConnection::Open(settings);
    engine::CopyTablesToPostgres(connection, names, target);
    return;
  }
  std::filesystem::create_directories(catalog_dir);
  auto database = engine::DuckDbDatabase::Open(catalog_dir / "data.duckdb", engine::DuckDbDatabase::Mode::kReadWrite);
  auto connection = database.Connect();
  connection.Execute("BEGIN TRANSACTION");
  for (size_t index = 0; index < tables.size(); ++index) {
    connection.Execute("CREATE OR REPLACE TABLE " + QuoteStandardIdentifier(tables[index].name) +
                       " AS SELECT * FROM " + readers[index]);
  }
  CountRows(connection, tables);
  connection.Execute("COMMIT");
}

}  // namespace orvex::tools

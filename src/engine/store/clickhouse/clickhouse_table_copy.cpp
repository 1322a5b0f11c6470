#include "engine/store/clickhouse/clickhouse_table_copy.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/store/clickhouse/clickhouse_connection.h"
#include "engine/store/store.h"

namespace orvex::engine {
namespace {

constexpr int64_t kBatchRows = 50000;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

struct Column {
  std::string name, type;
};

std::vector<Column> ColumnsOf(DuckDbConnection& source, const std::string& table) {
  RowSet rows = source.Query(
      "SELECT column_name, data_type FROM information_schema.columns WHERE table_schema = 'main' AND table_name = " +
      QuoteStandardLiteral(table) + " ORDER BY ordinal_position");
  if (rows.row_count() == 0) throw EngineError("The table '" + table + "' does not exist in the DuckDB database.");
  std::vector<Column> columns;
  for (size_t row = 0; row < rows.row_count(); ++row) {
    columns.push_back({ToText(rows.at(row, 0)), ClickHouseColumnType(ToText(rows.at(row, 1)))});
  }
  return columns;
}

std::string CreateSql(const std::string& qualified, const std::vector<Column>& columns) {
  std::string sql = "CREATE TABLE " + qualified + " (";
  for (size_t index = 0; index < columns.size(); ++index) {
    sql += (index ? ", " : "") + QuoteClickHouseIdentifier(columns[index].name) + " " + columns[index].type;
  }
  return sql + ") ENGINE = MergeTree ORDER BY tuple()";
}

}  // namespace

std::string ClickHouseColumnType(const std::string& duckdb_type) {
  std::string type = Upper(duckdb_type);
  std::string inner;
  if (type.rfind("DECIMAL", 0) == 0 || type.rfind("NUMERIC", 0) == 0) {
    size_t open = type.find('('), comma = type.find(','), close = type.find(')');
    std::string precision = "18", scale = "3";
    if (open != std::string::npos && comma != std::string::npos && close != std::string::npos) {
      precision = type.substr(open + 1, comma - open - 1);
      scale = type.substr(comma + 1, close - comma - 1);
    }
    inner = "Decimal(" + precision + ", " + scale + ")";
  } else {
    static const std::pair<const char*, const char*> kTypes[] = {
        {"TINYINT", "Int8"},    {"SMALLINT", "Int16"},   {"INTEGER", "Int32"},  {"BIGINT", "Int64"},
        {"UTINYINT", "UInt8"},  {"USMALLINT", "UInt16"}, {"UINTEGER", "UInt32"}, {"UBIGINT", "UInt64"},
        {"FLOAT", "Float32"},   {"DOUBLE", "Float64"},   {"VARCHAR", "String"}, {"BOOLEAN", "UInt8"},
        {"DATE", "Date"},       {"TIMESTAMP", "DateTime"}};
    for (const auto& [duckdb, clickhouse] : kTypes) {
      if (type == duckdb) inner = clickhouse;
    }
  }
  if (inner.empty()) throw EngineError("The column type '" + duckdb_type + "' has no ClickHouse counterpart.");
  return "Nullable(" + inner + ")";
}

std::vector<int64_t> CopyTablesToClickHouse(DuckDbConnection& source, const std::vector<std::string>& tables,
                                            const std::vector<std::string>& fact_tables,
                                            const ClickHouseSettings& settings) {
  if (settings.urls.empty()) throw EngineError("The ClickHouse store names no server (url).");
  ClickHouseSettings loading = settings;
  loading.statement_timeout = std::chrono::milliseconds(0);
  // Every name below is qualified; the database itself may not exist yet.
  loading.database = "default";
  bool spread = !settings.cluster.empty();
  std::vector<ClickHouseConnection> servers;
  for (const auto& url : settings.urls) {
    servers.emplace_back(loading, url);
    if (!spread) break;
  }
  std::string database = QuoteClickHouseIdentifier(settings.database);
  for (auto& server : servers) server.Execute("CREATE DATABASE IF NOT EXISTS " + database);

  std::vector<int64_t> counts;
  for (const auto& table : tables) {
    std::vector<Column> columns = ColumnsOf(source, table);
    bool fact = spread && std::find(fact_tables.begin(), fact_tables.end(), table) != fact_tables.end();
    std::string qualified = database + "." + QuoteClickHouseIdentifier(table);
    std::string target = fact ? database + "." + QuoteClickHouseIdentifier(table + "_shard") : qualified;
    for (auto& server : servers) {
      server.Execute("DROP TABLE IF EXISTS " + qualified);
      if (fact) server.Execute("DROP TABLE IF EXISTS " + target);
      server.Execute(CreateSql(target, columns));
      if (fact) {
        server.Execute("CREATE TABLE " + qualified + " AS " + target + " ENGINE = Distributed(" +
                       QuoteClickHouseIdentifier(settings.cluster) + ", " + database + ", " +
                       QuoteClickHouseIdentifier(table + "_shard") + ", rand())");
      }
    }
    int64_t copied = 0;
    // Batches by ranges of rowid: an OFFSET would sort and skip every row
    // before it again for each batch, which made large tables load in
    // quadratic time.
    RowSet bounds = source.Query("SELECT min(rowid), max(rowid) FROM " + QuoteStandardIdentifier(table));
    const auto* first_row = std::get_if<int64_t>(&bounds.at(0, 0));
    const auto* last_row = std::get_if<int64_t>(&bounds.at(0, 1));
    for (int64_t from = first_row ? *first_row : 0; first_row && last_row && from <= *last_row; from += kBatchRows) {
      RowSet rows = source.Query("SELECT * FROM " + QuoteStandardIdentifier(table) + " WHERE rowid >= " +
                                 std::to_string(from) + " AND rowid < " + std::to_string(from + kBatchRows) +
                                 " ORDER BY rowid");
      if (rows.row_count() == 0) continue;
      std::vector<std::string> bodies(fact ? servers.size() : 1);
      for (size_t row = 0; row < rows.row_count(); ++row) {
        std::string& body = bodies[fact ? (copied + row) % servers.size() : 0];
        for (size_t column = 0; column < rows.column_count(); ++column) {
          if (column) body += '\t';
          AppendTabSeparated(rows.at(row, column), body);
        }
        body += '\n';
      }
      for (size_t index = 0; index < servers.size(); ++index) {
        const std::string& body = bodies[fact ? index : 0];
        if (!body.empty()) servers[index].Insert("INSERT INTO " + target + " FORMAT TabSeparated", body);
      }
      copied += static_cast<int64_t>(rows.row_count());
    }
    counts.push_back(copied);
  }
  return counts;
}

}  // namespace orvex::engine

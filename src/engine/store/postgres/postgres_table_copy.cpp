#include "engine/store/postgres/postgres_table_copy.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/store/store.h"
#include "platform/text.h"

namespace orvex::engine {
namespace {

// Rows read from DuckDB and sent to PostgreSQL at a time.
constexpr int64_t kBatchRows = 100000;

struct Column {
  std::string name;
  std::string postgres_type;
  bool integer = false;  // read as it is; every other type is read as DuckDB's text for it
};

// The PostgreSQL type for a DuckDB type name, as information_schema spells it.
Column MapColumn(const std::string& name, const std::string& duckdb_type) {
  std::string type = ToUpper(duckdb_type);
  static const std::pair<const char*, const char*> kIntegers[] = {
      {"TINYINT", "smallint"}, {"UTINYINT", "smallint"}, {"SMALLINT", "smallint"}, {"USMALLINT", "integer"},
      {"INTEGER", "integer"},  {"UINTEGER", "bigint"},   {"BIGINT", "bigint"}};
  for (const auto& [from, to] : kIntegers) {
    if (type == from) return {name, to, true};
  }
  static const std::pair<const char*, const char*> kOthers[] = {
      {"BOOLEAN", "boolean"},     {"FLOAT", "real"},         {"DOUBLE", "double precision"},
      {"UBIGINT", "numeric"},     {"HUGEINT", "numeric"},    {"UHUGEINT", "numeric"},
      {"DATE", "date"},           {"TIME", "time"},          {"TIMESTAMP", "timestamp"},
      {"TIMESTAMP WITH TIME ZONE", "timestamptz"},           {"INTERVAL", "interval"},
      {"UUID", "uuid"}};
  for (const auto& [from, to] : kOthers) {
    if (type == from) return {name, to, false};
  }
  if (type.rfind("DECIMAL(", 0) == 0) return {name, "numeric" + type.substr(7), false};
  return {name, "text COLLATE \"C\"", false};
}

// One value in COPY's text format: \N for NULL, and backslash, tab, line
// feed and carriage return escaped.
void AppendCopyValue(const KeyValue& value, std::string& out) {
  if (std::holds_alternative<std::monostate>(value)) {
    out += "\\N";
    return;
  }
  const auto* text = std::get_if<std::string>(&value);
  if (!text) {
    out += ToText(value);
    return;
  }
  for (char c : *text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
}

int64_t CopyTable(DuckDbConnection& source, const std::string& table, PostgresConnection& target) {
  RowSet described = source.Query(
      "SELECT column_name, data_type FROM information_schema.columns WHERE table_schema = 'main' AND table_name = " +
      QuoteStandardLiteral(table) + " ORDER BY ordinal_position");
  if (described.row_count() == 0) throw EngineError("There is no table '" + table + "' to copy.");
  std::vector<Column> columns;
  for (size_t row = 0; row < described.row_count(); ++row) {
    columns.push_back(MapColumn(ToText(described.at(row, 0)), ToText(described.at(row, 1))));
  }
  std::string quoted = QuoteStandardIdentifier(table);
  std::string create = "DROP TABLE IF EXISTS " + quoted + "; CREATE TABLE " + quoted + " (";
  std::string select = "SELECT ";
  std::string names;
  for (size_t index = 0; index < columns.size(); ++index) {
    std::string column = QuoteStandardIdentifier(columns[index].name);
    create += (index ? ", " : "") + column + " " + columns[index].postgres_type;
    select += (index ? ", " : "") + (columns[index].integer ? column : "CAST(" + column + " AS VARCHAR)");
    names += (index ? ", " : "") + column;
  }
  target.Execute(create + ")");

  double last_row = -1;
  (void)ToDouble(source.Query("SELECT max(rowid) FROM " + quoted).at(0, 0), last_row);
  int64_t next_row = 0;
  int64_t copied = 0;
  // Rows go in their stored order, which keeps a fact table sorted as it was.
  target.CopyIn("COPY " + quoted + " (" + names + ") FROM STDIN", [&](std::string& piece) {
    if (static_cast<double>(next_row) > last_row) return false;
    RowSet rows = source.Query(select + " FROM " + quoted + " WHERE rowid >= " + std::to_string(next_row) +
                               " AND rowid < " + std::to_string(next_row + kBatchRows) + " ORDER BY rowid");
    next_row += kBatchRows;
    for (size_t row = 0; row < rows.row_count(); ++row) {
      for (size_t column = 0; column < rows.column_count(); ++column) {
        if (column) piece += '\t';
        AppendCopyValue(rows.at(row, column), piece);
      }
      piece += '\n';
    }
    copied += static_cast<int64_t>(rows.row_count());
    return true;
  });
  target.Execute("ANALYZE " + quoted);
  return copied;
}

}  // namespace

std::vector<int64_t> CopyTablesToPostgres(DuckDbConnection& source, const std::vector<std::string>& tables,
                                          PostgresConnection& target) {
  std::vector<int64_t> counts;
  target.Execute("BEGIN");
  try {
    for (const auto& table : tables) counts.push_back(CopyTable(source, table, target));
    target.Execute("COMMIT");
  } catch (...) {
    if (target.IsOpen()) {
      try {
        target.Execute("ROLLBACK");
      } catch (const ComError&) {
        // The copy's own failure is the one to report.
      }
    }
    throw;
  }
  return counts;
}

std::vector<std::string> DuckDbTableNames(DuckDbConnection& source) {
  RowSet rows = source.Query(
      "SELECT table_name FROM information_schema.tables WHERE table_schema = 'main' AND table_type = 'BASE TABLE' "
      "ORDER BY table_name");
  std::vector<std::string> names;
  for (size_t row = 0; row < rows.row_count(); ++row) names.push_back(ToText(rows.at(row, 0)));
  return names;
}

}  // namespace orvex::engine

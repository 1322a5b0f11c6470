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

// Builds the indexes of `table` after its rows are in (one pass over them
// rather than one update per row), before ANALYZE, so that the planner's
// statistics see them.
void CreateIndexes(const std::string& table, const std::vector<Column>& columns,
                   const std::vector<PostgresIndex>& indexes, PostgresConnection& target) {
  std::vector<std::string> done;
  for (const auto& index : indexes) {
    if (index.table != table) continue;
    bool present = std::any_of(columns.begin(), columns.end(), [&](const Column& c) { return c.name == index.column; });
    if (!present || std::find(done.begin(), done.end(), index.column) != done.end()) continue;
    done.push_back(index.column);
    target.Execute("CREATE INDEX IF NOT EXISTS " + QuoteStandardIdentifier(PostgresIndexName(table, index.column)) +
                   " ON " + QuoteStandardIdentifier(table) + " (" + QuoteStandardIdentifier(index.column) + ")");
  }
}

int64_t CopyTable(DuckDbConnection& source, const std::string& table, PostgresConnection& target,
                  const std::vector<PostgresIndex>& indexes) {
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
  CreateIndexes(table, columns, indexes, target);
  target.Execute("ANALYZE " + quoted);
  return copied;
}

}  // namespace

std::string PostgresIndexName(const std::string& table, const std::string& column) {
  // FNV-1a over both names keeps apart the pairs that would otherwise read
  // alike ("a_b" + "c", "a" + "b_c") or be cut to the same 63 bytes.
  uint32_t hash = 2166136261u;
  for (char c : table + '\0' + column) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string suffix = "_";
  for (int shift = 28; shift >= 0; shift -= 4) suffix += kHex[(hash >> shift) & 0xf];
  std::string name = table + "_" + column;
  size_t room = 63 - suffix.size();
  if (name.size() > room) {
    name.resize(room);
    // Not in the middle of a UTF-8 character.
    while (!name.empty() && (static_cast<unsigned char>(name.back()) & 0xc0) == 0x80) name.pop_back();
    if (!name.empty() && static_cast<unsigned char>(name.back()) >= 0xc0) name.pop_back();
  }
  return name + suffix;
}

std::vector<int64_t> CopyTablesToPostgres(DuckDbConnection& source, const std::vector<std::string>& tables,
                                          PostgresConnection& target, const std::vector<PostgresIndex>& indexes) {
  std::vector<int64_t> counts;
  target.Execute("BEGIN");
  try {
    for (const auto& table : tables) counts.push_back(CopyTable(source, table, target, indexes));
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

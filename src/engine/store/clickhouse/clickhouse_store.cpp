#include "engine/store/clickhouse/clickhouse_store.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "engine/store/clickhouse/clickhouse_shard_local.h"
#include "platform/com/com_error.h"

namespace orvex::engine {
namespace {

ConnectionPool<ClickHouseConnection>::Limits LimitsOf(const ClickHouseSettings& settings) {
  ConnectionPool<ClickHouseConnection>::Limits limits;
  limits.max_open = std::max<size_t>(1, settings.max_connections);
  if (settings.statement_timeout.count() > 0) limits.wait = settings.statement_timeout;
  return limits;
}

const std::string& FirstUrl(const ClickHouseSettings& settings) {
  if (settings.urls.empty()) throw EngineError("The ClickHouse store names no server (url).");
  return settings.urls.front();
}

// The length of the backquoted identifier at `at` in `sql`, 0 when there is none.
size_t QuotedLength(std::string_view sql, size_t at) {
  if (at >= sql.size() || sql[at] != '`') return 0;
  for (size_t index = at + 1; index < sql.size(); ++index) {
    if (sql[index] == '\\') {
      ++index;
    } else if (sql[index] == '`') {
      return index + 1 - at;
    }
  }
  return 0;
}

size_t Occurrences(std::string_view sql, std::string_view text) {
  size_t count = 0;
  for (size_t at = sql.find(text); at != std::string_view::npos; at = sql.find(text, at + 1)) ++count;
  return count;
}

}  // namespace

std::string PruneRenamedColumns(std::string_view sql) {
  // Every column of a joined table is renamed in its subquery ("(SELECT `c` AS
  // `t.c`, ... FROM"); the server reads whatever a subquery names, so the
  // renames the statement never mentions again are dropped.
  static constexpr std::string_view kOpen = "(SELECT `";
  std::string out;
  size_t copied = 0;
  for (size_t start = sql.find(kOpen); start != std::string_view::npos; start = sql.find(kOpen, start + 1)) {
    size_t at = start + kOpen.size() - 1;
    std::vector<std::pair<size_t, size_t>> items;  // [begin, end) of each "`c` AS `t.c`"
    std::vector<std::string_view> names;
    bool parsed = false;
    while (true) {
      size_t source = QuotedLength(sql, at);
      if (source == 0 || sql.substr(at + source, 4) != " AS ") break;
      size_t name = QuotedLength(sql, at + source + 4);
      if (name == 0) break;
      items.emplace_back(at, at + source + 4 + name);
      names.push_back(sql.substr(at + source + 4, name));
      at = items.back().second;
      if (sql.substr(at, 2) == ", ") {
        at += 2;
        continue;
      }
      parsed = sql.substr(at, 6) == " FROM ";
      break;
    }
    if (!parsed) continue;
    std::vector<size_t> kept;
    for (size_t index = 0; index < items.size(); ++index) {
      if (Occurrences(sql, names[index]) > 1) kept.push_back(index);
    }
    if (kept.size() == items.size()) continue;
    if (kept.empty()) kept.push_back(0);  // a SELECT names at least one column
    out.append(sql.substr(copied, items.front().first - copied));
    for (size_t index = 0; index < kept.size(); ++index) {
      if (index > 0) out += ", ";
      const auto& [begin, end] = items[kept[index]];
      out.append(sql.substr(begin, end - begin));
    }
    copied = items.back().second;
  }
  out.append(sql.substr(copied));
  return out;
}

ClickHouseStore::ClickHouseStore(ClickHouseSettings settings)
    : settings_(std::move(settings)),
      pool_([this] { return ClickHouseConnection(settings_, FirstUrl(settings_)); },
            [](ClickHouseConnection& connection) { return connection.usable(); }, LimitsOf(settings_),
            "All connections to the ClickHouse server stayed busy; the statement was not run.") {
  ClickHouseConnection check(settings_, FirstUrl(settings_));  // refuses a bad address now
}

RowSet ClickHouseStore::Query(std::string_view sql, Deadline deadline) const {
  return TraceQuery(sql, [&] {
    auto lease = pool_.Borrow();
    try {
      return lease->Query(PruneRenamedColumns(sql), deadline);
    } catch (...) {
      // A connection that failed mid-statement is not trusted with the next one.
      if (!lease->usable()) lease.Discard();
      throw;
    }
  });
}

const std::vector<std::string>& ClickHouseStore::dialects() const {
  static const std::vector<std::string> kDialects = {"clickhouse", "generic"};
  return kDialects;
}

void ClickHouseStore::CheckReachable() const { (void)Query("SELECT 1"); }

std::string ClickHouseStore::QuoteColumn(std::string_view alias, std::string_view column) const {
  return QuoteIdentifier(std::string(alias) + "." + std::string(column));
}

std::string ClickHouseStore::SelectListKey(size_t /*position*/, const std::string& expression) const {
  // A number in GROUP BY or ORDER BY is a constant here, not a position.
  return expression;
}

std::string ClickHouseStore::RealLiteral(std::string_view digits) const {
  return "toFloat64(" + std::string(digits) + ")";
}

std::vector<std::string> ClickHouseStore::Columns(const std::string& schema, const std::string& name) const {
  auto key = std::make_pair(schema, name);
  {
    std::lock_guard lock(columns_mutex_);
    if (auto found = columns_.find(key); found != columns_.end()) return found->second;
  }
  RowSet rows = Query("DESCRIBE TABLE " + Qualified(schema, name));
  std::vector<std::string> columns;
  for (size_t row = 0; row < rows.row_count(); ++row) columns.push_back(ToText(rows.at(row, 0)));
  std::lock_guard lock(columns_mutex_);
  columns_[key] = columns;
  return columns;
}

std::string ClickHouseStore::Qualified(const std::string& schema, const std::string& name) const {
  // Named in full: a shard runs the subqueries it is sent in its own default database.
  const std::string& database = schema.empty() ? settings_.database : schema;
  return (database.empty() ? "" : QuoteIdentifier(database) + ".") + QuoteIdentifier(name);
}

int64_t ClickHouseStore::RowCount(const FromTable& table) const {
  const std::string& database = table.schema.empty() ? settings_.database : table.schema;
  std::lock_guard lock(row_counts_mutex_);
  if (!row_counts_read_) {
    // Every table's rows in one statement, from the parts' metadata: a
    // statement per table would cost the first grouped statement a round
    // trip for each dimension. A table of another engine has no parts: 0.
    // A user who may not read system tables gets 0 for all: the guess only
    // orders joins, and the statement is exact with any order.
    RowSet rows{std::vector<std::string>{}};
    try {
      rows = Query("SELECT database, table, sum(rows) FROM system.parts WHERE active GROUP BY database, table");
    } catch (const ComError&) {
    }
    for (size_t row = 0; row < rows.row_count(); ++row) {
      double count = 0;
      if (!ToDouble(rows.at(row, 2), count)) continue;
      row_counts_[{ToText(rows.at(row, 0)), ToText(rows.at(row, 1))}] = static_cast<int64_t>(count);
    }
    row_counts_read_ = true;
  }
  auto found = row_counts_.find({database, table.name});
  return found == row_counts_.end() ? 0 : found->second;
}

int64_t ClickHouseStore::Count(const std::string& sql) const {
  std::lock_guard lock(counts_mutex_);
  auto found = counts_.find(sql);
  if (found != counts_.end()) return found->second;
  // A failure counts as unknown, and is not asked again: the estimate only
  // orders joins, and the statement is exact with any order.
  int64_t count = 0;
  try {
    RowSet rows = Query(sql);
    double value = 0;
    if (rows.row_count() == 1 && ToDouble(rows.at(0, 0), value)) count = static_cast<int64_t>(value);
  } catch (const ComError&) {
  }
  counts_.emplace(sql, count);
  return count;
}

std::string ClickHouseStore::GroupedSelectSql(const GroupedSelect& select) const {
  ShardLocalContext context{settings_.database,
                            [this](const std::vector<FromTable>& tables, const std::vector<FromLink>& links) {
                              return FromClause(tables, links);
                            },
                            [this](const FromTable& table) { return RowCount(table); },
                            [this](const std::string& sql) { return Count(sql); }};
  if (auto sql = ShardLocalSelectSql(select, context)) return *sql;
  return Store::GroupedSelectSql(select);
}

std::string ClickHouseStore::FromClause(const std::vector<FromTable>& tables, const std::vector<FromLink>& links) const {
  std::string sql;
  std::vector<bool> used(links.size(), false);
  std::vector<std::string_view> seen;
  for (size_t index = 0; index < tables.size(); ++index) {
    const FromTable& table = tables[index];
    if (table.name.empty()) {
      throw EngineError("The ClickHouse store joins plain tables only; '" + table.alias +
                        "' is a view, an inline table or a filtered table.");
    }
    std::string renamed;
    for (const auto& column : Columns(table.schema, table.name)) {
      renamed += (renamed.empty() ? "" : ", ") + QuoteIdentifier(column) + " AS " + QuoteColumn(table.alias, column);
    }
    renamed = "(SELECT " + renamed + " FROM " + Qualified(table.schema, table.name) + ")";
    seen.push_back(table.alias);
    if (index == 0) {
      sql = renamed;
      continue;
    }
    std::string on;
    for (size_t link_index = 0; link_index < links.size(); ++link_index) {
      const auto& link = links[link_index];
      bool ready = std::find(seen.begin(), seen.end(), link.left_alias) != seen.end() &&
                   std::find(seen.begin(), seen.end(), link.right_alias) != seen.end();
      if (used[link_index] || !ready) continue;
      used[link_index] = true;
      on += on.empty() ? link.sql : " AND " + link.sql;
    }
    // One join per SELECT: what is joined so far becomes the left subquery.
    if (index > 1) sql = "(SELECT * FROM " + sql + ")";
    sql += on.empty() ? " CROSS JOIN " + renamed : " ALL INNER JOIN " + renamed + " ON " + on;
  }
  return sql;
}

}  // namespace orvex::engine

#include "engine/store/clickhouse/clickhouse_store.h"

#include <algorithm>

#include "engine/common/engine_error.h"

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

}  // namespace

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
      return lease->Query(sql, deadline);
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
  RowSet rows = Query("DESCRIBE TABLE " + (schema.empty() ? "" : QuoteIdentifier(schema) + ".") + QuoteIdentifier(name));
  std::vector<std::string> columns;
  for (size_t row = 0; row < rows.row_count(); ++row) columns.push_back(ToText(rows.at(row, 0)));
  std::lock_guard lock(columns_mutex_);
  columns_[key] = columns;
  return columns;
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
    renamed = "(SELECT " + renamed + " FROM " +
              (table.schema.empty() ? "" : QuoteIdentifier(table.schema) + ".") + QuoteIdentifier(table.name) + ")";
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

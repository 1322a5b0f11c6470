#include "engine/store/store.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/common/engine_error.h"

namespace orvex::engine {
namespace {

std::string Quote(std::string_view text, char quote) {
  if (text.find('\0') != std::string_view::npos) {
    throw EngineError("A name or value holds a NUL character, which cannot be sent to the store.");
  }
  std::string quoted(1, quote);
  for (char c : text) {
    if (c == quote) quoted += quote;
    quoted += c;
  }
  quoted += quote;
  return quoted;
}

}  // namespace

std::string QuoteStandardIdentifier(std::string_view name) { return Quote(name, '"'); }
std::string QuoteStandardLiteral(std::string_view text) { return Quote(text, '\''); }

std::string Store::QuoteIdentifier(std::string_view name) const { return QuoteStandardIdentifier(name); }

std::string Store::QuoteLiteral(std::string_view text) const { return QuoteStandardLiteral(text); }

std::string Store::Literal(const KeyValue& value) const {
  if (const auto* integer = std::get_if<int64_t>(&value)) return std::to_string(*integer);
  if (const auto* text = std::get_if<std::string>(&value)) return QuoteLiteral(*text);
  if (const auto* real = std::get_if<double>(&value)) {
    if (!std::isfinite(*real)) throw EngineError("A key value is not a finite number.");
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, *real);
    // The shortest form reads back to the same double; a cast keeps it from being taken as DECIMAL.
    return RealLiteral(std::string_view(buffer, result.ptr - buffer));
  }
  // A plain decimal literal is exact in both stores and compares with the column's own scale.
  if (const auto* exact = std::get_if<Decimal>(&value)) return exact->ToText();
  return "NULL";
}

std::string Store::RealLiteral(std::string_view digits) const {
  return "CAST(" + std::string(digits) + " AS DOUBLE PRECISION)";
}

std::string Store::QuoteColumn(std::string_view alias, std::string_view column) const {
  return QuoteIdentifier(alias) + "." + QuoteIdentifier(column);
}

std::string Store::SelectListKey(size_t position, const std::string& /*expression*/) const {
  return std::to_string(position);
}

std::string Store::FromClause(const std::vector<FromTable>& tables, const std::vector<FromLink>& links) const {
  std::string sql;
  std::vector<bool> used(links.size(), false);
  std::vector<std::string_view> seen;
  for (const auto& table : tables) {
    seen.push_back(table.alias);
    if (sql.empty()) {
      sql = table.sql;
      continue;
    }
    std::string on;
    for (size_t index = 0; index < links.size(); ++index) {
      const auto& link = links[index];
      bool ready = std::find(seen.begin(), seen.end(), link.left_alias) != seen.end() &&
                   std::find(seen.begin(), seen.end(), link.right_alias) != seen.end();
      if (used[index] || !ready) continue;
      used[index] = true;
      on += on.empty() ? link.sql : " AND " + link.sql;
    }
    sql += on.empty() ? " CROSS JOIN " + table.sql : " JOIN " + table.sql + " ON " + on;
  }
  return sql;
}

std::string Store::GroupedSelectSql(const GroupedSelect& select) const {
  std::string sql = "SELECT ";
  for (const auto& key : select.keys) sql += key + ", ";
  for (size_t index = 0; index < select.aggregates.size(); ++index) {
    sql += (index > 0 ? ", " : "") + select.aggregates[index];
  }
  sql += " FROM " + FromClause(select.tables, select.links);
  for (size_t index = 0; index < select.filters.size(); ++index) {
    sql += (index == 0 ? " WHERE " : " AND ") + select.filters[index];
  }
  if (select.keys.empty()) {
    // Without grouping an empty fact table would still give one row of NULLs and zero counts.
    sql += " HAVING COUNT(*) > 0";
  } else {
    sql += " GROUP BY ";
    for (size_t index = 0; index < select.keys.size(); ++index) {
      sql += (index == 0 ? "" : ", ") + SelectListKey(index + 1, select.keys[index]);
    }
  }
  return sql;
}

RowSet TraceQuery(std::string_view sql, const std::function<RowSet()>& query) {
  static const bool trace = std::getenv("ORVEX_SQL_TRACE") != nullptr;
  if (!trace) return query();
  auto start = std::chrono::steady_clock::now();
  RowSet rows = query();
  std::chrono::duration<double, std::milli> elapsed = std::chrono::steady_clock::now() - start;
  std::fprintf(stderr, "[orvex sql] %.1f ms, %zu rows: %.*s\n", elapsed.count(), rows.row_count(),
               static_cast<int>(sql.size()), sql.data());
  return rows;
}

}  // namespace orvex::engine

#include "engine/model/relation_sql.h"

#include <algorithm>

#include "engine/common/engine_error.h"

namespace orvex::engine::detail {

void RelationSql::AddTable(Table table) {
  for (const auto& existing : tables_) {
    if (existing.alias != table.alias) continue;
    if (existing.sql != table.sql) {
      throw EngineError("The table alias '" + table.alias + "' stands for two different tables.");
    }
    return;
  }
  tables_.push_back(std::move(table));
}

void RelationSql::AddCondition(Condition condition) {
  for (const auto& existing : conditions_) {
    if (existing.sql == condition.sql) return;
  }
  conditions_.push_back(std::move(condition));
}

void RelationSql::Merge(const RelationSql& other) {
  for (const auto& table : other.tables_) AddTable(table);
  for (const auto& condition : other.conditions_) AddCondition(condition);
}

bool RelationSql::HasAlias(std::string_view alias) const {
  return std::any_of(tables_.begin(), tables_.end(), [&](const Table& table) { return table.alias == alias; });
}

std::string RelationSql::FromClause() const {
  std::string sql;
  std::vector<bool> used(conditions_.size(), false);
  std::vector<std::string_view> seen;
  for (const auto& table : tables_) {
    seen.push_back(table.alias);
    if (sql.empty()) {
      sql = table.sql;
      continue;
    }
    std::string on;
    for (size_t index = 0; index < conditions_.size(); ++index) {
      const auto& condition = conditions_[index];
      bool ready = std::find(seen.begin(), seen.end(), condition.left_alias) != seen.end() &&
                   std::find(seen.begin(), seen.end(), condition.right_alias) != seen.end();
      if (used[index] || !ready) continue;
      used[index] = true;
      on += on.empty() ? condition.sql : " AND " + condition.sql;
    }
    sql += on.empty() ? " CROSS JOIN " + table.sql : " JOIN " + table.sql + " ON " + on;
  }
  return sql;
}

}  // namespace orvex::engine::detail

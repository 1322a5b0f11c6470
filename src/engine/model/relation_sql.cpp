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

}  // namespace orvex::engine::detail

#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "engine/store/store.h"

namespace orvex::engine::detail {

// Tables joined by equality conditions (a star or a snowflake, or part of
// one), rendered as the body of a FROM clause. Built once per hierarchy and
// per cube, merged per query; immutable while it is shared.
class RelationSql {
 public:
  using Table = Store::FromTable;
  using Condition = Store::FromLink;

  // A repeated alias is taken once; throws ComError when the same alias
  // stands for two different tables.
  void AddTable(Table table);
  // An identical repeated condition is taken once.
  void AddCondition(Condition condition);
  void Merge(const RelationSql& other);

  bool empty() const { return tables_.empty(); }
  bool HasAlias(std::string_view alias) const;
  const std::vector<Table>& tables() const { return tables_; }
  const std::vector<Condition>& conditions() const { return conditions_; }

  // The tables in the order they were added, each joined with the conditions
  // that link it to the tables before it ("a" AS "a" JOIN "b" AS "b" ON ...),
  // written as `store` joins tables; a table with no such condition yet is
  // cross joined and filtered later.
  std::string FromClause(const Store& store) const { return store.FromClause(tables_, conditions_); }

 private:
  std::vector<Table> tables_;
  std::vector<Condition> conditions_;
};

}  // namespace orvex::engine::detail

#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace orvex::engine::detail {

// Tables joined by equality conditions (a star or a snowflake, or part of
// one), rendered as the body of a FROM clause. Built once per hierarchy and
// per cube, merged per query; immutable while it is shared.
class RelationSql {
 public:
  struct Table {
    std::string alias;  // unquoted
    std::string sql;    // "\"schema\".\"table\" AS \"alias\""
  };
  struct Condition {
    std::string left_alias, right_alias;  // unquoted
    std::string sql;                      // "\"a\".\"x\" = \"b\".\"y\""
  };

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
  // that link it to the tables before it ("a" AS "a" JOIN "b" AS "b" ON ...);
  // a table with no such condition yet is cross joined and filtered later.
  std::string FromClause() const;

 private:
  std::vector<Table> tables_;
  std::vector<Condition> conditions_;
};

}  // namespace orvex::engine::detail

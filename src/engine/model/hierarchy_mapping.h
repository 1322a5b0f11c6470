#pragma once
#include <optional>
#include <string>
#include <vector>

#include "engine/model/relation_sql.h"

namespace orvex::engine::detail {

// Which members of a ragged level are left out of the tree: one with no name
// (NULL, or only blanks), or one named as its parent is.
enum class HideMemberIf { kNever, kIfBlankName, kIfParentsName };

// How one level's members are read: SQL expressions over the hierarchy's
// tables, already quoted for the store.
struct LevelMapping {
  std::string key_sql;
  std::string name_sql;     // equals key_sql without a name column
  std::string caption_sql;  // equals name_sql without a caption column
  std::string ordinal_sql;  // "" orders by the key
  bool unique_members = false;
  HideMemberIf hide_if = HideMemberIf::kNever;
  std::vector<std::string> property_sql;  // one per Level::properties(), in order
  // A parent-child level: the parent key column ("" for a regular level), the
  // text that marks a top member besides NULL, and the closure table's FROM
  // item and columns ("" without a closure table).
  std::string parent_sql;
  std::string key_table, closure_alias;  // unquoted aliases, for join conditions
  std::string null_parent_value;
  std::string closure_table, closure_parent_sql, closure_child_sql;
  bool parent_child() const { return !parent_sql.empty(); }
};

// How a hierarchy maps onto the store: its own tables, how the fact table
// reaches them, and one LevelMapping per level (the all level's is empty).
struct HierarchyMapping {
  RelationSql relation;  // empty when the levels' columns are on the fact table
  std::optional<RelationSql::Condition> fact_link;  // fact foreign key = primary key
  // The parts of fact_link, for joining the same tables to an aggregate
  // table: the fact's foreign key column (unquoted), the primary key's table
  // alias and the primary key (quoted).
  std::string foreign_key, key_table, primary_key_sql;
  std::vector<LevelMapping> levels;
};

}  // namespace orvex::engine::detail

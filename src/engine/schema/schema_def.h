#pragma once
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/common/aggregator.h"

// What a schema.xml says, before it is matched with a store: plain values
// filled by SchemaReader and turned into cubes by CubeBuilder.
namespace orvex::engine::schema {

// A column of a table, or SQL text per dialect (KeyExpression and its kin).
struct Expression {
  std::string table;   // the column's table alias; "" takes the level's or hierarchy's table
  std::string column;  // a column name, or
  std::vector<std::pair<std::string, std::string>> sql;  // (dialect, SQL text) in schema order
  int line = 0;  // where the schema writes it, for messages
  bool empty() const { return column.empty() && sql.empty(); }
};

// An aggregate table of a fact <Table>: <AggName> names one table and says
// what each of its columns holds; <AggPattern> takes every store table whose
// name matches (but none an <AggExclude> names), its columns recognized by
// their names.
struct AggTableDef {
  std::string name;     // <AggName>: the table; <AggPattern>: "" (see pattern)
  std::string pattern;  // <AggPattern>: a regular expression over table names
  std::vector<std::string> exclude_names, exclude_patterns;  // <AggExclude> name= and pattern=
  bool ignore_case = true;                                 // of names and patterns
  std::string fact_count;                                  // <AggFactCount column>
  std::vector<std::string> ignored;                        // <AggIgnoreColumn column>
  std::vector<std::pair<std::string, std::string>> foreign_keys;  // (fact column, aggregate column)
  std::vector<std::pair<std::string, std::string>> measures;      // (measure unique name, column)
  std::vector<std::pair<std::string, std::string>> levels;        // (level unique name, column)
  int line = 0;
};

// A <Table>, a <View> (a SELECT per dialect), an <InlineTable> (rows written
// in the schema) or a <Join> of two relations (a snowflake).
struct Relation {
  enum class Kind { kTable, kJoin, kView, kInline };
  Kind kind = Kind::kTable;
  std::string name;    // table name
  std::string schema;  // database schema of the table, "" for the default
  std::string alias;   // the alias, else the table name
  Expression sql;      // a <View>'s SELECT, or a <Table>'s filter (<SQL> inside it): per dialect
  // An <InlineTable>: its columns (name, type) and rows, a value per column,
  // nullopt where a row gives none (NULL).
  std::vector<std::pair<std::string, std::string>> columns;
  std::vector<std::vector<std::optional<std::string>>> rows;
  std::string left_alias, left_key, right_alias, right_key;  // join condition
  std::shared_ptr<const Relation> left, right;
  std::vector<AggTableDef> aggregates;  // a fact <Table>'s aggregate tables
  int line = 0;
};

// A member property of a level (<Property>): a column (or expression) read
// with the members.
struct PropertyDef {
  std::string name;
  std::string caption;
  std::string description;
  Expression expression;
  std::string type = "String";  // String, Numeric, Integer, Boolean, Date, Time or Timestamp
  int line = 0;
};

struct LevelDef {
  std::string name;
  std::string caption;
  std::string description;
  std::string table;  // alias the level's columns belong to; "" for the hierarchy's own
  Expression key, name_expression, caption_expression, ordinal_expression;
  std::string type = "String";
  bool unique_members = false;
  std::string level_type = "Regular";
  // When a member of this level is left out of the tree, its children then
  // hanging from its nearest shown ancestor: Never, IfBlankName or IfParentsName.
  std::string hide_member_if = "Never";
  bool visible = true;  // false: left out of metadata listings, still named by MDX
  std::vector<PropertyDef> properties;
  // A parent-child level: the column holding each member's parent key, the
  // value (besides NULL) that marks a member with no parent, and optionally
  // a <Closure> table listing every (ancestor, descendant) pair, each member
  // with itself included.
  std::string parent_column;
  std::string null_parent_value;
  std::shared_ptr<const Relation> closure;  // null without a <Closure>
  std::string closure_parent_column, closure_child_column;
  int line = 0;
};

struct HierarchyDef {
  std::string name;  // "" when unnamed
  std::string caption;
  std::string description;
  bool has_all = true;
  std::string all_member_name;     // "" gives "All <dimension>s"
  std::string all_member_caption;  // "" gives the all member's name
  std::string all_level_name;      // "" gives "(All)"
  std::string primary_key;
  std::string primary_key_table;
  std::string default_member;
  std::shared_ptr<const Relation> relation;  // null: the levels' columns are on the fact table
  std::vector<LevelDef> levels;
  bool visible = true;
  int line = 0;
};

struct DimensionDef {
  std::string name;
  std::string caption;
  std::string description;
  std::string foreign_key;  // fact column joined to the hierarchies' primary keys
  std::string type = "StandardDimension";
  std::vector<HierarchyDef> hierarchies;
  bool visible = true;
  int line = 0;  // of the <Dimension>, or of the <DimensionUsage> that brings in a shared one
};

struct MeasureDef {
  std::string name;
  std::string caption;
  std::string column;
  Expression expression;  // a MeasureExpression
  Aggregator aggregator = Aggregator::kSum;
  std::string format_string;
  std::string datatype = "Numeric";  // String, Numeric or Integer
  bool visible = true;
  int line = 0;
};

struct CalculatedMemberDef {
  std::string name;
  std::string caption;
  std::string dimension;  // the dimension or hierarchy attribute as written: "Measures", "[Store]", "[Time].[Weekly]"
  std::string parent;     // the parent member's name as written; "" for the hierarchy's top
  std::string formula;
  std::string format_string;
  int solve_order = 0;
  bool visible = true;
  int line = 0;
};

// A <NamedSet>: a set formula in MDX, named for statements to use.
struct NamedSetDef {
  std::string name;
  std::string caption;
  std::string description;
  std::string formula;
  int line = 0;
};

// What a <VirtualCube> adds to its CubeDef: the base cubes it reads, and
// where each of its dimensions and measures comes from.
struct VirtualCubeDef {
  struct Usage {
    std::string cube;
    // Whether a base cube's measures show the total of a dimension the base
    // cube does not have at every member of it (else only at its all member).
    bool ignore_unrelated_dimensions = false;
  };
  std::vector<Usage> usages;  // every base cube, those of <CubeUsages> first
  // Per entry of CubeDef::dimensions: the base cube it was taken from, ""
  // for a shared dimension (every base cube that uses it relates to it).
  std::vector<std::string> dimension_cubes;
  // Per entry of CubeDef::measures: the base cube the measure is read from.
  std::vector<std::string> measure_cubes;
};

struct CubeDef {
  std::string name;
  std::string caption;
  std::string description;
  std::string default_measure;
  std::shared_ptr<const Relation> fact;  // null for a virtual cube
  std::vector<DimensionDef> dimensions;  // in schema order, usages resolved
  std::optional<VirtualCubeDef> virtual_cube;  // set for a <VirtualCube>
  std::vector<MeasureDef> measures;
  std::vector<CalculatedMemberDef> calculated_members;
  // The cube's own named sets, then the schema's whose names the cube does not use.
  std::vector<NamedSetDef> named_sets;
  // What the engine leaves out but the cube loads without (a formatter class
  // it cannot run, ...), each with its schema line: for the event log.
  std::vector<std::string> notes;
  // Why the cube cannot be loaded ("" when it can): it names the construct
  // that is broken or not supported.
  std::string error;
};

// Access granted by a <Role>: "all", "none", and for cubes and hierarchies
// "custom" (their grants inside decide); schemas also know "all_dimensions".
struct MemberGrantDef {
  std::string member;  // as written: a unique name or a path below the hierarchy
  bool all = false;    // access="all"; else "none"
  int line = 0;
};

struct HierarchyGrantDef {
  std::string hierarchy;  // as written: "[Store]", "[Time].[Weekly]", "Measures"
  std::string access;     // all, none or custom
  std::string top_level, bottom_level;  // level unique names as written; "" for the first and last level
  std::string rollup_policy = "full";   // full, partial or hidden
  std::vector<MemberGrantDef> members;  // in schema order: a later grant overrides an earlier one below it
  int line = 0;
};

struct DimensionGrantDef {
  std::string dimension;
  std::string access;  // all or none
  int line = 0;
};

struct CubeGrantDef {
  std::string cube;
  std::string access;  // all, none or custom
  std::vector<DimensionGrantDef> dimensions;
  std::vector<HierarchyGrantDef> hierarchies;
  int line = 0;
};

struct RoleDef {
  std::string name;
  std::string schema_access = "none";  // of its <SchemaGrant>: all, all_dimensions or none
  std::vector<CubeGrantDef> cubes;
  // A <Union> role: the names of the roles it joins, and nothing else.
  std::vector<std::string> union_of;
  // Why the role cannot be used ("" when it can): a connection naming it is refused.
  std::string error;
  int line = 0;
};

struct SchemaDef {
  std::string name;
  std::vector<CubeDef> cubes;  // in schema order, failed ones included
  std::vector<RoleDef> roles;  // in schema order
};

}  // namespace orvex::engine::schema

#pragma once
#include <map>
#include <optional>
#include <set>
#include <vector>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "engine/cells/sql_cell_reader.h"
#include "engine/model/cube.h"
#include "engine/model/hierarchy_mapping.h"
#include "engine/catalog/store_columns.h"
#include "engine/model/role_access.h"
#include "engine/schema/schema_def.h"

namespace orvex::engine {

class Store;

// Turns a cube's schema definition into a Cube over `store`: names, levels,
// the measures hierarchy, and the SQL that reads members and cells. Members
// are not read here; each hierarchy reads its own on first use.
class CubeBuilder {
 public:
  // Throws ComError naming what is wrong (an unknown table alias, a missing
  // foreign key, a SQL expression with no dialect for this store, ...). With
  // `columns` (borrowed for the call), every table and column the schema
  // names is checked against the store's own, and a misspelt one is refused
  // with its schema line.
  static std::shared_ptr<const Cube> Build(const schema::CubeDef& definition, std::shared_ptr<const Store> store,
                                           const SqlCellReader::Options& options = {},
                                           const detail::StoreColumns* columns = nullptr);
  // Builds a virtual cube over its base cubes: `schema_cubes` holds their
  // definitions and `built` the cubes built from them (each base cube must
  // be among them; the virtual cube keeps them alive). Its members are its
  // own; its cells are read by the base cubes' readers. Throws ComError
  // naming what is missing.
  static std::shared_ptr<const Cube> BuildVirtual(const schema::CubeDef& definition,
                                                  const std::vector<schema::CubeDef>& schema_cubes,
                                                  const std::vector<std::shared_ptr<const Cube>>& built,
                                                  std::shared_ptr<const Store> store);
  // The cube as a connection under a role sees it (`access`, resolved
  // against `base`, which is built from `definition`): each hierarchy shows
  // the members of base's that the role grants, copied on first use rather
  // than read again; a hidden hierarchy keeps its place in coordinates but no
  // name reaches it, and a dimension with no visible hierarchy is not listed.
  // Cells are read through `base` and share its cache.
  static std::shared_ptr<const Cube> BuildRestricted(std::shared_ptr<const Cube> base,
                                                     const schema::CubeDef& definition, const CubeAccess& access);

 private:
  CubeBuilder(const schema::CubeDef& definition, std::shared_ptr<const Store> store,
              const detail::StoreColumns* columns)
      : definition_(definition), store_(std::move(store)), columns_(columns) {}
  void BuildMeasures(Cube::State& state);
  void BuildDimension(Cube::State& state, const schema::DimensionDef& definition);
  // The calculated members of hierarchies other than the measures.
  // Indexes the dimensions by name, then adds the calculated members and named sets.
  void BuildNamesAndFormulas(Cube::State& state);
  void BuildCalculatedMembers(Cube::State& state);
  void Map(Hierarchy::State& hierarchy, const schema::DimensionDef& dimension, const schema::HierarchyDef& definition);
  // The SQL that reads each level's members, over the tables Map() chose.
  void MapLevels(Hierarchy::State& hierarchy, const schema::HierarchyDef& definition, const std::string& default_table,
                 const std::string& what);
  // Fills a parent-child level's parent column and closure table; throws
  // ComError, naming the schema line, for a misplaced level or missing column.
  void MapParentChild(const schema::LevelDef& level, size_t level_count, const std::string& table,
                      detail::HierarchyMapping& mapping, detail::LevelMapping& level_mapping, const std::string& what);
  std::string LevelSql(const schema::Expression& expression, const std::string& default_table,
                       const detail::RelationSql& tables, const std::string& what) const;
  std::string ExpressionSql(const schema::Expression& expression, const std::string& what) const;
  void AddRelation(const schema::Relation& relation, detail::RelationSql& tables);
  std::string Column(const std::string& table, const std::string& column) const;
  // An <InlineTable>'s rows as a SELECT: one UNION ALL branch per row, each value cast to its column's type.
  std::string InlineTableSql(const schema::Relation& relation) const;
  // Column(), after checking that the table behind `alias` has `column`.
  std::string CheckedColumn(const std::string& alias, const std::string& column, int line, const std::string& what) const;
  // The fact table's aggregate tables (<AggName>, and the store tables an
  // <AggPattern> matches), each checked against the cube; throws ComError
  // with the schema line for one that names what the cube does not have.
  std::vector<AggregateTable> BuildAggregateTables(const Cube::State& state);
  // One aggregate table named `name`, its columns as `definition` gives them
  // (explicit) or recognized by their names (a pattern's match): nullopt
  // when a pattern's match lacks a fact count column.
  std::optional<AggregateTable> BuildAggregateTable(const Cube::State& state, const schema::AggTableDef& definition,
                                                    const std::string& name);
  void CheckSharedTables(const std::string& dimension, const detail::HierarchyMapping& mapping);

  const schema::CubeDef& definition_;
  std::shared_ptr<const Store> store_;
  const detail::StoreColumns* columns_;  // nullptr: names are not checked
  // The (database schema, table name) behind each alias met so far.
  std::map<std::string, std::pair<std::string, std::string>> alias_tables_;
  std::map<std::string, std::vector<std::string>> inline_columns_;  // the columns of each inline table's alias
  std::set<std::string> unchecked_aliases_;                         // views: the store knows their columns
  detail::RelationSql fact_;
  std::string fact_alias_;
  const schema::Relation* fact_relation_ = nullptr;  // the fact table degenerate dimensions read; null for none
  std::unordered_map<const Measure*, std::string> aggregates_;
  std::unordered_map<const Measure*, std::string> row_sql_;  // each measure's value in one fact row
  // Who joins which alias pair, and how: two dimensions that reach one table
  // alias by different conditions would filter each other's rows.
  std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> joins_;
};

}  // namespace orvex::engine

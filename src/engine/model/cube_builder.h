#pragma once
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "engine/cells/sql_cell_reader.h"
#include "engine/model/cube.h"
#include "engine/model/hierarchy_mapping.h"
#include "engine/schema/schema_def.h"

namespace orvex::engine {

class Store;

// Turns a cube's schema definition into a Cube over `store`: names, levels,
// the measures hierarchy, and the SQL that reads members and cells. Members
// are not read here; each hierarchy reads its own on first use.
class CubeBuilder {
 public:
  // Throws ComError naming what is wrong (an unknown table alias, a missing
  // foreign key, a SQL expression with no dialect for this store, ...).
  static std::shared_ptr<const Cube> Build(const schema::CubeDef& definition, std::shared_ptr<const Store> store,
                                           const SqlCellReader::Options& options = {});

 private:
  CubeBuilder(const schema::CubeDef& definition, std::shared_ptr<const Store> store)
      : definition_(definition), store_(std::move(store)) {}
  void BuildMeasures(Cube::State& state);
  void BuildDimension(Cube::State& state, const schema::DimensionDef& definition);
  void Map(Hierarchy::State& hierarchy, const schema::DimensionDef& dimension, const schema::HierarchyDef& definition);
  std::string LevelSql(const schema::Expression& expression, const std::string& default_table,
                       const detail::RelationSql& tables, const std::string& what) const;
  std::string ExpressionSql(const schema::Expression& expression, const std::string& what) const;
  void AddRelation(const schema::Relation& relation, detail::RelationSql& tables) const;
  std::string Column(const std::string& table, const std::string& column) const;
  void CheckSharedTables(const std::string& dimension, const detail::HierarchyMapping& mapping);

  const schema::CubeDef& definition_;
  std::shared_ptr<const Store> store_;
  detail::RelationSql fact_;
  std::string fact_alias_;
  std::unordered_map<const Measure*, std::string> aggregates_;
  // Who joins which alias pair, and how: two dimensions that reach one table
  // alias by different conditions would filter each other's rows.
  std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> joins_;
};

}  // namespace orvex::engine

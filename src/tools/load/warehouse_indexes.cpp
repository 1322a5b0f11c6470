#include "tools/load/warehouse_indexes.h"

#include <algorithm>

#include "engine/schema/schema_reader.h"
#include "platform/com/com_error.h"

namespace orvex::tools {
namespace {

using engine::PostgresIndex;
using engine::schema::Relation;

void Add(std::vector<PostgresIndex>& indexes, const std::string& table, const std::string& column) {
  if (table.empty() || column.empty()) return;
  PostgresIndex index{table, column};
  if (std::find(indexes.begin(), indexes.end(), index) == indexes.end()) indexes.push_back(index);
}

// The table behind `alias` within `relation`; "" when none of its plain tables has it.
std::string TableOf(const Relation& relation, const std::string& alias) {
  if (relation.kind == Relation::Kind::kJoin) {
    for (const auto* side : {relation.left.get(), relation.right.get()}) {
      if (!side) continue;
      std::string table = TableOf(*side, alias);
      if (!table.empty()) return table;
    }
    return "";
  }
  return relation.kind == Relation::Kind::kTable && relation.alias == alias ? relation.name : "";
}

// Both keys of every join within `relation`.
void AddJoinKeys(const Relation& root, const Relation& relation, std::vector<PostgresIndex>& indexes) {
  if (relation.kind != Relation::Kind::kJoin) return;
  Add(indexes, TableOf(root, relation.left_alias), relation.left_key);
  Add(indexes, TableOf(root, relation.right_alias), relation.right_key);
  if (relation.left) AddJoinKeys(root, *relation.left, indexes);
  if (relation.right) AddJoinKeys(root, *relation.right, indexes);
}

}  // namespace

std::vector<PostgresIndex> WarehouseIndexes(const engine::schema::SchemaDef& schema) {
  std::vector<PostgresIndex> indexes;
  for (const auto& cube : schema.cubes) {
    const Relation* fact = cube.fact && cube.fact->kind == Relation::Kind::kTable ? cube.fact.get() : nullptr;
    for (const auto& dimension : cube.dimensions) {
      for (const auto& hierarchy : dimension.hierarchies) {
        if (!hierarchy.relation) continue;  // its levels are columns of the fact table itself
        if (fact) Add(indexes, fact->name, dimension.foreign_key);
        const Relation& relation = *hierarchy.relation;
        std::string key_alias = !hierarchy.primary_key_table.empty()                ? hierarchy.primary_key_table
                                : relation.kind != Relation::Kind::kJoin ? relation.alias
                                                                         : "";
        Add(indexes, TableOf(relation, key_alias), hierarchy.primary_key);
        AddJoinKeys(relation, relation, indexes);
      }
    }
  }
  return indexes;
}

std::vector<PostgresIndex> WarehouseIndexes(const std::filesystem::path& catalog_dir) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(catalog_dir / "schema.xml", error)) return {};
  try {
    return WarehouseIndexes(engine::SchemaReader::Read(catalog_dir / "schema.xml"));
  } catch (const ComError&) {
    return {};
  }
}

}  // namespace orvex::tools

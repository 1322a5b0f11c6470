#include "engine/catalog/cube_builder.h"

#include <algorithm>
#include <optional>
#include <regex>
#include <set>

#include "engine/cells/virtual_cell_reader.h"
#include "engine/model/cube_state.h"
#include "engine/common/engine_error.h"
#include "engine/model/hierarchy_state.h"
#include "engine/catalog/member_loader.h"
#include "engine/store/store.h"
#include "platform/text.h"

namespace orvex::engine {
namespace {

using schema::Expression;
using schema::Relation;

// How a hierarchy reads its members on first use: from `store`, which
// outlives the cube that holds the hierarchy.
std::function<void(const Hierarchy&, const Member*, detail::MemberTree&)> MembersFrom(const Store& store) {
  return [&store](const Hierarchy& hierarchy, const Member* all, detail::MemberTree& tree) {
    MemberLoader::Load(hierarchy, store, all, tree);
  };
}

bool OnMeasures(const schema::CalculatedMemberDef& definition) {
  return EqualsIgnoreCase(definition.dimension, "Measures") || EqualsIgnoreCase(definition.dimension, "[Measures]");
}

LevelProperty::Type PropertyType(const std::string& type) {
  static const std::pair<const char*, LevelProperty::Type> kTypes[] = {
      {"Numeric", LevelProperty::Type::kNumeric}, {"Integer", LevelProperty::Type::kInteger},
      {"Boolean", LevelProperty::Type::kBoolean}, {"Date", LevelProperty::Type::kDate},
      {"Time", LevelProperty::Type::kTime},       {"Timestamp", LevelProperty::Type::kTimestamp}};
  for (const auto& [name, value] : kTypes) {
    if (type == name) return value;
  }
  return LevelProperty::Type::kString;
}

// A schema's levelType; nullopt for a name this engine does not know.
std::optional<LevelType> ToLevelType(const std::string& type) {
  static const std::pair<const char*, LevelType> kTypes[] = {
      {"Regular", LevelType::kRegular},         {"TimeYears", LevelType::kTimeYears},
      {"TimeHalfYears", LevelType::kTimeHalfYears}, {"TimeHalfYear", LevelType::kTimeHalfYears},
      {"TimeQuarters", LevelType::kTimeQuarters}, {"TimeMonths", LevelType::kTimeMonths},
      {"TimeWeeks", LevelType::kTimeWeeks},     {"TimeDays", LevelType::kTimeDays},
      {"TimeHours", LevelType::kTimeHours},     {"TimeMinutes", LevelType::kTimeMinutes},
      {"TimeSeconds", LevelType::kTimeSeconds}, {"TimeUndefined", LevelType::kTimeUndefined}};
  for (const auto& [name, value] : kTypes) {
    if (EqualsIgnoreCase(type, name)) return value;
  }
  return std::nullopt;
}

// A schema's calculated member as the cube holds it; its place among the
// schema's calculated members breaks ties of solve order.
std::unique_ptr<CalculatedMemberDef> NewCalculatedMember(const schema::CalculatedMemberDef& definition,
                                                         const std::vector<schema::CalculatedMemberDef>& all,
                                                         std::string unique_name, const Hierarchy* hierarchy) {
  auto member = std::make_unique<CalculatedMemberDef>();
  member->name = definition.name;
  member->unique_name = std::move(unique_name);
  member->caption = definition.caption;
  member->formula = definition.formula;
  member->format_string = definition.format_string;
  member->solve_order = definition.solve_order;
  member->schema_order = static_cast<int>(&definition - all.data());
  member->visible = definition.visible;
  member->hierarchy = hierarchy;
  return member;
}

}  // namespace

std::shared_ptr<const Cube> CubeBuilder::Build(const schema::CubeDef& definition, std::shared_ptr<const Store> store,
                                               const SqlCellReader::Options& options,
                                               const detail::StoreColumns* columns) {
  if (!definition.error.empty()) throw EngineError(definition.error);
  if (definition.virtual_cube) throw EngineError("A virtual cube is built over its base cubes.");
  CubeBuilder builder(definition, std::move(store), columns);
  std::shared_ptr<Cube> cube(new Cube());
  auto& state = *cube->state_;
  state.name = definition.name;
  state.description = definition.description;
  state.store = builder.store_;
  if (definition.fact->kind == schema::Relation::Kind::kJoin) {
    throw EngineError("The fact table must be a <Table>, <View> or <InlineTable>, not a <Join>.");
  }
  builder.AddRelation(*definition.fact, builder.fact_);
  builder.fact_alias_ = definition.fact->alias;
  builder.fact_relation_ = definition.fact.get();

  builder.BuildMeasures(state);
  for (const auto& dimension : definition.dimensions) builder.BuildDimension(state, dimension);
  builder.BuildNamesAndFormulas(state);
  std::vector<AggregateTable> aggregate_tables = builder.BuildAggregateTables(state);
  auto reader = std::make_unique<SqlCellReader>(*builder.store_, builder.fact_, state.hierarchies,
                                                std::move(builder.aggregates_), options);
  reader->SetAggregateTables(std::move(aggregate_tables));
  reader->SetMeasureRowSql(std::move(builder.row_sql_));
  state.cells = std::move(reader);
  return cube;
}

void CubeBuilder::BuildNamesAndFormulas(Cube::State& state) {
  for (const auto* dimension : state.dimensions) {
    state.dimensions_by_name.emplace(dimension->name(), dimension);
    state.dimensions_by_name.emplace(dimension->unique_name(), dimension);
  }
  BuildCalculatedMembers(state);
  for (const auto& set : definition_.named_sets) {
    state.named_sets.push_back(NamedSet{set.name, set.caption, set.description, set.formula, set.line});
  }
}

std::shared_ptr<const Cube> CubeBuilder::BuildVirtual(const schema::CubeDef& definition,
                                                      const std::vector<schema::CubeDef>& schema_cubes,
                                                      const std::vector<std::shared_ptr<const Cube>>& built,
                                                      std::shared_ptr<const Store> store) {
  if (!definition.error.empty()) throw EngineError(definition.error);
  if (!definition.virtual_cube) throw EngineError("The cube '" + definition.name + "' is not a virtual cube.");
  const schema::VirtualCubeDef& virtual_cube = *definition.virtual_cube;
  auto base_named = [&](const std::string& name) {
    for (const auto& cube : built) {
      if (EqualsIgnoreCase(cube->name(), name)) return cube;
    }
    throw EngineError("Its base cube '" + name + "' did not load.");
  };
  auto definition_named = [&](const std::string& name) -> const schema::CubeDef& {
    for (const auto& cube : schema_cubes) {
      if (!cube.virtual_cube && EqualsIgnoreCase(cube.name, name)) return cube;
    }
    throw EngineError("Its base cube '" + name + "' is not in the schema.");
  };

  CubeBuilder builder(definition, std::move(store), nullptr);
  std::shared_ptr<Cube> cube(new Cube());
  auto& state = *cube->state_;
  state.name = definition.name;
  state.description = definition.description;
  state.store = builder.store_;
  builder.BuildMeasures(state);
  for (size_t index = 0; index < definition.dimensions.size(); ++index) {
    // A dimension taken from a base cube reads its members as it does there,
    // from that cube's fact table where its levels are columns of it.
    const std::string& from = virtual_cube.dimension_cubes[index];
    builder.fact_ = {};
    builder.fact_alias_.clear();
    builder.fact_relation_ = nullptr;
    if (!from.empty()) {
      const schema::CubeDef& base = definition_named(from);
      builder.AddRelation(*base.fact, builder.fact_);
      builder.fact_alias_ = base.fact->alias;
      builder.fact_relation_ = base.fact.get();
    }
    builder.BuildDimension(state, definition.dimensions[index]);
  }
  builder.BuildNamesAndFormulas(state);

  std::vector<VirtualCellReader::Base> bases;
  for (const auto& usage : virtual_cube.usages) {
    std::shared_ptr<const Cube> base = base_named(usage.cube);
    const schema::CubeDef& base_definition = definition_named(usage.cube);
    VirtualCellReader::Base reader;
    reader.reader = &base->cells();
    reader.hierarchies = base->hierarchies();
    reader.from_virtual.assign(reader.hierarchies.size(), -1);
    reader.related.assign(state.hierarchies.size(), false);
    reader.ignore_unrelated_dimensions = usage.ignore_unrelated_dimensions;
    for (size_t index = 0; index < definition.dimensions.size(); ++index) {
      const std::string& from = virtual_cube.dimension_cubes[index];
      const std::string& name = definition.dimensions[index].name;
      // A cube-qualified dimension is its cube's alone; a shared one relates
      // to every base cube that uses it.
      bool related = from.empty() ? std::any_of(base_definition.dimensions.begin(), base_definition.dimensions.end(),
                                                [&](const schema::DimensionDef& own) {
                                                  return EqualsIgnoreCase(own.name, name);
                                                })
                                  : EqualsIgnoreCase(from, base->name());
      if (!related) continue;
      for (const Hierarchy* hierarchy : state.dimensions_by_name.at(name)->hierarchies()) {
        const Hierarchy* own = base->FindHierarchy(hierarchy->unique_name());
        if (!own) continue;
        reader.related[static_cast<size_t>(hierarchy->index())] = true;
        reader.from_virtual[static_cast<size_t>(own->index())] = hierarchy->index();
      }
    }
    bases.push_back(std::move(reader));
    state.bases.push_back(std::move(base));
  }
  std::unordered_map<const Measure*, std::pair<size_t, const Measure*>> measures;
  for (size_t index = 0; index < state.measures.size(); ++index) {
    const Measure* measure = state.measures[index];
    const std::string& from = virtual_cube.measure_cubes[index];
    for (size_t base = 0; base < state.bases.size(); ++base) {
      if (!EqualsIgnoreCase(state.bases[base]->name(), from)) continue;
      for (const Measure* own : state.bases[base]->measures()) {
        if (EqualsIgnoreCase(own->name, measure->name)) measures.emplace(measure, std::make_pair(base, own));
      }
    }
    if (measures.count(measure) == 0) throw EngineError("The measure " + measure->unique_name + " is not in its base cube.");
  }
  state.cells = std::make_unique<VirtualCellReader>(std::move(bases), std::move(measures));
  return cube;
}

std::shared_ptr<const Cube> CubeBuilder::BuildRestricted(std::shared_ptr<const Cube> base,
                                                         const schema::CubeDef& definition, const CubeAccess& access) {
  // Built afresh, it is still this function's own until it returns.
  auto cube = std::const_pointer_cast<Cube>(Build(definition, base->state_->store));
  Cube::State& state = *cube->state_;
  const Cube::State& base_state = *base->state_;
  state.cells.reset();  // every read goes through the base's reader
  const auto& measures = state.measures_hierarchy->Tree().members();
  const auto& base_measures = base_state.measures_hierarchy->Tree().members();
  for (size_t index = 0; index < measures.size() && index < base_measures.size(); ++index) {
    const_cast<Member*>(measures[index])->stored = base_measures[index];
  }
  for (size_t index = 0; index < state.hierarchies.size(); ++index) {
    Hierarchy::State& h = *state.hierarchies[index]->state_;
    h.base = base_state.hierarchies[index];
    h.access = std::make_shared<const HierarchyAccess>(access.hierarchies[index]);
    h.accessible = access.hierarchies[index].kind != HierarchyAccess::Kind::kNone;
    if (h.accessible) continue;
    state.hierarchies_by_name.erase(h.unique_name);
    const_cast<Dimension*>(h.dimension)->RemoveHierarchy(state.hierarchies[index]);
  }
  std::erase_if(state.dimensions, [&](const Dimension* dimension) {
    if (dimension->is_measures() || !dimension->hierarchies().empty()) return false;
    state.dimensions_by_name.erase(dimension->name());
    state.dimensions_by_name.erase(dimension->unique_name());
    return true;
  });
  state.base = std::move(base);
  return cube;
}

std::string CubeBuilder::Column(const std::string& table, const std::string& column) const {
  return store_->QuoteColumn(table, column);
}

std::string CubeBuilder::InlineTableSql(const Relation& relation) const {
  auto sql_type = [](const std::string& type) -> std::string {
    if (type == "Numeric") return "DOUBLE PRECISION";
    if (type == "Integer") return "BIGINT";
    if (type == "Boolean") return "BOOLEAN";
    if (type == "Date") return "DATE";
    if (type == "Time") return "TIME";
    if (type == "Timestamp") return "TIMESTAMP";
    return "VARCHAR";
  };
  auto select = [&](const std::vector<std::optional<std::string>>* row) {
    std::string sql = "SELECT ";
    for (size_t index = 0; index < relation.columns.size(); ++index) {
      if (index > 0) sql += ", ";
      const std::optional<std::string>* value = row ? &(*row)[index] : nullptr;
      sql += "CAST(" + (value && *value ? store_->QuoteLiteral(**value) : std::string("NULL")) + " AS " +
             sql_type(relation.columns[index].second) + ") AS " + store_->QuoteIdentifier(relation.columns[index].first);
    }
    return sql;
  };
  // No rows: the columns alone, so that the table joins and answers nothing.
  if (relation.rows.empty()) return select(nullptr) + " WHERE 1 = 0";
  std::string sql;
  for (const auto& row : relation.rows) {
    if (!sql.empty()) sql += " UNION ALL ";
    sql += select(&row);
  }
  return sql;
}

std::string CubeBuilder::CheckedColumn(const std::string& alias, const std::string& column, int line,
                                       const std::string& what) const {
  auto inline_table = inline_columns_.find(alias);
  if (inline_table != inline_columns_.end()) {
    bool known = std::any_of(inline_table->second.begin(), inline_table->second.end(),
                             [&](const std::string& name) { return EqualsIgnoreCase(name, column); });
    if (!known) {
      throw EngineError("Schema line " + std::to_string(line) + ": " + what + " names the column '" + column +
                        "', which the inline table '" + alias + "' does not have.");
    }
    return Column(alias, column);
  }
  if (unchecked_aliases_.count(alias) > 0) return Column(alias, column);
  auto table = alias_tables_.find(alias);
  if (columns_ && table != alias_tables_.end() &&
      !columns_->HasColumn(table->second.first, table->second.second, column)) {
    throw EngineError("Schema line " + std::to_string(line) + ": " + what + " names the column '" + column +
                      "', which the table '" + table->second.second + "' does not have.");
  }
  return Column(alias, column);
}

void CubeBuilder::BuildMeasures(Cube::State& state) {
  auto dimension = std::make_unique<Dimension>("Measures", "[Measures]", "Measures", true);
  std::unique_ptr<Hierarchy> hierarchy(new Hierarchy());
  Hierarchy::State& h = *hierarchy->state_;
  h.unique_name = "[Measures]";
  h.caption = "Measures";
  h.dimension = dimension.get();
  h.is_measures = true;
  h.load_members = MembersFrom(*store_);
  h.levels.push_back(
      std::make_unique<Level>(hierarchy.get(), "MeasuresLevel", "[Measures].[MeasuresLevel]", "MeasuresLevel", 0, false));
  h.mapping.levels.resize(1);

  auto tree = std::make_unique<detail::MemberTree>(1);
  auto add_member = [&](const std::string& name, const std::string& caption) -> Member& {
    Member member;
    member.name = name;
    member.caption = caption;
    member.unique_name = "[Measures]." + MemberLoader::Bracket(name);
    member.level = h.levels.front().get();
    return tree->Add(std::move(member));
  };
  for (const auto& definition : definition_.measures) {
    auto measure = std::make_unique<Measure>();
    measure->name = definition.name;
    measure->unique_name = "[Measures]." + MemberLoader::Bracket(definition.name);
    measure->caption = definition.caption;
    measure->aggregator = definition.aggregator;
    measure->format_string = definition.format_string;
    measure->datatype = definition.datatype;
    measure->visible = definition.visible;
    std::string expression;
    if (definition_.virtual_cube) {
      // Read by its base cube, which has the SQL.
      measure->column = definition.column;
    } else if (!definition.column.empty()) {
      measure->column = definition.column;
      expression = CheckedColumn(fact_alias_, definition.column, definition.line,
                                 "the measure '" + definition.name + "'");
    } else {
      measure->sql_expression = ExpressionSql(definition.expression, "the measure '" + definition.name + "'");
      expression = measure->sql_expression;
    }
    if (!definition_.virtual_cube) {
      aggregates_.emplace(measure.get(), AggregateSql(definition.aggregator, expression));
      row_sql_.emplace(measure.get(), expression);
    }
    add_member(definition.name, definition.caption).measure = measure.get();
    state.measures.push_back(measure.get());
    state.owned_measures.push_back(std::move(measure));
  }
  for (const auto& definition : definition_.calculated_members) {
    if (!OnMeasures(definition)) continue;
    auto member = NewCalculatedMember(definition, definition_.calculated_members, "[Measures]." + MemberLoader::Bracket(definition.name), hierarchy.get());
    add_member(definition.name, definition.caption).calculated = member.get();
    state.calculated_members.push_back(member.get());
    state.owned_calculated_members.push_back(std::move(member));
  }
  tree->Finish();
  const auto& members = tree->members();
  h.default_member = members.front();
  if (!definition_.default_measure.empty()) {
    auto found = std::find_if(members.begin(), members.end(), [&](const Member* member) {
      return EqualsIgnoreCase(member->name, definition_.default_measure);
    });
    if (found == members.end()) {
      throw EngineError("The default measure '" + definition_.default_measure + "' is not a measure of the cube.");
    }
    h.default_member = *found;
  }
  state.default_measure = h.default_member;
  h.tree = std::move(tree);
  h.loaded.store(h.tree.get());

  dimension->AddHierarchy(hierarchy.get());
  state.measures_hierarchy = hierarchy.get();
  state.hierarchies_by_name.emplace(h.unique_name, hierarchy.get());
  state.dimensions.push_back(dimension.get());
  state.owned_dimensions.push_back(std::move(dimension));
  state.owned_hierarchies.push_back(std::move(hierarchy));
}

void CubeBuilder::BuildCalculatedMembers(Cube::State& state) {
  std::set<std::string> placed;  // hierarchy, parent and name of each member, lower case
  for (const auto& definition : definition_.calculated_members) {
    if (OnMeasures(definition)) continue;
    std::string where = "Schema line " + std::to_string(definition.line) + ": the calculated member '" +
                        definition.name + "' ";
    // The attribute names a hierarchy ("[Time].[Weekly]") or a dimension, meaning its first hierarchy.
    const Hierarchy* hierarchy = nullptr;
    auto by_hierarchy = state.hierarchies_by_name.find(definition.dimension);
    if (by_hierarchy != state.hierarchies_by_name.end()) {
      hierarchy = by_hierarchy->second;
    } else {
      std::string bracketed = definition.dimension.empty() || definition.dimension.front() == '['
                                  ? definition.dimension
                                  : MemberLoader::Bracket(definition.dimension);
      by_hierarchy = state.hierarchies_by_name.find(bracketed);
      if (by_hierarchy != state.hierarchies_by_name.end()) {
        hierarchy = by_hierarchy->second;
      } else {
        auto dimension = state.dimensions_by_name.find(definition.dimension);
        if (dimension == state.dimensions_by_name.end()) dimension = state.dimensions_by_name.find(bracketed);
        if (dimension != state.dimensions_by_name.end()) hierarchy = dimension->second->hierarchies().front();
      }
    }
    if (!hierarchy) throw EngineError(where + "names '" + definition.dimension + "', which is not a dimension of the cube.");
    std::string place = ToLower(hierarchy->unique_name() + "\n" + definition.parent + "\n" + definition.name);
    if (!placed.insert(place).second) throw EngineError(where + "is defined twice in one place.");
    auto member = NewCalculatedMember(
        definition, definition_.calculated_members,
        (definition.parent.empty() ? hierarchy->unique_name() : definition.parent) + "." +
            MemberLoader::Bracket(definition.name),
        hierarchy);
    member->parent_name = definition.parent;
    for (auto& owned : state.owned_hierarchies) {
      if (owned.get() == hierarchy) owned->state_->calculated_definitions.push_back(member.get());
    }
    state.calculated_members.push_back(member.get());
    state.owned_calculated_members.push_back(std::move(member));
  }
}

void CubeBuilder::BuildDimension(Cube::State& state, const schema::DimensionDef& definition) {
  std::string dimension_name = MemberLoader::Bracket(definition.name);
  auto dimension = std::make_unique<Dimension>(definition.name, dimension_name, definition.caption, false);
  dimension->SetTime(definition.type == "TimeDimension");
  dimension->SetVisible(definition.visible);
  bool several = definition.hierarchies.size() > 1;
  for (const auto& hierarchy_definition : definition.hierarchies) {
    std::unique_ptr<Hierarchy> hierarchy(new Hierarchy());
    Hierarchy::State& h = *hierarchy->state_;
    h.name = hierarchy_definition.name.empty() && several ? definition.name : hierarchy_definition.name;
    h.unique_name = several ? dimension_name + "." + MemberLoader::Bracket(h.name) : dimension_name;
    h.caption = !hierarchy_definition.caption.empty() ? hierarchy_definition.caption
                : !h.name.empty()                     ? h.name
                                                      : definition.caption;
    h.dimension = dimension.get();
    h.has_all = hierarchy_definition.has_all;
    h.visible = hierarchy_definition.visible;
    h.index = static_cast<int>(state.hierarchies.size());
    h.default_member_name = hierarchy_definition.default_member;
    h.all_member_name = hierarchy_definition.all_member_name.empty() ? "All " + definition.name + "s"
                                                                     : hierarchy_definition.all_member_name;
    h.all_member_caption = hierarchy_definition.all_member_caption.empty() ? h.all_member_name
                                                                           : hierarchy_definition.all_member_caption;
    h.load_members = MembersFrom(*store_);
    h.store = store_.get();
    if (h.has_all) {
      std::string name = hierarchy_definition.all_level_name.empty() ? "(All)" : hierarchy_definition.all_level_name;
      h.levels.push_back(std::make_unique<Level>(hierarchy.get(), name, h.unique_name + "." + MemberLoader::Bracket(name),
                                                 name, 0, true));
    }
    for (const auto& level : hierarchy_definition.levels) {
      int depth = static_cast<int>(h.levels.size());
      auto built = std::make_unique<Level>(hierarchy.get(), level.name,
                                           h.unique_name + "." + MemberLoader::Bracket(level.name), level.caption,
                                           depth, false);
      for (const auto& property : level.properties) {
        built->properties_.push_back(
            LevelProperty{property.name, property.caption, property.description, PropertyType(property.type)});
      }
      auto type = ToLevelType(level.level_type);
      if (!type) {
        throw EngineError("Schema line " + std::to_string(level.line) + ": the level '" + level.name +
                          "' has the levelType '" + level.level_type + "', which is not known.");
      }
      built->type_ = *type;
      built->visible_ = level.visible;
      h.levels.push_back(std::move(built));
    }
    Map(h, definition, hierarchy_definition);
    CheckSharedTables(definition.name, h.mapping);

    dimension->AddHierarchy(hierarchy.get());
    state.hierarchies.push_back(hierarchy.get());
    if (!state.hierarchies_by_name.emplace(h.unique_name, hierarchy.get()).second) {
      throw EngineError("Two hierarchies of the cube have the unique name " + h.unique_name + ".");
    }
    state.owned_hierarchies.push_back(std::move(hierarchy));
  }
  state.dimensions.push_back(dimension.get());
  state.owned_dimensions.push_back(std::move(dimension));
}

void CubeBuilder::Map(Hierarchy::State& hierarchy, const schema::DimensionDef& dimension,
                         const schema::HierarchyDef& definition) {
  auto& mapping = hierarchy.mapping;
  std::string what = "the dimension '" + dimension.name + "'";
  std::string default_table;
  const Relation* relation = definition.relation.get();
  bool on_fact = !relation || (fact_relation_ && relation->kind == Relation::Kind::kTable &&
                               relation->alias == fact_alias_ && relation->name == fact_relation_->name);
  if (on_fact) {
    // A degenerate dimension: its levels are columns of the fact table itself.
    mapping.relation = fact_;
    default_table = fact_alias_;
  } else {
    AddRelation(*relation, mapping.relation);
    if (relation->kind != Relation::Kind::kJoin) default_table = relation->alias;
    // A virtual cube's hierarchies only read members; its base cubes join their facts.
    if (definition_.virtual_cube) {
      mapping.levels.resize(hierarchy.has_all ? 1 : 0);
      MapLevels(hierarchy, definition, default_table, what);
      return;
    }
    if (dimension.foreign_key.empty()) throw EngineError(what + " has no foreignKey to join the fact table with.");
    std::string key_table = !definition.primary_key_table.empty() ? definition.primary_key_table : default_table;
    if (key_table.empty()) throw EngineError("A hierarchy of " + what + " joins several tables and needs primaryKeyTable.");
    if (!mapping.relation.HasAlias(key_table)) {
      throw EngineError("The primaryKeyTable '" + key_table + "' of " + what + " is not one of its tables.");
    }
    std::string primary_key = definition.primary_key;
    if (primary_key.empty()) primary_key = definition.levels.back().key.column;
    if (primary_key.empty()) throw EngineError("A hierarchy of " + what + " has no primaryKey.");
    mapping.foreign_key = dimension.foreign_key;
    mapping.key_table = key_table;
    mapping.primary_key_sql = CheckedColumn(key_table, primary_key, definition.line, "the primaryKey of " + what);
    mapping.fact_link = detail::RelationSql::Condition{
        fact_alias_, key_table,
        CheckedColumn(fact_alias_, dimension.foreign_key, dimension.line, "the foreignKey of " + what) + " = " +
            mapping.primary_key_sql};
  }

  mapping.levels.resize(hierarchy.has_all ? 1 : 0);
  MapLevels(hierarchy, definition, default_table, what);
}

void CubeBuilder::MapLevels(Hierarchy::State& hierarchy, const schema::HierarchyDef& definition,
                            const std::string& default_table, const std::string& what) {
  auto& mapping = hierarchy.mapping;
  for (const auto& level : definition.levels) {
    std::string level_what = "the level '" + level.name + "' of " + what;
    std::string table = level.table.empty() ? default_table : level.table;
    detail::LevelMapping level_mapping;
    level_mapping.key_sql = LevelSql(level.key, table, mapping.relation, level_what);
    level_mapping.name_sql = level.name_expression.empty()
                                 ? level_mapping.key_sql
                                 : LevelSql(level.name_expression, table, mapping.relation, level_what);
    level_mapping.caption_sql = level.caption_expression.empty()
                                    ? level_mapping.name_sql
                                    : LevelSql(level.caption_expression, table, mapping.relation, level_what);
    if (!level.ordinal_expression.empty()) {
      level_mapping.ordinal_sql = LevelSql(level.ordinal_expression, table, mapping.relation, level_what);
    }
    level_mapping.unique_members = level.unique_members;
    if (level.hide_member_if == "IfBlankName") level_mapping.hide_if = detail::HideMemberIf::kIfBlankName;
    if (level.hide_member_if == "IfParentsName") level_mapping.hide_if = detail::HideMemberIf::kIfParentsName;
    if (!level.parent_column.empty()) MapParentChild(level, definition.levels.size(), table, mapping, level_mapping, level_what);
    for (const auto& property : level.properties) {
      std::string sql = LevelSql(property.expression, table, mapping.relation,
                                 "the property '" + property.name + "' of " + level_what);
      // Dates and times are read as their ISO text, which every store gives alike.
      auto type = PropertyType(property.type);
      if (type == LevelProperty::Type::kDate || type == LevelProperty::Type::kTime ||
          type == LevelProperty::Type::kTimestamp) {
        sql = "CAST(" + sql + " AS VARCHAR)";
      }
      level_mapping.property_sql.push_back(std::move(sql));
    }
    mapping.levels.push_back(std::move(level_mapping));
  }
}

void CubeBuilder::MapParentChild(const schema::LevelDef& level, size_t level_count, const std::string& table,
                                 detail::HierarchyMapping& mapping, detail::LevelMapping& level_mapping,
                                 const std::string& what) {
  // Members of any depth come from the one level, so the tree is all the
  // hierarchy has below its all member.
  if (mapping.levels.size() > 1 || level_count != 1) {
    throw EngineError("Schema line " + std::to_string(level.line) + ": " + what +
                      " has a parentColumn; a parent-child level must be its hierarchy's only level below the all level.");
  }
  Expression parent;
  parent.column = level.parent_column;
  parent.table = level.table;
  parent.line = level.line;
  level_mapping.parent_sql = LevelSql(parent, table, mapping.relation, "the parentColumn of " + what);
  level_mapping.null_parent_value = level.null_parent_value;
  if (!level.key.sql.empty()) {
    throw EngineError("Schema line " + std::to_string(level.line) + ": " + what + " needs a key column, not a <KeyExpression>.");
  }
  level_mapping.key_table = level.key.table.empty() ? table : level.key.table;
  // Every member is its own key's only holder: cells are filtered by the key alone.
  level_mapping.unique_members = true;
  if (!level.closure) return;
  if (level.closure->kind != Relation::Kind::kTable) {
    throw EngineError("Schema line " + std::to_string(level.line) + ": the <Closure> of " + what + " must hold a <Table>.");
  }
  detail::RelationSql closure;
  AddRelation(*level.closure, closure);
  level_mapping.closure_table = closure.tables().front().sql;
  level_mapping.closure_alias = level.closure->alias;
  level_mapping.closure_parent_sql = CheckedColumn(level.closure->alias, level.closure_parent_column,
                                                   level.closure->line, "the <Closure> of " + what);
  level_mapping.closure_child_sql = CheckedColumn(level.closure->alias, level.closure_child_column,
                                                  level.closure->line, "the <Closure> of " + what);
}

std::string CubeBuilder::LevelSql(const Expression& expression, const std::string& default_table,
                                     const detail::RelationSql& tables, const std::string& what) const {
  if (expression.column.empty()) return ExpressionSql(expression, what);
  std::string table = expression.table.empty() ? default_table : expression.table;
  if (table.empty()) throw EngineError(what + " needs a table attribute: its hierarchy joins several tables.");
  if (!tables.HasAlias(table)) throw EngineError(what + " names the table '" + table + "', which its hierarchy does not join.");
  return CheckedColumn(table, expression.column, expression.line, what);
}

std::string CubeBuilder::ExpressionSql(const Expression& expression, const std::string& what) const {
  for (const auto& dialect : store_->dialects()) {
    for (const auto& [name, sql] : expression.sql) {
      if (name == dialect) return "(" + sql + ")";
    }
  }
  throw EngineError("The SQL expression of " + what + " has no version for this store (dialect '" +
                    store_->dialects().front() + "' or 'generic').");
}

void CubeBuilder::AddRelation(const Relation& relation, detail::RelationSql& tables) {
  std::string where = "Schema line " + std::to_string(relation.line) + ": ";
  auto remember = [&](std::pair<std::string, std::string> table) {
    auto [known, added] = alias_tables_.emplace(relation.alias, table);
    if (!added && known->second != table) {
      throw EngineError(where + "the table alias '" + relation.alias + "' stands for two tables, '" +
                        known->second.second + "' and '" + table.second + "'; give one of them its own alias.");
    }
  };
  std::string alias = store_->QuoteIdentifier(relation.alias);
  if (relation.kind == Relation::Kind::kView) {
    // A view's columns are whatever its SELECT gives: the store checks them.
    remember({"", "(view " + relation.alias + ")"});
    unchecked_aliases_.insert(relation.alias);
    std::string sql = ExpressionSql(relation.sql, "the <View> '" + relation.alias + "'");
    tables.AddTable({relation.alias, sql + " AS " + alias, "", ""});
    return;
  }
  if (relation.kind == Relation::Kind::kInline) {
    remember({"", "(inline " + relation.alias + ")"});
    std::vector<std::string> names;
    for (const auto& column : relation.columns) names.push_back(column.first);
    inline_columns_[relation.alias] = names;
    tables.AddTable({relation.alias, "(" + InlineTableSql(relation) + ") AS " + alias, "", ""});
    return;
  }
  if (relation.kind == Relation::Kind::kTable) {
    if (columns_ && !columns_->HasTable(relation.schema, relation.name)) {
      throw EngineError(where + "the table '" + (relation.schema.empty() ? "" : relation.schema + ".") +
                        relation.name + "' does not exist in the store.");
    }
    remember({relation.schema, relation.name});
    std::string sql = relation.schema.empty() ? "" : store_->QuoteIdentifier(relation.schema) + ".";
    sql += store_->QuoteIdentifier(relation.name) + " AS " + alias;
    if (!relation.sql.empty()) {
      // A filter on the table: only its rows that pass count, for members and cells alike.
      sql = "(SELECT * FROM " + sql + " WHERE " +
            ExpressionSql(relation.sql, "the filter of the table '" + relation.name + "'") + ") AS " + alias;
    }
    bool plain = relation.sql.empty();
    tables.AddTable({relation.alias, sql, plain ? relation.schema : "", plain ? relation.name : ""});
    return;
  }
  AddRelation(*relation.left, tables);
  AddRelation(*relation.right, tables);
  for (const auto* alias : {&relation.left_alias, &relation.right_alias}) {
    if (!tables.HasAlias(*alias)) throw EngineError("A <Join> names the table '" + *alias + "', which it does not join.");
  }
  tables.AddCondition({relation.left_alias, relation.right_alias,
                       CheckedColumn(relation.left_alias, relation.left_key, relation.line, "a <Join>") + " = " +
                           CheckedColumn(relation.right_alias, relation.right_key, relation.line, "a <Join>")});
}

void CubeBuilder::CheckSharedTables(const std::string& dimension, const detail::HierarchyMapping& mapping) {
  auto check = [&](std::string first, std::string second, const std::string& sql) {
    if (second < first) std::swap(first, second);
    auto [entry, added] = joins_.emplace(std::make_pair(first, second), std::make_pair(sql, dimension));
    if (!added && entry->second.first != sql) {
      throw EngineError("The dimensions '" + entry->second.second + "' and '" + dimension + "' join the tables '" +
                        first + "' and '" + second + "' in different ways; give one of them its own table alias.");
    }
  };
  detail::RelationSql combined = fact_;
  try {
    combined.Merge(mapping.relation);
  } catch (const ComError& error) {
    throw EngineError("The dimension '" + dimension + "': " + error.description());
  }
  for (const auto& table : mapping.relation.tables()) check(table.alias, table.alias, table.sql);
  for (const auto& condition : mapping.relation.conditions()) {
    check(condition.left_alias, condition.right_alias, condition.sql);
  }
  if (mapping.fact_link) check(mapping.fact_link->left_alias, mapping.fact_link->right_alias, mapping.fact_link->sql);
}

}  // namespace orvex::engine

namespace orvex::engine {
namespace {

// A name as the default column names of aggregate tables write it: lower
// case, spaces as underscores ("Store Sales" is store_sales).
std::string AggColumnName(const std::string& name) {
  std::string column = ToLower(name);
  std::replace(column.begin(), column.end(), ' ', '_');
  return column;
}

bool Matches(const std::string& pattern, const std::string& name, bool ignore_case) {
  try {
    auto flags = std::regex::ECMAScript | (ignore_case ? std::regex::icase : std::regex::ECMAScript);
    return std::regex_match(name, std::regex(pattern, flags));
  } catch (const std::regex_error&) {
    throw EngineError("The aggregate table pattern '" + pattern + "' is not a regular expression.");
  }
}

// Aggregates of an aggregate table's column that add up to coarser groups.
std::optional<std::string> RollUpSql(Aggregator aggregator, const std::string& column) {
  switch (aggregator) {
    case Aggregator::kSum:
    case Aggregator::kCount: return "SUM(" + column + ")";
    case Aggregator::kMin: return "MIN(" + column + ")";
    case Aggregator::kMax: return "MAX(" + column + ")";
    default: return std::nullopt;
  }
}

}  // namespace

std::vector<AggregateTable> CubeBuilder::BuildAggregateTables(const Cube::State& state) {
  std::vector<AggregateTable> tables;
  for (const auto& definition : definition_.fact->aggregates) {
    if (!definition.name.empty()) tables.push_back(*BuildAggregateTable(state, definition, definition.name));
  }
  // Patterns after every named table, so that a table both name is described by its <AggName>.
  for (const auto& definition : definition_.fact->aggregates) {
    if (!definition.name.empty()) continue;
    // A pattern needs the store's list of tables; a store that cannot list them has none to match.
    if (!columns_) continue;
    for (const std::string& name : columns_->TableNames()) {
      if (EqualsIgnoreCase(name, definition_.fact->name) || !Matches(definition.pattern, name, definition.ignore_case)) {
        continue;
      }
      bool excluded = std::any_of(definition.exclude_names.begin(), definition.exclude_names.end(),
                                  [&](const std::string& exclude) {
                                    return definition.ignore_case ? EqualsIgnoreCase(exclude, name) : exclude == name;
                                  }) ||
                      std::any_of(definition.exclude_patterns.begin(), definition.exclude_patterns.end(),
                                  [&](const std::string& exclude) { return Matches(exclude, name, definition.ignore_case); });
      bool named = std::any_of(tables.begin(), tables.end(), [&](const AggregateTable& table) {
        return EqualsIgnoreCase(table.name, name);
      });
      if (excluded || named) continue;
      if (auto table = BuildAggregateTable(state, definition, name)) tables.push_back(std::move(*table));
    }
  }
  // The most grouped first: fewer level and key columns, fewer rows to read.
  auto width = [](const AggregateTable& table) {
    int columns = 0;
    for (const auto& link : table.links) {
      if (link.kind == AggregateTable::Link::Kind::kForeignKey) columns += 100;
      if (link.kind == AggregateTable::Link::Kind::kLevels) columns += link.deepest;
    }
    return columns;
  };
  std::stable_sort(tables.begin(), tables.end(),
                   [&](const AggregateTable& a, const AggregateTable& b) { return width(a) < width(b); });
  return tables;
}

std::optional<AggregateTable> CubeBuilder::BuildAggregateTable(const Cube::State& state,
                                                               const schema::AggTableDef& definition,
                                                               const std::string& name) {
  bool explicit_table = !definition.name.empty();
  std::string what = "the aggregate table '" + name + "'";
  std::string where = "Schema line " + std::to_string(definition.line) + ": ";
  Relation relation;
  relation.kind = Relation::Kind::kTable;
  relation.name = name;
  relation.schema = definition_.fact->schema;
  relation.alias = name;
  relation.line = definition.line;
  AggregateTable table;
  table.name = name;
  AddRelation(relation, table.relation);
  table.links.resize(state.hierarchies.size());
  auto has_column = [&](const std::string& column) {
    bool ignored = std::any_of(definition.ignored.begin(), definition.ignored.end(),
                               [&](const std::string& other) { return EqualsIgnoreCase(other, column); });
    return !ignored && columns_ && columns_->HasColumn(relation.schema, name, column);
  };
  auto column_sql = [&](const std::string& column) { return CheckedColumn(name, column, definition.line, what); };

  std::string fact_count = explicit_table ? definition.fact_count : "fact_count";
  if (!explicit_table && !has_column(fact_count)) return std::nullopt;
  (void)column_sql(fact_count);

  // Foreign keys: given, or for a pattern's match the fact table's own names.
  std::vector<std::pair<std::string, std::string>> foreign_keys = definition.foreign_keys;
  if (!explicit_table) {
    for (const Hierarchy* hierarchy : state.hierarchies) {
      const auto& key = hierarchy->mapping().foreign_key;
      if (!key.empty() && has_column(key)) foreign_keys.emplace_back(key, key);
    }
  }
  for (const auto& [fact_column, agg_column] : foreign_keys) {
    bool found = false;
    for (const Hierarchy* hierarchy : state.hierarchies) {
      const auto& mapping = hierarchy->mapping();
      if (!mapping.fact_link || !EqualsIgnoreCase(mapping.foreign_key, fact_column)) continue;
      auto& link = table.links[static_cast<size_t>(hierarchy->index())];
      link.kind = AggregateTable::Link::Kind::kForeignKey;
      link.join = {name, mapping.key_table, column_sql(agg_column) + " = " + mapping.primary_key_sql};
      found = true;
    }
    if (!found) throw EngineError(where + what + " names the foreign key '" + fact_column + "', which no dimension uses.");
  }

  // Levels: given by unique name, or for a pattern's match found by the
  // names "hierarchy_level" or the level's key column.
  auto add_level = [&](const Level& level, const std::string& column) {
    const Hierarchy& hierarchy = level.hierarchy();
    auto& link = table.links[static_cast<size_t>(hierarchy.index())];
    if (link.kind == AggregateTable::Link::Kind::kForeignKey) {
      throw EngineError(where + what + " holds both a foreign key and levels of " + hierarchy.unique_name() + ".");
    }
    link.kind = AggregateTable::Link::Kind::kLevels;
    link.level_sql.resize(hierarchy.levels().size());
    link.level_sql[static_cast<size_t>(level.depth())] = column_sql(column);
    link.deepest = std::max(link.deepest, level.depth());
  };
  if (explicit_table) {
    for (const auto& [level_name, column] : definition.levels) {
      const Level* found = nullptr;
      for (const Hierarchy* hierarchy : state.hierarchies) {
        for (const auto& level : hierarchy->levels()) {
          if (EqualsIgnoreCase(level->unique_name(), level_name)) found = level.get();
        }
      }
      if (!found || found->is_all()) {
        throw EngineError(where + what + " names the level " + level_name + ", which the cube does not have.");
      }
      add_level(*found, column);
    }
  } else {
    for (const Hierarchy* hierarchy : state.hierarchies) {
      if (table.links[static_cast<size_t>(hierarchy->index())].kind != AggregateTable::Link::Kind::kNone) continue;
      std::string prefix = AggColumnName(hierarchy->name().empty() ? hierarchy->dimension().name() : hierarchy->name());
      for (const auto& level : hierarchy->levels()) {
        if (level->is_all()) continue;
        std::string by_name = prefix + "_" + AggColumnName(level->name());
        if (has_column(by_name)) add_level(*level, by_name);
      }
    }
  }
  for (const Hierarchy* hierarchy : state.hierarchies) {
    auto& link = table.links[static_cast<size_t>(hierarchy->index())];
    if (link.kind != AggregateTable::Link::Kind::kLevels) continue;
    // A level's key is unique only with its ancestors' keys: every level
    // above the deepest must be there too.
    for (int depth = hierarchy->has_all() ? 1 : 0; depth <= link.deepest; ++depth) {
      if (link.level_sql[static_cast<size_t>(depth)].empty()) {
        if (!explicit_table) {
          link = AggregateTable::Link{};
          break;
        }
        throw EngineError(where + what + " holds the level " +
                          hierarchy->levels()[static_cast<size_t>(link.deepest)]->unique_name() +
                          " but not the level " + hierarchy->levels()[static_cast<size_t>(depth)]->unique_name() +
                          " above it.");
      }
    }
  }

  // Measures: given by unique name, or for a pattern's match found by the
  // measure's column or its name.
  auto add_measure = [&](const Measure& measure, const std::string& column) {
    std::string sql = column_sql(column);
    if (measure.aggregator == Aggregator::kDistinctCount) {
      table.exact.emplace(&measure, "MAX(" + sql + ")");
    } else if (auto rolled = RollUpSql(measure.aggregator, sql)) {
      table.aggregates.emplace(&measure, *rolled);
    }
    // An average is read from the fact table: its parts are not stored.
  };
  if (explicit_table) {
    for (const auto& given : definition.measures) {
      const std::string& measure_name = given.first;
      auto found = std::find_if(state.measures.begin(), state.measures.end(), [&](const Measure* measure) {
        return EqualsIgnoreCase(measure->unique_name, measure_name) || EqualsIgnoreCase(measure->name, measure_name);
      });
      if (found == state.measures.end()) {
        throw EngineError(where + what + " names the measure " + measure_name + ", which the cube does not have.");
      }
      add_measure(**found, given.second);
    }
  } else {
    for (const Measure* measure : state.measures) {
      // By the measure's name; by its fact column only when no other measure
      // reads that column (a count and a sum of one column hold different figures).
      bool shared = std::count_if(state.measures.begin(), state.measures.end(), [&](const Measure* other) {
                      return EqualsIgnoreCase(other->column, measure->column);
                    }) > 1;
      if (has_column(AggColumnName(measure->name))) {
        add_measure(*measure, AggColumnName(measure->name));
      } else if (!measure->column.empty() && !shared && has_column(measure->column)) {
        add_measure(*measure, measure->column);
      }
    }
  }
  return table;
}

}  // namespace orvex::engine

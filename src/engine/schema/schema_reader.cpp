#include "engine/schema/schema_reader.h"

#include <pugixml.hpp>

#include <algorithm>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <sstream>

#include "engine/common/engine_error.h"
#include "platform/text.h"

namespace orvex::engine {
namespace {

using schema::CalculatedMemberDef;
using schema::CubeDef;
using schema::DimensionDef;
using schema::Expression;
using schema::HierarchyDef;
using schema::LevelDef;
using schema::MeasureDef;
using schema::NamedSetDef;
using schema::CubeGrantDef;
using schema::DimensionGrantDef;
using schema::HierarchyGrantDef;
using schema::MemberGrantDef;
using schema::RoleDef;
using schema::Relation;
using schema::SchemaDef;
using schema::VirtualCubeDef;
using Node = pugi::xml_node;

// Elements that only describe and never change a cell's value: read past them.
const std::set<std::string, std::less<>> kDescriptive = {
    "Annotations", "Annotation", "Property", "AggName", "AggPattern", "AggExclude", "AggFactCount",
    "AggIgnoreColumn", "AggForeignKey", "AggMeasure", "AggLevel", "Hint", "MemberFormatter", "CellFormatter",
    "PropertyFormatter", "Closure"};

bool IsDescriptive(const pugi::xml_node& node) {
  return node.type() != pugi::node_element || kDescriptive.count(node.name()) > 0;
}

// The names met so far among siblings, which must differ without regard to case.
class Names {
 public:
  // False when `name` was met before.
  bool Add(const std::string& name) { return names_.insert(ToLower(name)).second; }

 private:
  std::set<std::string, std::less<>> names_;
};

std::string Text(const pugi::xml_node& node) {
  std::string text;
  for (const auto& child : node.children()) {
    if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) text += child.value();
  }
  size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

class Reader {
 public:
  explicit Reader(std::string_view xml) : xml_(xml) {}

  SchemaDef Read() {
    pugi::xml_document document;
    auto parsed = document.load_buffer(xml_.data(), xml_.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed) {
      throw EngineError("The schema is not well-formed XML: " + std::string(parsed.description()) + " at line " +
                        std::to_string(LineAt(parsed.offset)) + ".");
    }
    pugi::xml_node root = document.document_element();
    if (std::string_view(root.name()) != "Schema") {
      throw EngineError("The schema's root element is <" + std::string(root.name()) + ">, not <Schema>.");
    }
    SchemaDef result;
    result.name = root.attribute("name").value();
    std::vector<std::pair<size_t, pugi::xml_node>> virtual_cubes;  // placeholder in result.cubes, element
    for (const auto& node : root.children("Dimension")) shared_dimensions_[node.attribute("name").value()] = node;
    // Schema-wide named sets serve every cube; a broken one fails the cubes, not the schema.
    std::vector<NamedSetDef> schema_sets;
    std::string schema_sets_error;
    try {
      Names names;
      for (const auto& node : root.children("NamedSet")) {
        schema_sets.push_back(ReadNamedSet(node));
        if (!names.Add(schema_sets.back().name)) {
          Fail(node, "the named set '" + schema_sets.back().name + "' is defined twice.");
        }
      }
    } catch (const ComError& error) {
      schema_sets_error = error.description();
    }
    for (const auto& node : root.children()) {
      std::string_view name = node.name();
      if (name == "Cube") {
        if (!Flag(node, "enabled", true)) continue;
        result.cubes.push_back(ReadCubeOrError(node));
        CubeDef& cube = result.cubes.back();
        if (cube.error.empty()) cube.error = schema_sets_error;
        for (const auto& set : schema_sets) {
          bool overridden = std::any_of(cube.named_sets.begin(), cube.named_sets.end(),
                                        [&](const NamedSetDef& own) { return EqualsIgnoreCase(own.name, set.name); });
          if (!overridden) cube.named_sets.push_back(set);
        }
      } else if (name == "VirtualCube") {
        if (!Flag(node, "enabled", true)) continue;
        CubeDef cube;
        cube.name = node.attribute("name").value();
        virtual_cubes.emplace_back(result.cubes.size(), node);
        result.cubes.push_back(std::move(cube));
      } else if (name == "Role") {
        result.roles.push_back(ReadRoleOrError(node));
      }
      // Shared dimensions are read where a cube uses them; parameters and
      // user-defined functions do not change what a cube's cells hold.
    }
    // A virtual cube takes its dimensions and measures from base cubes, which
    // the schema may define after it.
    for (const auto& [index, node] : virtual_cubes) {
      CubeDef& cube = result.cubes[index];
      notes_.clear();
      try {
        ReadVirtualCube(node, result.cubes, cube);
      } catch (const ComError& error) {
        cube.error = error.description();
      }
      cube.notes = notes_;
      if (cube.error.empty()) cube.error = schema_sets_error;
      for (const auto& set : schema_sets) {
        bool overridden = std::any_of(cube.named_sets.begin(), cube.named_sets.end(),
                                      [&](const NamedSetDef& own) { return EqualsIgnoreCase(own.name, set.name); });
        if (!overridden) cube.named_sets.push_back(set);
      }
    }
    return result;
  }

 private:
  CubeDef ReadCubeOrError(const pugi::xml_node& node) {
    CubeDef cube;
    cube.name = node.attribute("name").value();
    notes_.clear();
    try {
      ReadCube(node, cube);
    } catch (const ComError& error) {
      cube.error = error.description();
    }
    cube.notes = notes_;
    return cube;
  }

  // A formatter names a class of foreign code, which this engine cannot run:
  // the value is shown with the format string instead, and the log says so.
  void NoteFormatter(const pugi::xml_node& node, const std::string& what) {
    std::string formatter = node.attribute("formatter").value();
    for (const char* element : {"CellFormatter", "MemberFormatter", "PropertyFormatter"}) {
      pugi::xml_node child = node.child(element);
      if (child && formatter.empty()) formatter = child.attribute("className").value();
      if (child && formatter.empty()) formatter = "(a script)";
    }
    if (formatter.empty()) return;
    notes_.push_back(Where(node) + "the formatter " + formatter + " of " + what +
                     " cannot run here; its format string is used instead.");
  }

  void ReadCube(const pugi::xml_node& node, CubeDef& cube) {
    cube.name = NameOf(node);
    cube.caption = CaptionOf(node, cube.name);
    cube.description = node.attribute("description").value();
    cube.default_measure = node.attribute("defaultMeasure").value();
    Names dimension_names;
    Names set_names;
    auto read_fact = [&](const Node& child) {
      if (cube.fact) Fail(child, "the cube has more than one fact table.");
      cube.fact = ReadRelation(child);
    };
    auto add_dimension = [&](const Node& child, DimensionDef dimension) {
      if (!dimension_names.Add(dimension.name)) Fail(child, "the dimension '" + dimension.name + "' is defined twice.");
      cube.dimensions.push_back(std::move(dimension));
    };
    ReadChildren(node, {
        {"Table", read_fact},
        {"View", read_fact},
        {"InlineTable", read_fact},
        {"Dimension", [&](const Node& child) { add_dimension(child, ReadDimension(child, false)); }},
        {"DimensionUsage", [&](const Node& child) { add_dimension(child, ReadUsage(child)); }},
        {"Measure", [&](const Node& child) { cube.measures.push_back(ReadMeasure(child)); }},
        {"CalculatedMember",
         [&](const Node& child) { cube.calculated_members.push_back(ReadCalculatedMember(child)); }},
        {"NamedSet",
         [&](const Node& child) {
           cube.named_sets.push_back(ReadNamedSet(child));
           if (!set_names.Add(cube.named_sets.back().name)) {
             Fail(child, "the named set '" + cube.named_sets.back().name + "' is defined twice.");
           }
         }},
    });
    if (!cube.fact) Fail(node, "the cube '" + cube.name + "' has no fact <Table>.");
    if (cube.measures.empty()) Fail(node, "the cube '" + cube.name + "' has no <Measure>.");
    // Stored and calculated measures share one namespace.
    Names member_names;
    auto add_member = [&](const std::string& name) {
      if (!member_names.Add(name)) Fail(node, "the measure '" + name + "' is defined twice.");
    };
    for (const auto& measure : cube.measures) add_member(measure.name);
    for (const auto& member : cube.calculated_members) {
      if (IsMeasures(member.dimension)) add_member(member.name);
    }
  }

  // A base cube of a virtual cube by name; it must have loaded without error.
  static const CubeDef& BaseCube(const std::vector<CubeDef>& cubes, const std::string& name) {
    for (const auto& cube : cubes) {
      if (!cube.virtual_cube && EqualsIgnoreCase(cube.name, name)) {
        if (!cube.error.empty()) throw EngineError("its base cube '" + name + "' cannot be loaded: " + cube.error);
        return cube;
      }
    }
    throw EngineError("it names the cube '" + name + "', which is not a cube of the schema.");
  }

  void ReadVirtualCube(const pugi::xml_node& node, const std::vector<CubeDef>& cubes, CubeDef& cube) {
    cube.name = NameOf(node);
    cube.caption = CaptionOf(node, cube.name);
    cube.description = node.attribute("description").value();
    cube.default_measure = node.attribute("defaultMeasure").value();
    VirtualCubeDef& virtual_cube = cube.virtual_cube.emplace();
    auto use = [&](const std::string& name) -> const CubeDef& {
      const CubeDef* base = nullptr;
      try {
        base = &BaseCube(cubes, name);
      } catch (const ComError& error) {
        Fail(node, "the virtual cube '" + cube.name + "' cannot be loaded: " + error.description());
      }
      bool known = std::any_of(virtual_cube.usages.begin(), virtual_cube.usages.end(),
                               [&](const VirtualCubeDef::Usage& usage) { return EqualsIgnoreCase(usage.cube, base->name); });
      if (!known) virtual_cube.usages.push_back({base->name, false});
      return *base;
    };
    Names dimension_names;
    Names set_names;
    ReadChildren(node, {
        {"CubeUsages",
         [&](const Node& usages) {
           ReadChildren(usages, {{"CubeUsage", [&](const Node& child) {
                                    std::string name = child.attribute("cubeName").value();
                                    if (name.empty()) Fail(child, "a <CubeUsage> has no cubeName.");
                                    const CubeDef& base = use(name);
                                    for (auto& usage : virtual_cube.usages) {
                                      if (usage.cube == base.name) {
                                        usage.ignore_unrelated_dimensions =
                                            Flag(child, "ignoreUnrelatedDimensions", false);
                                      }
                                    }
                                  }}});
         }},
        {"VirtualCubeDimension",
         [&](const Node& child) {
           std::string name = NameOf(child);
           std::string cube_name = child.attribute("cubeName").value();
           DimensionDef dimension;
           if (cube_name.empty()) {
             auto shared = shared_dimensions_.find(name);
             if (shared == shared_dimensions_.end()) {
               Fail(child, "the <VirtualCubeDimension> '" + name + "' names no shared dimension; give its cubeName.");
             }
             dimension = ReadDimension(shared->second, true);
           } else {
             const CubeDef& base = use(cube_name);
             auto found = std::find_if(base.dimensions.begin(), base.dimensions.end(),
                                       [&](const DimensionDef& own) { return EqualsIgnoreCase(own.name, name); });
             if (found == base.dimensions.end()) {
               Fail(child, "the cube '" + base.name + "' has no dimension '" + name + "'.");
             }
             dimension = *found;
             cube_name = base.name;
           }
           dimension.line = Line(child);
           dimension.visible = Flag(child, "visible", dimension.visible);
           if (!dimension_names.Add(dimension.name)) {
             Fail(child, "the dimension '" + dimension.name + "' is defined twice.");
           }
           cube.dimensions.push_back(std::move(dimension));
           virtual_cube.dimension_cubes.push_back(cube_name);
         }},
        {"VirtualCubeMeasure",
         [&](const Node& child) {
           std::string cube_name = child.attribute("cubeName").value();
           if (cube_name.empty()) Fail(child, "a <VirtualCubeMeasure> has no cubeName.");
           const CubeDef& base = use(cube_name);
           std::string written = NameOf(child);
           // "[Measures].[Unit Sales]", as schemas write it; a bare name is taken too.
           std::string name = written;
           if (name.size() > 11 && EqualsIgnoreCase(name.substr(0, 11), "[Measures].")) name = name.substr(11);
           if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
             name = name.substr(1, name.size() - 2);
             size_t escaped;
             while ((escaped = name.find("]]")) != std::string::npos) name.erase(escaped, 1);
           }
           auto found = std::find_if(base.measures.begin(), base.measures.end(),
                                     [&](const MeasureDef& own) { return EqualsIgnoreCase(own.name, name); });
           if (found == base.measures.end()) {
             bool calculated = std::any_of(base.calculated_members.begin(), base.calculated_members.end(),
                                           [&](const CalculatedMemberDef& own) {
                                             return IsMeasures(own.dimension) && EqualsIgnoreCase(own.name, name);
                                           });
             if (!calculated) Fail(child, "the cube '" + base.name + "' has no measure " + written + ".");
             // A base cube's calculated measure is computed in the virtual cube, over its measures.
             auto member = std::find_if(base.calculated_members.begin(), base.calculated_members.end(),
                                        [&](const CalculatedMemberDef& own) {
                                          return IsMeasures(own.dimension) && EqualsIgnoreCase(own.name, name);
                                        });
             cube.calculated_members.push_back(*member);
             cube.calculated_members.back().line = Line(child);
             cube.calculated_members.back().visible = Flag(child, "visible", member->visible);
             return;
           }
           MeasureDef measure = *found;
           measure.line = Line(child);
           measure.visible = Flag(child, "visible", measure.visible);
           cube.measures.push_back(std::move(measure));
           virtual_cube.measure_cubes.push_back(base.name);
         }},
        {"CalculatedMember",
         [&](const Node& child) { cube.calculated_members.push_back(ReadCalculatedMember(child)); }},
        {"NamedSet",
         [&](const Node& child) {
           cube.named_sets.push_back(ReadNamedSet(child));
           if (!set_names.Add(cube.named_sets.back().name)) {
             Fail(child, "the named set '" + cube.named_sets.back().name + "' is defined twice.");
           }
         }},
    });
    if (cube.measures.empty()) Fail(node, "the virtual cube '" + cube.name + "' has no <VirtualCubeMeasure>.");
    Names member_names;
    auto add_member = [&](const std::string& name) {
      if (!member_names.Add(name)) Fail(node, "the measure '" + name + "' is defined twice.");
    };
    for (const auto& measure : cube.measures) add_member(measure.name);
    for (const auto& member : cube.calculated_members) {
      if (IsMeasures(member.dimension)) add_member(member.name);
    }
  }

  DimensionDef ReadUsage(const pugi::xml_node& node) {
    std::string source = node.attribute("source").value();
    auto shared = shared_dimensions_.find(source);
    if (shared == shared_dimensions_.end()) {
      Fail(node, "the <DimensionUsage> '" + std::string(node.attribute("name").value()) +
                     "' names the shared dimension '" + source + "', which the schema does not define.");
    }
    if (!node.attribute("level").empty()) Unsupported(node, "the attribute level of <DimensionUsage>");
    DimensionDef dimension = ReadDimension(shared->second, true);
    if (!node.attribute("name").empty()) dimension.name = node.attribute("name").value();
    dimension.line = Line(node);
    dimension.caption = CaptionOf(node, dimension.name);
    dimension.foreign_key = node.attribute("foreignKey").value();
    dimension.visible = Flag(node, "visible", dimension.visible);
    return dimension;
  }

  DimensionDef ReadDimension(const pugi::xml_node& node, bool shared) {
    DimensionDef dimension;
    dimension.name = NameOf(node);
    dimension.line = Line(node);
    dimension.caption = CaptionOf(node, dimension.name);
    dimension.description = node.attribute("description").value();
    dimension.foreign_key = node.attribute("foreignKey").value();
    if (!node.attribute("type").empty()) dimension.type = node.attribute("type").value();
    dimension.visible = Flag(node, "visible", true);
    if (dimension.type != "StandardDimension" && dimension.type != "TimeDimension") {
      Fail(node, "the dimension '" + dimension.name + "' has the type '" + dimension.type +
                     "' (StandardDimension or TimeDimension).");
    }
    auto read_hierarchy = [&](const Node& child) {
      dimension.hierarchies.push_back(ReadHierarchy(child, dimension.name));
      if (shared && !dimension.hierarchies.back().relation) {
        Fail(child, "a hierarchy of the shared dimension '" + dimension.name + "' has no <Table> or <Join>.");
      }
    };
    ReadChildren(node, {{"Hierarchy", read_hierarchy}});
    if (dimension.hierarchies.empty()) Fail(node, "the dimension '" + dimension.name + "' has no <Hierarchy>.");
    Names names;
    for (const auto& hierarchy : dimension.hierarchies) {
      std::string name = hierarchy.name.empty() ? dimension.name : hierarchy.name;
      if (!names.Add(name)) {
        Fail(node, "the dimension '" + dimension.name + "' has two hierarchies named '" + name + "'.");
      }
    }
    return dimension;
  }

  HierarchyDef ReadHierarchy(const pugi::xml_node& node, const std::string& dimension) {
    HierarchyDef hierarchy;
    hierarchy.name = node.attribute("name").value();
    hierarchy.line = Line(node);
    hierarchy.caption = node.attribute("caption").value();
    hierarchy.description = node.attribute("description").value();
    hierarchy.has_all = Flag(node, "hasAll", true);
    hierarchy.all_member_name = node.attribute("allMemberName").value();
    hierarchy.all_member_caption = node.attribute("allMemberCaption").value();
    hierarchy.all_level_name = node.attribute("allLevelName").value();
    hierarchy.primary_key = node.attribute("primaryKey").value();
    hierarchy.primary_key_table = node.attribute("primaryKeyTable").value();
    hierarchy.default_member = node.attribute("defaultMember").value();
    hierarchy.visible = Flag(node, "visible", true);
    if (!node.attribute("memberReaderClass").empty()) Unsupported(node, "the attribute memberReaderClass");
    auto read_relation = [&](const Node& child) {
      if (hierarchy.relation) Fail(child, "a hierarchy of '" + dimension + "' has more than one relation.");
      hierarchy.relation = ReadRelation(child);
    };
    ReadChildren(node, {
        {"Table", read_relation},
        {"Join", read_relation},
        {"View", read_relation},
        {"InlineTable", read_relation},
        {"Level", [&](const Node& child) { hierarchy.levels.push_back(ReadLevel(child)); }},
    });
    if (hierarchy.levels.empty()) Fail(node, "a hierarchy of the dimension '" + dimension + "' has no <Level>.");
    return hierarchy;
  }

  std::shared_ptr<const Relation> ReadRelation(const pugi::xml_node& node) {
    auto relation = std::make_shared<Relation>();
    relation->line = Line(node);
    std::string_view element = node.name();
    if (element == "Table") {
      schema::AggTableDef excluded;
      relation->kind = Relation::Kind::kTable;
      relation->name = NameOf(node);
      relation->schema = node.attribute("schema").value();
      relation->alias = node.attribute("alias").empty() ? relation->name : node.attribute("alias").value();
      relation->sql.line = relation->line;
      ReadChildren(node, {{"SQL", [&](const Node& child) { AddSql(child, relation->sql); }},
                          {"AggName", [&](const Node& child) { relation->aggregates.push_back(ReadAggTable(child)); }},
                          {"AggPattern",
                           [&](const Node& child) { relation->aggregates.push_back(ReadAggTable(child)); }},
                          {"AggExclude", [&](const Node& child) { ReadAggExclude(child, excluded); }}});
      // An <AggExclude> beside the patterns applies to every one of them.
      for (auto& aggregate : relation->aggregates) {
        if (aggregate.pattern.empty()) continue;
        aggregate.exclude_names.insert(aggregate.exclude_names.end(), excluded.exclude_names.begin(),
                                       excluded.exclude_names.end());
        aggregate.exclude_patterns.insert(aggregate.exclude_patterns.end(), excluded.exclude_patterns.begin(),
                                          excluded.exclude_patterns.end());
      }
      return relation;
    }
    if (element == "View") {
      relation->kind = Relation::Kind::kView;
      relation->alias = node.attribute("alias").value();
      if (relation->alias.empty()) Fail(node, "a <View> needs an alias.");
      relation->sql.line = relation->line;
      ReadChildren(node, {{"SQL", [&](const Node& child) { AddSql(child, relation->sql); }}});
      if (relation->sql.sql.empty()) Fail(node, "the <View> '" + relation->alias + "' holds no <SQL>.");
      return relation;
    }
    if (element == "InlineTable") {
      ReadInlineTable(node, *relation);
      return relation;
    }
    relation->kind = Relation::Kind::kJoin;
    std::vector<std::shared_ptr<const Relation>> sides;
    auto read_side = [&](const Node& child) { sides.push_back(ReadRelation(child)); };
    ReadChildren(node, {{"Table", read_side}, {"Join", read_side}, {"View", read_side}, {"InlineTable", read_side}});
    if (sides.size() != 2) Fail(node, "a <Join> must hold exactly two relations.");
    relation->left = sides[0];
    relation->right = sides[1];
    relation->left_key = node.attribute("leftKey").value();
    relation->right_key = node.attribute("rightKey").value();
    if (relation->left_key.empty() || relation->right_key.empty()) Fail(node, "a <Join> needs leftKey and rightKey.");
    relation->left_alias = node.attribute("leftAlias").value();
    if (relation->left_alias.empty()) {
      if (sides[0]->kind == Relation::Kind::kJoin) Fail(node, "a <Join> whose left side is a join needs leftAlias.");
      relation->left_alias = sides[0]->alias;
    }
    relation->right_alias = node.attribute("rightAlias").value();
    if (relation->right_alias.empty()) {
      relation->right_alias = sides[1]->kind != Relation::Kind::kJoin ? sides[1]->alias : sides[1]->left_alias;
    }
    return relation;
  }

  LevelDef ReadLevel(const pugi::xml_node& node) {
    LevelDef level;
    level.name = NameOf(node);
    level.line = Line(node);
    NoteFormatter(node, "the level '" + level.name + "'");
    level.caption = CaptionOf(node, level.name);
    level.description = node.attribute("description").value();
    level.table = node.attribute("table").value();
    level.key.column = node.attribute("column").value();
    level.name_expression.column = node.attribute("nameColumn").value();
    level.caption_expression.column = node.attribute("captionColumn").value();
    level.ordinal_expression.column = node.attribute("ordinalColumn").value();
    if (!node.attribute("type").empty()) level.type = node.attribute("type").value();
    level.unique_members = Flag(node, "uniqueMembers", false);
    level.visible = Flag(node, "visible", true);
    if (!node.attribute("levelType").empty()) level.level_type = node.attribute("levelType").value();
    level.parent_column = node.attribute("parentColumn").value();
    level.null_parent_value = node.attribute("nullParentValue").value();
    std::string hide = node.attribute("hideMemberIf").value();
    if (!hide.empty()) {
      if (hide != "Never" && hide != "IfBlankName" && hide != "IfParentsName") {
        Fail(node, "the level '" + level.name + "' has hideMemberIf=\"" + hide +
                       "\" (Never, IfBlankName or IfParentsName).");
      }
      level.hide_member_if = hide;
    }
    ReadChildren(node, {
        {"KeyExpression", [&](const Node& child) { level.key = ReadExpression(child); }},
        {"NameExpression", [&](const Node& child) { level.name_expression = ReadExpression(child); }},
        {"CaptionExpression", [&](const Node& child) { level.caption_expression = ReadExpression(child); }},
        {"OrdinalExpression", [&](const Node& child) { level.ordinal_expression = ReadExpression(child); }},
        {"Property", [&](const Node& child) { level.properties.push_back(ReadProperty(child, level)); }},
        {"ParentExpression",
         [&](const Node& child) { Unsupported(child, "parent-child levels (<ParentExpression>)"); }},
        {"Closure", [&](const Node& child) { ReadClosure(child, level); }},
    });
    if (level.closure && level.parent_column.empty()) {
      Fail(node, "the level '" + level.name + "' has a <Closure> but no parentColumn.");
    }
    for (auto* expression : {&level.key, &level.name_expression, &level.caption_expression,
                             &level.ordinal_expression}) {
      if (!expression->column.empty()) expression->table = level.table;
      if (expression->line == 0) expression->line = level.line;
    }
    if (level.key.empty()) Fail(node, "the level '" + level.name + "' has neither column nor <KeyExpression>.");
    Names property_names;
    for (const auto& property : level.properties) {
      if (!property_names.Add(property.name)) {
        Fail(node, "the level '" + level.name + "' has two properties named '" + property.name + "'.");
      }
    }
    return level;
  }

  void ReadClosure(const pugi::xml_node& node, LevelDef& level) {
    level.closure_parent_column = node.attribute("parentColumn").value();
    level.closure_child_column = node.attribute("childColumn").value();
    if (level.closure_parent_column.empty() || level.closure_child_column.empty()) {
      Fail(node, "the <Closure> of the level '" + level.name + "' needs parentColumn and childColumn.");
    }
    pugi::xml_node table = node.child("Table");
    if (!table) Fail(node, "the <Closure> of the level '" + level.name + "' holds no <Table>.");
    level.closure = ReadRelation(table);
  }

  // One <SQL> element: its text under its dialect ("generic" when it names none).
  void AddSql(const pugi::xml_node& node, Expression& expression) {
    std::string dialect = node.attribute("dialect").empty() ? "generic" : node.attribute("dialect").value();
    expression.sql.emplace_back(ToLower(dialect), Text(node));
  }

  void ReadAggExclude(const pugi::xml_node& node, schema::AggTableDef& table) {
    if (!node.attribute("pattern").empty()) {
      table.exclude_patterns.push_back(node.attribute("pattern").value());
    } else {
      table.exclude_names.push_back(NameOf(node));
    }
  }

  schema::AggTableDef ReadAggTable(const pugi::xml_node& node) {
    schema::AggTableDef table;
    table.line = Line(node);
    if (std::string_view(node.name()) == "AggName") {
      table.name = NameOf(node);
    } else {
      table.pattern = node.attribute("pattern").value();
      if (table.pattern.empty()) Fail(node, "an <AggPattern> has no pattern.");
    }
    table.ignore_case = node.attribute("ignorecase").empty() || node.attribute("ignorecase").as_bool();
    auto required = [&](const Node& child, const char* attribute) {
      std::string value = child.attribute(attribute).value();
      if (value.empty()) Fail(child, "an <" + std::string(child.name()) + "> has no " + attribute + ".");
      return value;
    };
    ReadChildren(node, {
        {"AggFactCount", [&](const Node& child) { table.fact_count = required(child, "column"); }},
        {"AggIgnoreColumn", [&](const Node& child) { table.ignored.push_back(required(child, "column")); }},
        {"AggForeignKey",
         [&](const Node& child) {
           table.foreign_keys.emplace_back(required(child, "factColumn"), required(child, "aggColumn"));
         }},
        {"AggMeasure",
         [&](const Node& child) { table.measures.emplace_back(required(child, "name"), required(child, "column")); }},
        {"AggLevel",
         [&](const Node& child) {
           if (!child.attribute("collapsed").empty() && !child.attribute("collapsed").as_bool()) {
             Fail(child, "an <AggLevel> that is not collapsed is not supported.");
           }
           table.levels.emplace_back(required(child, "name"), required(child, "column"));
         }},
        {"AggExclude", [&](const Node& child) { ReadAggExclude(child, table); }},
    });
    if (table.name.empty() == table.pattern.empty()) Fail(node, "an aggregate table needs a name or a pattern.");
    if (!table.name.empty() && table.fact_count.empty()) {
      Fail(node, "the <AggName> '" + table.name + "' has no <AggFactCount>.");
    }
    return table;
  }

  void ReadInlineTable(const pugi::xml_node& node, Relation& relation) {
    relation.kind = Relation::Kind::kInline;
    relation.alias = node.attribute("alias").value();
    if (relation.alias.empty()) Fail(node, "an <InlineTable> needs an alias.");
    static const std::set<std::string, std::less<>> kTypes = {"String", "Numeric", "Integer", "Boolean",
                                                              "Date",   "Time",    "Timestamp"};
    Names column_names;
    auto read_column = [&](const Node& column) {
      std::string name = NameOf(column);
      std::string type = column.attribute("type").empty() ? "String" : column.attribute("type").value();
      if (kTypes.count(type) == 0) Fail(column, "the column '" + name + "' has the type '" + type + "'.");
      if (!column_names.Add(name)) Fail(column, "the column '" + name + "' is defined twice.");
      relation.columns.emplace_back(name, type);
    };
    auto read_row = [&](const Node& row) {
      std::vector<std::optional<std::string>> values(relation.columns.size());
      ReadChildren(row, {{"Value", [&](const Node& value) {
                            std::string column = value.attribute("column").value();
                            auto found = std::find_if(relation.columns.begin(), relation.columns.end(),
                                                      [&](const auto& def) { return def.first == column; });
                            if (found == relation.columns.end()) {
                              Fail(value, "the <Value> names the column '" + column + "', which <ColumnDefs> does not.");
                            }
                            values[static_cast<size_t>(found - relation.columns.begin())] = Text(value);
                          }}});
      relation.rows.push_back(std::move(values));
    };
    ReadChildren(node, {
        {"ColumnDefs", [&](const Node& child) { ReadChildren(child, {{"ColumnDef", read_column}}); }},
        {"Rows", [&](const Node& child) { ReadChildren(child, {{"Row", read_row}}); }},
    });
    if (relation.columns.empty()) Fail(node, "the <InlineTable> '" + relation.alias + "' has no <ColumnDef>.");
  }

  Expression ReadExpression(const pugi::xml_node& node) {
    Expression expression;
    expression.line = Line(node);
    auto read_sql = [&](const Node& child) { AddSql(child, expression); };
    ReadChildren(node, {{"SQL", read_sql}});
    if (expression.sql.empty()) Fail(node, "<" + std::string(node.name()) + "> holds no <SQL>.");
    return expression;
  }

  MeasureDef ReadMeasure(const pugi::xml_node& node) {
    MeasureDef measure;
    measure.name = NameOf(node);
    measure.line = Line(node);
    measure.caption = CaptionOf(node, measure.name);
    measure.column = node.attribute("column").value();
    auto aggregator = ParseAggregator(node.attribute("aggregator").value());
    if (!aggregator) {
      Fail(node, "the measure '" + measure.name + "' has the aggregator '" + node.attribute("aggregator").value() +
                     "', which is not supported (" + AggregatorNames() + ").");
    }
    measure.aggregator = *aggregator;
    measure.format_string = node.attribute("formatString").value();
    measure.visible = Flag(node, "visible", true);
    if (!node.attribute("datatype").empty()) measure.datatype = node.attribute("datatype").value();
    if (measure.datatype != "Numeric" && measure.datatype != "Integer" && measure.datatype != "String") {
      Fail(node, "the measure '" + measure.name + "' has the datatype '" + measure.datatype +
                     "' (Numeric, Integer or String).");
    }
    NoteFormatter(node, "the measure '" + measure.name + "'");
    ReadChildren(node, {
        {"MeasureExpression", [&](const Node& child) { measure.expression = ReadExpression(child); }},
        // A stored measure's properties do not change its cells.
        {"CalculatedMemberProperty", [](const Node&) {}},
    });
    if (measure.column.empty() && measure.expression.empty()) {
      Fail(node, "the measure '" + measure.name + "' has neither column nor <MeasureExpression>.");
    }
    return measure;
  }

  CalculatedMemberDef ReadCalculatedMember(const pugi::xml_node& node) {
    CalculatedMemberDef member;
    member.name = NameOf(node);
    member.line = Line(node);
    member.caption = CaptionOf(node, member.name);
    member.dimension = node.attribute("hierarchy").value();
    if (member.dimension.empty()) member.dimension = node.attribute("dimension").value();
    if (member.dimension.empty()) Fail(node, "the calculated member '" + member.name + "' names no dimension.");
    member.parent = node.attribute("parent").value();
    member.formula = node.attribute("formula").value();
    member.format_string = node.attribute("formatString").value();
    member.visible = Flag(node, "visible", true);
    NoteFormatter(node, "the calculated member '" + member.name + "'");
    ReadChildren(node, {
        {"Formula", [&](const Node& child) { member.formula = Text(child); }},
        {"CalculatedMemberProperty",
         [&](const Node& child) {
           std::string name = child.attribute("name").value();
           std::string value = child.attribute("value").value();
           if (EqualsIgnoreCase(name, "FORMAT_STRING") || EqualsIgnoreCase(name, "FORMAT")) {
             member.format_string = value;
           } else if (EqualsIgnoreCase(name, "SOLVE_ORDER")) {
             auto number = ParseInteger(value);
             if (!number) Fail(child, "the SOLVE_ORDER of '" + member.name + "' must be a whole number, not '" + value + "'.");
             member.solve_order = *number;
           } else if (EqualsIgnoreCase(name, "VISIBLE")) {
             std::string flag = ToLower(Trim(value));
             if (flag != "true" && flag != "false") Fail(child, "the property VISIBLE must be true or false.");
             member.visible = flag == "true";
           } else if (EqualsIgnoreCase(name, "CAPTION")) {
             member.caption = value;
           }
         }},
    });
    if (member.formula.empty()) Fail(node, "the calculated member '" + member.name + "' has no formula.");
    return member;
  }

  schema::PropertyDef ReadProperty(const pugi::xml_node& node, const LevelDef& level) {
    schema::PropertyDef property;
    property.name = NameOf(node);
    property.line = Line(node);
    NoteFormatter(node, "the property '" + property.name + "'");
    property.caption = CaptionOf(node, property.name);
    property.description = node.attribute("description").value();
    property.expression.column = node.attribute("column").value();
    property.expression.table = level.table;
    property.expression.line = property.line;
    if (!node.attribute("type").empty()) property.type = node.attribute("type").value();
    static const std::set<std::string, std::less<>> kTypes = {"String", "Numeric", "Integer", "Boolean",
                                                              "Date",   "Time",    "Timestamp"};
    if (kTypes.count(property.type) == 0) {
      Fail(node, "the property '" + property.name + "' has the type '" + property.type +
                     "' (String, Numeric, Integer, Boolean, Date, Time or Timestamp).");
    }
    ReadChildren(node, {{"PropertyExpression", [&](const Node& child) { property.expression = ReadExpression(child); }}});
    if (property.expression.empty()) Fail(node, "the property '" + property.name + "' has no column.");
    return property;
  }

  // A broken role comes back with its error: a connection naming it is
  // refused, and nobody sees more than the role would have allowed.
  RoleDef ReadRoleOrError(const pugi::xml_node& node) {
    RoleDef role;
    role.name = node.attribute("name").value();
    role.line = Line(node);
    try {
      role.name = NameOf(node);
      bool grants = false;
      ReadChildren(node, {{"SchemaGrant", [&](const Node& child) {
                             grants = true;
                             ReadSchemaGrant(child, role);
                           }},
                          {"Union", [&](const Node& child) {
                             ReadChildren(child, {{"RoleUsage", [&](const Node& usage) {
                                                    std::string used = usage.attribute("roleName").value();
                                                    if (used.empty()) Fail(usage, "a <RoleUsage> has no roleName.");
                                                    role.union_of.push_back(used);
                                                  }}});
                             if (role.union_of.empty()) Fail(child, "the <Union> names no role.");
                           }}});
      if (!role.union_of.empty() && grants) {
        Fail(node, "the role '" + role.name + "' has both a <Union> and grants of its own.");
      }
    } catch (const ComError& error) {
      role.error = error.description();
    }
    return role;
  }

  void ReadSchemaGrant(const pugi::xml_node& node, RoleDef& role) {
    role.schema_access = Access(node, {"all", "all_dimensions", "none"});
    ReadChildren(node, {{"CubeGrant", [&](const Node& child) {
                           CubeGrantDef cube;
                           cube.cube = child.attribute("cube").value();
                           cube.line = Line(child);
                           if (cube.cube.empty()) Fail(child, "a <CubeGrant> has no cube.");
                           cube.access = Access(child, {"all", "none", "custom"});
                           ReadChildren(child, {{"DimensionGrant", [&](const Node& grant) {
                                                   DimensionGrantDef dimension;
                                                   dimension.dimension = grant.attribute("dimension").value();
                                                   dimension.line = Line(grant);
                                                   if (dimension.dimension.empty()) {
                                                     Fail(grant, "a <DimensionGrant> has no dimension.");
                                                   }
                                                   dimension.access = Access(grant, {"all", "none"});
                                                   cube.dimensions.push_back(dimension);
                                                 }},
                                                {"HierarchyGrant", [&](const Node& grant) {
                                                   cube.hierarchies.push_back(ReadHierarchyGrant(grant));
                                                 }}});
                           role.cubes.push_back(std::move(cube));
                         }}});
  }

  HierarchyGrantDef ReadHierarchyGrant(const pugi::xml_node& node) {
    HierarchyGrantDef grant;
    grant.hierarchy = node.attribute("hierarchy").value();
    grant.line = Line(node);
    if (grant.hierarchy.empty()) Fail(node, "a <HierarchyGrant> has no hierarchy.");
    grant.access = Access(node, {"all", "none", "custom"});
    grant.top_level = node.attribute("topLevel").value();
    grant.bottom_level = node.attribute("bottomLevel").value();
    if (!node.attribute("rollupPolicy").empty()) {
      grant.rollup_policy = ToLower(Trim(node.attribute("rollupPolicy").value()));
      if (grant.rollup_policy != "full" && grant.rollup_policy != "partial" && grant.rollup_policy != "hidden") {
        Fail(node, "the rollupPolicy must be full, partial or hidden, not '" +
                       std::string(node.attribute("rollupPolicy").value()) + "'.");
      }
    }
    ReadChildren(node, {{"MemberGrant", [&](const Node& child) {
                           MemberGrantDef member;
                           member.member = child.attribute("member").value();
                           member.line = Line(child);
                           if (member.member.empty()) Fail(child, "a <MemberGrant> has no member.");
                           member.all = Access(child, {"all", "none"}) == "all";
                           grant.members.push_back(member);
                         }}});
    if (grant.access != "custom" &&
        (!grant.members.empty() || !grant.top_level.empty() || !grant.bottom_level.empty())) {
      Fail(node, "only a grant with access=\"custom\" may name levels or members.");
    }
    return grant;
  }

  // The access attribute, which must be one of `allowed`.
  std::string Access(const pugi::xml_node& node, std::initializer_list<std::string_view> allowed) {
    std::string access = ToLower(Trim(node.attribute("access").value()));
    for (std::string_view value : allowed) {
      if (access == value) return access;
    }
    std::string list;
    for (std::string_view value : allowed) list += (list.empty() ? "" : ", ") + std::string(value);
    Fail(node, "the access of a <" + std::string(node.name()) + "> must be one of " + list + ", not '" +
                   node.attribute("access").value() + "'.");
  }

  NamedSetDef ReadNamedSet(const pugi::xml_node& node) {
    NamedSetDef set;
    set.name = NameOf(node);
    set.line = Line(node);
    set.caption = CaptionOf(node, set.name);
    set.description = node.attribute("description").value();
    set.formula = node.attribute("formula").value();
    ReadChildren(node, {{"Formula", [&](const Node& child) { set.formula = Text(child); }}});
    if (set.formula.empty()) Fail(node, "the named set '" + set.name + "' has no formula.");
    return set;
  }

  // A whole number within what a solve order needs; nullopt for anything else.
  static std::optional<int> ParseInteger(const std::string& text) {
    std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed.size() > 11) return std::nullopt;
    size_t start = trimmed[0] == '-' || trimmed[0] == '+' ? 1 : 0;
    if (start == trimmed.size()) return std::nullopt;
    for (size_t index = start; index < trimmed.size(); ++index) {
      if (trimmed[index] < '0' || trimmed[index] > '9') return std::nullopt;
    }
    long long value = std::stoll(trimmed);
    if (value > 1000000000LL || value < -1000000000LL) return std::nullopt;
    return static_cast<int>(value);
  }

  static bool IsMeasures(const std::string& dimension) {
    return EqualsIgnoreCase(dimension, "Measures") || EqualsIgnoreCase(dimension, "[Measures]");
  }

  // Hands each child element of `node`, in document order, to the reader
  // listed for its name; a child without one is refused unless it only describes.
  void ReadChildren(const Node& node,
                    std::initializer_list<std::pair<std::string_view, std::function<void(const Node&)>>> readers) {
    for (const auto& child : node.children()) {
      auto reader = std::find_if(readers.begin(), readers.end(),
                                 [&](const auto& entry) { return entry.first == child.name(); });
      if (reader != readers.end()) {
        reader->second(child);
      } else if (!IsDescriptive(child)) {
        Unsupported(child);
      }
    }
  }

  // The element's name attribute, which it must have.
  std::string NameOf(const pugi::xml_node& node) {
    std::string name = node.attribute("name").value();
    if (name.empty()) Fail(node, "a <" + std::string(node.name()) + "> has no name.");
    return name;
  }

  static std::string CaptionOf(const pugi::xml_node& node, const std::string& name) {
    return node.attribute("caption").empty() ? name : node.attribute("caption").value();
  }

  bool Flag(const pugi::xml_node& node, const char* name, bool default_value) {
    auto attribute = node.attribute(name);
    if (attribute.empty()) return default_value;
    std::string value = ToLower(Trim(attribute.value()));
    if (value == "true") return true;
    if (value == "false") return false;
    Fail(node, std::string("the attribute ") + name + " must be true or false, not '" + attribute.value() + "'.");
  }

  [[noreturn]] void Unsupported(const pugi::xml_node& node, const std::string& what = "") {
    Fail(node, (what.empty() ? "<" + std::string(node.name()) + ">" : what) + " is not supported.");
  }

  [[noreturn]] void Fail(const pugi::xml_node& node, const std::string& message) {
    throw EngineError(Where(node) + message);
  }

  std::string Where(const pugi::xml_node& node) const { return "Schema line " + std::to_string(Line(node)) + ": "; }

  int Line(const pugi::xml_node& node) const { return LineAt(node.offset_debug()); }

  int LineAt(ptrdiff_t offset) const {
    if (offset < 0) return 0;
    size_t end = std::min(static_cast<size_t>(offset), xml_.size());
    return 1 + static_cast<int>(std::count(xml_.begin(), xml_.begin() + static_cast<ptrdiff_t>(end), '\n'));
  }

  std::string_view xml_;
  std::vector<std::string> notes_;  // of the cube being read
  std::map<std::string, pugi::xml_node, std::less<>> shared_dimensions_;
};

}  // namespace

schema::SchemaDef SchemaReader::Parse(std::string_view xml) { return Reader(xml).Read(); }

schema::SchemaDef SchemaReader::Read(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) throw EngineError("The schema file '" + path.string() + "' cannot be read.");
  std::ostringstream text;
  text << file.rdbuf();
  return Parse(text.str());
}

}  // namespace orvex::engine

// The rowsets Discover answers: their columns, in the order clients expect
// them, and how their rows come from the provider's metadata.
#include <algorithm>
#include <set>

#include "platform/text.h"
#include "xmla/rowsets.h"

namespace orvex::xmla {
namespace {

using T = ColumnType;
constexpr bool R = true;  // the column is a restriction too

// ---------------------------------------------------------------- walking the metadata

const std::vector<std::string>* Values(const Restrictions& restrictions, const char* name) {
  auto found = restrictions.find(name);
  return found == restrictions.end() || found->second.empty() ? nullptr : &found->second;
}

bool Allows(const Restrictions& restrictions, const char* name, const std::string& value) {
  const auto* values = Values(restrictions, name);
  if (!values) return true;
  return std::any_of(values->begin(), values->end(), [&](const auto& v) { return EqualsIgnoreCase(v, value); });
}

// The catalogs a metadata rowset covers: those restricted to (that exist),
// else the Catalog property's, else all of them.
std::vector<std::string> CatalogsOf(const DiscoverContext& context, const Restrictions& restrictions) {
  std::vector<std::string> all = context.session.CatalogNames();
  std::vector<std::string> chosen;
  for (const auto& name : all) {
    bool wanted = Values(restrictions, "CATALOG_NAME")
                      ? Allows(restrictions, "CATALOG_NAME", name)
                      : context.catalog.empty() || EqualsIgnoreCase(name, context.catalog);
    if (wanted) chosen.push_back(name);
  }
  return chosen;
}

struct CubeRef {
  std::string catalog;
  std::shared_ptr<provider::CubeDef> cube;
};

std::vector<CubeRef> CubesOf(const DiscoverContext& context, const Restrictions& restrictions) {
  std::vector<CubeRef> cubes;
  bool named = Values(restrictions, "CATALOG_NAME") || !context.catalog.empty();
  for (const auto& catalog : CatalogsOf(context, restrictions)) {
    std::shared_ptr<provider::CubeDefs> defs;
    try {
      defs = context.session.GetCubeDefs(catalog);
    } catch (const ComError&) {
      // A catalog that cannot be opened is left out of a listing of all; asked for by name, it fails.
      if (named) throw;
      continue;
    }
    for (int index = 0; index < defs->Count(); ++index) {
      auto cube = defs->Item(index);
      if (Allows(restrictions, "CUBE_NAME", cube->Name())) cubes.push_back({catalog, cube});
    }
  }
  return cubes;
}

bool IsMeasures(const provider::Dimension& dimension) { return EqualsIgnoreCase(dimension.UniqueName(), "[Measures]"); }

std::string PropertyText(const provider::Properties& properties, std::string_view name) {
  return properties.Has(name) ? properties.Item(name).value.ToString() : std::string();
}

std::string HierarchyName(const provider::Hierarchy& hierarchy, const provider::Dimension& dimension) {
  return hierarchy.Name().empty() ? dimension.Name() : hierarchy.Name();
}

int HierarchyCardinality(const provider::Hierarchy& hierarchy) {
  int total = 0;
  auto levels = hierarchy.GetLevels();
  for (int index = 0; index < levels->Count(); ++index) total += levels->Item(index)->GetMembers()->Count();
  return total;
}

struct HierarchyRef {
  const CubeRef* cube;
  std::shared_ptr<provider::Dimension> dimension;
  int dimension_ordinal;
  std::shared_ptr<provider::Hierarchy> hierarchy;
  int hierarchy_ordinal;
};

std::vector<HierarchyRef> HierarchiesOf(const std::vector<CubeRef>& cubes, const Restrictions& restrictions) {
  std::vector<HierarchyRef> result;
  for (const auto& cube : cubes) {
    auto dimensions = cube.cube->GetDimensions();
    for (int d = 0; d < dimensions->Count(); ++d) {
      auto dimension = dimensions->Item(d);
      if (!Allows(restrictions, "DIMENSION_UNIQUE_NAME", dimension->UniqueName())) continue;
      auto hierarchies = dimension->GetHierarchies();
      for (int h = 0; h < hierarchies->Count(); ++h) {
        auto hierarchy = hierarchies->Item(h);
        if (!Allows(restrictions, "HIERARCHY_UNIQUE_NAME", hierarchy->UniqueName())) continue;
        result.push_back({&cube, dimension, d, hierarchy, h});
      }
    }
  }
  return result;
}

void CubeColumns(Row& row, const CubeRef& cube) {
  row.Set("CATALOG_NAME", cube.catalog).Set("SCHEMA_NAME", cube.catalog).Set("CUBE_NAME", cube.cube->Name());
}

// ---------------------------------------------------------------- members

// MDSCHEMA_MEMBERS' TREE_OP bits.
constexpr int kTreeChildren = 1, kTreeSiblings = 2, kTreeParent = 4, kTreeSelf = 8, kTreeDescendants = 16,
              kTreeAncestors = 32;

struct MemberScope {
  const HierarchyRef* hierarchy;
  std::string all_member;
};

void AddMemberRow(const RowsetDef& def, std::vector<Row>& rows, const MemberScope& scope,
                  const provider::Member& member) {
  Row row(def.columns);
  CubeColumns(row, *scope.hierarchy->cube);
  const auto& properties = member.GetProperties();
  int depth = member.LevelDepth();
  int type = IsMeasures(*scope.hierarchy->dimension)                       ? 3
             : EqualsIgnoreCase(member.UniqueName(), scope.all_member) ? 2
                                                                       : 1;
  std::string parent = PropertyText(properties, "PARENT_UNIQUE_NAME");
  row.Set("DIMENSION_UNIQUE_NAME", scope.hierarchy->dimension->UniqueName())
      .Set("HIERARCHY_UNIQUE_NAME", scope.hierarchy->hierarchy->UniqueName())
      .Set("LEVEL_UNIQUE_NAME", PropertyText(properties, "LEVEL_UNIQUE_NAME"))
      .Set("LEVEL_NUMBER", depth)
      .Set("MEMBER_ORDINAL", 0)
      .Set("MEMBER_NAME", member.Name())
      .Set("MEMBER_UNIQUE_NAME", member.UniqueName())
      .Set("MEMBER_TYPE", type)
      .Set("MEMBER_CAPTION", member.Caption())
      .Set("CHILDREN_CARDINALITY", member.ChildCount())
      .Set("PARENT_LEVEL", depth > 0 ? depth - 1 : 0)
      .Set("PARENT_COUNT", parent.empty() ? 0 : 1)
      .Set("DEPTH", depth)
      .Set("DESCRIPTION", member.Description());
  if (!parent.empty()) row.Set("PARENT_UNIQUE_NAME", parent);
  rows.push_back(std::move(row));
}

std::shared_ptr<provider::Member> FindMember(const provider::Hierarchy& hierarchy, const std::string& unique_name) {
  auto levels = hierarchy.GetLevels();
  for (int index = 0; index < levels->Count(); ++index) {
    auto members = levels->Item(index)->GetMembers();
    try {
      auto member = members->Item(std::string_view(unique_name));
      if (member && EqualsIgnoreCase(member->UniqueName(), unique_name)) return member;
    } catch (const ComError& error) {
      if (error.number() != errors::kItemNotFound) throw;
    }
  }
  return nullptr;
}

void AddDescendants(const RowsetDef& def, std::vector<Row>& rows, const MemberScope& scope,
                    const provider::Member& member) {
  auto children = member.Children();
  for (int index = 0; index < children->Count(); ++index) {
    auto child = children->Item(index);
    AddMemberRow(def, rows, scope, *child);
    AddDescendants(def, rows, scope, *child);
  }
}

// The members around `member` that the TREE_OP bits select, ancestors first.
void AddTree(const RowsetDef& def, std::vector<Row>& rows, const MemberScope& scope,
             const provider::Hierarchy& hierarchy, const std::shared_ptr<provider::Member>& member, int tree_op) {
  if (tree_op & kTreeAncestors) {
    std::vector<std::shared_ptr<provider::Member>> ancestors;
    for (auto parent = member->Parent(); parent; parent = parent->Parent()) ancestors.push_back(parent);
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it) AddMemberRow(def, rows, scope, **it);
  } else if (tree_op & kTreeParent) {
    if (auto parent = member->Parent()) AddMemberRow(def, rows, scope, *parent);
  }
  if (tree_op & kTreeSiblings) {
    std::shared_ptr<provider::Members> siblings;
    if (auto parent = member->Parent()) {
      siblings = parent->Children();
    } else {
      siblings = hierarchy.GetLevels()->Item(0)->GetMembers();
    }
    for (int index = 0; index < siblings->Count(); ++index) {
      auto sibling = siblings->Item(index);
      bool self = EqualsIgnoreCase(sibling->UniqueName(), member->UniqueName());
      if (!self || (tree_op & kTreeSelf)) AddMemberRow(def, rows, scope, *sibling);
    }
  } else if (tree_op & kTreeSelf) {
    AddMemberRow(def, rows, scope, *member);
  }
  if (tree_op & kTreeDescendants) {
    AddDescendants(def, rows, scope, *member);
  } else if (tree_op & kTreeChildren) {
    auto children = member->Children();
    for (int index = 0; index < children->Count(); ++index) AddMemberRow(def, rows, scope, *children->Item(index));
  }
}

void ProduceMembers(const RowsetDef& def, const DiscoverContext& context, const Restrictions& restrictions,
                    std::vector<Row>& rows) {
  auto cubes = CubesOf(context, restrictions);
  auto hierarchies = HierarchiesOf(cubes, restrictions);
  const auto* unique_names = Values(restrictions, "MEMBER_UNIQUE_NAME");
  int tree_op = kTreeSelf;
  if (const auto* op = Values(restrictions, "TREE_OP")) {
    try {
      tree_op = std::stoi(op->front());
    } catch (const std::exception&) {
      throw ComError(static_cast<int32_t>(0xC10A0005u), "XMLA", "TREE_OP takes a number, not '" + op->front() + "'.");
    }
  }
  for (const auto& ref : hierarchies) {
    MemberScope scope{&ref, PropertyText(ref.hierarchy->GetProperties(), "ALL_MEMBER")};
    if (unique_names) {
      for (const auto& name : *unique_names) {
        if (auto member = FindMember(*ref.hierarchy, name)) AddTree(def, rows, scope, *ref.hierarchy, member, tree_op);
      }
      continue;
    }
    auto levels = ref.hierarchy->GetLevels();
    for (int index = 0; index < levels->Count(); ++index) {
      auto level = levels->Item(index);
      if (!Allows(restrictions, "LEVEL_UNIQUE_NAME", level->UniqueName()) ||
          !Allows(restrictions, "LEVEL_NUMBER", std::to_string(level->Depth()))) {
        continue;
      }
      auto members = level->GetMembers();
      for (int m = 0; m < members->Count(); ++m) AddMemberRow(def, rows, scope, *members->Item(m));
    }
  }
}

// ---------------------------------------------------------------- static rowsets

struct Element {
  const char* name;
  const char* description;
  const char* value;
};

struct Enumeration {
  const char* name;
  const char* description;
  const char* type;
  std::vector<Element> elements;
};

const std::vector<Enumeration>& Enumerations() {
  static const std::vector<Enumeration> enumerations = {
      {"ProviderType", "The types of data a provider supports.", "string",
       {{"TDP", "tabular data provider", "0"}, {"MDP", "multidimensional data provider", "1"},
        {"DMP", "data mining provider", "2"}}},
      {"AuthenticationMode", "How a data source authenticates its users.", "string",
       {{"Unauthenticated", "no user ID or password is needed", "0"},
        {"Authenticated", "user ID and password in the connection", "1"},
        {"Integrated", "the underlying security of the system", "2"}}},
      {"PropertyAccessType", "Whether a property can be read, written or both.", "string",
       {{"Read", "read only", "1"}, {"Write", "write only", "2"}, {"ReadWrite", "read and write", "3"}}},
      {"StateSupport", "Whether the provider keeps sessions.", "string",
       {{"None", "no sessions", "0"}, {"Sessions", "sessions through the Session headers", "1"}}},
      {"ResultsetFormat", "The formats of an Execute's result.", "string",
       {{"Tabular", "a flattened rowset", "0"}, {"Multidimensional", "an MDDataSet", "1"}}},
      {"AxisFormat", "The formats of an MDDataSet's axes.", "string", {{"TupleFormat", "tuples of members", "0"}}},
      {"Content", "What an answer holds.", "string",
       {{"None", "nothing", "0"}, {"Schema", "the schema only", "1"}, {"Data", "the data only", "2"},
        {"SchemaData", "the schema and the data", "3"}}},
      {"TreeOp", "The relations MDSCHEMA_MEMBERS' TREE_OP selects.", "int",
       {{"MDTREEOP_CHILDREN", "children", "1"}, {"MDTREEOP_SIBLINGS", "siblings", "2"},
        {"MDTREEOP_PARENT", "the parent", "4"}, {"MDTREEOP_SELF", "the member itself", "8"},
        {"MDTREEOP_DESCENDANTS", "every descendant", "16"}, {"MDTREEOP_ANCESTORS", "every ancestor", "32"}}},
  };
  return enumerations;
}

const std::vector<const char*>& Keywords() {
  static const std::vector<const char*> keywords = {
      "AND", "AS", "AXIS", "BY", "CELL", "CHAPTERS", "COLUMNS", "DIMENSION", "EMPTY", "FROM", "IS", "MEMBER",
      "NON", "NOT", "ON", "OR", "PAGES", "PROPERTIES", "ROWS", "SECTIONS", "SELECT", "SET", "WHERE", "WITH",
      "XOR"};
  return keywords;
}

struct Function {
  const char* name;
  const char* description;
  const char* parameters;
  int return_type;  // 1 scalar, 2 member, 3 tuple, 4 set, 5 level, ...
};

const std::vector<Function>& Functions() {
  static const std::vector<Function> functions = {
      {"Aggregate", "The aggregate of a numeric expression over a set.", "Set[, Numeric Expression]", 1},
      {"Ancestor", "The ancestor of a member at a level or distance.", "Member, Level", 2},
      {"Avg", "The average of a numeric expression over a set.", "Set[, Numeric Expression]", 1},
      {"BottomCount", "The last items of a set ordered by an expression.", "Set, Count[, Numeric Expression]", 4},
      {"Children", "The children of a member.", "Member", 4},
      {"CoalesceEmpty", "The first expression that is not empty.", "Expression, Expression", 1},
      {"Count", "The number of tuples of a set.", "Set", 1},
      {"CrossJoin", "Every combination of the tuples of two sets.", "Set, Set", 4},
      {"CurrentMember", "The current member of a hierarchy.", "Hierarchy", 2},
      {"DefaultMember", "The default member of a hierarchy.", "Hierarchy", 2},
      {"Descendants", "The descendants of a member at a level.", "Member[, Level[, Flags]]", 4},
      {"Distinct", "A set without its repeated tuples.", "Set", 4},
      {"Except", "The tuples of a set that are not in another.", "Set, Set", 4},
      {"Filter", "The tuples of a set for which a condition holds.", "Set, Logical Expression", 4},
      {"FirstChild", "The first child of a member.", "Member", 2},
      {"Head", "The first tuples of a set.", "Set[, Count]", 4},
      {"Hierarchize", "A set in hierarchy order.", "Set", 4},
      {"IIf", "One of two values by a condition.", "Logical Expression, Expression, Expression", 1},
      {"Intersect", "The tuples in both sets.", "Set, Set", 4},
      {"IsEmpty", "Whether a value is empty.", "Expression", 1},
      {"LastChild", "The last child of a member.", "Member", 2},
      {"Level", "The level of a member.", "Member", 5},
      {"Max", "The largest value of a numeric expression over a set.", "Set[, Numeric Expression]", 1},
      {"Members", "The members of a level or hierarchy.", "Level", 4},
      {"Min", "The smallest value of a numeric expression over a set.", "Set[, Numeric Expression]", 1},
      {"Name", "The name of a member.", "Member", 1},
      {"NextMember", "The next member of the same level.", "Member", 2},
      {"Order", "A set ordered by an expression.", "Set, Expression[, Flag]", 4},
      {"Parent", "The parent of a member.", "Member", 2},
      {"PrevMember", "The previous member of the same level.", "Member", 2},
      {"Siblings", "The members with the same parent.", "Member", 4},
      {"Sum", "The sum of a numeric expression over a set.", "Set[, Numeric Expression]", 1},
      {"Tail", "The last tuples of a set.", "Set[, Count]", 4},
      {"TopCount", "The first items of a set ordered by an expression.", "Set, Count[, Numeric Expression]", 4},
      {"Union", "The tuples of two sets.", "Set, Set", 4},
      {"UniqueName", "The unique name of a member.", "Member", 1},
  };
  return functions;
}

struct Literal {
  const char* name;
  const char* value;
  const char* invalid_chars;
  const char* invalid_starting_chars;
  int max_length;
  const char* description;
};

const std::vector<Literal>& Literals() {
  static const std::vector<Literal> literals = {
      {"DBLITERAL_CATALOG_NAME", "", ".", "0123456789", 24, "A catalog name."},
      {"DBLITERAL_CATALOG_SEPARATOR", ".", "", "", 0, "The separator after a catalog name."},
      {"DBLITERAL_COLUMN_ALIAS", "", "'\"[]", "0123456789", -1, "A column alias."},
      {"DBLITERAL_COLUMN_NAME", "", ".", "0123456789", -1, "A column name."},
      {"DBLITERAL_CORRELATION_NAME", "", "'\"[]", "0123456789", -1, "A correlation name."},
      {"DBLITERAL_CUBE_NAME", "", ".", "0123456789", -1, "A cube name."},
      {"DBLITERAL_DIMENSION_NAME", "", ".", "0123456789", -1, "A dimension name."},
      {"DBLITERAL_HIERARCHY_NAME", "", ".", "0123456789", -1, "A hierarchy name."},
      {"DBLITERAL_LEVEL_NAME", "", ".", "0123456789", -1, "A level name."},
      {"DBLITERAL_MEMBER_NAME", "", ".", "0123456789", -1, "A member name."},
      {"DBLITERAL_PROCEDURE_NAME", "", ".", "0123456789", -1, "A procedure name."},
      {"DBLITERAL_PROPERTY_NAME", "", ".", "0123456789", -1, "A property name."},
      {"DBLITERAL_QUOTE_PREFIX", "[", "", "", -1, "The character that opens a quoted name."},
      {"DBLITERAL_QUOTE_SUFFIX", "]", "", "", -1, "The character that closes a quoted name."},
  };
  return literals;
}

// The properties a request may set or read back, with their defaults.
struct PropertyDef {
  const char* name;
  const char* description;
  const char* type;
  const char* access;
  const char* default_value;
};

const std::vector<PropertyDef>& PropertyDefs() {
  static const std::vector<PropertyDef> properties = {
      {"AxisFormat", "The format of an MDDataSet's axes.", "string", "Write", "TupleFormat"},
      {"Catalog", "The catalog of the request.", "string", "ReadWrite", ""},
      {"Content", "What an answer holds: None, Schema, Data or SchemaData.", "string", "Write", "SchemaData"},
      {"DataSourceInfo", "The data source of the request.", "string", "Write", ""},
      {"Format", "The format of an Execute's result: Tabular or Multidimensional.", "string", "Write",
       "Multidimensional"},
      {"LocaleIdentifier", "The locale of the request.", "unsignedInt", "ReadWrite", "1033"},
      {"MdxSupport", "The MDX the provider speaks.", "string", "Read", "Core"},
      {"ProviderName", "The name of the provider.", "string", "Read", ""},
      {"ProviderVersion", "The version of the provider.", "string", "Read", "1.0"},
      {"StateSupport", "Whether the provider keeps sessions.", "string", "Read", "Sessions"},
  };
  return properties;
}

std::string RestrictionListMarkup(const RowsetDef& rowset) {
  std::string markup;
  auto add = [&markup](const ColumnDef& column) {
    const char* type = column.type == T::kString ? "string" : column.type == T::kBoolean ? "boolean"
                       : column.type == T::kUnsignedShort ? "unsignedShort" : column.type == T::kShort ? "short"
                       : column.type == T::kUnsignedInt ? "unsignedInt" : "int";
    markup += "<Restrictions><Name>" + Escape(column.name) + "</Name><Type>" + type + "</Type></Restrictions>";
  };
  for (const auto& column : rowset.columns) {
    if (column.restriction) add(column);
  }
  for (const auto& column : rowset.extra_restrictions) add(column);
  return markup;
}

// Each producer is written against its own definition, found by name.
const RowsetDef& Def(const char* name) { return *FindRowset(name); }

std::vector<RowsetDef> MakeRowsets() {
  std::vector<RowsetDef> rowsets;

  rowsets.push_back({"DISCOVER_DATASOURCES", "The data sources of this server.",
                     {{"DataSourceName", T::kString, R}, {"DataSourceDescription", T::kString},
                      {"URL", T::kString, R}, {"DataSourceInfo", T::kString}, {"ProviderName", T::kString, R},
                      {"ProviderType", T::kString, R}, {"AuthenticationMode", T::kString, R}},
                     {},
                     [](const DiscoverContext& context, const Restrictions&, std::vector<Row>& rows) {
                       Row row(Def("DISCOVER_DATASOURCES").columns);
                       row.Set("DataSourceName", context.data_source_name)
                           .Set("DataSourceDescription", "Orvex OLAP engine")
                           .Set("URL", context.url)
                           .Set("DataSourceInfo", context.data_source_info)
                           .Set("ProviderName", context.provider_name)
                           .Set("ProviderType", "MDP")
                           .Set("AuthenticationMode", "Unauthenticated");
                       rows.push_back(std::move(row));
                     }});

  rowsets.push_back({"DISCOVER_SCHEMA_ROWSETS", "The rowsets Discover answers and their restrictions.",
                     {{"SchemaName", T::kString, R}, {"SchemaGuid", T::kUuid}, {"Restrictions", T::kRestrictionList},
                      {"Description", T::kString}, {"RestrictionsMask", T::kUnsignedInt}},
                     {},
                     [](const DiscoverContext&, const Restrictions&, std::vector<Row>& rows) {
                       for (const auto& rowset : RowsetDefs()) {
                         Row row(Def("DISCOVER_SCHEMA_ROWSETS").columns);
                         int64_t mask = 0;
                         int bit = 0;
                         for (const auto& column : rowset.columns) {
                           if (column.restriction) mask |= int64_t{1} << bit++;
                         }
                         for (size_t extra = 0; extra < rowset.extra_restrictions.size(); ++extra) {
                           mask |= int64_t{1} << bit++;
                         }
                         row.Set("SchemaName", rowset.name)
                             .Set("Restrictions", RestrictionListMarkup(rowset))
                             .Set("Description", rowset.description)
                             .Set("RestrictionsMask", mask);
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"DISCOVER_PROPERTIES", "The properties a request may carry.",
                     {{"PropertyName", T::kString, R}, {"PropertyDescription", T::kString},
                      {"PropertyType", T::kString}, {"PropertyAccessType", T::kString},
                      {"IsRequired", T::kBoolean}, {"Value", T::kString}},
                     {},
                     [](const DiscoverContext& context, const Restrictions&, std::vector<Row>& rows) {
                       for (const auto& property : PropertyDefs()) {
                         Row row(Def("DISCOVER_PROPERTIES").columns);
                         std::string value = property.default_value;
                         for (const auto& [name, given] : context.properties) {
                           if (EqualsIgnoreCase(name, property.name)) value = given;
                         }
                         if (EqualsIgnoreCase(property.name, "ProviderName")) value = context.provider_name;
                         if (EqualsIgnoreCase(property.name, "Catalog") && value.empty()) value = context.catalog;
                         if (EqualsIgnoreCase(property.name, "DataSourceInfo") && value.empty()) {
                           value = context.data_source_info;
                         }
                         row.Set("PropertyName", property.name)
                             .Set("PropertyDescription", property.description)
                             .Set("PropertyType", property.type)
                             .Set("PropertyAccessType", property.access)
                             .Set("IsRequired", false)
                             .Set("Value", value);
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"DISCOVER_ENUMERATORS", "The enumerations of the properties and rowsets.",
                     {{"EnumName", T::kString, R}, {"EnumDescription", T::kString}, {"EnumType", T::kString},
                      {"ElementName", T::kString}, {"ElementDescription", T::kString}, {"ElementValue", T::kString}},
                     {},
                     [](const DiscoverContext&, const Restrictions&, std::vector<Row>& rows) {
                       for (const auto& enumeration : Enumerations()) {
                         for (const auto& element : enumeration.elements) {
                           Row row(Def("DISCOVER_ENUMERATORS").columns);
                           row.Set("EnumName", enumeration.name)
                               .Set("EnumDescription", enumeration.description)
                               .Set("EnumType", enumeration.type)
                               .Set("ElementName", element.name)
                               .Set("ElementDescription", element.description)
                               .Set("ElementValue", element.value);
                           rows.push_back(std::move(row));
                         }
                       }
                     }});

  rowsets.push_back({"DISCOVER_KEYWORDS", "The reserved words of the MDX the provider speaks.",
                     {{"Keyword", T::kString, R}},
                     {},
                     [](const DiscoverContext&, const Restrictions&, std::vector<Row>& rows) {
                       for (const char* keyword : Keywords()) {
                         rows.push_back(std::move(Row(Def("DISCOVER_KEYWORDS").columns).Set("Keyword", keyword)));
                       }
                     }});

  rowsets.push_back({"DISCOVER_LITERALS", "The literals of the MDX the provider speaks.",
                     {{"LiteralName", T::kString, R}, {"LiteralValue", T::kString},
                      {"LiteralInvalidChars", T::kString}, {"LiteralInvalidStartingChars", T::kString},
                      {"LiteralMaxLength", T::kInt}, {"LiteralNameEnumValue", T::kInt}},
                     {},
                     [](const DiscoverContext&, const Restrictions&, std::vector<Row>& rows) {
                       int ordinal = 0;
                       for (const auto& literal : Literals()) {
                         Row row(Def("DISCOVER_LITERALS").columns);
                         row.Set("LiteralName", literal.name)
                             .Set("LiteralValue", literal.value)
                             .Set("LiteralInvalidChars", literal.invalid_chars)
                             .Set("LiteralInvalidStartingChars", literal.invalid_starting_chars)
                             .Set("LiteralMaxLength", literal.max_length)
                             .Set("LiteralNameEnumValue", ++ordinal);
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"DBSCHEMA_CATALOGS", "The catalogs of the data source.",
                     {{"CATALOG_NAME", T::kString, R}, {"DESCRIPTION", T::kString}, {"ROLES", T::kString},
                      {"DATE_MODIFIED", T::kDateTime}},
                     {},
                     [](const DiscoverContext& context, const Restrictions&, std::vector<Row>& rows) {
                       for (const auto& name : context.session.CatalogNames()) {
                         Row row(Def("DBSCHEMA_CATALOGS").columns);
                         row.Set("CATALOG_NAME", name).Set("DESCRIPTION", "").Set("ROLES", "");
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"DBSCHEMA_SCHEMATA", "The schemas of the catalogs: one per catalog, named after it.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"SCHEMA_OWNER", T::kString, R}},
                     {},
                     [](const DiscoverContext& context, const Restrictions& restrictions, std::vector<Row>& rows) {
                       for (const auto& name : CatalogsOf(context, restrictions)) {
                         Row row(Def("DBSCHEMA_SCHEMATA").columns);
                         row.Set("CATALOG_NAME", name).Set("SCHEMA_NAME", name).Set("SCHEMA_OWNER", "");
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_CUBES", "The cubes of the catalogs.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"CUBE_TYPE", T::kString, R}, {"CUBE_GUID", T::kUuid}, {"CREATED_ON", T::kDateTime},
                      {"LAST_SCHEMA_UPDATE", T::kDateTime}, {"SCHEMA_UPDATED_BY", T::kString},
                      {"LAST_DATA_UPDATE", T::kDateTime}, {"DATA_UPDATED_BY", T::kString},
                      {"IS_DRILLTHROUGH_ENABLED", T::kBoolean}, {"IS_WRITE_ENABLED", T::kBoolean},
                      {"IS_LINKABLE", T::kBoolean}, {"IS_SQL_ENABLED", T::kBoolean}, {"CUBE_CAPTION", T::kString},
                      {"DESCRIPTION", T::kString}},
                     {{"CUBE_SOURCE", T::kUnsignedShort, R}, {"BASE_CUBE_NAME", T::kString, R}},
                     [](const DiscoverContext& context, const Restrictions& restrictions, std::vector<Row>& rows) {
                       for (const auto& cube : CubesOf(context, restrictions)) {
                         Row row(Def("MDSCHEMA_CUBES").columns);
                         CubeColumns(row, cube);
                         row.Set("CUBE_TYPE", "CUBE")
                             .Set("IS_DRILLTHROUGH_ENABLED", false)
                             .Set("IS_WRITE_ENABLED", false)
                             .Set("IS_LINKABLE", false)
                             .Set("IS_SQL_ENABLED", false)
                             .Set("CUBE_CAPTION", cube.cube->Name())
                             .Set("DESCRIPTION", cube.cube->Description());
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_DIMENSIONS", "The dimensions of the cubes.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"DIMENSION_NAME", T::kString, R}, {"DIMENSION_UNIQUE_NAME", T::kString, R},
                      {"DIMENSION_GUID", T::kUuid}, {"DIMENSION_CAPTION", T::kString},
                      {"DIMENSION_ORDINAL", T::kUnsignedInt}, {"DIMENSION_TYPE", T::kShort},
                      {"DIMENSION_CARDINALITY", T::kUnsignedInt}, {"DEFAULT_HIERARCHY", T::kString},
                      {"DESCRIPTION", T::kString}, {"IS_VIRTUAL", T::kBoolean}, {"IS_READWRITE", T::kBoolean},
                      {"DIMENSION_UNIQUE_SETTINGS", T::kInt}, {"DIMENSION_MASTER_UNIQUE_NAME", T::kString},
                      {"DIMENSION_IS_VISIBLE", T::kBoolean}},
                     {{"CUBE_SOURCE", T::kUnsignedShort, R}, {"DIMENSION_VISIBILITY", T::kUnsignedShort, R}},
                     [](const DiscoverContext& context, const Restrictions& restrictions, std::vector<Row>& rows) {
                       for (const auto& cube : CubesOf(context, restrictions)) {
                         auto dimensions = cube.cube->GetDimensions();
                         for (int d = 0; d < dimensions->Count(); ++d) {
                           auto dimension = dimensions->Item(d);
                           if (!Allows(restrictions, "DIMENSION_UNIQUE_NAME", dimension->UniqueName())) continue;
                           auto hierarchies = dimension->GetHierarchies();
                           auto first = hierarchies->Count() > 0 ? hierarchies->Item(0) : nullptr;
                           Row row(Def("MDSCHEMA_DIMENSIONS").columns);
                           CubeColumns(row, cube);
                           row.Set("DIMENSION_NAME", dimension->Name())
                               .Set("DIMENSION_UNIQUE_NAME", dimension->UniqueName())
                               .Set("DIMENSION_CAPTION", dimension->Name())
                               .Set("DIMENSION_ORDINAL", d)
                               .Set("DIMENSION_TYPE", IsMeasures(*dimension) ? 2 : 3)
                               .Set("DIMENSION_CARDINALITY", first ? HierarchyCardinality(*first) : 0)
                               .Set("DEFAULT_HIERARCHY", first ? first->UniqueName() : std::string())
                               .Set("DESCRIPTION", dimension->Description())
                               .Set("IS_VIRTUAL", false)
                               .Set("IS_READWRITE", false)
                               .Set("DIMENSION_UNIQUE_SETTINGS", 0)
                               .Set("DIMENSION_IS_VISIBLE", true);
                           rows.push_back(std::move(row));
                         }
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_HIERARCHIES", "The hierarchies of the dimensions.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"DIMENSION_UNIQUE_NAME", T::kString, R}, {"HIERARCHY_NAME", T::kString, R},
                      {"HIERARCHY_UNIQUE_NAME", T::kString, R}, {"HIERARCHY_GUID", T::kUuid},
                      {"HIERARCHY_CAPTION", T::kString}, {"DIMENSION_TYPE", T::kShort},
                      {"HIERARCHY_CARDINALITY", T::kUnsignedInt}, {"DEFAULT_MEMBER", T::kString},
                      {"ALL_MEMBER", T::kString}, {"DESCRIPTION", T::kString}, {"STRUCTURE", T::kShort},
                      {"IS_VIRTUAL", T::kBoolean}, {"IS_READWRITE", T::kBoolean},
                      {"DIMENSION_UNIQUE_SETTINGS", T::kInt}, {"DIMENSION_IS_VISIBLE", T::kBoolean},
                      {"HIERARCHY_ORDINAL", T::kUnsignedInt}, {"DIMENSION_IS_SHARED", T::kBoolean},
                      {"PARENT_CHILD", T::kBoolean}},
                     {{"CUBE_SOURCE", T::kUnsignedShort, R}, {"HIERARCHY_VISIBILITY", T::kUnsignedShort, R},
                      {"HIERARCHY_ORIGIN", T::kUnsignedShort, R}},
                     [](const DiscoverContext& context, const Restrictions& restrictions, std::vector<Row>& rows) {
                       auto cubes = CubesOf(context, restrictions);
                       for (const auto& ref : HierarchiesOf(cubes, restrictions)) {
                         const auto& properties = ref.hierarchy->GetProperties();
                         Row row(Def("MDSCHEMA_HIERARCHIES").columns);
                         CubeColumns(row, *ref.cube);
                         row.Set("DIMENSION_UNIQUE_NAME", ref.dimension->UniqueName())
                             .Set("HIERARCHY_NAME", HierarchyName(*ref.hierarchy, *ref.dimension))
                             .Set("HIERARCHY_UNIQUE_NAME", ref.hierarchy->UniqueName())
                             .Set("HIERARCHY_CAPTION", ref.hierarchy->Caption())
                             .Set("DIMENSION_TYPE", IsMeasures(*ref.dimension) ? 2 : 3)
                             .Set("HIERARCHY_CARDINALITY", HierarchyCardinality(*ref.hierarchy))
                             .Set("DEFAULT_MEMBER", PropertyText(properties, "DEFAULT_MEMBER"))
                             .Set("DESCRIPTION", ref.hierarchy->Description())
                             .Set("STRUCTURE", 0)
                             .Set("IS_VIRTUAL", false)
                             .Set("IS_READWRITE", false)
                             .Set("DIMENSION_UNIQUE_SETTINGS", 0)
                             .Set("DIMENSION_IS_VISIBLE", true)
                             .Set("HIERARCHY_ORDINAL", ref.dimension_ordinal)
                             .Set("DIMENSION_IS_SHARED", true)
                             .Set("PARENT_CHILD", false);
                         std::string all = PropertyText(properties, "ALL_MEMBER");
                         if (!all.empty()) row.Set("ALL_MEMBER", all);
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_LEVELS", "The levels of the hierarchies.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"DIMENSION_UNIQUE_NAME", T::kString, R}, {"HIERARCHY_UNIQUE_NAME", T::kString, R},
                      {"LEVEL_NAME", T::kString, R}, {"LEVEL_UNIQUE_NAME", T::kString, R},
                      {"LEVEL_GUID", T::kUuid}, {"LEVEL_CAPTION", T::kString}, {"LEVEL_NUMBER", T::kUnsignedInt},
                      {"LEVEL_CARDINALITY", T::kUnsignedInt}, {"LEVEL_TYPE", T::kInt},
                      {"CUSTOM_ROLLUP_SETTINGS", T::kInt}, {"LEVEL_UNIQUE_SETTINGS", T::kInt},
                      {"LEVEL_IS_VISIBLE", T::kBoolean}, {"DESCRIPTION", T::kString}},
                     {{"CUBE_SOURCE", T::kUnsignedShort, R}, {"LEVEL_VISIBILITY", T::kUnsignedShort, R},
                      {"LEVEL_ORIGIN", T::kUnsignedShort, R}},
                     [](const DiscoverContext& context, const Restrictions& restrictions, std::vector<Row>& rows) {
                       auto cubes = CubesOf(context, restrictions);
                       for (const auto& ref : HierarchiesOf(cubes, restrictions)) {
                         std::string all = PropertyText(ref.hierarchy->GetProperties(), "ALL_MEMBER");
                         auto levels = ref.hierarchy->GetLevels();
                         for (int index = 0; index < levels->Count(); ++index) {
                           auto level = levels->Item(index);
                           bool all_level = index == 0 && !all.empty();
                           Row row(Def("MDSCHEMA_LEVELS").columns);
                           CubeColumns(row, *ref.cube);
                           row.Set("DIMENSION_UNIQUE_NAME", ref.dimension->UniqueName())
                               .Set("HIERARCHY_UNIQUE_NAME", ref.hierarchy->UniqueName())
                               .Set("LEVEL_NAME", level->Name())
                               .Set("LEVEL_UNIQUE_NAME", level->UniqueName())
                               .Set("LEVEL_CAPTION", level->Caption())
                               .Set("LEVEL_NUMBER", level->Depth())
                               .Set("LEVEL_CARDINALITY", level->GetMembers()->Count())
                               .Set("LEVEL_TYPE", all_level ? 1 : 0)
                               .Set("CUSTOM_ROLLUP_SETTINGS", 0)
                               .Set("LEVEL_UNIQUE_SETTINGS", 0)
                               .Set("LEVEL_IS_VISIBLE", true)
                               .Set("DESCRIPTION", level->Description());
                           rows.push_back(std::move(row));
                         }
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_MEASURES", "The measures of the cubes.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"MEASURE_NAME", T::kString, R}, {"MEASURE_UNIQUE_NAME", T::kString, R},
                      {"MEASURE_CAPTION", T::kString}, {"MEASURE_GUID", T::kUuid}, {"MEASURE_AGGREGATOR", T::kInt},
                      {"DATA_TYPE", T::kUnsignedShort}, {"NUMERIC_PRECISION", T::kUnsignedShort},
                      {"NUMERIC_SCALE", T::kShort}, {"MEASURE_UNITS", T::kString}, {"DESCRIPTION", T::kString},
                      {"EXPRESSION", T::kString}, {"MEASURE_IS_VISIBLE", T::kBoolean}, {"LEVELS_LIST", T::kString},
                      {"MEASURE_NAME_SQL_COLUMN_NAME", T::kString}, {"MEASURE_UNQUALIFIED_CAPTION", T::kString},
                      {"MEASUREGROUP_NAME", T::kString, R}, {"MEASURE_DISPLAY_FOLDER", T::kString},
                      {"DEFAULT_FORMAT_STRING", T::kString}},
                     {{"CUBE_SOURCE", T::kUnsignedShort, R}, {"MEASURE_VISIBILITY", T::kUnsignedShort, R}},
                     [](const DiscoverContext& context, const Restrictions& restrictions, std::vector<Row>& rows) {
                       for (const auto& cube : CubesOf(context, restrictions)) {
                         auto dimensions = cube.cube->GetDimensions();
                         for (int d = 0; d < dimensions->Count(); ++d) {
                           auto dimension = dimensions->Item(d);
                           if (!IsMeasures(*dimension)) continue;
                           auto hierarchies = dimension->GetHierarchies();
                           for (int h = 0; h < hierarchies->Count(); ++h) {
                             auto levels = hierarchies->Item(h)->GetLevels();
                             for (int l = 0; l < levels->Count(); ++l) {
                               auto members = levels->Item(l)->GetMembers();
                               for (int m = 0; m < members->Count(); ++m) {
                                 auto measure = members->Item(m);
                                 Row row(Def("MDSCHEMA_MEASURES").columns);
                                 CubeColumns(row, cube);
                                 row.Set("MEASURE_NAME", measure->Name())
                                     .Set("MEASURE_UNIQUE_NAME", measure->UniqueName())
                                     .Set("MEASURE_CAPTION", measure->Caption())
                                     .Set("MEASURE_AGGREGATOR", 0)
                                     .Set("DATA_TYPE", 5)
                                     .Set("NUMERIC_PRECISION", 16)
                                     .Set("NUMERIC_SCALE", -1)
                                     .Set("DESCRIPTION", measure->Description())
                                     .Set("MEASURE_IS_VISIBLE", true)
                                     .Set("MEASURE_UNQUALIFIED_CAPTION", measure->Caption())
                                     .Set("MEASUREGROUP_NAME", cube.cube->Name());
                                 rows.push_back(std::move(row));
                               }
                             }
                           }
                         }
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_MEMBERS", "The members of the hierarchies.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"DIMENSION_UNIQUE_NAME", T::kString, R}, {"HIERARCHY_UNIQUE_NAME", T::kString, R},
                      {"LEVEL_UNIQUE_NAME", T::kString, R}, {"LEVEL_NUMBER", T::kUnsignedInt, R},
                      {"MEMBER_ORDINAL", T::kUnsignedInt}, {"MEMBER_NAME", T::kString, R},
                      {"MEMBER_UNIQUE_NAME", T::kString, R}, {"MEMBER_TYPE", T::kInt, R},
                      {"MEMBER_GUID", T::kUuid}, {"MEMBER_CAPTION", T::kString, R},
                      {"CHILDREN_CARDINALITY", T::kUnsignedInt}, {"PARENT_LEVEL", T::kUnsignedInt},
                      {"PARENT_UNIQUE_NAME", T::kString}, {"PARENT_COUNT", T::kUnsignedInt},
                      {"DEPTH", T::kUnsignedInt}, {"DESCRIPTION", T::kString}, {"EXPRESSION", T::kString}},
                     {{"TREE_OP", T::kInt, R}},
                     [](const DiscoverContext& context, const Restrictions& restrictions, std::vector<Row>& rows) {
                       ProduceMembers(Def("MDSCHEMA_MEMBERS"), context, restrictions, rows);
                     }});

  rowsets.push_back({"MDSCHEMA_PROPERTIES", "The properties of members and cells.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"DIMENSION_UNIQUE_NAME", T::kString, R}, {"HIERARCHY_UNIQUE_NAME", T::kString, R},
                      {"LEVEL_UNIQUE_NAME", T::kString, R}, {"MEMBER_UNIQUE_NAME", T::kString, R},
                      {"PROPERTY_TYPE", T::kShort, R}, {"PROPERTY_NAME", T::kString, R},
                      {"PROPERTY_CAPTION", T::kString}, {"DATA_TYPE", T::kUnsignedShort},
                      {"CHARACTER_MAXIMUM_LENGTH", T::kUnsignedInt}, {"CHARACTER_OCTET_LENGTH", T::kUnsignedInt},
                      {"NUMERIC_PRECISION", T::kUnsignedShort}, {"NUMERIC_SCALE", T::kShort},
                      {"DESCRIPTION", T::kString}, {"PROPERTY_CONTENT_TYPE", T::kShort},
                      {"SQL_COLUMN_NAME", T::kString}, {"LANGUAGE", T::kUnsignedShort},
                      {"PROPERTY_ORIGIN", T::kUnsignedShort}, {"PROPERTY_ATTRIBUTE_HIERARCHY_NAME", T::kString},
                      {"PROPERTY_CARDINALITY", T::kString}, {"MIME_TYPE", T::kString},
                      {"PROPERTY_IS_VISIBLE", T::kBoolean}},
                     {{"CUBE_SOURCE", T::kUnsignedShort, R}, {"PROPERTY_VISIBILITY", T::kUnsignedShort, R},
                      {"PROPERTY_ORIGIN", T::kUnsignedShort, R}},
                     [](const DiscoverContext&, const Restrictions&, std::vector<Row>& rows) {
                       // The provider offers no member properties beyond the intrinsic
                       // ones; the cell properties an Execute can return are listed.
                       struct CellProperty { const char* name; int type; const char* description; };
                       for (const auto& property : {CellProperty{"VALUE", 12, "The value of the cell."},
                                                    CellProperty{"FORMATTED_VALUE", 130, "The value formatted."},
                                                    CellProperty{"CELL_ORDINAL", 19, "The ordinal of the cell."}}) {
                         Row row(Def("MDSCHEMA_PROPERTIES").columns);
                         row.Set("PROPERTY_TYPE", 2)
                             .Set("PROPERTY_NAME", property.name)
                             .Set("PROPERTY_CAPTION", property.name)
                             .Set("DATA_TYPE", property.type)
                             .Set("DESCRIPTION", property.description)
                             .Set("PROPERTY_IS_VISIBLE", true);
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_SETS", "The named sets of the cubes.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"SET_NAME", T::kString, R}, {"SCOPE", T::kInt, R}, {"DESCRIPTION", T::kString},
                      {"EXPRESSION", T::kString}, {"DIMENSIONS", T::kString}, {"SET_CAPTION", T::kString},
                      {"SET_DISPLAY_FOLDER", T::kString}},
                     {{"CUBE_SOURCE", T::kUnsignedShort, R}, {"HIERARCHY_UNIQUE_NAME", T::kString, R}},
                     [](const DiscoverContext&, const Restrictions&, std::vector<Row>&) {}});

  rowsets.push_back({"MDSCHEMA_FUNCTIONS", "The MDX functions the provider speaks.",
                     {{"FUNCTION_NAME", T::kString, R}, {"DESCRIPTION", T::kString}, {"PARAMETER_LIST", T::kString},
                      {"RETURN_TYPE", T::kInt}, {"ORIGIN", T::kInt, R}, {"INTERFACE_NAME", T::kString, R},
                      {"LIBRARY_NAME", T::kString, R}, {"CAPTION", T::kString}},
                     {},
                     [](const DiscoverContext&, const Restrictions&, std::vector<Row>& rows) {
                       for (const auto& function : Functions()) {
                         Row row(Def("MDSCHEMA_FUNCTIONS").columns);
                         row.Set("FUNCTION_NAME", function.name)
                             .Set("DESCRIPTION", function.description)
                             .Set("PARAMETER_LIST", function.parameters)
                             .Set("RETURN_TYPE", function.return_type)
                             .Set("ORIGIN", 1)
                             .Set("INTERFACE_NAME", "")
                             .Set("CAPTION", function.name);
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_MEASUREGROUPS", "The measure groups: one per cube, named after it.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"MEASUREGROUP_NAME", T::kString, R}, {"DESCRIPTION", T::kString},
                      {"IS_WRITE_ENABLED", T::kBoolean}, {"MEASUREGROUP_CAPTION", T::kString}},
                     {},
                     [](const DiscoverContext& context, const Restrictions& restrictions, std::vector<Row>& rows) {
                       for (const auto& cube : CubesOf(context, restrictions)) {
                         Row row(Def("MDSCHEMA_MEASUREGROUPS").columns);
                         CubeColumns(row, cube);
                         row.Set("MEASUREGROUP_NAME", cube.cube->Name())
                             .Set("DESCRIPTION", cube.cube->Description())
                             .Set("IS_WRITE_ENABLED", false)
                             .Set("MEASUREGROUP_CAPTION", cube.cube->Name());
                         rows.push_back(std::move(row));
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_MEASUREGROUP_DIMENSIONS", "The dimensions of each measure group.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"MEASUREGROUP_NAME", T::kString, R}, {"MEASUREGROUP_CARDINALITY", T::kString},
                      {"DIMENSION_UNIQUE_NAME", T::kString, R}, {"DIMENSION_CARDINALITY", T::kString},
                      {"DIMENSION_IS_VISIBLE", T::kBoolean}, {"DIMENSION_IS_FACT_DIMENSION", T::kBoolean},
                      {"DIMENSION_PATH", T::kString}, {"DIMENSION_GRANULARITY", T::kString}},
                     {},
                     [](const DiscoverContext& context, const Restrictions& restrictions, std::vector<Row>& rows) {
                       for (const auto& cube : CubesOf(context, restrictions)) {
                         auto dimensions = cube.cube->GetDimensions();
                         for (int d = 0; d < dimensions->Count(); ++d) {
                           auto dimension = dimensions->Item(d);
                           if (IsMeasures(*dimension)) continue;
                           auto hierarchies = dimension->GetHierarchies();
                           Row row(Def("MDSCHEMA_MEASUREGROUP_DIMENSIONS").columns);
                           CubeColumns(row, cube);
                           row.Set("MEASUREGROUP_NAME", cube.cube->Name())
                               .Set("MEASUREGROUP_CARDINALITY", "ONE")
                               .Set("DIMENSION_UNIQUE_NAME", dimension->UniqueName())
                               .Set("DIMENSION_CARDINALITY", "MANY")
                               .Set("DIMENSION_IS_VISIBLE", true)
                               .Set("DIMENSION_IS_FACT_DIMENSION", false);
                           if (hierarchies->Count() > 0) {
                             auto levels = hierarchies->Item(0)->GetLevels();
                             if (levels->Count() > 0) {
                               row.Set("DIMENSION_GRANULARITY", levels->Item(levels->Count() - 1)->UniqueName());
                             }
                           }
                           rows.push_back(std::move(row));
                         }
                       }
                     }});

  rowsets.push_back({"MDSCHEMA_KPIS", "The key performance indicators of the cubes; there are none.",
                     {{"CATALOG_NAME", T::kString, R}, {"SCHEMA_NAME", T::kString, R}, {"CUBE_NAME", T::kString, R},
                      {"MEASUREGROUP_NAME", T::kString}, {"KPI_NAME", T::kString, R}, {"KPI_CAPTION", T::kString},
                      {"KPI_DESCRIPTION", T::kString}, {"KPI_DISPLAY_FOLDER", T::kString},
                      {"KPI_VALUE", T::kString}, {"KPI_GOAL", T::kString}, {"KPI_STATUS", T::kString},
                      {"KPI_TREND", T::kString}, {"KPI_STATUS_GRAPHIC", T::kString},
                      {"KPI_TREND_GRAPHIC", T::kString}, {"KPI_WEIGHT", T::kString},
                      {"KPI_CURRENT_TIME_MEMBER", T::kString}, {"KPI_PARENT_KPI_NAME", T::kString},
                      {"SCOPE", T::kInt}},
                     {{"CUBE_SOURCE", T::kUnsignedShort, R}},
                     [](const DiscoverContext&, const Restrictions&, std::vector<Row>&) {}});
  return rowsets;
}

}  // namespace

const std::vector<RowsetDef>& RowsetDefs() {
  static const std::vector<RowsetDef> rowsets = MakeRowsets();
  return rowsets;
}

}  // namespace orvex::xmla

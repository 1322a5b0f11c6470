#include "xmla_client/xmla_metadata.h"

#include "platform/text.h"

namespace orvex::xmla_client {
namespace {

using Dimensions = std::shared_ptr<const std::vector<DimensionInfo>>;

class XmlaLevel final : public provider::Level {
 public:
  XmlaLevel(CubeScope scope, Dimensions owner, const HierarchyInfo& hierarchy, const LevelInfo& level)
      : scope_(std::move(scope)), owner_(std::move(owner)), hierarchy_(hierarchy), level_(level) {
    properties_.Add("LEVEL_NUMBER", Variant(static_cast<int32_t>(level.number)));
    properties_.Add("LEVEL_UNIQUE_NAME", Variant(level.unique_name));
    properties_.Add("HIERARCHY_UNIQUE_NAME", Variant(hierarchy.unique_name));
  }
  std::string Name() const override { return level_.name; }
  std::string UniqueName() const override { return level_.unique_name; }
  std::string Caption() const override { return level_.caption; }
  std::string Description() const override { return level_.description; }
  int Depth() const override { return level_.number; }
  const provider::Properties& GetProperties() const override { return properties_; }
  std::shared_ptr<provider::Members> GetMembers() const override {
    CubeScope scope = scope_;
    std::string hierarchy = hierarchy_.unique_name;
    std::string level = level_.unique_name;
    auto list = [scope, hierarchy, level] {
      return scope.state->LevelMembers(scope.catalog, scope.cube, hierarchy, level);
    };
    auto members = MemberCollection(scope_, list);
    // A member of this level by unique name costs no listing of the level: a
    // result's member is known already, another one is asked for alone.
    return std::make_shared<FunctionCollection<provider::Member>>(
        [members] { return members->Count(); }, [members](int index) { return members->Item(index); },
        [scope, hierarchy, level, members](std::string_view name) -> std::shared_ptr<provider::Member> {
          if (name.starts_with("[")) {
            auto found = scope.state->FindMember(scope.catalog, scope.cube, hierarchy, std::string(name));
            if (found) {
              if (!EqualsIgnoreCase(found->level_unique_name, level)) return nullptr;
              return std::make_shared<XmlaMember>(scope, found);
            }
          }
          return members->Item(name);
        });
  }

 private:
  CubeScope scope_;
  Dimensions owner_;  // keeps the infos below alive
  const HierarchyInfo& hierarchy_;
  const LevelInfo& level_;
  provider::Properties properties_;
};

class XmlaHierarchy final : public provider::Hierarchy {
 public:
  XmlaHierarchy(CubeScope scope, Dimensions owner, const HierarchyInfo& hierarchy)
      : scope_(std::move(scope)), owner_(std::move(owner)), hierarchy_(hierarchy) {
    properties_.Add("DEFAULT_MEMBER", Variant(hierarchy.default_member));
    properties_.Add("HIERARCHY_UNIQUE_NAME", Variant(hierarchy.unique_name));
    if (!hierarchy.all_member.empty()) properties_.Add("ALL_MEMBER", Variant(hierarchy.all_member));
  }
  std::string Name() const override { return hierarchy_.name; }
  std::string UniqueName() const override { return hierarchy_.unique_name; }
  std::string Caption() const override { return hierarchy_.caption; }
  std::string Description() const override { return hierarchy_.description; }
  const provider::Properties& GetProperties() const override { return properties_; }
  std::shared_ptr<provider::Levels> GetLevels() const override {
    auto scope = scope_;
    auto owner = owner_;
    const HierarchyInfo* hierarchy = &hierarchy_;
    return std::make_shared<FunctionCollection<provider::Level>>(
        [hierarchy] { return static_cast<int>(hierarchy->levels.size()); },
        [scope, owner, hierarchy](int index) {
          return std::make_shared<XmlaLevel>(scope, owner, *hierarchy, hierarchy->levels[static_cast<size_t>(index)]);
        },
        [scope, owner, hierarchy](std::string_view name) -> std::shared_ptr<provider::Level> {
          for (const auto& level : hierarchy->levels) {
            if (EqualsIgnoreCase(level.name, name) || EqualsIgnoreCase(level.unique_name, name)) {
              return std::make_shared<XmlaLevel>(scope, owner, *hierarchy, level);
            }
          }
          return nullptr;
        });
  }

 private:
  CubeScope scope_;
  Dimensions owner_;
  const HierarchyInfo& hierarchy_;
  provider::Properties properties_;
};

class XmlaDimension final : public provider::Dimension {
 public:
  XmlaDimension(CubeScope scope, Dimensions owner, const DimensionInfo& dimension)
      : scope_(std::move(scope)), owner_(std::move(owner)), dimension_(dimension) {
    properties_.Add("DIMENSION_UNIQUE_NAME", Variant(dimension.unique_name));
  }
  std::string Name() const override { return dimension_.name; }
  std::string UniqueName() const override { return dimension_.unique_name; }
  std::string Description() const override { return dimension_.description; }
  const provider::Properties& GetProperties() const override { return properties_; }
  std::shared_ptr<provider::Hierarchies> GetHierarchies() const override {
    auto scope = scope_;
    auto owner = owner_;
    const DimensionInfo* dimension = &dimension_;
    return std::make_shared<FunctionCollection<provider::Hierarchy>>(
        [dimension] { return static_cast<int>(dimension->hierarchies.size()); },
        [scope, owner, dimension](int index) {
          return std::make_shared<XmlaHierarchy>(scope, owner, dimension->hierarchies[static_cast<size_t>(index)]);
        },
        [scope, owner, dimension](std::string_view name) -> std::shared_ptr<provider::Hierarchy> {
          for (const auto& hierarchy : dimension->hierarchies) {
            if (EqualsIgnoreCase(hierarchy.name, name) || EqualsIgnoreCase(hierarchy.unique_name, name)) {
              return std::make_shared<XmlaHierarchy>(scope, owner, hierarchy);
            }
          }
          return nullptr;
        });
  }

 private:
  CubeScope scope_;
  Dimensions owner_;
  const DimensionInfo& dimension_;
  provider::Properties properties_;
};

class XmlaCubeDef final : public provider::CubeDef {
 public:
  XmlaCubeDef(CubeScope scope, std::string description) : scope_(std::move(scope)), description_(std::move(description)) {
    properties_.Add("CUBE_NAME", Variant(scope_.cube));
    properties_.Add("DESCRIPTION", Variant(description_));
  }
  std::string Name() const override { return scope_.cube; }
  std::string Description() const override { return description_; }
  const provider::Properties& GetProperties() const override { return properties_; }
  // The structure is fetched on first use, and only once per connection.
  std::shared_ptr<provider::Dimensions> GetDimensions() const override {
    auto scope = scope_;
    Dimensions dimensions = scope.state->Dimensions(scope.catalog, scope.cube);
    return std::make_shared<FunctionCollection<provider::Dimension>>(
        [dimensions] { return static_cast<int>(dimensions->size()); },
        [scope, dimensions](int index) {
          return std::make_shared<XmlaDimension>(scope, dimensions, (*dimensions)[static_cast<size_t>(index)]);
        },
        [scope, dimensions](std::string_view name) -> std::shared_ptr<provider::Dimension> {
          for (const auto& dimension : *dimensions) {
            if (EqualsIgnoreCase(dimension.name, name) || EqualsIgnoreCase(dimension.unique_name, name)) {
              return std::make_shared<XmlaDimension>(scope, dimensions, dimension);
            }
          }
          return nullptr;
        });
  }
  std::vector<provider::NamedSet> GetNamedSets() const override {
    std::vector<provider::NamedSet> sets;
    for (const SetInfo& set : scope_.state->NamedSets(scope_.catalog, scope_.cube)) {
      // Servers name a set with or without its brackets.
      std::string unique_name = set.name.size() > 1 && set.name.front() == '[' ? set.name
                                                                                 : "[" + ReplaceAll(set.name, "]", "]]") + "]";
      sets.push_back({set.name, unique_name, set.caption, set.expression});
    }
    return sets;
  }

 private:
  CubeScope scope_;
  std::string description_;
  provider::Properties properties_;
};

}  // namespace

XmlaMember::XmlaMember(CubeScope scope, std::shared_ptr<const MemberInfo> info)
    : scope_(std::move(scope)), info_(std::move(info)) {}

const MemberInfo& XmlaMember::Info() const {
  std::call_once(completed_once_, [this] { completed_ = scope_.state->Complete(scope_.catalog, scope_.cube, info_); });
  return *completed_;
}

std::string XmlaMember::LevelName() const {
  // The level's name is the last part of its unique name.
  const std::string& level = info_->level_unique_name;
  size_t open = level.rfind(".[");
  std::string last = open == std::string::npos ? level : level.substr(open + 1);
  if (last.size() >= 2 && last.front() == '[' && last.back() == ']') last = last.substr(1, last.size() - 2);
  return ReplaceAll(last, "]]", "]");
}

std::shared_ptr<provider::Member> XmlaMember::Parent() const {
  if (info_->level_number == 0) return nullptr;
  const std::string& parent = Info().parent_unique_name;
  if (parent.empty()) return nullptr;
  auto found = scope_.state->FindMember(scope_.catalog, scope_.cube, info_->hierarchy_unique_name, parent);
  if (!found) {
    // A calculated member's parent that the server does not list either.
    auto stand_in = std::make_shared<MemberInfo>();
    stand_in->unique_name = parent;
    stand_in->hierarchy_unique_name = info_->hierarchy_unique_name;
    stand_in->level_number = info_->level_number - 1;
    found = scope_.state->Complete(scope_.catalog, scope_.cube, stand_in);
  }
  return std::make_shared<XmlaMember>(scope_, found);
}

int XmlaMember::ChildCount() const {
  // A result's count is capped at 65535 and may be an estimate; the member rowset has it exactly.
  if (info_->complete || info_->children < 0xFFFF) return info_->children;
  return Info().children;
}

std::shared_ptr<provider::Members> XmlaMember::Children() const {
  CubeScope scope = scope_;
  std::shared_ptr<const MemberInfo> info = info_;
  return MemberCollection(scope_, [scope, info] { return scope.state->Children(scope.catalog, scope.cube, *info); });
}

const provider::Properties& XmlaMember::GetProperties() const {
  std::call_once(properties_once_, [this] {
    const MemberInfo& member = Info();
    provider::Properties properties;
    properties.Add("MEMBER_NAME", Variant(member.name));
    properties.Add("MEMBER_UNIQUE_NAME", Variant(member.unique_name));
    properties.Add("MEMBER_CAPTION", Variant(member.caption));
    properties.Add("LEVEL_NUMBER", Variant(static_cast<int32_t>(member.level_number)));
    properties.Add("LEVEL_UNIQUE_NAME", Variant(member.level_unique_name));
    properties.Add("HIERARCHY_UNIQUE_NAME", Variant(member.hierarchy_unique_name));
    properties.Add("PARENT_UNIQUE_NAME", Variant(member.parent_unique_name));
    properties.Add("CHILDREN_CARDINALITY", Variant(static_cast<int32_t>(member.children)));
    properties.Add("NAME", Variant(member.name));
    properties.Add("CAPTION", Variant(member.caption));
    properties_ = std::move(properties);
  });
  return properties_;
}

std::shared_ptr<provider::Members> MemberCollection(const CubeScope& scope,
                                                    std::function<std::shared_ptr<const MemberList>()> list) {
  return std::make_shared<FunctionCollection<provider::Member>>(
      [list] { return static_cast<int>(list()->size()); },
      [scope, list](int index) { return std::make_shared<XmlaMember>(scope, (*list())[static_cast<size_t>(index)]); },
      [scope, list](std::string_view name) -> std::shared_ptr<provider::Member> {
        auto members = list();
        for (const auto& member : *members) {
          if (EqualsIgnoreCase(member->unique_name, name)) return std::make_shared<XmlaMember>(scope, member);
        }
        for (const auto& member : *members) {
          if (EqualsIgnoreCase(member->name, name)) return std::make_shared<XmlaMember>(scope, member);
        }
        return nullptr;
      });
}

std::shared_ptr<provider::CubeDefs> CubeDefCollection(std::shared_ptr<XmlaState> state, const std::string& catalog,
                                                      std::vector<CubeInfo> cubes) {
  auto list = std::make_shared<const std::vector<CubeInfo>>(std::move(cubes));
  return std::make_shared<FunctionCollection<provider::CubeDef>>(
      [list] { return static_cast<int>(list->size()); },
      [state, catalog, list](int index) {
        const CubeInfo& cube = (*list)[static_cast<size_t>(index)];
        return std::make_shared<XmlaCubeDef>(CubeScope{state, catalog, cube.name}, cube.description);
      },
      [state, catalog, list](std::string_view name) -> std::shared_ptr<provider::CubeDef> {
        for (const auto& cube : *list) {
          if (EqualsIgnoreCase(cube.name, name)) {
            return std::make_shared<XmlaCubeDef>(CubeScope{state, catalog, cube.name}, cube.description);
          }
        }
        return nullptr;
      });
}

}  // namespace orvex::xmla_client

#include "engine/catalog/role_catalog.h"

#include <algorithm>
#include <optional>

#include "engine/catalog/cube_builder.h"
#include "engine/common/engine_error.h"
#include "engine/model/catalog_state.h"
#include "engine/model/role_access.h"
#include "platform/text.h"

namespace orvex::engine {
namespace {

[[noreturn]] void FailGrant(const schema::RoleDef& role, int line, const std::string& message) {
  throw EngineError("Schema line " + std::to_string(line) + ": the role '" + role.name + "' " + message);
}

// A hierarchy as a grant writes it: its unique name, or the name of a dimension that has only it.
const Hierarchy* FindGrantedHierarchy(const Cube& cube, const std::string& written) {
  if (const Hierarchy* hierarchy = cube.FindHierarchy(Trim(written))) return hierarchy;
  const Dimension* dimension = cube.FindDimension(Trim(written));
  if (dimension && dimension->hierarchies().size() == 1) return dimension->hierarchies().front();
  return nullptr;
}

// A level as a grant writes it: its unique name, or its bare name.
int LevelDepth(const schema::RoleDef& role, int line, const Hierarchy& hierarchy, const std::string& written) {
  std::string name = Trim(written);
  for (const auto& level : hierarchy.levels()) {
    if (EqualsIgnoreCase(level->unique_name(), name) || EqualsIgnoreCase(level->name(), name) ||
        EqualsIgnoreCase("[" + level->name() + "]", name)) {
      return level->depth();
    }
  }
  FailGrant(role, line, "names the level " + written + ", which the hierarchy " + hierarchy.unique_name() +
                            " does not have.");
}

RollupPolicy ToRollupPolicy(const std::string& policy) {
  if (policy == "partial") return RollupPolicy::kPartial;
  if (policy == "hidden") return RollupPolicy::kHidden;
  return RollupPolicy::kFull;
}

// The measures cannot be restricted: a grant that tries is refused rather than ignored.
void CheckMeasuresGrant(const schema::RoleDef& role, int line, const std::string& access) {
  if (access != "all") FailGrant(role, line, "restricts the measures, which this server cannot do.");
}

std::optional<CubeAccess> ResolveOne(const schema::RoleDef& role, const Cube& cube) {
  const schema::CubeGrantDef* grant = nullptr;
  for (const auto& candidate : role.cubes) {
    if (EqualsIgnoreCase(candidate.cube, cube.name())) {
      grant = &candidate;
      break;
    }
  }
  bool allowed = grant ? grant->access != "none" : role.schema_access == "all";
  if (!allowed) return std::nullopt;
  CubeAccess access;
  access.hierarchies.resize(cube.hierarchies().size());
  if (!grant) return access;
  for (const auto& dimension_grant : grant->dimensions) {
    const Dimension* dimension = cube.FindDimension(Trim(dimension_grant.dimension));
    if (!dimension) {
      FailGrant(role, dimension_grant.line, "grants the dimension " + dimension_grant.dimension +
                                                ", which the cube '" + cube.name() + "' does not have.");
    }
    if (dimension->is_measures()) {
      CheckMeasuresGrant(role, dimension_grant.line, dimension_grant.access);
      continue;
    }
    for (const Hierarchy* hierarchy : dimension->hierarchies()) {
      access.hierarchies[static_cast<size_t>(hierarchy->index())].kind =
          dimension_grant.access == "none" ? HierarchyAccess::Kind::kNone : HierarchyAccess::Kind::kAll;
    }
  }
  for (const auto& hierarchy_grant : grant->hierarchies) {
    const Hierarchy* hierarchy = FindGrantedHierarchy(cube, hierarchy_grant.hierarchy);
    if (!hierarchy) {
      FailGrant(role, hierarchy_grant.line, "grants the hierarchy " + hierarchy_grant.hierarchy +
                                                ", which the cube '" + cube.name() + "' does not have.");
    }
    if (hierarchy->is_measures()) {
      CheckMeasuresGrant(role, hierarchy_grant.line, hierarchy_grant.access);
      continue;
    }
    HierarchyAccess& target = access.hierarchies[static_cast<size_t>(hierarchy->index())];
    target.grants.clear();
    if (hierarchy_grant.access == "all") {
      target.kind = HierarchyAccess::Kind::kAll;
    } else if (hierarchy_grant.access == "none") {
      target.kind = HierarchyAccess::Kind::kNone;
    } else {
      target.kind = HierarchyAccess::Kind::kCustom;
      CustomGrant custom;
      if (!hierarchy_grant.top_level.empty()) {
        custom.top_depth = LevelDepth(role, hierarchy_grant.line, *hierarchy, hierarchy_grant.top_level);
      }
      if (!hierarchy_grant.bottom_level.empty()) {
        custom.bottom_depth = LevelDepth(role, hierarchy_grant.line, *hierarchy, hierarchy_grant.bottom_level);
      }
      if (custom.bottom_depth < custom.top_depth) {
        FailGrant(role, hierarchy_grant.line, "has a bottomLevel above its topLevel.");
      }
      custom.rollup = ToRollupPolicy(hierarchy_grant.rollup_policy);
      for (const auto& member : hierarchy_grant.members) custom.members.emplace_back(member.member, member.all);
      target.grants.push_back(std::move(custom));
    }
  }
  return access;
}

// `into` then shows whatever either showed.
void Merge(HierarchyAccess& into, const HierarchyAccess& other) {
  using Kind = HierarchyAccess::Kind;
  if (into.kind == Kind::kAll || other.kind == Kind::kNone) return;
  if (other.kind == Kind::kAll || into.kind == Kind::kNone) {
    into = other;
    return;
  }
  into.grants.insert(into.grants.end(), other.grants.begin(), other.grants.end());
}



// Roles a union may nest, at most: deeper is a cycle or a mistake.
constexpr int kMaxRoleNesting = 16;

// The roles `name` stands for: itself, or the roles its union joins.
void CollectRoles(const schema::SchemaDef& schema, const std::string& catalog, std::string_view name,
                  std::vector<const schema::RoleDef*>& roles, int depth) {
  const schema::RoleDef* role = nullptr;
  for (const auto& candidate : schema.roles) {
    if (EqualsIgnoreCase(candidate.name, name)) {
      role = &candidate;
      break;
    }
  }
  if (!role) throw EngineError("The role '" + std::string(name) + "' is not defined in the catalog '" + catalog + "'.");
  if (!role->error.empty()) throw EngineError("The role '" + role->name + "' cannot be used: " + role->error);
  if (role->union_of.empty()) {
    roles.push_back(role);
    return;
  }
  if (depth >= kMaxRoleNesting) {
    throw EngineError("The role '" + role->name + "' cannot be used: its unions nest too deep or refer to themselves.");
  }
  for (const auto& used : role->union_of) CollectRoles(schema, catalog, used, roles, depth + 1);
}

// Whether any of `roles` may use the cube named `cube`, as far as names alone tell.
bool AnyGrants(const std::vector<const schema::RoleDef*>& roles, const std::string& cube) {
  for (const schema::RoleDef* role : roles) {
    const schema::CubeGrantDef* grant = nullptr;
    for (const auto& candidate : role->cubes) {
      if (EqualsIgnoreCase(candidate.cube, cube)) {
        grant = &candidate;
        break;
      }
    }
    if (grant ? grant->access != "none" : role->schema_access == "all") return true;
  }
  return false;
}

}  // namespace

std::optional<CubeAccess> ResolveCubeAccess(const std::vector<const schema::RoleDef*>& roles, const Cube& cube) {
  std::optional<CubeAccess> result;
  for (const schema::RoleDef* role : roles) {
    std::optional<CubeAccess> one = ResolveOne(*role, cube);
    if (!one) continue;
    if (!result) {
      result = std::move(one);
      continue;
    }
    for (size_t index = 0; index < result->hierarchies.size(); ++index) {
      Merge(result->hierarchies[index], one->hierarchies[index]);
    }
  }
  return result;
}

std::shared_ptr<const Catalog> RoleCatalog::For(std::shared_ptr<const Catalog> catalog, std::string_view role) {
  std::string name = Trim(role);
  if (name.empty()) return catalog;
  const Catalog::State& state = *catalog->state_;
  if (!state.schema) throw EngineError("The catalog '" + state.name + "' is already restricted to a role.");
  std::lock_guard lock(state.roles_mutex);
  auto found = state.by_role.find(ToLower(name));
  if (found != state.by_role.end()) return found->second;

  std::vector<const schema::RoleDef*> roles;
  CollectRoles(*state.schema, state.name, name, roles, 0);
  std::shared_ptr<Catalog> restricted(new Catalog());
  restricted->state_->name = state.name;
  restricted->state_->store = state.store;
  try {
    for (const auto& definition : state.schema->cubes) {
      auto base = std::find_if(state.cubes.begin(), state.cubes.end(), [&](const std::shared_ptr<const Cube>& cube) {
        return cube->name() == definition.name;
      });
      bool seen = std::any_of(restricted->state_->cubes.begin(), restricted->state_->cubes.end(),
                              [&](const std::shared_ptr<const Cube>& cube) { return cube->name() == definition.name; });
      if (seen) continue;  // a second definition of a name, which failed to load
      if (base == state.cubes.end()) {
        // A broken cube stays broken for those who may use it, and unknown to everyone else.
        auto failed = state.failed_cubes.find(definition.name);
        if (failed != state.failed_cubes.end() && AnyGrants(roles, definition.name)) {
          restricted->state_->failed_cubes.insert(*failed);
        }
        continue;
      }
      std::optional<CubeAccess> access = ResolveCubeAccess(roles, **base);
      if (access) restricted->state_->cubes.push_back(CubeBuilder::BuildRestricted(*base, definition, *access));
    }
  } catch (const ComError& failure) {
    throw EngineError("The role '" + name + "' cannot be used: " + failure.description());
  }
  state.by_role.emplace(ToLower(name), restricted);
  return restricted;
}

}  // namespace orvex::engine

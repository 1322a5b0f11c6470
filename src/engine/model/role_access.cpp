#include "engine/model/role_access.h"

#include <algorithm>

#include "engine/model/engine_error.h"
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

// The more generous of two policies: full shows more than partial, partial more than hidden.
RollupPolicy MoreGenerous(RollupPolicy a, RollupPolicy b) { return std::min(a, b); }

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

Visibility DecideVisibility(const detail::MemberTree& full, const HierarchyAccess& access,
                            const std::function<const Member*(const std::string&)>& resolve) {
  const auto& members = full.members();
  const size_t count = members.size();
  Visibility result{std::vector<bool>(count, access.kind == HierarchyAccess::Kind::kAll),
                    std::vector<RollupPolicy>(count, RollupPolicy::kFull)};
  if (access.kind != HierarchyAccess::Kind::kCustom) return result;

  auto position = [](const Member& member) { return static_cast<size_t>(member.order); };
  int deepest_shown = 0;  // children below every grant's bottom level are detail left out, not data withheld
  RollupPolicy policy = RollupPolicy::kHidden;
  for (const CustomGrant& grant : access.grants) {
    deepest_shown = std::max(deepest_shown, grant.bottom_depth);
    policy = MoreGenerous(policy, grant.rollup);
    // Without member grants the levels alone decide; with them, only what they grant is open.
    std::vector<bool> granted(count, grant.members.empty());
    for (const auto& [written, all] : grant.members) {
      const Member* member = resolve(written);
      if (!member) continue;
      // A grant covers its member's whole subtree, overriding earlier grants there.
      std::vector<const Member*> stack{member};
      while (!stack.empty()) {
        const Member* current = stack.back();
        stack.pop_back();
        granted[position(*current)] = all;
        stack.insert(stack.end(), current->children.begin(), current->children.end());
      }
    }
    auto in_range = [&](const Member& member) {
      int depth = member.level->depth();
      return depth >= grant.top_depth && depth <= grant.bottom_depth;
    };
    // Children come after their parents: walking backwards, a granted member
    // opens its ancestors before they are visited.
    std::vector<bool> opened(count, false);
    for (size_t index = count; index-- > 0;) {
      const Member& member = *members[index];
      if (granted[index] && in_range(member)) opened[index] = true;
      if (opened[index] && member.parent) opened[position(*member.parent)] = true;
      if (opened[index] && in_range(member)) result.visible[index] = true;
    }
  }
  if (policy == RollupPolicy::kFull) return result;
  // A shown member withholds data when a child within the shown levels is
  // hidden, or withholds some itself.
  std::vector<bool> withholds(count, false);
  for (size_t index = count; index-- > 0;) {
    const Member& member = *members[index];
    if (!member.parent) continue;
    size_t parent = position(*member.parent);
    if (member.level->depth() <= deepest_shown && (!result.visible[index] || withholds[index])) {
      withholds[parent] = true;
    }
  }
  for (size_t index = 0; index < count; ++index) {
    if (result.visible[index] && withholds[index]) result.rollup[index] = policy;
  }
  return result;
}

}  // namespace orvex::engine

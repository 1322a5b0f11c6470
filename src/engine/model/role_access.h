#pragma once
#include <climits>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/model/cube.h"
#include "engine/model/member_tree.h"

namespace orvex::engine {

// One hierarchy grant with access="custom": the levels it opens (by depth,
// both included) and the members it grants or denies, in schema order.
struct CustomGrant {
  int top_depth = 0;
  int bottom_depth = INT_MAX;
  RollupPolicy rollup = RollupPolicy::kFull;
  std::vector<std::pair<std::string, bool>> members;  // (member as written, access="all")
};

// What a role lets a connection see of one hierarchy.
struct HierarchyAccess {
  enum class Kind { kAll, kNone, kCustom };
  Kind kind = Kind::kAll;
  // kCustom: a member is visible when any of these shows it (several for a union of roles).
  std::vector<CustomGrant> grants;
};

// What a role lets a connection see of one cube it may use: the access to
// each hierarchy, at the hierarchy's index (Cube::hierarchies()).
struct CubeAccess {
  std::vector<HierarchyAccess> hierarchies;
};

// Which members of a hierarchy a custom access shows, and how the cell of
// each shown member rolls up; both by the member's position in `full`
// (Member::order). `resolve` finds a member grant's member in `full`
// (nullptr when it names none: such a grant opens and hides nothing).
struct Visibility {
  std::vector<bool> visible;
  std::vector<RollupPolicy> rollup;
};
Visibility DecideVisibility(const detail::MemberTree& full, const HierarchyAccess& access,
                            const std::function<const Member*(const std::string&)>& resolve);

}  // namespace orvex::engine

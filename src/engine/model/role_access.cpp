#include "engine/model/role_access.h"

#include <algorithm>

#include "engine/common/engine_error.h"
#include "platform/text.h"

namespace orvex::engine {
namespace {

// The more generous of two policies: full shows more than partial, partial more than hidden.
RollupPolicy MoreGenerous(RollupPolicy a, RollupPolicy b) { return std::min(a, b); }

}  // namespace

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
        stack.insert(stack.end(), current->child_members.begin(), current->child_members.end());
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

#include "engine/model/member.h"

#include "engine/model/hierarchy.h"
#include "engine/model/level.h"

namespace orvex::engine {

const std::vector<const Member*>& Member::children() const {
  // Reading the hierarchy's members publishes child_members with them.
  if (children_on_demand) level->hierarchy().AllMembers();
  return child_members;
}

int Member::depth() const { return (level ? level->depth() : 0) + below_level; }

bool Member::IsAncestorOf(const Member& other) const {
  for (const Member* above = other.parent; above; above = above->parent) {
    if (above == this) return true;
  }
  return false;
}

}  // namespace orvex::engine

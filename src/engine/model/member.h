#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/common/key_value.h"

namespace orvex::engine {

class Level;
struct Measure;

// How a cell at a member rolls up when a role hides some of its descendants:
// over every child (as stored), over the visible children only, or not at all.
enum class RollupPolicy : uint8_t { kFull, kPartial, kHidden };
struct CalculatedMemberDef;

// One member of a hierarchy (or of the measures). Built once when its
// hierarchy's members are loaded and never changed afterwards: pointers to
// members stay valid as long as the catalog that holds them, and any thread
// may read them without locking.
struct Member {
  std::string name;
  std::string caption;
  std::string unique_name;
  const Level* level = nullptr;
  const Member* parent = nullptr;   // nullptr at the top level
  // The member above this one in the store's rows where that one is hidden
  // (a ragged hierarchy leaves it out of the tree, and `parent` is then the
  // nearest shown ancestor); nullptr where it is `parent`. Cells are filtered
  // by the keys along this path.
  const Member* stored_parent_if_hidden = nullptr;
  // In member order. Read through children(): an all member is handed out
  // before its hierarchy's members are read, and children() reads them first.
  std::vector<const Member*> child_members;
  // Position in hierarchy order: every parent before its children, siblings in
  // their level's order (ordinal column, else key). Sorting by it hierarchizes.
  int32_t order = 0;
  // Position among the members of its level, in member order.
  int32_t index_in_level = 0;
  bool is_all = false;
  // Set on an all member that exists before its hierarchy's members are read.
  bool children_on_demand = false;
  // In a parent-child hierarchy every member belongs to its one level but
  // sits this many steps below that level's depth.
  int32_t below_level = 0;
  // This member's key at its level, as the store returned it; the data layer
  // builds its filters from the keys of the member and its ancestors.
  KeyValue key;
  // The values of the level's member properties, in the order of
  // Level::properties(); null where the store has none.
  std::vector<KeyValue> properties;
  // For members of the measures hierarchy: the stored measure, or the
  // calculated member's definition. Both null for other members.
  const Measure* measure = nullptr;
  const CalculatedMemberDef* calculated = nullptr;
  // Under a role, this member stands for `stored`, the member of the
  // unrestricted cube through which cells are read; `rollup` says how its
  // cell is made when the role hides some of its descendants (kFull where it
  // hides none). nullptr and kFull outside a role.
  const Member* stored = nullptr;
  RollupPolicy rollup = RollupPolicy::kFull;

  // The members one step below, in member order; reads the hierarchy's
  // members first where they are not read yet (throws ComError when that fails).
  const std::vector<const Member*>& children() const;
  // The level's depth (plus below_level): 0 at the top level (the all level where there is one).
  int depth() const;
  bool IsAncestorOf(const Member& other) const;  // strictly above `other` on its path
  // The member above in the store's rows, hidden or not.
  const Member* stored_parent() const { return stored_parent_if_hidden ? stored_parent_if_hidden : parent; }
};

}  // namespace orvex::engine

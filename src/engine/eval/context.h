#pragma once
#include <cstddef>
#include <span>
#include <vector>

#include "engine/eval/value.h"

namespace orvex::engine {

// The current member of every hierarchy of a cube, the measures included:
// the coordinate an expression is evaluated at. A small value type; copying
// one is how an evaluation steps into a tuple.
class Context {
 public:
  // Every hierarchy of a cube with `hierarchy_count` non-measure hierarchies,
  // none set yet.
  explicit Context(size_t hierarchy_count) : members_(hierarchy_count + 1, nullptr) {}

  const Member* Get(const Hierarchy& hierarchy) const { return members_[Slot(hierarchy)]; }
  // Sets the member of `hierarchy`; nullptr makes the coordinate one without a value.
  void Set(const Hierarchy& hierarchy, const Member* member) { members_[Slot(hierarchy)] = member; }
  // Sets the member of its own hierarchy.
  void Set(const Member& member) { Set(HierarchyOf(member), &member); }
  void SetTuple(const Tuple& tuple, const std::vector<const Hierarchy*>& hierarchies) {
    for (size_t index = 0; index < tuple.size(); ++index) Set(*hierarchies[index], tuple[index]);
  }

  const Member* measure() const { return members_.back(); }
  // The non-measure members, at their hierarchies' indexes (a cell coordinate).
  std::span<const Member* const> coordinate() const { return {members_.data(), members_.size() - 1}; }
  const std::vector<const Member*>& all() const { return members_; }

 private:
  size_t Slot(const Hierarchy& hierarchy) const {
    return hierarchy.is_measures() ? members_.size() - 1 : static_cast<size_t>(hierarchy.index());
  }
  std::vector<const Member*> members_;  // measures last
};

}  // namespace orvex::engine

#pragma once
#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "engine/cells/cell_reader.h"
#include "engine/eval/value.h"

namespace orvex::engine {

// The current member of every hierarchy of a cube, the measures included:
// the coordinate an expression is evaluated at. A small value type; copying
// one is how an evaluation steps into a tuple.
//
// A context may also aggregate over a set of tuples (a compound slicer, or
// Aggregate() of a distinct count): its filter. The members of the filter's
// hierarchies stay at what they were (their defaults) and stored values are
// read over the filter's tuples instead. Setting a member of one of those
// hierarchies takes that hierarchy out of the filter, as a tuple in a formula
// overrides the slicer; the other hierarchies keep the tuples' distinct parts.
class Context {
 public:
  // Every hierarchy of a cube with `hierarchy_count` non-measure hierarchies,
  // none set yet.
  explicit Context(size_t hierarchy_count) : members_(hierarchy_count + 1, nullptr) {}

  const Member* Get(const Hierarchy& hierarchy) const { return members_[Slot(hierarchy)]; }
  // Sets the member of `hierarchy`; nullptr makes the coordinate one without a value.
  void Set(const Hierarchy& hierarchy, const Member* member) {
    members_[Slot(hierarchy)] = member;
    if (filter_ && !hierarchy.is_measures() &&
        std::binary_search(filter_->hierarchies.begin(), filter_->hierarchies.end(), hierarchy.index())) {
      DropFromFilter(hierarchy.index());
    }
  }
  // Sets the member of its own hierarchy.
  void Set(const Member& member) { Set(HierarchyOf(member), &member); }
  void SetTuple(const Tuple& tuple, const std::vector<const Hierarchy*>& hierarchies) {
    for (size_t index = 0; index < tuple.size(); ++index) Set(*hierarchies[index], tuple[index]);
  }

  const Member* measure() const { return members_.back(); }
  // The non-measure members, at their hierarchies' indexes (a cell coordinate).
  std::span<const Member* const> coordinate() const { return {members_.data(), members_.size() - 1}; }
  const std::vector<const Member*>& all() const { return members_; }

  // The set of tuples stored values are aggregated over; nullptr for none.
  const TupleFilter* filter() const { return filter_.get(); }
  // Aggregates over `filter` (normalized; `hierarchies` are its hierarchies),
  // ANDed with the filter already here: a hierarchy in both takes the new
  // filter's members. A filter of one tuple just sets its members. Throws
  // ComError when the crossing of two filters would hold more than
  // `max_tuples` tuples.
  void SetFilter(TupleFilter filter, const std::vector<const Hierarchy*>& hierarchies, size_t max_tuples);

 private:
  size_t Slot(const Hierarchy& hierarchy) const {
    return hierarchy.is_measures() ? members_.size() - 1 : static_cast<size_t>(hierarchy.index());
  }
  void DropFromFilter(int32_t hierarchy_index);

  std::vector<const Member*> members_;  // measures last
  std::shared_ptr<const TupleFilter> filter_;
};

}  // namespace orvex::engine

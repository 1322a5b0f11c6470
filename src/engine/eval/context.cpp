#include "engine/eval/context.h"

#include <string>

#include "engine/common/engine_error.h"

namespace orvex::engine {

void Context::DropFromFilter(int32_t hierarchy_index) {
  const TupleFilter& old = *filter_;
  size_t dropped = static_cast<size_t>(
      std::lower_bound(old.hierarchies.begin(), old.hierarchies.end(), hierarchy_index) - old.hierarchies.begin());
  if (old.hierarchies.size() == 1) {
    filter_.reset();
    return;
  }
  TupleFilter kept;
  kept.hierarchies = old.hierarchies;
  kept.hierarchies.erase(kept.hierarchies.begin() + static_cast<ptrdiff_t>(dropped));
  for (auto tuple : old.tuples) {
    tuple.erase(tuple.begin() + static_cast<ptrdiff_t>(dropped));
    kept.tuples.push_back(std::move(tuple));
  }
  kept.Normalize();
  if (kept.tuples.size() == 1) {
    // One tuple left: an ordinary coordinate.
    for (size_t index = 0; index < kept.hierarchies.size(); ++index) {
      members_[static_cast<size_t>(kept.hierarchies[index])] = kept.tuples[0][index];
    }
    filter_.reset();
    return;
  }
  filter_ = std::make_shared<const TupleFilter>(std::move(kept));
}

void Context::SetFilter(TupleFilter filter, const std::vector<const Hierarchy*>& hierarchies, size_t max_tuples) {
  if (filter.tuples.size() == 1) {
    for (size_t index = 0; index < hierarchies.size(); ++index) Set(*hierarchies[index], filter.tuples[0][index]);
    return;
  }
  // No member stands for the set: its hierarchies show their all member (or
  // default), never a calculated member whose formula would be computed
  // instead of reading the set.
  for (const Hierarchy* hierarchy : hierarchies) {
    const Member* stand_in = hierarchy->all_member() ? hierarchy->all_member() : hierarchy->default_member();
    if (stand_in && stand_in->calculated) stand_in = hierarchy->LevelMembers(0).front();
    members_[Slot(*hierarchy)] = stand_in;
  }
  // The old filter loses the hierarchies the new one names.
  if (filter_) {
    for (int32_t index : filter.hierarchies) {
      if (filter_ && std::binary_search(filter_->hierarchies.begin(), filter_->hierarchies.end(), index)) {
        DropFromFilter(index);
      }
    }
  }
  if (!filter_ || filter.tuples.empty()) {
    filter_ = std::make_shared<const TupleFilter>(std::move(filter));
    return;
  }
  const TupleFilter& old = *filter_;
  if (old.tuples.size() * filter.tuples.size() > max_tuples) {
    throw EngineError("Aggregating over " + std::to_string(old.tuples.size()) + " times " +
                      std::to_string(filter.tuples.size()) + " tuples is more than the limit of " +
                      std::to_string(max_tuples) + "; ask for fewer.");
  }
  // Both hold: every tuple of the one with every tuple of the other, the
  // hierarchies kept in ascending order.
  TupleFilter both;
  both.hierarchies = old.hierarchies;
  both.hierarchies.insert(both.hierarchies.end(), filter.hierarchies.begin(), filter.hierarchies.end());
  std::sort(both.hierarchies.begin(), both.hierarchies.end());
  for (const auto& left : old.tuples) {
    for (const auto& right : filter.tuples) {
      std::vector<const Member*> tuple(both.hierarchies.size());
      for (size_t index = 0; index < old.hierarchies.size(); ++index) {
        tuple[static_cast<size_t>(std::lower_bound(both.hierarchies.begin(), both.hierarchies.end(),
                                                   old.hierarchies[index]) - both.hierarchies.begin())] = left[index];
      }
      for (size_t index = 0; index < filter.hierarchies.size(); ++index) {
        tuple[static_cast<size_t>(std::lower_bound(both.hierarchies.begin(), both.hierarchies.end(),
                                                   filter.hierarchies[index]) - both.hierarchies.begin())] = right[index];
      }
      both.tuples.push_back(std::move(tuple));
    }
  }
  both.Normalize();
  filter_ = std::make_shared<const TupleFilter>(std::move(both));
}

}  // namespace orvex::engine

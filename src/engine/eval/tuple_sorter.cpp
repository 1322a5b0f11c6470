#include "engine/eval/tuple_sorter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "engine/eval/evaluator.h"

namespace orvex::engine {

namespace {

int Rank(const Scalar& value) {
  if (IsEmpty(value)) return 0;
  if (std::holds_alternative<bool>(value)) return 1;
  if (std::holds_alternative<double>(value) || std::holds_alternative<Decimal>(value)) return 2;
  return 3;
}

// The member and its ancestors, top first.
std::vector<const Member*> PathOf(const Member* member) {
  std::vector<const Member*> path;
  for (; member; member = member->parent) path.push_back(member);
  std::reverse(path.begin(), path.end());
  return path;
}

}  // namespace

int TupleSorter::CompareKeys(const Scalar& a, const Scalar& b) {
  int rank_a = Rank(a);
  int rank_b = Rank(b);
  if (rank_a != rank_b) return rank_a < rank_b ? -1 : 1;
  switch (rank_a) {
    case 1: return static_cast<int>(std::get<bool>(a)) - static_cast<int>(std::get<bool>(b));
    case 2: {
      const auto* x = std::get_if<Decimal>(&a);
      const auto* y = std::get_if<Decimal>(&b);
      // Exact values compare exactly, so ties stay ties in every run.
      if (x && y) return Compare(*x, *y);
      double left = *NumberOf(a);
      double right = *NumberOf(b);
      // NaN before every number, so that the order stays a strict weak one.
      if (std::isnan(left) || std::isnan(right)) {
        return std::isnan(left) == std::isnan(right) ? 0 : std::isnan(left) ? -1 : 1;
      }
      return left < right ? -1 : left > right ? 1 : 0;
    }
    case 3: {
      int order = std::get<std::string>(a).compare(std::get<std::string>(b));
      return order < 0 ? -1 : order > 0 ? 1 : 0;
    }
    default: return 0;
  }
}

const TupleSorter::KeyList& TupleSorter::KeyOf(const Tuple& tuple, const std::vector<const Hierarchy*>& hierarchies) {
  auto found = keys_.find(tuple);
  if (found != keys_.end()) return found->second;
  Context at = context_;
  for (size_t index = 0; index < tuple.size(); ++index) at.Set(*hierarchies[index], tuple[index]);
  KeyList list;
  list.reserve(keys_given_.size());
  for (const Key& key : keys_given_) list.push_back(evaluator_.EvalScalar(*key.node, at));
  return keys_.emplace(tuple, std::move(list)).first->second;
}

int TupleSorter::CompareKeyLists(const KeyList& a, const KeyList& b) const {
  for (size_t index = 0; index < keys_given_.size(); ++index) {
    int compared = CompareKeys(a[index], b[index]);
    if (compared != 0) return keys_given_[index].descending ? -compared : compared;
  }
  return 0;
}

namespace {

// A sort keeps a key per tuple, and a copy of the tuple beside a cached key.
void CheckSortBuffer(Evaluator& evaluator, const TupleSet& set) {
  constexpr int64_t kPerKey = static_cast<int64_t>(sizeof(Scalar)) + 48;
  evaluator.budget().CheckTransient(StatementBudget::SetBytes(set.tuples.size(), set.hierarchies.size()) +
                                        static_cast<int64_t>(set.tuples.size()) * kPerKey,
                                    "sorting");
}

}  // namespace

void TupleSorter::SortFlat(TupleSet& set, bool descending) {
  CheckSortBuffer(evaluator_, set);
  std::vector<const KeyList*> keys;
  keys.reserve(set.tuples.size());
  for (const Tuple& tuple : set.tuples) keys.push_back(&KeyOf(tuple, set.hierarchies));
  std::vector<size_t> order(set.tuples.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    int compared = CompareKeyLists(*keys[a], *keys[b]);
    return descending ? compared > 0 : compared < 0;
  });
  std::vector<Tuple> sorted;
  sorted.reserve(order.size());
  for (size_t index : order) sorted.push_back(std::move(set.tuples[index]));
  set.tuples = std::move(sorted);
}

int TupleSorter::CompareInHierarchy(const Tuple& prefix, const std::vector<const Hierarchy*>& hierarchies,
                                    const Member* a, const Member* b, bool descending) {
  std::vector<const Member*> path_a = PathOf(a);
  std::vector<const Member*> path_b = PathOf(b);
  size_t common = 0;
  while (common < path_a.size() && common < path_b.size() && path_a[common] == path_b[common]) ++common;
  // An ancestor comes before its descendants, whatever the keys.
  if (common == path_a.size()) return -1;
  if (common == path_b.size()) return 1;
  const Member* sibling_a = path_a[common];
  const Member* sibling_b = path_b[common];
  Tuple key_a = prefix;
  key_a.push_back(sibling_a);
  Tuple key_b = prefix;
  key_b.push_back(sibling_b);
  std::vector<const Hierarchy*> key_hierarchies(hierarchies.begin(),
                                                hierarchies.begin() + static_cast<std::ptrdiff_t>(key_a.size()));
  int compared = CompareKeyLists(KeyOf(key_a, key_hierarchies), KeyOf(key_b, key_hierarchies));
  if (compared != 0) return descending ? -compared : compared;
  if (sibling_a->order != sibling_b->order) return sibling_a->order < sibling_b->order ? -1 : 1;
  return 0;
}

void TupleSorter::SortHierarchically(TupleSet& set, bool descending) {
  CheckSortBuffer(evaluator_, set);
  const auto& hierarchies = set.hierarchies;
  std::stable_sort(set.tuples.begin(), set.tuples.end(), [&](const Tuple& a, const Tuple& b) {
    for (size_t index = 0; index < a.size(); ++index) {
      if (a[index] == b[index]) continue;
      Tuple prefix(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(index));
      return CompareInHierarchy(prefix, hierarchies, a[index], b[index], descending) < 0;
    }
    return false;
  });
}

}  // namespace orvex::engine

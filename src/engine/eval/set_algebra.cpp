#include "engine/eval/set_algebra.h"

#include <algorithm>
#include <unordered_set>

#include "engine/eval/evaluator.h"

namespace orvex::engine {

namespace {

using TupleSetIndex = std::unordered_set<Tuple, TupleHash>;

TupleSetIndex IndexOf(const TupleSet& set) { return TupleSetIndex(set.tuples.begin(), set.tuples.end()); }

// Keeps the tuples for which `keep` is true, dropping repeats unless `keep_all`.
template <class Keep>
TupleSet FilterTuples(TupleSet set, bool keep_all, Keep keep) {
  TupleSetIndex seen;
  std::vector<Tuple> kept;
  kept.reserve(set.tuples.size());
  for (Tuple& tuple : set.tuples) {
    if (!keep(tuple)) continue;
    if (!keep_all && !seen.insert(tuple).second) continue;
    kept.push_back(std::move(tuple));
  }
  set.tuples = std::move(kept);
  return set;
}

}  // namespace

void AdoptHierarchies(TupleSet& a, const TupleSet& b) {
  if (a.hierarchies.empty() && a.tuples.empty()) a.hierarchies = b.hierarchies;
}

std::string CheckSameHierarchies(const TupleSet& a, const TupleSet& b) {
  if (a.hierarchies.empty() || b.hierarchies.empty() || a.hierarchies == b.hierarchies) return "";
  return "the sets have different hierarchies: " + HierarchyList(a.hierarchies) + " and " +
         HierarchyList(b.hierarchies);
}

std::string CheckDisjointHierarchies(const std::vector<const Hierarchy*>& a, const std::vector<const Hierarchy*>& b) {
  for (const Hierarchy* hierarchy : b) {
    if (std::find(a.begin(), a.end(), hierarchy) != a.end()) {
      return "the hierarchy " + hierarchy->unique_name() + " is used twice";
    }
  }
  return "";
}

TupleSet Distinct(TupleSet set) {
  return FilterTuples(std::move(set), false, [](const Tuple&) { return true; });
}

TupleSet Union(TupleSet a, TupleSet b, bool keep_all) {
  AdoptHierarchies(a, b);
  a.tuples.reserve(a.tuples.size() + b.tuples.size());
  for (Tuple& tuple : b.tuples) a.tuples.push_back(std::move(tuple));
  return keep_all ? std::move(a) : Distinct(std::move(a));
}

TupleSet Intersect(TupleSet a, const TupleSet& b, bool keep_all) {
  TupleSetIndex in_b = IndexOf(b);
  return FilterTuples(std::move(a), keep_all, [&](const Tuple& tuple) { return in_b.count(tuple) > 0; });
}

TupleSet Except(TupleSet a, const TupleSet& b, bool keep_all) {
  TupleSetIndex in_b = IndexOf(b);
  return FilterTuples(std::move(a), keep_all, [&](const Tuple& tuple) { return in_b.count(tuple) == 0; });
}

TupleSet CrossJoin(const TupleSet& a, const TupleSet& b) {
  TupleSet result;
  result.hierarchies = a.hierarchies;
  result.hierarchies.insert(result.hierarchies.end(), b.hierarchies.begin(), b.hierarchies.end());
  result.tuples.reserve(a.tuples.size() * b.tuples.size());
  for (const Tuple& left : a.tuples) {
    for (const Tuple& right : b.tuples) {
      Tuple joined;
      joined.reserve(left.size() + right.size());
      joined.insert(joined.end(), left.begin(), left.end());
      joined.insert(joined.end(), right.begin(), right.end());
      result.tuples.push_back(std::move(joined));
    }
  }
  return result;
}

void Hierarchize(TupleSet& set) {
  auto member_less = [](const Member* a, const Member* b) {
    if (a->order != b->order) return a->order < b->order;
    return !IsStatementMember(*a) && IsStatementMember(*b);
  };
  std::stable_sort(set.tuples.begin(), set.tuples.end(), [&](const Tuple& a, const Tuple& b) {
    for (size_t index = 0; index < a.size() && index < b.size(); ++index) {
      if (a[index] == b[index]) continue;
      if (member_less(a[index], b[index])) return true;
      if (member_less(b[index], a[index])) return false;
    }
    return false;
  });
}

}  // namespace orvex::engine

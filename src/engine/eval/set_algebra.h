#pragma once
#include <string>
#include <vector>

#include "engine/eval/value.h"

// Set operations on tuple sets. Where a set operation needs both sets over the
// same hierarchies and they are not, it returns an error text instead of a
// set; the caller adds where in the statement it happened.
namespace orvex::engine {

// Keeps the first occurrence of every tuple.
TupleSet Distinct(TupleSet set);

// `a` then `b`; duplicates dropped unless `keep_all`.
TupleSet Union(TupleSet a, TupleSet b, bool keep_all);
// The tuples of `a` that are in `b`, in the order of `a`.
TupleSet Intersect(TupleSet a, const TupleSet& b, bool keep_all);
// The tuples of `a` that are not in `b`, in the order of `a`.
TupleSet Except(TupleSet a, const TupleSet& b, bool keep_all);
// Every tuple of `a` joined with every tuple of `b`, `a` varying slowest.
TupleSet CrossJoin(const TupleSet& a, const TupleSet& b);

// Parents before children, siblings in member order (Member::order); members
// a statement defines come right after their parent. Stable.
void Hierarchize(TupleSet& set);

// "" when `a` and `b` may be combined (same hierarchies in the same order, or
// one of them empty and untyped); otherwise a message naming both.
std::string CheckSameHierarchies(const TupleSet& a, const TupleSet& b);
// "" when no hierarchy occurs twice in the two lists; otherwise a message naming it.
std::string CheckDisjointHierarchies(const std::vector<const Hierarchy*>& a, const std::vector<const Hierarchy*>& b);

// Adopts the hierarchies of `b` when `a` has none; used before combining.
void AdoptHierarchies(TupleSet& a, const TupleSet& b);

}  // namespace orvex::engine

#pragma once
#include <unordered_map>
#include <vector>

#include "engine/eval/context.h"
#include "engine/eval/value.h"
#include "engine/mdx/ast.h"

namespace orvex::engine {

class Evaluator;

// Sorts the tuples of a set by a key expression evaluated at each tuple.
// Empty keys sort lowest; numbers sort before texts; ties keep their order.
class TupleSorter {
 public:
  // One key of several: later keys order the tuples that earlier keys tie.
  struct Key {
    const mdx::Node* node = nullptr;
    bool descending = false;
  };

  // `key` and `context` must outlive the sorter.
  TupleSorter(Evaluator& evaluator, const mdx::Node& key, const Context& context)
      : TupleSorter(evaluator, std::vector<Key>{Key{&key, false}}, context) {}
  // Several keys, each with its own direction; the nodes must outlive the sorter.
  TupleSorter(Evaluator& evaluator, std::vector<Key> keys, const Context& context)
      : evaluator_(evaluator), keys_given_(std::move(keys)), context_(context) {}

  // BASC, BDESC: by key alone, breaking the hierarchy.
  void SortFlat(TupleSet& set, bool descending);
  // ASC, DESC: within the hierarchy. Members stay under their ancestors (the
  // parent first); siblings are ordered by their own keys (evaluated for a
  // sibling even where only its descendants are in the set), ties in member
  // order. Tuples compare hierarchy by hierarchy, each with the members before
  // it in the tuple as context.
  void SortHierarchically(TupleSet& set, bool descending);

  // Orders two keys: -1, 0 or 1; empty lowest, then truth values, numbers, texts.
  static int CompareKeys(const Scalar& a, const Scalar& b);

 private:
  using KeyList = std::vector<Scalar>;
  const KeyList& KeyOf(const Tuple& tuple, const std::vector<const Hierarchy*>& hierarchies);
  // The keys compared in turn, each in its own direction: -1, 0 or 1.
  int CompareKeyLists(const KeyList& a, const KeyList& b) const;
  int CompareInHierarchy(const Tuple& prefix, const std::vector<const Hierarchy*>& hierarchies, const Member* a,
                         const Member* b, bool descending);

  Evaluator& evaluator_;
  std::vector<Key> keys_given_;
  const Context& context_;
  std::unordered_map<Tuple, KeyList, TupleHash> keys_;
};

}  // namespace orvex::engine

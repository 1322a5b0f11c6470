#include "engine/cells/cell_reader.h"

#include <algorithm>

namespace orvex::engine {

void TupleFilter::Normalize() {
  // Sorted by unique names rather than addresses, so that the same set gets
  // the same id in every statement.
  auto names_less = [](const std::vector<const Member*>& a, const std::vector<const Member*>& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](const Member* x, const Member* y) { return x->unique_name < y->unique_name; });
  };
  std::sort(tuples.begin(), tuples.end(), names_less);
  tuples.erase(std::unique(tuples.begin(), tuples.end()), tuples.end());
  id.clear();
  for (int32_t hierarchy : hierarchies) id += std::to_string(hierarchy) + ",";
  for (const auto& tuple : tuples) {
    id += "(";
    for (const Member* member : tuple) id += member->unique_name + "\x1f";
    id += ")";
  }
}

}  // namespace orvex::engine

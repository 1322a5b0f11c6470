#pragma once
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/cells/cell_reader.h"
#include "engine/eval/statement_budget.h"

namespace orvex::engine {

// The stored-measure values one statement has read so far. An evaluation asks
// for values; what is not known yet is remembered as pending and read later,
// all at once, by FetchPending, after which the evaluation runs again. So a
// statement costs a few grouped reads, never one per cell. One statement, one
// thread.
class StatementValues {
 public:
  // At most `max_values` distinct values may be asked for: past that a
  // statement fails rather than filling the server's memory. With a
  // `budget` (which must outlive this), every value asked for is charged to
  // it and reads stop at its deadline.
  explicit StatementValues(size_t max_values, StatementBudget* budget = nullptr)
      : max_values_(max_values), budget_(budget) {}
  StatementValues(const StatementValues&) = delete;
  StatementValues& operator=(const StatementValues&) = delete;

  // The value of `measure` at `coordinate` when it is known, else nullptr, and
  // the request is remembered. The pointer lives as long as the cache. Throws
  // ComError when the request is one too many.
  const CellValue* Find(const Measure& measure, std::span<const Member* const> coordinate);
  // The same for a cell aggregated over the tuples of `filter` (nullptr: none).
  const CellValue* Find(const Measure& measure, std::span<const Member* const> coordinate,
                        const TupleFilter* filter);

  bool HasPending() const { return !pending_.empty(); }
  size_t pending_count() const { return pending_.size(); }
  // Reads every pending value with one Fetch call; throws what the reader throws.
  void FetchPending(CellReader& reader);

 private:
  struct Key {
    const Measure* measure;
    Coordinate coordinate;
    const TupleFilter* filter = nullptr;  // one of filters_
  };
  struct KeyView {
    const Measure* measure;
    std::span<const Member* const> coordinate;
    const TupleFilter* filter = nullptr;
  };
  struct Hash {
    using is_transparent = void;
    size_t operator()(const Key& key) const { return (*this)(View(key)); }
    size_t operator()(const KeyView& key) const;
  };
  struct Equal {
    using is_transparent = void;
    bool operator()(const KeyView& a, const KeyView& b) const;
    bool operator()(const Key& a, const Key& b) const { return (*this)(View(a), View(b)); }
    bool operator()(const Key& a, const KeyView& b) const { return (*this)(View(a), b); }
    bool operator()(const KeyView& a, const Key& b) const { return (*this)(a, View(b)); }
  };
  struct Entry {
    bool known = false;
    CellValue value;
  };
  static KeyView View(const Key& key) { return KeyView{key.measure, key.coordinate, key.filter}; }

  size_t max_values_;
  StatementBudget* budget_;
  std::unordered_map<Key, Entry, Hash, Equal> entries_;
  std::vector<std::pair<const Key*, Entry*>> pending_;  // map nodes never move
  // Every filter asked with, once per id: keys point to these.
  std::unordered_map<std::string, std::unique_ptr<TupleFilter>> filters_;
};

}  // namespace orvex::engine

#pragma once
#include <cstdint>
#include <optional>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "engine/common/key_value.h"
#include "engine/cells/cell_reader.h"

namespace orvex::engine {

// A key column of a grouped query: the key of one level of one hierarchy
// (its position in the cube's hierarchies), filtered to `allowed` or not at all.
struct SegmentColumn {
  int32_t hierarchy = 0;
  int32_t depth = 0;
  bool filtered = false;
  std::set<KeyValue> allowed;
};

// Where a coarser cell lies: the (hierarchy, depth) of each of its key
// columns, in the order of its key values.
using ColumnList = std::vector<std::pair<int32_t, int32_t>>;

struct KeyVectorHash {
  size_t operator()(const std::vector<KeyValue>& keys) const;
};

// The answer of one grouped query: every group of its key columns that passes
// its filters, with the values of its measures. Because it holds whole
// groups, cells at fewer or higher levels can be added up from it without a
// query, as long as every column they leave out was not filtered. Immutable
// once built; shared by every request.
class Segment {
 public:
  // `keys` holds one value per column and `values` one per measure, row after row.
  Segment(std::vector<SegmentColumn> columns, std::vector<const Measure*> measures, std::vector<KeyValue> keys,
          std::vector<CellValue> values);
  Segment(const Segment&) = delete;
  Segment& operator=(const Segment&) = delete;

  size_t cell_count() const { return values_.size(); }

  // The values of `measure` added up to the key columns `target`, keyed by
  // their key values (exactly when they are decimals, so the same in any row
  // order): nullopt when this segment cannot answer such cells (the measure
  // is not here or does not add up, a column is missing, or a left-out
  // column was filtered).
  std::optional<std::unordered_map<std::vector<KeyValue>, CellNumber, KeyVectorHash>> RollUp(
      const Measure& measure, const ColumnList& target) const;
  // Whether the cell with `keys` at `target` passes this segment's filters,
  // so that an absent key means an empty cell rather than an unread one.
  bool Covers(const ColumnList& target, const std::vector<KeyValue>& keys) const;

 private:
  std::optional<size_t> ColumnOf(std::pair<int32_t, int32_t> column) const;

  std::vector<SegmentColumn> columns_;
  std::vector<const Measure*> measures_;
  std::vector<KeyValue> keys_;     // row after row, one per column
  std::vector<CellValue> values_;  // row after row, one per measure
};

}  // namespace orvex::engine

#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "engine/cells/cell_reader.h"
#include "engine/cells/segment.h"
#include "engine/common/key_value.h"

namespace orvex::engine {

// Where a cell lies: the measure, the levels its coordinate touches (as
// hierarchy index and depth pairs, in hierarchy order) and the key values the
// store groups that combination by.
struct CellKey {
  const Measure* measure = nullptr;
  std::vector<int32_t> levels;  // hierarchy index, depth, hierarchy index, depth, ...
  std::vector<KeyValue> keys;
  bool operator==(const CellKey& other) const = default;
};

struct CellKeyHash {
  size_t operator()(const CellKey& key) const;
};

// The values a cube's cells have been found to hold, an empty cell included,
// and the segments (whole query answers) they came from, which coarser cells
// can be added up from. Bounded: when it would grow past its limit it starts
// afresh. Thread-safe.
class CellCache {
 public:
  explicit CellCache(size_t max_cells) : max_cells_(max_cells) {}
  CellCache(const CellCache&) = delete;
  CellCache& operator=(const CellCache&) = delete;

  // The cached value, or nullopt when the cell has not been read yet.
  [[nodiscard]] std::optional<CellValue> Find(const CellKey& key) const;
  // Stores the values of one answer at once, with the segment of the query
  // that gave them (nullptr for values added up from segments).
  void Insert(std::vector<std::pair<CellKey, CellValue>> cells, std::shared_ptr<const Segment> segment);
  // The segments held now, the newest first.
  std::vector<std::shared_ptr<const Segment>> Segments() const;
  void Clear();
  // Cells held, those of segments included.
  size_t size() const;

 private:
  size_t max_cells_;
  mutable std::shared_mutex mutex_;
  std::unordered_map<CellKey, CellValue, CellKeyHash> cells_;  // guarded by mutex_
  std::vector<std::shared_ptr<const Segment>> segments_;      // guarded by mutex_; the oldest first
  size_t segment_cells_ = 0;                                  // guarded by mutex_
};

}  // namespace orvex::engine

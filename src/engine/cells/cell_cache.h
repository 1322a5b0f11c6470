#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <list>
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
// can be added up from. Bounded: to make room for a new answer it forgets the
// answers least recently read, one whole answer at a time. Thread-safe; reads
// proceed in parallel.
class CellCache {
 public:
  explicit CellCache(size_t max_cells) : max_cells_(max_cells) {}
  CellCache(const CellCache&) = delete;
  CellCache& operator=(const CellCache&) = delete;

  // The cached value, or nullopt when the cell has not been read yet. A hit
  // counts as a use of the answer that holds the cell.
  [[nodiscard]] std::optional<CellValue> Find(const CellKey& key) const;
  // Stores the values of one answer at once, with the segment of the query
  // that gave them (nullptr for values added up from segments), after
  // forgetting the least recently used answers until it fits. An answer
  // larger than the whole cache is kept alone.
  void Insert(std::vector<std::pair<CellKey, CellValue>> cells, std::shared_ptr<const Segment> segment);
  // The segments held now, the newest first.
  std::vector<std::shared_ptr<const Segment>> Segments() const;
  // Counts a roll-up from `segment` as a use of its answer; nothing when it is no longer held.
  void MarkUsed(const Segment& segment) const;
  void Clear();
  // Cells held, those of segments included.
  size_t size() const;

 private:
  // What one Insert stored: the cells it brought (a cell already held stays
  // with the answer that brought it first) and its segment.
  struct Answer {
    std::vector<const CellKey*> keys;  // keys of cells_ nodes, which stay put until erased
    std::shared_ptr<const Segment> segment;
    size_t weight = 0;  // cells, the segment's included
    mutable std::atomic<uint64_t> last_used{0};
  };
  struct Entry {
    CellValue value;
    Answer* owner;
  };
  void EvictUntilFits(size_t added);  // with mutex_ held exclusively
  uint64_t Tick() const { return clock_.fetch_add(1, std::memory_order_relaxed) + 1; }

  size_t max_cells_;
  mutable std::shared_mutex mutex_;
  std::unordered_map<CellKey, Entry, CellKeyHash> cells_;                 // guarded by mutex_
  std::list<std::unique_ptr<Answer>> answers_;                            // guarded by mutex_; the oldest first
  std::unordered_map<const Segment*, const Answer*> answer_of_segment_;  // guarded by mutex_
  size_t held_ = 0;                                                       // guarded by mutex_
  mutable std::atomic<uint64_t> clock_{0};  // use stamps; a read under the shared lock advances it
};

}  // namespace orvex::engine

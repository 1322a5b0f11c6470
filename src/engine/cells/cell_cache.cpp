#include "engine/cells/cell_cache.h"

#include <functional>
#include <mutex>

namespace orvex::engine {

size_t CellKeyHash::operator()(const CellKey& key) const {
  size_t hash = std::hash<const void*>()(key.measure);
  for (int32_t level : key.levels) hash = hash * 31 + static_cast<size_t>(level);
  for (const auto& value : key.keys) hash = hash * 1000003 ^ std::hash<KeyValue>()(value);
  return hash;
}

std::optional<CellValue> CellCache::Find(const CellKey& key) const {
  std::shared_lock lock(mutex_);
  auto found = cells_.find(key);
  if (found == cells_.end()) return std::nullopt;
  return found->second;
}

void CellCache::Insert(std::vector<std::pair<CellKey, CellValue>> cells, std::shared_ptr<const Segment> segment) {
  std::unique_lock lock(mutex_);
  size_t added = cells.size() + (segment ? segment->cell_count() : 0);
  // Starting afresh keeps memory bounded without bookkeeping per cell; the
  // answer being stored is kept.
  if (cells_.size() + segment_cells_ + added > max_cells_) {
    cells_.clear();
    segments_.clear();
    segment_cells_ = 0;
  }
  for (auto& [key, value] : cells) cells_.insert_or_assign(std::move(key), value);
  if (segment) {
    segment_cells_ += segment->cell_count();
    segments_.push_back(std::move(segment));
  }
}

std::vector<std::shared_ptr<const Segment>> CellCache::Segments() const {
  std::shared_lock lock(mutex_);
  return {segments_.rbegin(), segments_.rend()};
}

void CellCache::Clear() {
  std::unique_lock lock(mutex_);
  cells_.clear();
  segments_.clear();
  segment_cells_ = 0;
}

size_t CellCache::size() const {
  std::shared_lock lock(mutex_);
  return cells_.size() + segment_cells_;
}

}  // namespace orvex::engine

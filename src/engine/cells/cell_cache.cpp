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

void CellCache::Insert(std::vector<std::pair<CellKey, CellValue>> cells) {
  std::unique_lock lock(mutex_);
  // Starting afresh keeps memory bounded without bookkeeping per cell; the
  // cells of the answer being stored are kept.
  if (cells_.size() + cells.size() > max_cells_) cells_.clear();
  for (auto& [key, value] : cells) cells_.insert_or_assign(std::move(key), value);
}

void CellCache::Clear() {
  std::unique_lock lock(mutex_);
  cells_.clear();
}

size_t CellCache::size() const {
  std::shared_lock lock(mutex_);
  return cells_.size();
}

}  // namespace orvex::engine

#include "engine/cells/cell_cache.h"

#include <algorithm>
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
  // Answers are only freed under the exclusive lock, so the owner lives while this reads.
  found->second.owner->last_used.store(Tick(), std::memory_order_relaxed);
  return found->second.value;
}

void CellCache::EvictUntilFits(size_t added) {
  if (held_ + added <= max_cells_) return;
  std::vector<std::list<std::unique_ptr<Answer>>::iterator> by_use;
  by_use.reserve(answers_.size());
  for (auto answer = answers_.begin(); answer != answers_.end(); ++answer) by_use.push_back(answer);
  // No reader holds the lock now, so the stamps stand still while they are sorted.
  std::vector<std::pair<uint64_t, size_t>> stamps;
  stamps.reserve(by_use.size());
  for (size_t index = 0; index < by_use.size(); ++index) {
    stamps.emplace_back((*by_use[index])->last_used.load(std::memory_order_relaxed), index);
  }
  std::sort(stamps.begin(), stamps.end());
  for (const auto& [stamp, index] : stamps) {
    if (held_ + added <= max_cells_) break;
    Answer& answer = **by_use[index];
    for (const CellKey* key : answer.keys) cells_.erase(cells_.find(*key));
    if (answer.segment) answer_of_segment_.erase(answer.segment.get());
    held_ -= answer.weight;
    answers_.erase(by_use[index]);
  }
}

void CellCache::Insert(std::vector<std::pair<CellKey, CellValue>> cells, std::shared_ptr<const Segment> segment) {
  std::unique_lock lock(mutex_);
  EvictUntilFits(cells.size() + (segment ? segment->cell_count() : 0));
  auto answer = std::make_unique<Answer>();
  for (auto& [key, value] : cells) {
    auto [entry, added] = cells_.try_emplace(std::move(key), Entry{value, answer.get()});
    if (added) {
      answer->keys.push_back(&entry->first);
    } else {
      entry->second.value = value;
    }
  }
  answer->weight = answer->keys.size();
  if (segment) {
    answer->weight += segment->cell_count();
    answer_of_segment_.emplace(segment.get(), answer.get());
    answer->segment = std::move(segment);
  }
  if (answer->weight == 0) return;
  answer->last_used.store(Tick(), std::memory_order_relaxed);
  held_ += answer->weight;
  answers_.push_back(std::move(answer));
}

std::vector<std::shared_ptr<const Segment>> CellCache::Segments() const {
  std::shared_lock lock(mutex_);
  std::vector<std::shared_ptr<const Segment>> segments;
  for (auto answer = answers_.rbegin(); answer != answers_.rend(); ++answer) {
    if ((*answer)->segment) segments.push_back((*answer)->segment);
  }
  return segments;
}

void CellCache::MarkUsed(const Segment& segment) const {
  std::shared_lock lock(mutex_);
  auto found = answer_of_segment_.find(&segment);
  if (found != answer_of_segment_.end()) found->second->last_used.store(Tick(), std::memory_order_relaxed);
}

void CellCache::Clear() {
  std::unique_lock lock(mutex_);
  cells_.clear();
  answer_of_segment_.clear();
  answers_.clear();
  held_ = 0;
}

size_t CellCache::size() const {
  std::shared_lock lock(mutex_);
  return held_;
}

}  // namespace orvex::engine

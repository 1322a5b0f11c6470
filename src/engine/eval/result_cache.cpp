#include "engine/eval/result_cache.h"

#include <algorithm>
#include <cstdint>

namespace orvex::engine {

namespace {

// The catalog's address before the text: answers for two catalogs never share a key.
std::string KeyOf(const Catalog* catalog, std::string_view key) {
  std::string full = std::to_string(reinterpret_cast<uintptr_t>(catalog));
  full += '\n';
  full += key;
  return full;
}

// What an answer holds, in cells and positions: what memory it keeps grows with this.
size_t WeightOf(const CellSet& result) {
  size_t weight = result.cells.size() + 1;
  for (const AxisResult& axis : result.axes) weight += axis.positions.size() * std::max<size_t>(1, axis.hierarchies.size());
  return weight;
}

// True when `held` refers to the very object `catalog` owns, not merely one at the same address.
bool SameObject(const std::weak_ptr<const Catalog>& held, const std::shared_ptr<const Catalog>& catalog) {
  return !held.expired() && !held.owner_before(catalog) && !catalog.owner_before(held);
}

}  // namespace

ResultCache& ResultCache::Shared() {
  // 64 answers of at most a million cells and positions together (some tens of megabytes).
  static ResultCache cache(64, 1'000'000);
  return cache;
}

std::shared_ptr<const CellSet> ResultCache::Find(const std::shared_ptr<const Catalog>& catalog, std::string_view key) {
  std::lock_guard lock(mutex_);
  Entry* entry = entries_.Find(KeyOf(catalog.get(), key));
  if (!entry || !SameObject(entry->catalog, catalog)) return nullptr;
  return entry->result;
}

void ResultCache::Put(const std::shared_ptr<const Catalog>& catalog, std::string_view key,
                      std::shared_ptr<const CellSet> result) {
  size_t weight = WeightOf(*result);
  if (weight > max_cells_ || capacity_ == 0) return;
  std::string full = KeyOf(catalog.get(), key);
  std::lock_guard lock(mutex_);
  if (Entry* held = entries_.Find(full)) {
    weight_ = weight_ - held->weight + weight;
    *held = Entry{catalog, std::move(result), weight};
  } else {
    // Room is made here rather than by the map, so that the weight stays counted.
    if (entries_.size() >= capacity_) Forget();
    entries_.Put(std::move(full), Entry{catalog, std::move(result), weight});
    weight_ += weight;
  }
  // The newest entry is the last to go, and alone it fits.
  while (weight_ > max_cells_) Forget();
}

void ResultCache::Forget() {
  if (Entry* oldest = entries_.Oldest()) weight_ -= oldest->weight;
  entries_.ForgetOldest();
}

size_t ResultCache::size() {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

}  // namespace orvex::engine

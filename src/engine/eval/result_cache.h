#pragma once
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/eval/cell_set.h"
#include "engine/eval/lru_map.h"
#include "engine/model/catalog.h"

namespace orvex::engine {

// The answers of statements already run, so that a statement sent again to
// the same catalog is answered without evaluating it. Sound because a loaded
// catalog never changes: its store is read-only and its members are fixed.
// An entry is found only for the very catalog object it was computed on: a
// catalog loaded again, or the catalog as another role sees it, is another
// object and finds nothing, even at a reused address. Entries do not keep
// their catalog alive (their members point into it, so the caller pins it).
// Thread-safe. Bounded by the number of answers and the cells and positions
// they hold together; forgets the least recently used first.
class ResultCache {
 public:
  ResultCache(size_t capacity, size_t max_cells) : capacity_(capacity), max_cells_(max_cells), entries_(capacity) {}
  ResultCache(const ResultCache&) = delete;
  ResultCache& operator=(const ResultCache&) = delete;

  // The process-wide cache.
  static ResultCache& Shared();

  // The answer put for `key` on this `catalog`; nullptr when there is none.
  std::shared_ptr<const CellSet> Find(const std::shared_ptr<const Catalog>& catalog, std::string_view key);
  // Keeps `result` for `key` on `catalog`, unless it alone is larger than the
  // whole cache may hold.
  void Put(const std::shared_ptr<const Catalog>& catalog, std::string_view key, std::shared_ptr<const CellSet> result);

  size_t size();

 private:
  struct Entry {
    std::weak_ptr<const Catalog> catalog;
    std::shared_ptr<const CellSet> result;
    size_t weight = 0;
  };

  void Forget();  // the least recently used entry; mutex_ held

  size_t capacity_;
  size_t max_cells_;
  std::mutex mutex_;
  LruMap<std::string, Entry> entries_;  // guarded by mutex_
  size_t weight_ = 0;                   // guarded by mutex_: the cells and positions held
};

}  // namespace orvex::engine

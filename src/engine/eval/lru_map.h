#pragma once
#include <cstddef>
#include <list>
#include <unordered_map>
#include <utility>

namespace orvex::engine {

// A map of at most `capacity` entries that, to make room, forgets the entry
// least recently found or put. Not thread-safe: its owner locks.
template <class Key, class Value, class Hash = std::hash<Key>>
class LruMap {
 public:
  explicit LruMap(size_t capacity) : capacity_(capacity) {}

  // The value of `key`, now the most recently used; nullptr when absent. The
  // pointer lives until the entry is forgotten.
  Value* Find(const Key& key) {
    auto found = index_.find(key);
    if (found == index_.end()) return nullptr;
    order_.splice(order_.begin(), order_, found->second);
    return &found->second->second;
  }

  // Stores `value` under `key` (replacing one held), forgetting the least
  // recently used entries first if the map is full; returns the stored value.
  // A capacity of 0 still holds the newest entry.
  Value& Put(Key key, Value value) {
    if (Value* held = Find(key)) return *held = std::move(value);
    while (!order_.empty() && order_.size() >= capacity_) {
      index_.erase(order_.back().first);
      order_.pop_back();
    }
    order_.emplace_front(std::move(key), std::move(value));
    index_.emplace(order_.front().first, order_.begin());
    return order_.front().second;
  }

  // The least recently used value; nullptr when the map is empty.
  Value* Oldest() { return order_.empty() ? nullptr : &order_.back().second; }
  // Forgets the least recently used entry, if any.
  void ForgetOldest() {
    if (order_.empty()) return;
    index_.erase(order_.back().first);
    order_.pop_back();
  }

  size_t size() const { return order_.size(); }

 private:
  using Entries = std::list<std::pair<Key, Value>>;
  size_t capacity_;
  Entries order_;  // the most recently used first
  std::unordered_map<Key, typename Entries::iterator, Hash> index_;
};

}  // namespace orvex::engine

#include "engine/eval/statement_values.h"

#include <algorithm>
#include <functional>
#include <string>

#include "engine/common/engine_error.h"

namespace orvex::engine {

size_t StatementValues::Hash::operator()(const KeyView& key) const {
  size_t hash = std::hash<const void*>()(key.measure) ^ std::hash<const void*>()(key.filter);
  for (const Member* member : key.coordinate) {
    hash ^= std::hash<const void*>()(member) + 0x9e3779b97f4a7c15ull + (hash << 6) + (hash >> 2);
  }
  return hash;
}

bool StatementValues::Equal::operator()(const KeyView& a, const KeyView& b) const {
  return a.measure == b.measure && a.filter == b.filter && std::equal(a.coordinate.begin(), a.coordinate.end(), b.coordinate.begin(),
                                              b.coordinate.end());
}

const CellValue* StatementValues::Find(const Measure& measure, std::span<const Member* const> coordinate) {
  return Find(measure, coordinate, nullptr);
}

const CellValue* StatementValues::Find(const Measure& measure, std::span<const Member* const> coordinate,
                                       const TupleFilter* filter) {
  if (filter) {
    // Filters equal in content are one filter here, whoever built them.
    auto& owned = filters_[filter->id];
    if (!owned) owned = std::make_unique<TupleFilter>(*filter);
    filter = owned.get();
  }
  auto found = entries_.find(KeyView{&measure, coordinate, filter});
  if (found != entries_.end()) return found->second.known ? &found->second.value : nullptr;
  if (entries_.size() >= max_values_) {
    throw EngineError("The statement needs more than " + std::to_string(max_values_) +
                      " stored values; ask for fewer positions or simpler calculations.");
  }
  if (budget_) {
    // The map's node with its key's copy of the coordinate, its bucket, and the pending entry.
    constexpr int64_t kPerValue = 160;
    budget_->Charge(kPerValue + static_cast<int64_t>(coordinate.size() * sizeof(const Member*)), "cell values");
  }
  auto [inserted, _] =
      entries_.emplace(Key{&measure, Coordinate(coordinate.begin(), coordinate.end()), filter}, Entry{});
  pending_.emplace_back(&inserted->first, &inserted->second);
  return nullptr;
}

void StatementValues::FetchPending(CellReader& reader) {
  if (pending_.empty()) return;
  if (budget_) {
    // Reading a value costs far more than keeping it: the reader's key of the
    // cell (a key value per level of its path), the store's row and the cache
    // entry. Measured on the sample catalog at about two kilobytes a value.
    constexpr int64_t kPerRead = 2048;
    budget_->CheckTransient(static_cast<int64_t>(pending_.size()) * kPerRead, "reading cells from the store");
  }
  std::vector<CellRequest> requests;
  requests.reserve(pending_.size());
  // Under a role, members stand for the base cube's, which the reader knows.
  std::vector<Coordinate> stored;
  stored.reserve(pending_.size());
  for (const auto& [key, entry] : pending_) {
    const Coordinate* coordinate = &key->coordinate;
    if (std::any_of(coordinate->begin(), coordinate->end(), [](const Member* member) { return member && member->stored; })) {
      Coordinate& translated = stored.emplace_back(*coordinate);
      for (const Member*& member : translated) {
        if (member && member->stored) member = member->stored;
      }
      coordinate = &translated;
    }
    requests.push_back(CellRequest{key->measure, coordinate, key->filter});
  }
  std::vector<CellValue> values(requests.size());
  reader.Fetch(requests, values, budget_ ? budget_->deadline() : kNoDeadline);
  for (size_t index = 0; index < pending_.size(); ++index) {
    pending_[index].second->value = values[index];
    pending_[index].second->known = true;
  }
  pending_.clear();
}

}  // namespace orvex::engine

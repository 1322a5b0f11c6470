#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "olap/internal/tessel_error.h"
#include "platform/com/variant.h"
#include "platform/text.h"

namespace orvex::olap::detail {

// True when an index variant selects by position: it holds a number. Anything
// else, numeric text included, is a key.
inline bool IsPositionIndex(const Variant& index) {
  return index.type() == Variant::Type::kLong || index.type() == Variant::Type::kDouble;
}

// The ordered, keyed list behind Catalogs, Cubes, AxisHierarchies and
// AxisLevels: items in order under a text key compared without regard to case.
// A number selects by 0-based position (error 9 outside the list), anything
// else by key (error 5 when missing); a key given twice is error 457.
template <class T>
class KeyedList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }

  const std::shared_ptr<T>& At(int position) const {
    if (position < 0 || position >= Count()) throw TesselPlatformError(errors::kSubscriptOutOfRange);
    return items_[static_cast<size_t>(position)].second;
  }

  const std::shared_ptr<T>& Item(const Variant& index) const {
    if (IsPositionIndex(index)) return At(index.ToLong());
    auto position = Find(index.ToString());
    if (!position) throw TesselPlatformError(errors::kInvalidProcedureCall);
    return items_[static_cast<size_t>(*position)].second;
  }

  // The position of `key`, or nullopt.
  std::optional<int> Find(std::string_view key) const {
    for (size_t position = 0; position < items_.size(); ++position) {
      if (EqualsIgnoreCase(items_[position].first, key)) return static_cast<int>(position);
    }
    return std::nullopt;
  }

  // Inserts before `before`, or appends when `before` is outside the list; returns the item's position.
  int Insert(std::string key, std::shared_ptr<T> item, int before) {
    if (Find(key)) throw TesselPlatformError(errors::kDuplicateKey);
    if (before < 0 || before >= Count()) {
      items_.emplace_back(std::move(key), std::move(item));
      return Count() - 1;
    }
    items_.emplace(items_.begin() + before, std::move(key), std::move(item));
    return before;
  }
  int Add(std::string key, std::shared_ptr<T> item) { return Insert(std::move(key), std::move(item), -1); }

  std::shared_ptr<T> RemoveAt(int position) {
    auto item = At(position);
    items_.erase(items_.begin() + position);
    return item;
  }

  std::vector<std::shared_ptr<T>> Items() const {
    std::vector<std::shared_ptr<T>> items;
    items.reserve(items_.size());
    for (const auto& entry : items_) items.push_back(entry.second);
    return items;
  }

  void Clear() { items_.clear(); }

 private:
  std::vector<std::pair<std::string, std::shared_ptr<T>>> items_;
};

}  // namespace orvex::olap::detail

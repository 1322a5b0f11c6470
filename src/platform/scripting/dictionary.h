#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/variant.h"

namespace orvex {

// The scripting runtime's Dictionary: entries in insertion order, string keys
// compared with or without regard to case, and a duplicate-key failure.
class Dictionary {
 public:
  enum class CompareMode { kBinary, kText };
  explicit Dictionary(CompareMode mode = CompareMode::kBinary) : mode_(mode) {}

  // Throws ComError 457 when the key is already present (under the compare mode).
  void Add(std::string key, Variant value);
  bool Exists(std::string_view key) const;
  // The value under `key`, or an empty variant when there is none.
  Variant Item(std::string_view key) const;
  // Replaces the value under `key`, adding the entry when it is missing.
  void Set(std::string_view key, Variant value);
  bool Remove(std::string_view key);
  int Count() const { return static_cast<int>(entries_.size()); }
  const std::vector<std::pair<std::string, Variant>>& Entries() const { return entries_; }

 private:
  const std::pair<std::string, Variant>* Find(std::string_view key) const;
  CompareMode mode_;
  std::vector<std::pair<std::string, Variant>> entries_;
};

}  // namespace orvex

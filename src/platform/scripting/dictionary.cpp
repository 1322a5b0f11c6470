#include "platform/scripting/dictionary.h"

#include <algorithm>

#include "platform/com/com_error.h"
#include "platform/text.h"

namespace orvex {

const std::pair<std::string, Variant>* Dictionary::Find(std::string_view key) const {
  for (const auto& entry : entries_) {
    bool same = mode_ == CompareMode::kText ? EqualsIgnoreCase(entry.first, key) : entry.first == key;
    if (same) return &entry;
  }
  return nullptr;
}

void Dictionary::Add(std::string key, Variant value) {
  if (Find(key)) throw ComError::Platform(errors::kDuplicateKey, "");
  entries_.emplace_back(std::move(key), std::move(value));
}

bool Dictionary::Exists(std::string_view key) const { return Find(key) != nullptr; }

Variant Dictionary::Item(std::string_view key) const {
  const auto* entry = Find(key);
  return entry ? entry->second : Variant();
}

void Dictionary::Set(std::string_view key, Variant value) {
  if (auto* entry = const_cast<std::pair<std::string, Variant>*>(Find(key))) {
    entry->second = std::move(value);
  } else {
    entries_.emplace_back(std::string(key), std::move(value));
  }
}

bool Dictionary::Remove(std::string_view key) {
  const auto* entry = Find(key);
  if (!entry) return false;
  entries_.erase(entries_.begin() + (entry - entries_.data()));
  return true;
}

}  // namespace orvex

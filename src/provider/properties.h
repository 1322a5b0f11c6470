#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/variant.h"

namespace orvex::provider {

struct Property {
  std::string name;
  Variant value;
};

// A provider object's named properties, in order. Names compare without regard to case.
class Properties {
 public:
  Properties() = default;
  explicit Properties(std::vector<Property> items) : items_(std::move(items)) {}
  int Count() const { return static_cast<int>(items_.size()); }
  // Throws ComError errors::kItemNotFound for a position or name it does not hold.
  const Property& Item(int index) const;
  const Property& Item(std::string_view name) const;
  bool Has(std::string_view name) const;
  void Add(std::string name, Variant value) { items_.push_back({std::move(name), std::move(value)}); }

 private:
  std::vector<Property> items_;
};

}  // namespace orvex::provider

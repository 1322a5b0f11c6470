#include "provider/properties.h"

#include "platform/text.h"
#include "provider/collection.h"

namespace orvex::provider {

namespace {
constexpr const char* kSource = "Provider";
}  // namespace

const Property& Properties::Item(int index) const {
  if (index < 0 || index >= Count()) throw ItemNotFound(kSource);
  return items_[static_cast<size_t>(index)];
}

const Property& Properties::Item(std::string_view name) const {
  for (const auto& item : items_) {
    if (EqualsIgnoreCase(item.name, name)) return item;
  }
  throw ItemNotFound(kSource);
}

bool Properties::Has(std::string_view name) const {
  for (const auto& item : items_) {
    if (EqualsIgnoreCase(item.name, name)) return true;
  }
  return false;
}

}  // namespace orvex::provider

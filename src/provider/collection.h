#pragma once
#include <memory>
#include <string_view>

#include "platform/com/com_error.h"
#include "platform/com/variant.h"

namespace orvex::provider {

// A read-only collection of the provider's objects, by 0-based position or by
// name. Providers implement it over their own storage, so that a collection of
// thousands of members costs nothing until an item is asked for. Lookups that
// find nothing throw ComError errors::kItemNotFound.
template <class T>
class Collection {
 public:
  virtual ~Collection() = default;
  virtual int Count() const = 0;
  virtual std::shared_ptr<T> Item(int index) const = 0;
  // Names are compared without regard to case; a member collection tries the
  // unique name first, then the name.
  virtual std::shared_ptr<T> Item(std::string_view name) const = 0;

  // Plain texts are names (without these, a text would convert to a Variant and a view alike).
  std::shared_ptr<T> Item(const char* name) const { return Item(std::string_view(name)); }
  std::shared_ptr<T> Item(const std::string& name) const { return Item(std::string_view(name)); }

  // A number selects by position, anything else (numeric text included) by name.
  std::shared_ptr<T> Item(const Variant& index) const {
    if (index.HoldsNumber()) return Item(index.ToLong());
    return Item(std::string_view(index.ToString()));
  }
};

// Thrown by collections for a name or position they do not hold.
inline ComError ItemNotFound(std::string_view source) {
  return ComError::Platform(errors::kItemNotFound, std::string(source));
}

}  // namespace orvex::provider

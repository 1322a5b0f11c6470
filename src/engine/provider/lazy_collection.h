#pragma once
#include <functional>
#include <memory>
#include <string_view>

#include "engine/model/engine_error.h"
#include "platform/text.h"
#include "provider/collection.h"

namespace orvex::engine {

// A provider collection whose items are made when asked for: `make` builds
// the item at a 0-based position, `find` looks one up by name (nullptr when
// absent). Positions outside 0 to Count-1 and unknown names throw ComError
// errors::kItemNotFound. Immutable; the functions must be safe to call from
// any thread.
template <class T>
class LazyCollection final : public provider::Collection<T> {
 public:
  using Make = std::function<std::shared_ptr<T>(int index)>;
  using Find = std::function<std::shared_ptr<T>(std::string_view name)>;

  LazyCollection(int count, Make make, Find find) : count_(count), make_(std::move(make)), find_(std::move(find)) {}

  using provider::Collection<T>::Item;
  int Count() const override { return count_; }
  std::shared_ptr<T> Item(int index) const override {
    if (index < 0 || index >= count_) throw provider::ItemNotFound(kEngineErrorSource);
    return make_(index);
  }
  std::shared_ptr<T> Item(std::string_view name) const override {
    std::shared_ptr<T> item = find_ ? find_(name) : nullptr;
    if (!item) throw provider::ItemNotFound(kEngineErrorSource);
    return item;
  }

 private:
  int count_;
  Make make_;
  Find find_;
};

// Makes the first of `items` (pointers to metadata objects) whose name or
// unique name is `name`, without regard to case; nullptr when none is.
template <class T, class Items, class Make>
std::shared_ptr<T> MakeNamed(const Items& items, std::string_view name, Make make) {
  for (const auto& item : items) {
    if (EqualsIgnoreCase(item->name(), name) || EqualsIgnoreCase(item->unique_name(), name)) return make(*item);
  }
  return nullptr;
}

}  // namespace orvex::engine

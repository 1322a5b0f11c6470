#pragma once
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/common/engine_error.h"
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

// A collection of the metadata objects `items` (pointers, or unique_ptrs, to
// objects of the catalog that `owner` keeps alive), each handed out as a
// `Wrapper` made from the owner and the object; found by name or unique name,
// without regard to case. `items` must live as long as the owner.
template <class T, class Wrapper, class Items>
std::shared_ptr<provider::Collection<T>> WrapEach(const std::shared_ptr<const void>& owner, const Items& items) {
  const Items* list = &items;
  return std::make_shared<LazyCollection<T>>(
      static_cast<int>(items.size()),
      [owner, list](int index) { return std::make_shared<Wrapper>(owner, *(*list)[static_cast<size_t>(index)]); },
      [owner, list](std::string_view name) -> std::shared_ptr<T> {
        for (const auto& item : *list) {
          if (EqualsIgnoreCase(item->name(), name) || EqualsIgnoreCase(item->unique_name(), name)) {
            return std::make_shared<Wrapper>(owner, *item);
          }
        }
        return nullptr;
      });
}

// As WrapEach, over the items whose visible() is true: a hidden item is left
// out of Count and the positions, but is still found by its name, so that
// what a statement or a saved view names keeps resolving.
template <class T, class Wrapper, class Items>
std::shared_ptr<provider::Collection<T>> WrapVisible(const std::shared_ptr<const void>& owner, const Items& items) {
  const Items* list = &items;
  auto shown = std::make_shared<std::vector<size_t>>();
  for (size_t index = 0; index < items.size(); ++index) {
    if (items[index]->visible()) shown->push_back(index);
  }
  return std::make_shared<LazyCollection<T>>(
      static_cast<int>(shown->size()),
      [owner, list, shown](int index) {
        return std::make_shared<Wrapper>(owner, *(*list)[(*shown)[static_cast<size_t>(index)]]);
      },
      [owner, list](std::string_view name) -> std::shared_ptr<T> {
        for (const auto& item : *list) {
          if (EqualsIgnoreCase(item->name(), name) || EqualsIgnoreCase(item->unique_name(), name)) {
            return std::make_shared<Wrapper>(owner, *item);
          }
        }
        return nullptr;
      });
}

}  // namespace orvex::engine

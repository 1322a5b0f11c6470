#pragma once
#include <functional>
#include <mutex>

#include "provider/properties.h"

namespace orvex::engine {

// A property collection built on first use (some properties cost a store
// read, such as a hierarchy's default member). Thread-safe.
class LazyProperties {
 public:
  explicit LazyProperties(std::function<provider::Properties()> build) : build_(std::move(build)) {}
  LazyProperties(const LazyProperties&) = delete;
  LazyProperties& operator=(const LazyProperties&) = delete;

  // Throws what the builder throws, and tries again on the next call.
  const provider::Properties& Get() const {
    std::call_once(once_, [this] { properties_ = build_(); });
    return properties_;
  }

 private:
  std::function<provider::Properties()> build_;
  mutable std::once_flag once_;
  mutable provider::Properties properties_;
};

}  // namespace orvex::engine

#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/com/com_error.h"

namespace orvex::olap::detail {

// The component's title: the first source line of every error Tessel raises itself.
inline constexpr const char* kTitle = "Tessel";

// An error raised by this component, with its own description.
inline ComError TesselError(int32_t number, std::string description) {
  return ComError(number, kTitle, std::move(description));
}

// A platform error (9, 13, 91, 457, ...) raised inside this component, with the platform's text.
inline ComError TesselPlatformError(int32_t number) { return ComError::Platform(number, kTitle); }

inline constexpr const char* kReadOnlyAxis = "This Axis is read-only and cannot be modified.";
inline constexpr const char* kXmlNotLoaded = "The XML document could not be loaded.";
inline constexpr const char* kCubeViewArgument = "The 'CubeView' argument must be a reference to a valid 'CubeView' object.";
inline constexpr const char* kAxisArgument = "The 'Axis' argument must be a reference to a valid 'Axis' object.";

// The owner behind a back-reference; error 91 once the owner has ended (or was never set).
template <class T>
std::shared_ptr<T> Lock(const std::weak_ptr<T>& owner) {
  auto locked = owner.lock();
  if (!locked) throw TesselPlatformError(errors::kObjectNotSet);
  return locked;
}

// A child the object holds; error 91 once the object has ended and let it go.
template <class T>
const std::shared_ptr<T>& Present(const std::shared_ptr<T>& child) {
  if (!child) throw TesselPlatformError(errors::kObjectNotSet);
  return child;
}

}  // namespace orvex::olap::detail

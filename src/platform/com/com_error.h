#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvex {

// The platform's error numbers that the components raise or pass on.
namespace errors {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kInternalError = 51;
inline constexpr int32_t kFileNotFound = 53;
inline constexpr int32_t kFileAlreadyExists = 58;
inline constexpr int32_t kDiskFull = 61;
inline constexpr int32_t kPermissionDenied = 70;
inline constexpr int32_t kPathFileAccessError = 75;
inline constexpr int32_t kPathNotFound = 76;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kResourceNotFound = 326;
inline constexpr int32_t kObjectRequired = 424;
inline constexpr int32_t kActionNotSupported = 445;
inline constexpr int32_t kDuplicateKey = 457;
// The base that components add to their own error numbers (hexadecimal 80040000).
inline constexpr int32_t kObjectErrorBase = static_cast<int32_t>(0x80040000u);
// The provider's "item cannot be found in the collection" (hexadecimal 800A0CC1).
inline constexpr int32_t kItemNotFound = static_cast<int32_t>(0x800A0CC1u);
}  // namespace errors

// The platform's own description of one of the numbers above; an unknown
// number gives "Application-defined or object-defined error".
std::string PlatformErrorText(int32_t number);

// The one exception type of the system: the platform's error triple.
// `source` grows by one line for every procedure the error passes (see
// errors/trail.h); number and description never change on the way up.
class ComError : public std::exception {
 public:
  ComError(int32_t number, std::string source, std::string description);

  // A platform error with its standard description; `source` is the title of
  // the component in which it occurred ("Tessel", "Halvern", ...).
  static ComError Platform(int32_t number, std::string source);

  int32_t number() const { return number_; }
  const std::string& source() const { return source_; }
  const std::string& description() const { return description_; }
  void set_source(std::string source) { source_ = std::move(source); }

  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
};

}  // namespace orvex

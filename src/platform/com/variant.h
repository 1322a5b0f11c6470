#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvex {

// Base of every object that can travel in a Variant. `TypeName` is what the
// platform reports as the run-time type name of the object ("IRequest", ...).
class ComObject {
 public:
  virtual ~ComObject() = default;
  virtual std::string TypeName() const = 0;
};

// The platform's variant: empty, null, a boolean, a 32-bit integer, a double,
// a string, an object reference (possibly none) or an array of variants.
// Conversions follow the platform's rules: numbers are written and read with a
// full stop as decimal separator, whatever the server's locale, and written
// with as many digits as a double needs to read back unchanged.
class Variant {
 public:
  enum class Type { kEmpty, kNull, kBoolean, kLong, kDouble, kString, kObject, kArray };
  using Array = std::vector<Variant>;

  Variant() = default;
  Variant(bool value) : value_(value) {}                     // NOLINT: implicit like the platform's
  Variant(int32_t value) : value_(value) {}                  // NOLINT
  Variant(double value) : value_(value) {}                   // NOLINT
  Variant(const char* value) : value_(std::string(value)) {}  // NOLINT
  Variant(std::string value) : value_(std::move(value)) {}   // NOLINT
  Variant(std::string_view value) : value_(std::string(value)) {}  // NOLINT
  Variant(std::shared_ptr<ComObject> object) : value_(std::move(object)) {}  // NOLINT
  Variant(Array array) : value_(std::move(array)) {}         // NOLINT

  static Variant Null();
  // An object reference that holds no object ("Nothing").
  static Variant Nothing();

  Type type() const;
  bool IsEmpty() const { return type() == Type::kEmpty; }
  bool IsNull() const { return type() == Type::kNull; }
  bool IsObject() const { return type() == Type::kObject; }
  bool IsArray() const { return type() == Type::kArray; }
  bool IsString() const { return type() == Type::kString; }
  // True for a boolean, integer or double (the platform's numeric subtypes).
  bool HoldsNumber() const;
  // The platform's IsNumeric: a number, empty, or text that reads as a number.
  bool IsNumeric() const;

  // Conversions; each throws ComError 13 (type mismatch) for content that does
  // not convert, 94 for null, and 6 for an integer out of range.
  std::string ToString() const;
  double ToDouble() const;
  int32_t ToLong() const;
  bool ToBool() const;

  // The object held; nullptr for "Nothing". Throws 13 when the variant holds no object reference.
  const std::shared_ptr<ComObject>& ToObject() const;
  // The array held; throws 13 when the variant is not an array.
  const Array& ToArray() const;

  // The platform's TypeName: "Empty", "Null", "Boolean", "Long", "Double",
  // "String", "Nothing", the object's own type name, or "Variant()".
  std::string TypeName() const;

 private:
  struct NullTag {};
  using Value = std::variant<std::monostate, NullTag, bool, int32_t, double, std::string,
                             std::shared_ptr<ComObject>, Array>;
  explicit Variant(NullTag tag) : value_(tag) {}
  Value value_;
};

// Text forms shared by every component.
std::string FormatNumber(double value);
// Reads a whole trimmed text as a number; nullopt when it is not one.
std::optional<double> ParseNumber(std::string_view text);

}  // namespace orvex

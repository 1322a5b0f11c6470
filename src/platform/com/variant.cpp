#include "platform/com/variant.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/com/com_error.h"
#include "platform/text.h"

namespace orvex {
namespace {

ComError Mismatch() { return ComError::Platform(errors::kTypeMismatch, ""); }

}  // namespace

Variant Variant::Null() { return Variant(NullTag{}); }
Variant Variant::Nothing() { return Variant(std::shared_ptr<ComObject>()); }

Variant::Type Variant::type() const { return static_cast<Type>(value_.index()); }

bool Variant::HoldsNumber() const {
  auto t = type();
  return t == Type::kBoolean || t == Type::kLong || t == Type::kDouble;
}

bool Variant::IsNumeric() const {
  switch (type()) {
    case Type::kEmpty:
    case Type::kBoolean:
    case Type::kLong:
    case Type::kDouble: return true;
    case Type::kString: return ParseNumber(std::get<std::string>(value_)).has_value();
    default: return false;
  }
}

std::string Variant::ToString() const {
  switch (type()) {
    case Type::kEmpty: return "";
    case Type::kNull: throw ComError::Platform(errors::kInvalidUseOfNull, "");
    case Type::kBoolean: return std::get<bool>(value_) ? "True" : "False";
    case Type::kLong: return std::to_string(std::get<int32_t>(value_));
    case Type::kDouble: return FormatNumber(std::get<double>(value_));
    case Type::kString: return std::get<std::string>(value_);
    default: throw Mismatch();
  }
}

double Variant::ToDouble() const {
  switch (type()) {
    case Type::kEmpty: return 0;
    case Type::kNull: throw ComError::Platform(errors::kInvalidUseOfNull, "");
    case Type::kBoolean: return std::get<bool>(value_) ? -1 : 0;
    case Type::kLong: return std::get<int32_t>(value_);
    case Type::kDouble: return std::get<double>(value_);
    case Type::kString: {
      auto number = ParseNumber(std::get<std::string>(value_));
      if (!number) throw Mismatch();
      return *number;
    }
    default: throw Mismatch();
  }
}

int32_t Variant::ToLong() const {
  if (type() == Type::kLong) return std::get<int32_t>(value_);
  double value = ToDouble();
  // The platform rounds halves to even when it makes an integer of a number.
  double rounded = std::nearbyint(value);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    throw ComError::Platform(errors::kOverflow, "");
  }
  return static_cast<int32_t>(rounded);
}

bool Variant::ToBool() const {
  switch (type()) {
    case Type::kEmpty: return false;
    case Type::kNull: throw ComError::Platform(errors::kInvalidUseOfNull, "");
    case Type::kBoolean: return std::get<bool>(value_);
    case Type::kLong: return std::get<int32_t>(value_) != 0;
    case Type::kDouble: return std::get<double>(value_) != 0;
    case Type::kString: {
      std::string text = Trim(std::get<std::string>(value_));
      if (EqualsIgnoreCase(text, "true")) return true;
      if (EqualsIgnoreCase(text, "false")) return false;
      auto number = ParseNumber(text);
      if (!number) throw Mismatch();
      return *number != 0;
    }
    default: throw Mismatch();
  }
}

const std::shared_ptr<ComObject>& Variant::ToObject() const {
  if (type() != Type::kObject) throw Mismatch();
  return std::get<std::shared_ptr<ComObject>>(value_);
}

const Variant::Array& Variant::ToArray() const {
  if (type() != Type::kArray) throw Mismatch();
  return std::get<Array>(value_);
}

std::string Variant::TypeName() const {
  switch (type()) {
    case Type::kEmpty: return "Empty";
    case Type::kNull: return "Null";
    case Type::kBoolean: return "Boolean";
    case Type::kLong: return "Long";
    case Type::kDouble: return "Double";
    case Type::kString: return "String";
    case Type::kObject: {
      const auto& object = std::get<std::shared_ptr<ComObject>>(value_);
      return object ? object->TypeName() : "Nothing";
    }
    case Type::kArray: return "Variant()";
  }
  return "Empty";
}

std::string FormatNumber(double value) {
  if (value == 0) return "0";  // also for negative zero
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::optional<double> ParseNumber(std::string_view text) {
  std::string trimmed = Trim(text);
  if (trimmed.empty()) return std::nullopt;
  std::string_view digits = trimmed;
  if (digits.front() == '+') digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  double value = 0;
  auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec != std::errc() || result.ptr != digits.data() + digits.size()) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace orvex

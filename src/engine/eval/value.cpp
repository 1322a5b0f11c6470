#include "engine/eval/value.h"

#include <cmath>

#include "platform/com/variant.h"

namespace orvex::engine {

std::string NonFiniteText(double value) {
  if (std::isnan(value)) return "NaN";
  return value < 0 ? "-Infinity" : "Infinity";
}

std::string ScalarText(const Scalar& value) {
  if (const auto* number = std::get_if<double>(&value)) {
    return std::isfinite(*number) ? FormatNumber(*number) : NonFiniteText(*number);
  }
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* truth = std::get_if<bool>(&value)) return *truth ? "True" : "False";
  if (const auto* exact = std::get_if<Decimal>(&value)) return ShortText(*exact);
  return "";
}

}  // namespace orvex::engine

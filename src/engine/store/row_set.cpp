#include "engine/store/row_set.h"

#include <charconv>
#include <cmath>

namespace orvex::engine {

bool ToDouble(const KeyValue& value, double& out) {
  if (const auto* integer = std::get_if<int64_t>(&value)) {
    out = static_cast<double>(*integer);
    return true;
  }
  if (const auto* real = std::get_if<double>(&value)) {
    out = *real;
    return true;
  }
  if (const auto* exact = std::get_if<Decimal>(&value)) {
    out = exact->ToDouble();
    return true;
  }
  return false;
}

std::string ToText(const KeyValue& value) {
  if (const auto* integer = std::get_if<int64_t>(&value)) return std::to_string(*integer);
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* real = std::get_if<double>(&value)) {
    // A whole number prints without a fraction, as its integer twin would.
    if (std::isfinite(*real) && *real == std::trunc(*real) && std::fabs(*real) < 1e15) {
      return std::to_string(static_cast<int64_t>(*real));
    }
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, *real);
    return std::string(buffer, result.ptr);
  }
  if (const auto* exact = std::get_if<Decimal>(&value)) return ShortText(*exact);
  return "#null";
}

}  // namespace orvex::engine

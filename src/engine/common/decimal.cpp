#include "engine/common/decimal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

namespace orvex::engine {
namespace {

constexpr Int128 kTen = 10;

// 10^exponent for 0 <= exponent <= kMaxDigits; nullopt past what 128 bits hold.
std::optional<Int128> PowerOfTen(int exponent) {
  Int128 power = 1;
  for (int step = 0; step < exponent; ++step) {
    if (__builtin_mul_overflow(power, kTen, &power)) return std::nullopt;
  }
  return power;
}

// `value` multiplied by 10^digits; nullopt when it overflows.
std::optional<Int128> Widen(Int128 value, int digits) {
  auto power = PowerOfTen(digits);
  Int128 result = 0;
  if (!power || __builtin_mul_overflow(value, *power, &result)) return std::nullopt;
  return result;
}

// The decimal digits of |value|; "0" for zero.
std::string MagnitudeDigits(Int128 value) {
  // Most figures fit in 64 bits, where a digit costs no 128-bit division.
  if (value > -Int128(INT64_MAX) && value < Int128(INT64_MAX)) {
    auto magnitude = static_cast<uint64_t>(value < 0 ? -value : value);
    char buffer[24];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, magnitude).ptr);
  }
  std::string digits;
  do {
    int digit = static_cast<int>(value % 10);
    digits += static_cast<char>('0' + (digit < 0 ? -digit : digit));
    value /= 10;
  } while (value != 0);
  std::reverse(digits.begin(), digits.end());
  return digits;
}

// The value with the trailing zeros of its fraction taken off, so that equal
// values have one form.
Decimal Normalized(Decimal value) {
  while (value.scale > 0 && value.unscaled % 10 == 0) {
    value.unscaled /= 10;
    --value.scale;
  }
  if (value.unscaled == 0) value.scale = 0;
  return value;
}

}  // namespace

std::optional<Decimal> Decimal::Parse(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  Decimal value;
  bool point = false;
  int digits = 0;
  for (char c : text) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    // Leading zeros count for nothing; every other digit does.
    if (value.unscaled != 0 || c != '0') ++digits;
    if (digits > kMaxDigits) return std::nullopt;
    value.unscaled = value.unscaled * 10 + (c - '0');
    if (point) ++value.scale;
  }
  if (text.empty() || text == ".") return std::nullopt;
  if (value.scale > kMaxDigits) return std::nullopt;
  if (negative) value.unscaled = -value.unscaled;
  return value;
}

double Decimal::ToDouble() const {
  // Both operands exact in a double, so one division rounds correctly.
  constexpr Int128 kExact = Int128(1) << 53;
  if (unscaled > -kExact && unscaled < kExact && scale <= 22) {
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                         1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    return static_cast<double>(static_cast<int64_t>(unscaled)) / kPowers[scale];
  }
  std::string text = MagnitudeDigits(unscaled) + "e-" + std::to_string(scale);
  double magnitude = 0;
  std::from_chars(text.data(), text.data() + text.size(), magnitude);
  return unscaled < 0 ? -magnitude : magnitude;
}

std::string Decimal::ToText() const {
  std::string digits = MagnitudeDigits(unscaled);
  if (scale > 0) {
    if (static_cast<int>(digits.size()) <= scale) digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), ".");
  }
  return unscaled < 0 ? "-" + digits : digits;
}

std::optional<Decimal> Add(const Decimal& a, const Decimal& b) {
  int scale = std::max(a.scale, b.scale);
  auto left = Widen(a.unscaled, scale - a.scale);
  auto right = Widen(b.unscaled, scale - b.scale);
  Decimal sum;
  sum.scale = scale;
  if (!left || !right || __builtin_add_overflow(*left, *right, &sum.unscaled)) return std::nullopt;
  return sum;
}

int Compare(const Decimal& a, const Decimal& b) {
  int scale = std::max(a.scale, b.scale);
  auto left = Widen(a.unscaled, scale - a.scale);
  auto right = Widen(b.unscaled, scale - b.scale);
  if (left && right) return *left < *right ? -1 : *left > *right ? 1 : 0;
  // One side is too large to widen, so it is the larger in magnitude.
  const Decimal& large = left ? b : a;
  int sign = large.unscaled < 0 ? -1 : 1;
  return left ? -sign : sign;
}

std::string ShortText(const Decimal& value) {
  Decimal normal = Normalized(value);
  std::string digits = MagnitudeDigits(normal.unscaled);
  if (digits.size() <= 15) {
    double number = normal.ToDouble();
    if (number == std::trunc(number) && std::fabs(number) < 1e15) return std::to_string(static_cast<int64_t>(number));
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
    return std::string(buffer, end);
  }
  return normal.ToText();
}

double ToDouble(const CellNumber& number) {
  if (const auto* exact = std::get_if<Decimal>(&number)) return exact->ToDouble();
  return std::get<double>(number);
}

CellNumber Add(const CellNumber& a, const CellNumber& b) {
  const auto* left = std::get_if<Decimal>(&a);
  const auto* right = std::get_if<Decimal>(&b);
  if (left && right) {
    if (auto sum = Add(*left, *right)) return *sum;
  }
  return ToDouble(a) + ToDouble(b);
}

int Compare(const CellNumber& a, const CellNumber& b) {
  const auto* left = std::get_if<Decimal>(&a);
  const auto* right = std::get_if<Decimal>(&b);
  if (left && right) return Compare(*left, *right);
  double x = ToDouble(a);
  double y = ToDouble(b);
  return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace orvex::engine

size_t std::hash<orvex::engine::Decimal>::operator()(const orvex::engine::Decimal& value) const {
  orvex::engine::Decimal normal = orvex::engine::Normalized(value);
  __extension__ auto bits = static_cast<unsigned __int128>(normal.unscaled);
  size_t low = std::hash<uint64_t>()(static_cast<uint64_t>(bits));
  size_t high = std::hash<uint64_t>()(static_cast<uint64_t>(bits >> 64));
  return low ^ (high * 0x9e3779b97f4a7c15ull) ^ static_cast<size_t>(normal.scale);
}

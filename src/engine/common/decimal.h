#pragma once
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace orvex::engine {

__extension__ typedef __int128 Int128;

// An exact decimal number: unscaled / 10^scale, as DECIMAL and NUMERIC
// columns and their sums hold it. Sums of decimals are exact whatever order
// they are added in, which doubles are not; that is why a cell keeps this
// form until it is shown. Equal values compare and hash equal whatever
// their scale (2.5 == 2.50).
struct Decimal {
  Int128 unscaled = 0;
  int32_t scale = 0;  // digits after the point, 0 to kMaxDigits

  static constexpr int kMaxDigits = 38;

  // "[+-]digits[.digits]" (blanks around allowed, no exponent) with at most
  // kMaxDigits digits in all; nullopt for anything else.
  [[nodiscard]] static std::optional<Decimal> Parse(std::string_view text);
  // The nearest double (correctly rounded).
  double ToDouble() const;
  // Every digit, with exactly `scale` decimals: "-1234.50", "0.05".
  std::string ToText() const;
  bool IsZero() const { return unscaled == 0; }
  bool IsNegative() const { return unscaled < 0; }
};

// The exact sum; nullopt when it would not fit in 128 bits.
[[nodiscard]] std::optional<Decimal> Add(const Decimal& a, const Decimal& b);
// Orders by value: negative when a < b, zero when equal, positive when greater.
int Compare(const Decimal& a, const Decimal& b);
inline bool operator==(const Decimal& a, const Decimal& b) { return Compare(a, b) == 0; }
inline std::strong_ordering operator<=>(const Decimal& a, const Decimal& b) { return Compare(a, b) <=> 0; }
// The shortest text that shows the value: trailing zeros of the fraction
// dropped, and for up to 15 significant digits the same text a double of the
// value gives, so that a key or a cell reads alike from DECIMAL and DOUBLE
// columns. Plain digits beyond that.
std::string ShortText(const Decimal& value);

// A stored measure's value: exact when the store summed decimals, else a
// double (integers are exact in a double up to 2^53).
using CellNumber = std::variant<double, Decimal>;

double ToDouble(const CellNumber& number);
// Exact when both are exact and the sum fits; a double otherwise.
CellNumber Add(const CellNumber& a, const CellNumber& b);
// Orders by value; exact when both are exact, else by their doubles.
int Compare(const CellNumber& a, const CellNumber& b);

}  // namespace orvex::engine

template <>
struct std::hash<orvex::engine::Decimal> {
  size_t operator()(const orvex::engine::Decimal& value) const;
};

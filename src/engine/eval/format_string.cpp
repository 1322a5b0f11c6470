#include "engine/eval/format_string.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/text.h"

namespace orvex::engine {

namespace {

// One section of a pattern, read apart into what the number needs.
struct Pattern {
  std::string prefix;  // literals before the first digit
  std::string suffix;  // literals after the last digit
  int min_integer_digits = 0;
  int min_decimals = 0;
  int max_decimals = 0;
  bool has_point = false;
  bool grouping = false;
  int scale_thousands = 0;
  int percents = 0;
  bool scientific = false;
  bool exponent_plus = false;
  int exponent_digits = 0;
};

std::vector<std::string> SplitSections(std::string_view format) {
  std::vector<std::string> sections(1);
  bool quoted = false;
  for (size_t index = 0; index < format.size(); ++index) {
    char c = format[index];
    if (c == '"') quoted = !quoted;
    if (c == '\\' && index + 1 < format.size()) {
      sections.back() += c;
      sections.back() += format[++index];
      continue;
    }
    if (c == ';' && !quoted) {
      sections.emplace_back();
      continue;
    }
    sections.back() += c;
  }
  return sections;
}

Pattern ReadPattern(std::string_view text) {
  Pattern pattern;
  bool seen_digit = false;
  bool in_decimals = false;
  int pending_commas = 0;  // commas seen since the last digit of the integer part
  std::string literal;
  auto flush_literal = [&] {
    (seen_digit ? pattern.suffix : pattern.prefix) += literal;
    literal.clear();
  };
  for (size_t index = 0; index < text.size(); ++index) {
    char c = text[index];
    if (c == '0' || c == '#') {
      if (!pattern.suffix.empty() || (seen_digit && !literal.empty())) {
        literal.clear();  // literals between digits are not supported; they are dropped
      }
      flush_literal();
      seen_digit = true;
      if (pattern.scientific) {
        ++pattern.exponent_digits;
      } else if (in_decimals) {
        ++pattern.max_decimals;
        if (c == '0') pattern.min_decimals = pattern.max_decimals;
      } else {
        if (pending_commas > 0) pattern.grouping = true;
        pending_commas = 0;
        if (c == '0') ++pattern.min_integer_digits;
      }
    } else if (c == '.' && !in_decimals && !pattern.scientific) {
      flush_literal();
      pattern.scale_thousands += pending_commas;
      pending_commas = 0;
      in_decimals = true;
      pattern.has_point = true;
      seen_digit = true;
    } else if (c == ',' && !in_decimals && seen_digit) {
      ++pending_commas;
    } else if ((c == 'E' || c == 'e') && seen_digit && index + 1 < text.size() &&
               (text[index + 1] == '+' || text[index + 1] == '-')) {
      pattern.scale_thousands += pending_commas;
      pending_commas = 0;
      pattern.scientific = true;
      pattern.exponent_plus = text[index + 1] == '+';
      ++index;
    } else if (c == '"') {
      size_t end = text.find('"', index + 1);
      if (end == std::string_view::npos) end = text.size();
      literal += text.substr(index + 1, end - index - 1);
      index = end;
    } else if (c == '\\' && index + 1 < text.size()) {
      literal += text[++index];
    } else {
      if (c == '%') ++pattern.percents;
      literal += c;
    }
  }
  if (!in_decimals && !pattern.scientific) pattern.scale_thousands += pending_commas;
  flush_literal();
  return pattern;
}

std::string Group(const std::string& digits) {
  std::string grouped;
  size_t count = digits.size();
  for (size_t index = 0; index < count; ++index) {
    grouped += digits[index];
    size_t remaining = count - index - 1;
    if (remaining > 0 && remaining % 3 == 0) grouped += ',';
  }
  return grouped;
}

// A non-negative number as decimal digits: 0.d1d2d3... times 10^point,
// without leading or trailing zeros ("" for zero). Rounding works on these
// digits, never on a binary value: an exact decimal gives its own digits,
// and a double the shortest digits that read back as it, so 2.675 rounds to
// 2.68 as people expect, not to the 2.67 its binary value would give.
struct Digits {
  std::string digits;
  int point = 0;
};

Digits Trimmed(std::string digits, int point) {
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return {};
  point -= static_cast<int>(first);
  digits.erase(0, first);
  digits.erase(digits.find_last_not_of('0') + 1);
  return {std::move(digits), point};
}

Digits DigitsOf(double magnitude) {
  if (magnitude == 0) return {};
  char buffer[64];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific).ptr;
  std::string_view text(buffer, static_cast<size_t>(end - buffer));  // "d.ddde+XX" or "de-XX"
  size_t e = text.find('e');
  std::string digits(1, text[0]);
  if (e > 1) digits.append(text.substr(2, e - 2));
  return Trimmed(std::move(digits), std::atoi(std::string(text.substr(e + 1)).c_str()) + 1);
}

Digits DigitsOf(const Decimal& value) {
  std::string digits = value.ToText();
  if (digits.front() == '-') digits.erase(0, 1);
  size_t dot = digits.find('.');
  int point = static_cast<int>(dot == std::string::npos ? digits.size() : dot);
  if (dot != std::string::npos) digits.erase(dot, 1);
  return Trimmed(std::move(digits), point);
}

// The number rounded to `decimals` places, halves away from zero, as its
// integer digits and exactly `decimals` fraction digits.
struct Rounded {
  std::string integer;
  std::string fraction;
};

Rounded RoundHalfAway(const Digits& number, int decimals) {
  int keep = number.point + decimals;  // how many of the digits stay
  if (number.digits.empty() || keep < 0) return {"0", std::string(static_cast<size_t>(decimals), '0')};
  int size = static_cast<int>(number.digits.size());
  std::string kept = number.digits.substr(0, static_cast<size_t>(std::min(keep, size)));
  kept.append(static_cast<size_t>(std::max(0, keep - size)), '0');
  int point = number.point;
  // The digits are exact, so a 5 followed by nothing is a true half.
  if (keep < size && number.digits[static_cast<size_t>(keep)] >= '5') {
    int position = static_cast<int>(kept.size()) - 1;
    while (position >= 0 && kept[static_cast<size_t>(position)] == '9') kept[static_cast<size_t>(position--)] = '0';
    if (position >= 0) {
      ++kept[static_cast<size_t>(position)];
    } else {
      kept.insert(kept.begin(), '1');
      ++point;
    }
  }
  if (point > 0) return {kept.substr(0, static_cast<size_t>(point)), kept.substr(static_cast<size_t>(point))};
  return {"0", std::string(static_cast<size_t>(-point), '0') + kept};
}

// The digits of a non-negative number after the pattern, without literals.
std::string DigitText(const Digits& number, const Pattern& pattern) {
  Rounded rounded = RoundHalfAway(number, pattern.max_decimals);
  std::string integer = rounded.integer.find_first_not_of('0') == std::string::npos ? "0" : rounded.integer;
  std::string decimals = rounded.fraction;
  while (static_cast<int>(decimals.size()) > pattern.min_decimals && !decimals.empty() && decimals.back() == '0') {
    decimals.pop_back();
  }
  if (integer == "0" && pattern.min_integer_digits == 0) integer.clear();
  while (static_cast<int>(integer.size()) < pattern.min_integer_digits) integer.insert(integer.begin(), '0');
  if (pattern.grouping) integer = Group(integer);
  std::string text = integer;
  if (pattern.has_point) text += "." + decimals;
  return text;
}

std::string ScientificDigits(const Digits& number, const Pattern& pattern) {
  int integer_digits = std::max(1, pattern.min_integer_digits);
  int exponent = number.digits.empty() ? 0 : number.point - integer_digits;
  Digits mantissa{number.digits, number.digits.empty() ? 0 : integer_digits};
  // Rounding may carry the mantissa to one more digit: 9.999 becomes 10.00.
  if (!mantissa.digits.empty() &&
      static_cast<int>(RoundHalfAway(mantissa, pattern.max_decimals).integer.size()) > integer_digits) {
    --mantissa.point;
    ++exponent;
  }
  Pattern plain = pattern;
  plain.grouping = false;
  std::string text = DigitText(mantissa, plain);
  std::string exponent_digits = std::to_string(std::abs(exponent));
  if (static_cast<int>(exponent_digits.size()) < pattern.exponent_digits) {
    exponent_digits = std::string(static_cast<size_t>(pattern.exponent_digits) - exponent_digits.size(), '0') +
                      exponent_digits;
  }
  text += "E";
  if (exponent < 0) {
    text += "-";
  } else if (pattern.exponent_plus) {
    text += "+";
  }
  return text + exponent_digits;
}

// The magnitude as the pattern shows it: times 100 per "%", divided by 1000
// per scaling comma, which on decimal digits is only a move of the point.
Digits Scaled(Digits number, const Pattern& pattern) {
  if (!number.digits.empty()) number.point += 2 * pattern.percents - 3 * pattern.scale_thousands;
  return number;
}

std::string ApplyPattern(const Digits& magnitude, const Pattern& pattern) {
  Digits scaled = Scaled(magnitude, pattern);
  std::string digits = pattern.scientific ? ScientificDigits(scaled, pattern) : DigitText(scaled, pattern);
  return pattern.prefix + digits + pattern.suffix;
}

// True when the number shows as zero at the pattern's precision.
bool RoundsToZero(const Digits& magnitude, const Pattern& pattern) {
  if (pattern.scientific) return magnitude.digits.empty();
  Rounded rounded = RoundHalfAway(Scaled(magnitude, pattern), pattern.max_decimals);
  return (rounded.integer + rounded.fraction).find_first_not_of('0') == std::string::npos;
}

std::string GeneralNumber(double value) {
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
    return value == 0 ? "0" : buffer;
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.15g", value);
  return buffer;
}

// A number to format: its sign, the digits of its magnitude, its double for
// the formats that only ask whether it is zero, and its exact value if any.
struct Figure {
  bool negative = false;
  Digits magnitude;
  double value = 0;
  const Decimal* exact = nullptr;
};

std::string NamedFormat(std::string_view name) {
  if (EqualsIgnoreCase(name, "Currency")) return "$#,##0.00;($#,##0.00)";
  if (EqualsIgnoreCase(name, "Fixed")) return "0.00";
  if (EqualsIgnoreCase(name, "Standard")) return "#,##0.00";
  if (EqualsIgnoreCase(name, "Percent")) return "0.00%";
  if (EqualsIgnoreCase(name, "Scientific")) return "0.00E+00";
  return std::string(name);
}

std::string FormatFigure(const Figure& figure, std::string_view format_string) {
  std::string trimmed = Trim(format_string);
  bool zero = figure.magnitude.digits.empty();
  if (trimmed.empty() || EqualsIgnoreCase(trimmed, "General Number") || EqualsIgnoreCase(trimmed, "General") ||
      EqualsIgnoreCase(trimmed, "Standard Number")) {
    // Up to 15 digits a decimal reads as its double does; past them its own digits.
    if (figure.exact && figure.magnitude.digits.size() > 15) return ShortText(*figure.exact);
    return GeneralNumber(figure.value);
  }
  if (EqualsIgnoreCase(trimmed, "Yes/No")) return !zero ? "Yes" : "No";
  if (EqualsIgnoreCase(trimmed, "True/False")) return !zero ? "True" : "False";
  if (EqualsIgnoreCase(trimmed, "On/Off")) return !zero ? "On" : "Off";
  std::vector<std::string> sections = SplitSections(NamedFormat(trimmed));
  Pattern positive = ReadPattern(sections[0]);
  if (zero && sections.size() > 2 && !sections[2].empty()) return ApplyPattern({}, ReadPattern(sections[2]));
  if (figure.negative && !zero) {
    if (sections.size() > 1 && !sections[1].empty()) return ApplyPattern(figure.magnitude, ReadPattern(sections[1]));
    std::string text = ApplyPattern(figure.magnitude, positive);
    return RoundsToZero(figure.magnitude, positive) ? text : "-" + text;
  }
  return ApplyPattern(figure.magnitude, positive);
}

std::string FormatNumberWith(double value, std::string_view format_string) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  return FormatFigure({value < 0, DigitsOf(std::fabs(value)), value, nullptr}, format_string);
}

std::string FormatDecimalWith(const Decimal& value, std::string_view format_string) {
  return FormatFigure({value.IsNegative(), DigitsOf(value), value.ToDouble(), &value}, format_string);
}

}  // namespace

std::string FormatCellValue(const Scalar& value, std::string_view format_string) {
  if (const auto* number = std::get_if<double>(&value)) return FormatNumberWith(*number, format_string);
  if (const auto* exact = std::get_if<Decimal>(&value)) return FormatDecimalWith(*exact, format_string);
  return ScalarText(value);
}

}  // namespace orvex::engine

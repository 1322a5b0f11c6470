#include "engine/eval/format_string.h"

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

// A non-negative number rounded to `decimals` places, halves away from zero,
// as its integer digits and exactly `decimals` fraction digits. Rounding works
// on the 15 significant digits a double holds reliably, so 2.675 rounds to
// 2.68 as people expect, not to the 2.67 its binary value would give.
struct Decimal {
  std::string integer;
  std::string fraction;
};

Decimal RoundHalfUp(double value, int decimals) {
  if (value == 0) return {"0", std::string(static_cast<size_t>(decimals), '0')};
  // A whole number below 10^15 is its own 15 significant digits, with nothing
  // to round: most cells (sums of units, counts) take this way, without printf.
  if (value > 0 && value < 1e15 && value == std::floor(value)) {
    return {std::to_string(static_cast<int64_t>(value)), std::string(static_cast<size_t>(decimals), '0')};
  }
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.14e", value);
  std::string digits(1, buffer[0]);
  digits.append(buffer + 2, 14);
  int exponent = std::atoi(std::strchr(buffer, 'e') + 1);  // digits[i] stands for 10^(exponent - i)
  int keep = exponent + 1 + decimals;                       // the digits down to 10^-decimals
  if (keep < 0) return {"0", std::string(static_cast<size_t>(decimals), '0')};
  std::string kept = digits.substr(0, static_cast<size_t>(std::min(keep, 15)));
  kept.append(static_cast<size_t>(std::max(0, keep - 15)), '0');
  if (keep < 15 && digits[static_cast<size_t>(keep)] >= '5') {
    int position = static_cast<int>(kept.size()) - 1;
    while (position >= 0 && kept[static_cast<size_t>(position)] == '9') kept[static_cast<size_t>(position--)] = '0';
    if (position >= 0) {
      ++kept[static_cast<size_t>(position)];
    } else {
      kept.insert(kept.begin(), '1');
      ++exponent;
    }
  }
  int integer_digits = exponent + 1;
  if (integer_digits > 0) return {kept.substr(0, static_cast<size_t>(integer_digits)), kept.substr(static_cast<size_t>(integer_digits))};
  return {"0", std::string(static_cast<size_t>(-integer_digits), '0') + kept};
}

// The digits of a non-negative number after the pattern, without literals.
std::string Digits(double value, const Pattern& pattern) {
  Decimal rounded = RoundHalfUp(value, pattern.max_decimals);
  std::string integer = rounded.integer;
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

std::string ScientificDigits(double value, const Pattern& pattern) {
  int integer_digits = std::max(1, pattern.min_integer_digits);
  int exponent = value == 0 ? 0 : static_cast<int>(std::floor(std::log10(value))) - (integer_digits - 1);
  // In two steps: 10^exponent alone is 0 or infinite for the smallest and
  // largest doubles, whose mantissas are ordinary numbers.
  double mantissa = value == 0 ? 0 : value / std::pow(10.0, exponent / 2) / std::pow(10.0, exponent - exponent / 2);
  if (!std::isfinite(mantissa)) return NonFiniteText(mantissa);
  // Rounding may carry the mantissa to one more digit: 9.999 becomes 10.00.
  double limit = std::pow(10.0, integer_digits);
  double rounding = std::pow(10.0, pattern.max_decimals);
  if (std::round(mantissa * rounding) / rounding >= limit) {
    mantissa /= 10;
    ++exponent;
  }
  Pattern plain = pattern;
  plain.grouping = false;
  std::string text = Digits(mantissa, plain);
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

std::string ApplyPattern(double value, const Pattern& pattern) {
  double scaled = value * std::pow(100.0, pattern.percents) / std::pow(1000.0, pattern.scale_thousands);
  // Enough "%" (or ",") in a pattern scale any number past a double's range.
  if (!std::isfinite(scaled)) return NonFiniteText(scaled);
  std::string digits = pattern.scientific ? ScientificDigits(scaled, pattern) : Digits(scaled, pattern);
  return pattern.prefix + digits + pattern.suffix;
}

// True when the number shows as zero at the pattern's precision.
bool RoundsToZero(double value, const Pattern& pattern) {
  if (pattern.scientific) return value == 0;
  double scaled = std::fabs(value) * std::pow(100.0, pattern.percents) / std::pow(1000.0, pattern.scale_thousands);
  if (!std::isfinite(scaled)) return false;
  Decimal rounded = RoundHalfUp(scaled, pattern.max_decimals);
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

std::string NamedFormat(std::string_view name) {
  if (EqualsIgnoreCase(name, "Currency")) return "$#,##0.00;($#,##0.00)";
  if (EqualsIgnoreCase(name, "Fixed")) return "0.00";
  if (EqualsIgnoreCase(name, "Standard")) return "#,##0.00";
  if (EqualsIgnoreCase(name, "Percent")) return "0.00%";
  if (EqualsIgnoreCase(name, "Scientific")) return "0.00E+00";
  return std::string(name);
}

std::string FormatNumberWith(double value, std::string_view format_string) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  std::string trimmed = Trim(format_string);
  if (trimmed.empty() || EqualsIgnoreCase(trimmed, "General Number") || EqualsIgnoreCase(trimmed, "General") ||
      EqualsIgnoreCase(trimmed, "Standard Number")) {
    return GeneralNumber(value);
  }
  if (EqualsIgnoreCase(trimmed, "Yes/No")) return value != 0 ? "Yes" : "No";
  if (EqualsIgnoreCase(trimmed, "True/False")) return value != 0 ? "True" : "False";
  if (EqualsIgnoreCase(trimmed, "On/Off")) return value != 0 ? "On" : "Off";
  std::vector<std::string> sections = SplitSections(NamedFormat(trimmed));
  Pattern positive = ReadPattern(sections[0]);
  if (value == 0 && sections.size() > 2 && !sections[2].empty()) return ApplyPattern(0, ReadPattern(sections[2]));
  if (value < 0) {
    if (sections.size() > 1 && !sections[1].empty()) return ApplyPattern(-value, ReadPattern(sections[1]));
    std::string text = ApplyPattern(-value, positive);
    return RoundsToZero(value, positive) ? text : "-" + text;
  }
  return ApplyPattern(value, positive);
}

}  // namespace

std::string FormatCellValue(const Scalar& value, std::string_view format_string) {
  if (const auto* number = std::get_if<double>(&value)) return FormatNumberWith(*number, format_string);
  return ScalarText(value);
}

}  // namespace orvex::engine

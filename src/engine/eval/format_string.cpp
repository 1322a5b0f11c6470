#include "engine/eval/format_string.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cctype>
#include <cstdint>
#include <optional>
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

// A moment as a date format shows it.
struct DateTime {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
};

// Days from 1970-01-01 to the date, proleptic Gregorian (negative before).
int64_t DaysFromCivil(int year, int month, int day) {
  int64_t y = year - (month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t year_of_era = y - era * 400;
  int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

DateTime CivilFromDays(int64_t days) {
  days += 719468;
  int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  int64_t day_of_era = days - era * 146097;
  int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  int64_t month_index = (5 * day_of_year + 2) / 153;
  DateTime date;
  date.day = static_cast<int>(day_of_year - (153 * month_index + 2) / 5 + 1);
  date.month = static_cast<int>(month_index < 10 ? month_index + 3 : month_index - 9);
  date.year = static_cast<int>(year_of_era + era * 400 + (date.month <= 2 ? 1 : 0));
  return date;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "YYYY-MM-DD", optionally followed by " HH:MM[:SS[.fraction]]" (or "T"
// between): how every store gives dates and times. nullopt for anything else.
std::optional<DateTime> ParseIsoDate(std::string_view text) {
  auto number = [&](size_t at, size_t digits, int& out) {
    if (at + digits > text.size()) return false;
    int value = 0;
    for (size_t index = at; index < at + digits; ++index) {
      if (text[index] < '0' || text[index] > '9') return false;
      value = value * 10 + (text[index] - '0');
    }
    out = value;
    return true;
  };
  DateTime date;
  if (text.size() < 10 || text[4] != '-' || text[7] != '-' || !number(0, 4, date.year) ||
      !number(5, 2, date.month) || !number(8, 2, date.day)) {
    return std::nullopt;
  }
  if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > DaysInMonth(date.year, date.month)) {
    return std::nullopt;
  }
  if (text.size() == 10) return date;
  if ((text[10] != ' ' && text[10] != 'T') || text.size() < 16 || text[13] != ':' || !number(11, 2, date.hour) ||
      !number(14, 2, date.minute) || date.hour > 23 || date.minute > 59) {
    return std::nullopt;
  }
  size_t end = 16;
  if (text.size() > 16) {
    if (text[16] != ':' || !number(17, 2, date.second) || date.second > 59) return std::nullopt;
    end = 19;
    if (end < text.size() && text[end] == '.') {
      ++end;
      while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    }
  }
  if (end != text.size()) return std::nullopt;
  return date;
}

// A day count as dates are kept in numbers: whole days since 1899-12-30, the
// fraction the time of day (to the nearest second). nullopt outside years 100 to 9999.
std::optional<DateTime> FromSerial(double serial) {
  if (!std::isfinite(serial) || serial < -657434 || serial >= 2958466) return std::nullopt;
  double whole = std::floor(serial);
  auto seconds = static_cast<int64_t>(std::llround((serial - whole) * 86400.0));
  auto days = static_cast<int64_t>(whole) + DaysFromCivil(1899, 12, 30);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++days;
  }
  DateTime date = CivilFromDays(days);
  date.hour = static_cast<int>(seconds / 3600);
  date.minute = static_cast<int>(seconds / 60 % 60);
  date.second = static_cast<int>(seconds % 60);
  return date;
}

std::string NamedDateFormat(std::string_view name, const DateTime& date) {
  if (EqualsIgnoreCase(name, "General Date")) {
    bool timed = date.hour || date.minute || date.second;
    return timed ? "m/d/yyyy h:nn:ss AM/PM" : "m/d/yyyy";
  }
  if (EqualsIgnoreCase(name, "Long Date")) return "dddd, mmmm d, yyyy";
  if (EqualsIgnoreCase(name, "Medium Date")) return "dd-mmm-yy";
  if (EqualsIgnoreCase(name, "Short Date")) return "m/d/yyyy";
  if (EqualsIgnoreCase(name, "Long Time")) return "h:nn:ss AM/PM";
  if (EqualsIgnoreCase(name, "Medium Time")) return "hh:nn AM/PM";
  if (EqualsIgnoreCase(name, "Short Time")) return "hh:nn";
  return "";
}

bool IsNamedDateFormat(std::string_view name) {
  static const char* const kNames[] = {"General Date", "Long Date", "Medium Date", "Short Date",
                                       "Long Time",    "Medium Time", "Short Time"};
  return std::any_of(std::begin(kNames), std::end(kNames), [&](const char* known) { return EqualsIgnoreCase(name, known); });
}

// One piece of a date pattern: a run of one letter ('d', 'm', 'y', 'h', 'n',
// 's', 'q', 'w', 'c' with its length), an AM/PM marker, or literal text.
struct DateToken {
  char letter = 0;  // 0 for literal text
  int count = 0;
  std::string text;  // the literal, or the AM/PM marker as written
};

const char* const kAmPm[] = {"AM/PM", "am/pm", "A/P", "a/p"};

std::vector<DateToken> ReadDatePattern(std::string_view format) {
  std::vector<DateToken> tokens;
  auto literal = [&](std::string_view text) {
    if (tokens.empty() || tokens.back().letter != 0) tokens.push_back(DateToken{});
    tokens.back().text += text;
  };
  for (size_t index = 0; index < format.size();) {
    char c = format[index];
    bool marker = false;
    for (const char* am_pm : kAmPm) {
      size_t length = std::strlen(am_pm);
      if (format.substr(index, length) == am_pm) {
        tokens.push_back(DateToken{'a', 1, am_pm});
        index += length;
        marker = true;
        break;
      }
    }
    if (marker) continue;
    char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower != 0 && std::strchr("dmyhnsqwc", lower)) {
      size_t end = index;
      while (end < format.size() && std::tolower(static_cast<unsigned char>(format[end])) == lower) ++end;
      tokens.push_back(DateToken{lower, static_cast<int>(end - index), ""});
      index = end;
    } else if (c == '"') {
      size_t end = format.find('"', index + 1);
      if (end == std::string_view::npos) end = format.size();
      literal(format.substr(index + 1, end - index - 1));
      index = std::min(format.size(), end + 1);
    } else if (c == '\\' && index + 1 < format.size()) {
      literal(format.substr(index + 1, 1));
      index += 2;
    } else {
      literal(format.substr(index, 1));
      ++index;
    }
  }
  // An "m" right after hours or right before seconds counts minutes, as "n" does.
  for (size_t index = 0; index < tokens.size(); ++index) {
    if (tokens[index].letter != 'm' || tokens[index].count > 2) continue;
    auto neighbour = [&](int step) -> char {
      for (auto at = static_cast<ptrdiff_t>(index) + step; at >= 0 && at < static_cast<ptrdiff_t>(tokens.size());
           at += step) {
        if (tokens[static_cast<size_t>(at)].letter != 0) return tokens[static_cast<size_t>(at)].letter;
      }
      return 0;
    };
    if (neighbour(-1) == 'h' || neighbour(1) == 's') tokens[index].letter = 'n';
  }
  return tokens;
}

// True when `format` is a date pattern and nothing else: named, or made of
// date letters, AM/PM markers and literal text (other letters only quoted
// or escaped, no digit placeholders), with at least one date letter. Asked
// for every number formatted, so it reads the text once and allocates nothing.
bool IsDatePattern(std::string_view format) {
  bool any = false;
  bool pattern = true;
  for (size_t index = 0; index < format.size() && pattern; ++index) {
    char c = format[index];
    if (c == '"') {
      index = std::min(format.find('"', index + 1), format.size());
    } else if (c == '\\') {
      ++index;
    } else if (c == '0' || c == '#' || c == '%') {
      return false;
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
      bool marker = false;
      for (const char* am_pm : kAmPm) {
        if (format.substr(index, std::strlen(am_pm)) == am_pm) {
          index += std::strlen(am_pm) - 1;
          marker = true;
          break;
        }
      }
      if (marker) continue;
      if (std::strchr("dmyhnsqwc", std::tolower(static_cast<unsigned char>(c)))) {
        any = true;
      } else {
        pattern = false;
      }
    }
  }
  return (pattern && any) || IsNamedDateFormat(format);
}

// `text` without the blanks around it.
std::string_view Unpadded(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Padded(int value, int width) {
  std::string text = std::to_string(value);
  while (static_cast<int>(text.size()) < width) text.insert(text.begin(), '0');
  return text;
}

std::string FormatDate(const DateTime& date, std::string_view format_string) {
  static const char* const kMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                        "July",    "August",   "September", "October", "November", "December"};
  static const char* const kDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  std::string named = NamedDateFormat(format_string, date);
  std::string_view format = named.empty() ? format_string : std::string_view(named);
  std::vector<DateToken> tokens = ReadDatePattern(format);
  bool twelve_hours = std::any_of(tokens.begin(), tokens.end(), [](const DateToken& t) { return t.letter == 'a'; });
  int64_t days = DaysFromCivil(date.year, date.month, date.day);
  int weekday = static_cast<int>(((days + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
  int day_of_year = static_cast<int>(days - DaysFromCivil(date.year, 1, 1)) + 1;
  int first_weekday = static_cast<int>(((DaysFromCivil(date.year, 1, 1) + 4) % 7 + 7) % 7);
  std::string text;
  for (const DateToken& token : tokens) {
    switch (token.letter) {
      case 0: text += token.text; break;
      case 'd':
        if (token.count <= 2) text += Padded(date.day, token.count);
        else if (token.count == 3) text += std::string(kDays[weekday], 3);
        else if (token.count == 4) text += kDays[weekday];
        else text += FormatDate(date, token.count == 5 ? "Short Date" : "Long Date");
        break;
      case 'm':
        if (token.count <= 2) text += Padded(date.month, token.count);
        else if (token.count == 3) text += std::string(kMonths[date.month - 1], 3);
        else text += kMonths[date.month - 1];
        break;
      case 'y':
        if (token.count == 1) text += std::to_string(day_of_year);
        else if (token.count == 2) text += Padded(date.year % 100, 2);
        else text += Padded(date.year, 4);
        break;
      case 'h': {
        int hour = twelve_hours ? (date.hour % 12 == 0 ? 12 : date.hour % 12) : date.hour;
        text += Padded(hour, std::min(token.count, 2));
        break;
      }
      case 'n': text += Padded(date.minute, std::min(token.count, 2)); break;
      case 's': text += Padded(date.second, std::min(token.count, 2)); break;
      case 'q': text += std::to_string((date.month - 1) / 3 + 1); break;
      case 'w':
        text += std::to_string(token.count == 1 ? weekday + 1 : (day_of_year - 1 + first_weekday) / 7 + 1);
        break;
      case 'c': text += FormatDate(date, "General Date"); break;
      case 'a': {
        bool pm = date.hour >= 12;
        std::string_view marker = token.text;
        size_t slash = marker.find('/');
        text += pm ? marker.substr(slash + 1) : marker.substr(0, slash);
        break;
      }
      default: break;
    }
  }
  return text;
}

std::string FormatNumberWith(double value, std::string_view format_string) {
  if (!std::isfinite(value)) return NonFiniteText(value);
  std::string_view trimmed = Unpadded(format_string);
  if (IsDatePattern(trimmed)) {
    if (auto date = FromSerial(value)) return FormatDate(*date, trimmed);
  }
  return FormatFigure({value < 0, DigitsOf(std::fabs(value)), value, nullptr}, format_string);
}

std::string FormatDecimalWith(const Decimal& value, std::string_view format_string) {
  return FormatFigure({value.IsNegative(), DigitsOf(value), value.ToDouble(), &value}, format_string);
}

}  // namespace

std::string FormatCellValue(const Scalar& value, std::string_view format_string) {
  if (const auto* number = std::get_if<double>(&value)) return FormatNumberWith(*number, format_string);
  if (const auto* exact = std::get_if<Decimal>(&value)) {
    std::string_view trimmed = Unpadded(format_string);
    if (IsDatePattern(trimmed)) {
      if (auto date = FromSerial(exact->ToDouble())) return FormatDate(*date, trimmed);
    }
    return FormatDecimalWith(*exact, format_string);
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    std::string_view trimmed = Unpadded(format_string);
    if (IsDatePattern(trimmed)) {
      if (auto date = ParseIsoDate(*text)) return FormatDate(*date, trimmed);
    }
  }
  return ScalarText(value);
}

}  // namespace orvex::engine

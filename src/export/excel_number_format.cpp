#include "export/excel_number_format.h"

#include <string>

#include "platform/text.h"

namespace orvex::exports {

namespace {

// Characters a spreadsheet number format shows as themselves without quotes.
bool IsPlainLiteral(char c) {
  switch (c) {
    case '$':
    case '-':
    case '+':
    case '/':
    case '(':
    case ')':
    case ':':
    case ' ':
      return true;
    default:
      return false;
  }
}

// Appends `literal` to `out` in quotes; a quote itself goes between them escaped.
void AppendQuoted(std::string& out, const std::string& literal) {
  size_t start = 0;
  while (start < literal.size()) {
    size_t quote = literal.find('"', start);
    if (quote == std::string::npos) quote = literal.size();
    if (quote > start) out += '"' + literal.substr(start, quote - start) + '"';
    if (quote < literal.size()) out += "\\\"";
    start = quote + 1;
  }
}

std::optional<std::string> TranslatePattern(std::string_view pattern) {
  std::string out;
  std::string literal;  // pending characters to show as they are
  int sections = 1;
  auto flush = [&] {
    AppendQuoted(out, literal);
    literal.clear();
  };
  for (size_t index = 0; index < pattern.size(); ++index) {
    char c = pattern[index];
    if (c == '0' || c == '#' || c == '.' || c == ',' || c == '%' || c == ';') {
      flush();
      if (c == ';' && ++sections > 4) return std::nullopt;
      out += c;
    } else if ((c == 'E' || c == 'e') && index + 1 < pattern.size() &&
               (pattern[index + 1] == '+' || pattern[index + 1] == '-')) {
      flush();
      out += 'E';
      out += pattern[++index];
    } else if (c == '"') {
      size_t end = pattern.find('"', index + 1);
      if (end == std::string_view::npos) end = pattern.size();
      literal += pattern.substr(index + 1, end - index - 1);
      index = end;
    } else if (c == '\\' && index + 1 < pattern.size()) {
      literal += pattern[++index];
    } else if (IsPlainLiteral(c) && literal.empty()) {
      out += c;
    } else {
      literal += c;
    }
  }
  flush();
  return out;
}

}  // namespace

std::optional<std::string> ExcelNumberFormat(std::string_view format_string) {
  std::string trimmed = Trim(format_string);
  if (trimmed.empty() || EqualsIgnoreCase(trimmed, "General Number") || EqualsIgnoreCase(trimmed, "General") ||
      EqualsIgnoreCase(trimmed, "Standard Number")) {
    return std::nullopt;
  }
  if (EqualsIgnoreCase(trimmed, "Currency")) return "$#,##0.00;($#,##0.00)";
  if (EqualsIgnoreCase(trimmed, "Fixed")) return "0.00";
  if (EqualsIgnoreCase(trimmed, "Standard")) return "#,##0.00";
  if (EqualsIgnoreCase(trimmed, "Percent")) return "0.00%";
  if (EqualsIgnoreCase(trimmed, "Scientific")) return "0.00E+00";
  // Positive; negative; zero: a negative number is "true" too.
  if (EqualsIgnoreCase(trimmed, "Yes/No")) return "\"Yes\";\"Yes\";\"No\"";
  if (EqualsIgnoreCase(trimmed, "True/False")) return "\"True\";\"True\";\"False\"";
  if (EqualsIgnoreCase(trimmed, "On/Off")) return "\"On\";\"On\";\"Off\"";
  return TranslatePattern(trimmed);
}

}  // namespace orvex::exports

#include "xmla/mdx_clauses.h"

#include <cctype>

#include "platform/text.h"

namespace orvex::xmla {
namespace {

struct Token {
  enum class Kind { kWord, kBracketed, kNumber, kSymbol, kString } kind;
  std::string text;  // bracketed names without their brackets, "]]" undone
};

std::vector<Token> Tokenize(std::string_view mdx) {
  std::vector<Token> tokens;
  size_t at = 0;
  while (at < mdx.size()) {
    char c = mdx[at];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++at;
    } else if (mdx.substr(at, 2) == "--" || mdx.substr(at, 2) == "//") {
      while (at < mdx.size() && mdx[at] != '\n') ++at;
    } else if (mdx.substr(at, 2) == "/*") {
      size_t end = mdx.find("*/", at + 2);
      at = end == std::string_view::npos ? mdx.size() : end + 2;
    } else if (c == '[') {
      std::string name;
      ++at;
      while (at < mdx.size()) {
        if (mdx[at] == ']') {
          if (at + 1 < mdx.size() && mdx[at + 1] == ']') {
            name += ']';
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        name += mdx[at++];
      }
      tokens.push_back({Token::Kind::kBracketed, name});
    } else if (c == '"' || c == '\'') {
      size_t end = at + 1;
      while (end < mdx.size() && mdx[end] != c) ++end;
      tokens.push_back({Token::Kind::kString, std::string(mdx.substr(at + 1, end - at - 1))});
      at = end + 1;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80) {
      size_t end = at;
      while (end < mdx.size() && (std::isalnum(static_cast<unsigned char>(mdx[end])) || mdx[end] == '_' ||
                                  static_cast<unsigned char>(mdx[end]) >= 0x80)) {
        ++end;
      }
      tokens.push_back({Token::Kind::kWord, std::string(mdx.substr(at, end - at))});
      at = end;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      size_t end = at;
      while (end < mdx.size() && std::isdigit(static_cast<unsigned char>(mdx[end]))) ++end;
      tokens.push_back({Token::Kind::kNumber, std::string(mdx.substr(at, end - at))});
      at = end;
    } else {
      tokens.push_back({Token::Kind::kSymbol, std::string(1, c)});
      ++at;
    }
  }
  return tokens;
}

bool IsWord(const std::vector<Token>& tokens, size_t index, std::string_view word) {
  return index < tokens.size() && tokens[index].kind == Token::Kind::kWord &&
         EqualsIgnoreCase(tokens[index].text, word);
}

bool IsSymbol(const std::vector<Token>& tokens, size_t index, std::string_view symbol) {
  return index < tokens.size() && tokens[index].kind == Token::Kind::kSymbol && tokens[index].text == symbol;
}

// A list of names separated by commas, each a dotted compound name; moves `index` past it.
std::vector<std::string> NameList(const std::vector<Token>& tokens, size_t& index) {
  std::vector<std::string> names;
  while (index < tokens.size()) {
    std::string name;
    while (index < tokens.size() &&
           (tokens[index].kind == Token::Kind::kWord || tokens[index].kind == Token::Kind::kBracketed)) {
      name += tokens[index].kind == Token::Kind::kBracketed ? "[" + ReplaceAll(tokens[index].text, "]", "]]") + "]"
                                                           : tokens[index].text;
      ++index;
      if (!IsSymbol(tokens, index, ".")) break;
      name += ".";
      ++index;
    }
    if (name.empty()) break;
    names.push_back(name);
    if (!IsSymbol(tokens, index, ",")) break;
    ++index;
  }
  return names;
}

// The axis number after ON: COLUMNS, ROWS, ..., AXIS(n) or n; -1 when none.
int AxisNumber(const std::vector<Token>& tokens, size_t index) {
  static const char* const kNames[] = {"COLUMNS", "ROWS", "PAGES", "SECTIONS", "CHAPTERS"};
  for (int number = 0; number < 5; ++number) {
    if (IsWord(tokens, index, kNames[number])) return number;
  }
  if (IsWord(tokens, index, "AXIS")) index += 2;
  if (index < tokens.size() && tokens[index].kind == Token::Kind::kNumber && tokens[index].text.size() < 4) {
    return std::stoi(tokens[index].text);
  }
  return -1;
}

}  // namespace

MdxClauses ScanMdxClauses(std::string_view mdx) {
  MdxClauses clauses;
  std::vector<Token> tokens = Tokenize(mdx);
  clauses.drillthrough = IsWord(tokens, 0, "DRILLTHROUGH");
  int depth = 0;
  for (size_t index = 0; index < tokens.size(); ++index) {
    if (IsSymbol(tokens, index, "(") || IsSymbol(tokens, index, "{")) ++depth;
    if (IsSymbol(tokens, index, ")") || IsSymbol(tokens, index, "}")) --depth;
    if (IsWord(tokens, index, "DIMENSION") && IsWord(tokens, index + 1, "PROPERTIES")) {
      index += 2;
      std::vector<std::string> names = NameList(tokens, index);
      if (IsWord(tokens, index, "ON")) clauses.dimension_properties[AxisNumber(tokens, index + 1)] = names;
      --index;
    } else if (IsWord(tokens, index, "CELL") && IsWord(tokens, index + 1, "PROPERTIES") && depth == 0) {
      index += 2;
      clauses.cell_properties.clear();
      for (const auto& name : NameList(tokens, index)) clauses.cell_properties.push_back(ToUpper(LastNamePart(name)));
      --index;
    } else if (IsWord(tokens, index, "FROM") && clauses.cube.empty() && index + 1 < tokens.size()) {
      // A subselect's FROM ( ... ) names its cube further in; the first plain name wins.
      const Token& next = tokens[index + 1];
      if (next.kind == Token::Kind::kBracketed || next.kind == Token::Kind::kWord) clauses.cube = next.text;
    }
  }
  return clauses;
}

std::string LastNamePart(std::string_view name) {
  std::string text(name);
  if (!text.empty() && text.back() == ']') {
    size_t open = text.rfind("].[");
    std::string last = open == std::string::npos ? text.substr(1, text.size() - 2) : text.substr(open + 3);
    if (open != std::string::npos) last.pop_back();
    return ReplaceAll(last, "]]", "]");
  }
  size_t dot = text.rfind('.');
  return dot == std::string::npos ? text : text.substr(dot + 1);
}

}  // namespace orvex::xmla

#include "engine/mdx/lexer.h"

#include "engine/common/engine_error.h"

namespace orvex::engine::mdx {

namespace {

bool IsWordStart(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || u >= 0x80;
}

bool IsWordPart(char c) { return IsWordStart(c) || (c >= '0' && c <= '9') || c == '$'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string DescribePosition(const SourcePos& pos) {
  return "line " + std::to_string(pos.line) + ", column " + std::to_string(pos.column);
}

char Lexer::Peek(size_t ahead) const {
  size_t at = offset_ + ahead;
  return at < text_.size() ? text_[at] : '\0';
}

void Lexer::Advance(size_t count) {
  for (size_t step = 0; step < count && !AtEnd(); ++step) {
    if (text_[offset_] == '\n') {
      ++pos_.line;
      pos_.column = 1;
    } else {
      ++pos_.column;
    }
    ++offset_;
    pos_.offset = static_cast<uint32_t>(offset_);
  }
}

void Lexer::SkipBlanksAndComments() {
  while (!AtEnd()) {
    char c = Peek();
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
      Advance();
    } else if ((c == '-' && Peek(1) == '-') || (c == '/' && Peek(1) == '/')) {
      while (!AtEnd() && Peek() != '\n') Advance();
    } else if (c == '/' && Peek(1) == '*') {
      SourcePos start = Here();
      Advance(2);
      while (!AtEnd() && !(Peek() == '*' && Peek(1) == '/')) Advance();
      if (AtEnd()) throw EngineError("MDX syntax error at " + DescribePosition(start) + ": the comment is not closed.");
      Advance(2);
    } else {
      return;
    }
  }
}

std::vector<Token> Lexer::Tokenize() {
  std::vector<Token> tokens;
  while (true) {
    SkipBlanksAndComments();
    SourcePos start = Here();
    if (AtEnd()) {
      tokens.push_back(Token{TokenKind::kEnd, "", start, nullptr});
      return tokens;
    }
    char c = Peek();
    if (c == '[') {
      tokens.push_back(ReadBracketed(TokenKind::kQuotedIdentifier, start));
    } else if (c == '&' && Peek(1) == '[') {
      Advance();
      tokens.push_back(ReadBracketed(TokenKind::kKeyIdentifier, start));
    } else if (c == '\'' || c == '"') {
      tokens.push_back(ReadString(start));
    } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
      tokens.push_back(ReadNumber(start));
    } else if (IsWordStart(c)) {
      tokens.push_back(ReadWord(start));
    } else {
      tokens.push_back(ReadSymbol(start));
    }
  }
}

Token Lexer::ReadBracketed(TokenKind kind, SourcePos start) {
  Advance();  // the "["
  std::string name;
  while (true) {
    if (AtEnd()) {
      throw EngineError("MDX syntax error at " + DescribePosition(start) + ": the name is not closed with ']'.");
    }
    char c = Peek();
    if (c == ']') {
      if (Peek(1) == ']') {  // a doubled "]" stands for one inside a name
        name.push_back(']');
        Advance(2);
        continue;
      }
      Advance();
      return Token{kind, std::move(name), start, nullptr};
    }
    name.push_back(c);
    Advance();
  }
}

Token Lexer::ReadString(SourcePos start) {
  char quote = Peek();
  Advance();
  std::string content;
  auto positions = std::make_shared<std::vector<SourcePos>>();
  while (true) {
    if (AtEnd()) {
      throw EngineError("MDX syntax error at " + DescribePosition(start) + ": the string is not closed with " +
                           std::string(1, quote) + ".");
    }
    char c = Peek();
    positions->push_back(Here());
    if (c == quote) {
      if (Peek(1) == quote) {
        content.push_back(quote);
        Advance(2);
        continue;
      }
      Advance();
      return Token{TokenKind::kString, std::move(content), start, std::move(positions)};
    }
    content.push_back(c);
    Advance();
  }
}

Token Lexer::ReadNumber(SourcePos start) {
  size_t begin = offset_;
  while (IsDigit(Peek())) Advance();
  if (Peek() == '.' && IsDigit(Peek(1))) {
    Advance();
    while (IsDigit(Peek())) Advance();
  }
  if ((Peek() == 'e' || Peek() == 'E') &&
      (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
    Advance(2);
    while (IsDigit(Peek())) Advance();
  }
  return Token{TokenKind::kNumber, std::string(text_.substr(begin, offset_ - begin)), start, nullptr};
}

Token Lexer::ReadWord(SourcePos start) {
  size_t begin = offset_;
  while (IsWordPart(Peek())) Advance();
  return Token{TokenKind::kIdentifier, std::string(text_.substr(begin, offset_ - begin)), start, nullptr};
}

Token Lexer::ReadSymbol(SourcePos start) {
  char c = Peek();
  char next = Peek(1);
  if ((c == '<' && (next == '>' || next == '=')) || (c == '>' && next == '=') || (c == '|' && next == '|')) {
    Advance(2);
    return Token{TokenKind::kSymbol, std::string{c, next}, start, nullptr};
  }
  static constexpr std::string_view kSingle = "(){},.:+-*/=<>^";
  if (kSingle.find(c) == std::string_view::npos) {
    throw EngineError("MDX syntax error at " + DescribePosition(start) + ": unexpected character '" +
                         std::string(1, c) + "'.");
  }
  Advance();
  return Token{TokenKind::kSymbol, std::string(1, c), start, nullptr};
}

}  // namespace orvex::engine::mdx

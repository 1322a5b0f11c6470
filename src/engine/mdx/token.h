#pragma once
#include <cstdint>
#include <string>

namespace orvex::engine::mdx {

// Where a token or syntax node starts in the statement text: the byte offset
// and the 1-based line and column (columns count bytes).
struct SourcePos {
  uint32_t offset = 0;
  uint32_t line = 1;
  uint32_t column = 1;
};

enum class TokenKind {
  kEnd,
  kIdentifier,        // a bare word: SELECT, Sales, Children
  kQuotedIdentifier,  // [Unit Sales], with "]]" already undoubled
  kKeyIdentifier,     // &[1997], a member key
  kNumber,
  kString,            // 'text' or "text", with doubled quotes undoubled
  kSymbol,            // ( ) { } , . : + - * / = <> < > <= >= ||
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // the identifier, string content, number text or symbol
  SourcePos pos;
};

}  // namespace orvex::engine::mdx

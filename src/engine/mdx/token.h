#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
  kSymbol,            // ( ) { } , . : + - * / ^ = <> < > <= >= ||
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string text;  // the identifier, string content, number text or symbol
  SourcePos pos;
  // For a string: where each byte of `text` (and the closing quote) stands in
  // the statement, so that a formula in quotes reports places in the statement.
  std::shared_ptr<const std::vector<SourcePos>> text_positions;
};

}  // namespace orvex::engine::mdx

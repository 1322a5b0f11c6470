#pragma once
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/mdx/token.h"

namespace orvex::engine::mdx {

// Splits an MDX text into tokens. Blanks, line ends and comments ("--" or "//"
// to the end of the line, "/* ... */") separate tokens and are dropped.
// Keywords are returned as identifiers; the parser decides what they mean.
class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}
  // Lexes `text` whose bytes stand at `positions` in a larger statement (one
  // more entry for the end); positions in tokens and errors are those.
  Lexer(std::string_view text, std::shared_ptr<const std::vector<SourcePos>> positions)
      : text_(text), positions_(std::move(positions)) {}

  // Every token, ending with one kEnd token. Throws ComError (the engine's error number)
  // naming the line and column of an unterminated name, string or comment, or
  // of a character that starts no token.
  std::vector<Token> Tokenize();

 private:
  [[nodiscard]] bool AtEnd() const { return offset_ >= text_.size(); }
  [[nodiscard]] char Peek(size_t ahead = 0) const;
  void Advance(size_t count = 1);
  [[nodiscard]] SourcePos Here() const {
    return positions_ ? (*positions_)[std::min(offset_, positions_->size() - 1)] : pos_;
  }
  void SkipBlanksAndComments();
  Token ReadBracketed(TokenKind kind, SourcePos start);
  Token ReadString(SourcePos start);
  Token ReadNumber(SourcePos start);
  Token ReadWord(SourcePos start);
  Token ReadSymbol(SourcePos start);

  std::string_view text_;
  std::shared_ptr<const std::vector<SourcePos>> positions_;
  size_t offset_ = 0;
  SourcePos pos_;
};

// "line 3, column 14": how errors name a place in a statement.
std::string DescribePosition(const SourcePos& pos);

}  // namespace orvex::engine::mdx

#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/mdx/ast.h"

namespace orvex::engine::mdx {

// A recursive-descent parser for the MDX the engine speaks (see docs/mdx.md).
// Keywords and function names are recognised without regard to case. Every
// failure throws ComError (the engine's error number) saying what was expected and where
// ("line 1, column 42"). The results own their trees.
class Parser {
 public:
  static constexpr size_t kMaxStatementBytes = 4 << 20;
  static constexpr size_t kMaxTokens = 500000;
  static constexpr int kMaxNesting = 200;
  // The function names CASE is parsed into: no statement can write them as
  // calls, since they hold a blank. Searched CASE: the conditions and results
  // in turn, then the ELSE result when there is one; simple CASE: the same
  // after the value compared.
  static constexpr std::string_view kSearchedCase = "CASE WHEN";
  static constexpr std::string_view kSimpleCase = "CASE VALUE";

  // A whole statement: [WITH ...] SELECT [axes] FROM cube [WHERE slicer], or
  // DRILLTHROUGH [MAXROWS n] [FIRSTROWSET m] <that> [RETURN column, ...].
  static std::unique_ptr<Statement> ParseStatement(std::string_view text);
  // One expression, such as the formula of a calculated member.
  static NodePtr ParseExpression(std::string_view text);

 private:
  // `end` names the place after the last token in messages.
  Parser(std::vector<Token> tokens, const char* end) : tokens_(std::move(tokens)), end_(end) {}

  std::unique_ptr<Statement> WholeStatement();
  void Formulas(mdx::Statement& statement);
  NodePtr FormulaBody();
  void Axes(mdx::Statement& statement);
  AxisClause Axis();
  int AxisNumber();
  std::vector<NamePart> CompoundName(const char* what);
  // The whole number above 0 after `keyword` (MAXROWS, FIRSTROWSET).
  int64_t PositiveCount(std::string_view keyword);
  // The name part at the current token, with the keys after a key (a compound key).
  NamePart TakeNamePart();

  NodePtr Expression();
  NodePtr Or();
  NodePtr And();
  NodePtr Not();
  NodePtr Comparison();
  NodePtr Additive();
  NodePtr Multiplicative();
  NodePtr Signed();
  NodePtr Power();
  NodePtr Range();
  NodePtr Case();
  NodePtr Postfix();
  NodePtr Primary();
  std::vector<NodePtr> Arguments();
  // Records `node`'s height and counts it; fails when the tree grows past the
  // height or node limits, whatever built it (operator and postfix chains
  // build deep trees without the parser recursing).
  NodePtr Built(NodePtr node);

  const Token& Current() const { return tokens_[index_]; }
  const Token& Next() const { return tokens_[index_ + 1 < tokens_.size() ? index_ + 1 : index_]; }
  const Token& Take() { return tokens_[index_ < tokens_.size() - 1 ? index_++ : index_]; }
  bool AtKeyword(std::string_view keyword) const;
  bool AtSymbol(std::string_view symbol) const;
  bool TakeKeyword(std::string_view keyword);
  bool TakeSymbol(std::string_view symbol);
  void ExpectKeyword(std::string_view keyword, std::string_view context);
  void ExpectSymbol(std::string_view symbol, std::string_view context);
  [[noreturn]] void Fail(std::string_view expected) const;
  void ExpectEnd();

  // Counts how deep the expression being read is nested; past a limit the
  // statement fails instead of the parser (or the evaluator) running out of stack.
  class Nesting {
   public:
    explicit Nesting(Parser& parser);
    ~Nesting() { --parser_.depth_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    Parser& parser_;
  };

  std::vector<Token> tokens_;
  const char* end_;
  size_t index_ = 0;
  int depth_ = 0;
  size_t nodes_ = 0;
};

}  // namespace orvex::engine::mdx

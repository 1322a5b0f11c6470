#include "engine/mdx/parser.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "engine/mdx/lexer.h"
#include "engine/common/engine_error.h"
#include "platform/text.h"

namespace orvex::engine::mdx {

namespace {

// Words that end an expression or start a clause; they never begin a name.
constexpr std::array<std::string_view, 15> kReserved = {"SELECT", "FROM", "WHERE", "ON", "WITH", "AS", "NON", "AND",
                                                        "OR", "XOR", "NOT", "IS", "MEMBER", "CELL", "DIMENSION"};

// Bare words after a dot that read as a property of what stands before them
// rather than as the next part of a name. A member literally called so must be
// written in brackets.
constexpr std::array<std::string_view, 23> kProperties = {
    "Children",  "Members",     "AllMembers", "Parent",      "FirstChild", "LastChild",  "PrevMember", "NextMember",
    "Siblings",  "CurrentMember", "DefaultMember", "Level",  "Hierarchy",  "Dimension",  "Name",       "UniqueName",
    "Caption",   "Count",       "Ordinal",    "Value",       "FirstSibling", "LastSibling", "DataMember"};

template <size_t N>
bool IsOneOf(const std::array<std::string_view, N>& words, std::string_view word) {
  return std::any_of(words.begin(), words.end(), [&](std::string_view candidate) {
    return EqualsIgnoreCase(candidate, word);
  });
}

std::string DescribeToken(const Token& token, const char* end) {
  switch (token.kind) {
    case TokenKind::kEnd: return end;
    case TokenKind::kQuotedIdentifier: return "'[" + token.text + "]'";
    case TokenKind::kKeyIdentifier: return "'&[" + token.text + "]'";
    case TokenKind::kString: return "the string '" + token.text + "'";
    default: return "'" + token.text + "'";
  }
}

constexpr const char* kEndOfStatement = "the end of the statement";

std::vector<Token> CheckedTokens(std::vector<Token> tokens) {
  if (tokens.size() > Parser::kMaxTokens) {
    throw EngineError("The MDX statement has " + std::to_string(tokens.size() - 1) +
                      " tokens, more than the limit of " + std::to_string(Parser::kMaxTokens) + ".");
  }
  return tokens;
}

std::vector<Token> Tokens(std::string_view text) {
  if (text.size() > Parser::kMaxStatementBytes) {
    throw EngineError("The MDX statement is " + std::to_string(text.size()) + " bytes long, more than the limit of " +
                      std::to_string(Parser::kMaxStatementBytes) + ".");
  }
  return CheckedTokens(Lexer(text).Tokenize());
}

// True when a number literal out of a double's range is too small rather
// than too large: its magnitude is below 1, judged from where its first
// significant digit stands and its exponent.
bool Underflows(std::string_view number) {
  size_t exponent_at = number.find_first_of("eE");
  std::string_view mantissa = number.substr(0, exponent_at);
  size_t point = std::min(mantissa.find('.'), mantissa.size());
  size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return true;
  long magnitude = first < point ? static_cast<long>(point - first) : -static_cast<long>(first - point - 1);
  if (exponent_at != std::string_view::npos) {
    std::string_view exponent = number.substr(exponent_at + 1);
    bool negative = !exponent.empty() && exponent.front() == '-';
    if (!exponent.empty() && (exponent.front() == '-' || exponent.front() == '+')) exponent.remove_prefix(1);
    long value = 0;
    for (char digit : exponent) value = std::min(value * 10 + (digit - '0'), 100000L);
    magnitude += negative ? -value : value;
  }
  return magnitude <= 0;
}

// The height of `node` from its children's, which are already recorded.
int HeightOf(const Node& node) {
  int below = 0;
  auto over = [&](const std::vector<NodePtr>& children) {
    for (const NodePtr& child : children) below = std::max(below, child->height);
  };
  switch (node.kind) {
    case NodeKind::kCall: over(static_cast<const Call&>(node).args); break;
    case NodeKind::kTuple: over(static_cast<const TupleNode&>(node).elements); break;
    case NodeKind::kSet: over(static_cast<const SetNode&>(node).elements); break;
    case NodeKind::kUnary: below = static_cast<const Unary&>(node).operand->height; break;
    case NodeKind::kBinary: {
      const auto& binary = static_cast<const Binary&>(node);
      below = std::max(binary.left->height, binary.right->height);
      break;
    }
    default: break;
  }
  return below + 1;
}

bool IsNamePart(const Token& token) {
  return token.kind == TokenKind::kIdentifier || token.kind == TokenKind::kQuotedIdentifier ||
         token.kind == TokenKind::kKeyIdentifier;
}

NamePart ToNamePart(const Token& token) {
  return NamePart{token.text, token.kind != TokenKind::kIdentifier, token.kind == TokenKind::kKeyIdentifier, {}};
}

}  // namespace

std::unique_ptr<Statement> Parser::ParseStatement(std::string_view text) {
  Parser parser(Tokens(text), kEndOfStatement);
  return parser.WholeStatement();
}

NodePtr Parser::ParseExpression(std::string_view text) {
  Parser parser(Tokens(text), kEndOfStatement);
  NodePtr expression = parser.Expression();
  parser.ExpectEnd();
  return expression;
}

bool Parser::AtKeyword(std::string_view keyword) const {
  return Current().kind == TokenKind::kIdentifier && EqualsIgnoreCase(Current().text, keyword);
}

bool Parser::AtSymbol(std::string_view symbol) const {
  return Current().kind == TokenKind::kSymbol && Current().text == symbol;
}

bool Parser::TakeKeyword(std::string_view keyword) {
  if (!AtKeyword(keyword)) return false;
  Take();
  return true;
}

bool Parser::TakeSymbol(std::string_view symbol) {
  if (!AtSymbol(symbol)) return false;
  Take();
  return true;
}

void Parser::ExpectKeyword(std::string_view keyword, std::string_view context) {
  if (!TakeKeyword(keyword)) Fail(std::string(keyword) + std::string(context));
}

void Parser::ExpectSymbol(std::string_view symbol, std::string_view context) {
  if (!TakeSymbol(symbol)) Fail("'" + std::string(symbol) + "'" + std::string(context));
}

void Parser::Fail(std::string_view expected) const {
  throw EngineError("MDX syntax error at " + DescribePosition(Current().pos) + ": expected " +
                       std::string(expected) + ", found " + DescribeToken(Current(), end_) + ".");
}

void Parser::ExpectEnd() {
  if (Current().kind != TokenKind::kEnd) Fail(end_);
}

std::unique_ptr<Statement> Parser::WholeStatement() {
  auto statement = std::make_unique<mdx::Statement>();
  if (AtKeyword("DRILLTHROUGH")) {
    statement->drillthrough = std::make_unique<DrillthroughClause>();
    statement->drillthrough->pos = Current().pos;
    Take();
    if (TakeKeyword("MAXROWS")) statement->drillthrough->max_rows = PositiveCount("MAXROWS");
    if (TakeKeyword("FIRSTROWSET")) statement->drillthrough->first_rowset = PositiveCount("FIRSTROWSET");
  }
  if (TakeKeyword("WITH")) Formulas(*statement);
  ExpectKeyword("SELECT", AtKeyword("WITH") ? "" : " (or WITH)");
  if (!AtKeyword("FROM")) Axes(*statement);
  ExpectKeyword("FROM", " after the axes");
  statement->cube_pos = Current().pos;
  statement->cube = CompoundName("a cube name after FROM");
  if (TakeKeyword("WHERE")) statement->slicer = Expression();
  if (TakeKeyword("CELL")) {
    ExpectKeyword("PROPERTIES", " after CELL");
    static constexpr std::array<std::string_view, 12> kCellProperties = {
        "VALUE",     "FORMATTED_VALUE", "FORMAT_STRING", "FORE_COLOR", "BACK_COLOR",  "CELL_ORDINAL",
        "FONT_NAME", "FONT_SIZE",       "FONT_FLAGS",    "LANGUAGE",   "ACTION_TYPE", "UPDATEABLE"};
    do {
      SourcePos at = Current().pos;
      std::vector<NamePart> name = CompoundName("a cell property name");
      if (name.size() != 1 || !IsOneOf(kCellProperties, name.front().text)) {
        throw EngineError("MDX error at " + DescribePosition(at) + ": " + FormatName(name) +
                          " is not a cell property (VALUE, FORMATTED_VALUE, FORMAT_STRING, FORE_COLOR, BACK_COLOR, ...).");
      }
      statement->cell_properties.push_back(ToUpper(name.front().text));
    } while (TakeSymbol(","));
  }
  if (statement->drillthrough && TakeKeyword("RETURN")) {
    do {
      statement->drillthrough->columns.push_back(Expression());
    } while (TakeSymbol(","));
  }
  ExpectEnd();
  return statement;
}

int64_t Parser::PositiveCount(std::string_view keyword) {
  const Token& token = Current();
  int64_t count = 0;
  if (token.kind == TokenKind::kNumber) {
    auto [end, error] = std::from_chars(token.text.data(), token.text.data() + token.text.size(), count);
    if (error != std::errc() || end != token.text.data() + token.text.size()) count = 0;
  }
  if (count <= 0) Fail("a whole number above 0 after " + std::string(keyword));
  Take();
  return count;
}

void Parser::Formulas(mdx::Statement& statement) {
  do {
    Formula formula;
    formula.pos = Current().pos;
    if (TakeKeyword("MEMBER")) {
      formula.kind = Formula::Kind::kMember;
    } else if (TakeKeyword("SET")) {
      formula.kind = Formula::Kind::kSet;
    } else {
      Fail("MEMBER or SET");
    }
    formula.name = CompoundName(formula.kind == Formula::Kind::kMember ? "a member name" : "a set name");
    ExpectKeyword("AS", " after the name " + FormatName(formula.name));
    formula.expression = FormulaBody();
    if (formula.kind == Formula::Kind::kMember) {
      while (TakeSymbol(",")) {
        if (!IsNamePart(Current())) Fail("a property name such as FORMAT_STRING");
        FormulaProperty property{Take().text, nullptr};
        ExpectSymbol("=", " after the property name " + property.name);
        property.value = Expression();
        formula.properties.push_back(std::move(property));
      }
    }
    statement.formulas.push_back(std::move(formula));
  } while (AtKeyword("MEMBER") || AtKeyword("SET"));
}

NodePtr Parser::FormulaBody() {
  bool quoted = Current().kind == TokenKind::kString &&
                ((Next().kind == TokenKind::kSymbol && Next().text == ",") || Next().kind == TokenKind::kEnd ||
                 (Next().kind == TokenKind::kIdentifier &&
                  (EqualsIgnoreCase(Next().text, "MEMBER") || EqualsIgnoreCase(Next().text, "SET") ||
                   EqualsIgnoreCase(Next().text, "SELECT"))));
  if (!quoted) return Expression();
  // The formula in quotes is parsed where it stands, so that its places are the statement's.
  const Token& body = Take();
  Parser formula(CheckedTokens(Lexer(body.text, body.text_positions).Tokenize()), "the closing quote");
  NodePtr expression = formula.Expression();
  formula.ExpectEnd();
  return expression;
}

void Parser::Axes(mdx::Statement& statement) {
  do {
    statement.axes.push_back(Axis());
  } while (TakeSymbol(","));
  std::stable_sort(statement.axes.begin(), statement.axes.end(),
                   [](const AxisClause& a, const AxisClause& b) { return a.number < b.number; });
  for (size_t index = 0; index < statement.axes.size(); ++index) {
    const AxisClause& axis = statement.axes[index];
    if (index > 0 && statement.axes[index - 1].number == axis.number) {
      throw EngineError("MDX error at " + DescribePosition(axis.pos) + ": axis " + std::to_string(axis.number) +
                           " is given twice.");
    }
    if (axis.number != static_cast<int>(index)) {
      throw EngineError("MDX error at " + DescribePosition(axis.pos) + ": axis " + std::to_string(axis.number) +
                           " is given without axis " + std::to_string(index) + ".");
    }
  }
}

AxisClause Parser::Axis() {
  AxisClause axis;
  axis.pos = Current().pos;
  if (TakeKeyword("NON")) {
    ExpectKeyword("EMPTY", " after NON");
    axis.non_empty = true;
  }
  axis.set = Expression();
  if (TakeKeyword("DIMENSION")) {
    ExpectKeyword("PROPERTIES", " after DIMENSION");
    do {
      CompoundName("a property name");
    } while (TakeSymbol(","));
  }
  ExpectKeyword("ON", " after the axis set");
  axis.number = AxisNumber();
  return axis;
}

int Parser::AxisNumber() {
  static constexpr std::array<std::string_view, 5> kAxisNames = {"COLUMNS", "ROWS", "PAGES", "SECTIONS", "CHAPTERS"};
  for (size_t number = 0; number < kAxisNames.size(); ++number) {
    if (TakeKeyword(kAxisNames[number])) return static_cast<int>(number);
  }
  bool call = TakeKeyword("AXIS");
  if (call) ExpectSymbol("(", " after AXIS");
  if (Current().kind != TokenKind::kNumber) Fail(call ? "an axis number" : "COLUMNS, ROWS, PAGES, a number or AXIS(n)");
  const Token& token = Take();
  int number = -1;
  auto result = std::from_chars(token.text.data(), token.text.data() + token.text.size(), number);
  if (result.ec != std::errc() || result.ptr != token.text.data() + token.text.size() || number > 127) {
    throw EngineError("MDX error at " + DescribePosition(token.pos) + ": '" + token.text +
                         "' is not an axis number (0 to 127).");
  }
  if (call) ExpectSymbol(")", " after the axis number");
  return number;
}

NamePart Parser::TakeNamePart() {
  NamePart part = ToNamePart(Take());
  // Keys written one after another, &[1997]&[Q1], are one compound key.
  if (part.key && Current().kind == TokenKind::kKeyIdentifier) {
    part.compound.push_back(part.text);
    while (Current().kind == TokenKind::kKeyIdentifier) part.compound.push_back(Take().text);
    part.text = part.compound.back();
  }
  return part;
}

std::vector<NamePart> Parser::CompoundName(const char* what) {
  if (!IsNamePart(Current()) || (Current().kind == TokenKind::kIdentifier && IsOneOf(kReserved, Current().text))) {
    Fail(what);
  }
  std::vector<NamePart> parts{TakeNamePart()};
  while (AtSymbol(".") && IsNamePart(Next())) {
    Take();
    parts.push_back(TakeNamePart());
  }
  return parts;
}

Parser::Nesting::Nesting(Parser& parser) : parser_(parser) {
  if (++parser_.depth_ > kMaxNesting) {
    --parser_.depth_;
    throw EngineError("MDX syntax error at " + DescribePosition(parser_.Current().pos) +
                      ": the expression is nested more than " + std::to_string(kMaxNesting) + " levels deep.");
  }
}

NodePtr Parser::Built(NodePtr node) {
  node->height = HeightOf(*node);
  if (node->height > kMaxNesting) {
    throw EngineError("MDX syntax error at " + DescribePosition(node->pos) + ": the expression is nested more than " +
                      std::to_string(kMaxNesting) + " levels deep.");
  }
  // Every token makes at most one node, so the token limit bounds this too;
  // the count guards against a later change breaking that.
  if (++nodes_ > kMaxTokens) {
    throw EngineError("MDX syntax error at " + DescribePosition(node->pos) + ": the statement has more than " +
                      std::to_string(kMaxTokens) + " expressions.");
  }
  return node;
}

NodePtr Parser::Expression() {
  Nesting nesting(*this);
  return Or();
}

NodePtr Parser::Or() {
  NodePtr left = And();
  while (AtKeyword("OR") || AtKeyword("XOR")) {
    SourcePos pos = Current().pos;
    BinaryOp op = AtKeyword("OR") ? BinaryOp::kOr : BinaryOp::kXor;
    Take();
    left = Built(std::make_unique<Binary>(pos, op, std::move(left), And()));
  }
  return left;
}

NodePtr Parser::And() {
  NodePtr left = Not();
  while (AtKeyword("AND")) {
    SourcePos pos = Take().pos;
    left = Built(std::make_unique<Binary>(pos, BinaryOp::kAnd, std::move(left), Not()));
  }
  return left;
}

NodePtr Parser::Not() {
  if (AtKeyword("NOT")) {
    Nesting nesting(*this);
    SourcePos pos = Take().pos;
    return Built(std::make_unique<Unary>(pos, UnaryOp::kNot, Not()));
  }
  return Comparison();
}

NodePtr Parser::Comparison() {
  NodePtr left = Additive();
  static const std::array<std::pair<std::string_view, BinaryOp>, 6> kOperators = {{
      {"=", BinaryOp::kEqual}, {"<>", BinaryOp::kNotEqual}, {"<", BinaryOp::kLess},
      {"<=", BinaryOp::kLessEqual}, {">", BinaryOp::kGreater}, {">=", BinaryOp::kGreaterEqual}}};
  while (true) {
    SourcePos pos = Current().pos;
    if (TakeKeyword("IS")) {
      left = Built(std::make_unique<Binary>(pos, BinaryOp::kIs, std::move(left), Additive()));
      continue;
    }
    auto found = std::find_if(kOperators.begin(), kOperators.end(), [&](const auto& entry) {
      return AtSymbol(entry.first);
    });
    if (found == kOperators.end()) return left;
    Take();
    left = Built(std::make_unique<Binary>(pos, found->second, std::move(left), Additive()));
  }
}

NodePtr Parser::Additive() {
  NodePtr left = Multiplicative();
  while (AtSymbol("+") || AtSymbol("-") || AtSymbol("||")) {
    SourcePos pos = Current().pos;
    BinaryOp op = AtSymbol("+") ? BinaryOp::kAdd : AtSymbol("-") ? BinaryOp::kSubtract : BinaryOp::kConcat;
    Take();
    left = Built(std::make_unique<Binary>(pos, op, std::move(left), Multiplicative()));
  }
  return left;
}

NodePtr Parser::Multiplicative() {
  NodePtr left = Signed();
  while (AtSymbol("*") || AtSymbol("/") || AtKeyword("MOD")) {
    SourcePos pos = Current().pos;
    BinaryOp op = AtSymbol("*") ? BinaryOp::kMultiply : AtSymbol("/") ? BinaryOp::kDivide : BinaryOp::kMod;
    Take();
    left = Built(std::make_unique<Binary>(pos, op, std::move(left), Signed()));
  }
  return left;
}

NodePtr Parser::Signed() {
  if (AtSymbol("-") || AtSymbol("+")) {
    Nesting nesting(*this);
    SourcePos pos = Current().pos;
    UnaryOp op = AtSymbol("-") ? UnaryOp::kMinus : UnaryOp::kPlus;
    Take();
    return Built(std::make_unique<Unary>(pos, op, Signed()));
  }
  return Power();
}

// a ^ b binds tighter than a sign, so -2 ^ 2 is -4; several ^ go left to right.
NodePtr Parser::Power() {
  NodePtr left = Range();
  while (AtSymbol("^")) {
    SourcePos pos = Take().pos;
    left = Built(std::make_unique<Binary>(pos, BinaryOp::kPower, std::move(left), Range()));
  }
  return left;
}

NodePtr Parser::Case() {
  Nesting nesting(*this);
  SourcePos pos = Take().pos;  // CASE
  std::vector<NodePtr> args;
  bool simple = !AtKeyword("WHEN");
  if (simple) args.push_back(Expression());
  if (!AtKeyword("WHEN")) Fail("WHEN after CASE");
  while (TakeKeyword("WHEN")) {
    args.push_back(Expression());
    ExpectKeyword("THEN", " after the WHEN expression");
    args.push_back(Expression());
  }
  if (TakeKeyword("ELSE")) args.push_back(Expression());
  ExpectKeyword("END", " to close CASE");
  return Built(std::make_unique<Call>(pos, std::string(simple ? kSimpleCase : kSearchedCase), CallStyle::kFunction,
                                      std::move(args)));
}

NodePtr Parser::Range() {
  NodePtr left = Postfix();
  if (AtSymbol(":")) {
    SourcePos pos = Take().pos;
    left = Built(std::make_unique<Binary>(pos, BinaryOp::kRange, std::move(left), Postfix()));
  }
  return left;
}

NodePtr Parser::Postfix() {
  NodePtr node = Primary();
  while (AtSymbol(".")) {
    Take();
    const Token& token = Current();
    if (!IsNamePart(token)) Fail("a name, property or method after '.'");
    bool is_name = node->kind == NodeKind::kName;
    if (token.kind != TokenKind::kIdentifier) {
      if (!is_name) Fail("a property or method name after '.'");
      static_cast<Name&>(*node).parts.push_back(TakeNamePart());
      continue;
    }
    bool method = Next().kind == TokenKind::kSymbol && Next().text == "(";
    if (!method && is_name && !IsOneOf(kProperties, token.text)) {
      static_cast<Name&>(*node).parts.push_back(TakeNamePart());
      continue;
    }
    SourcePos pos = token.pos;
    std::string function = Take().text;
    std::vector<NodePtr> args;
    args.push_back(std::move(node));
    if (method) {
      for (NodePtr& arg : Arguments()) args.push_back(std::move(arg));
    }
    node = Built(std::make_unique<Call>(pos, std::move(function), method ? CallStyle::kMethod : CallStyle::kProperty,
                                        std::move(args)));
  }
  return node;
}

std::vector<NodePtr> Parser::Arguments() {
  ExpectSymbol("(", "");
  std::vector<NodePtr> args;
  if (TakeSymbol(")")) return args;
  do {
    args.push_back(Expression());
  } while (TakeSymbol(","));
  ExpectSymbol(")", " or ',' in the argument list");
  return args;
}

NodePtr Parser::Primary() {
  const Token& token = Current();
  SourcePos pos = token.pos;
  switch (token.kind) {
    case TokenKind::kNumber: {
      double value = 0;
      auto result = std::from_chars(token.text.data(), token.text.data() + token.text.size(), value);
      // Out of range is either too small, which is 0, or too large, which is
      // refused rather than read as the 0 from_chars leaves.
      if (result.ec == std::errc::result_out_of_range && !Underflows(token.text)) {
        throw EngineError("MDX syntax error at " + DescribePosition(pos) + ": the number " + token.text +
                          " is too large.");
      }
      Take();
      return Built(std::make_unique<NumberLiteral>(pos, value));
    }
    case TokenKind::kString: return Built(std::make_unique<StringLiteral>(pos, Take().text));
    case TokenKind::kQuotedIdentifier:
    case TokenKind::kKeyIdentifier: return Built(std::make_unique<Name>(pos, std::vector<NamePart>{TakeNamePart()}));
    case TokenKind::kIdentifier: {
      if (IsOneOf(kReserved, token.text)) Fail("an expression");
      if (EqualsIgnoreCase(token.text, "CASE")) return Case();
      if (EqualsIgnoreCase(token.text, "NULL")) {
        Take();
        return Built(std::make_unique<NullLiteral>(pos));
      }
      if (Next().kind == TokenKind::kSymbol && Next().text == "(") {
        std::string function = Take().text;
        return Built(std::make_unique<Call>(pos, std::move(function), CallStyle::kFunction, Arguments()));
      }
      return Built(std::make_unique<Name>(pos, std::vector<NamePart>{TakeNamePart()}));
    }
    case TokenKind::kSymbol:
      if (TakeSymbol("(")) {
        std::vector<NodePtr> elements;
        do {
          elements.push_back(Expression());
        } while (TakeSymbol(","));
        ExpectSymbol(")", " or ',' in the tuple");
        if (elements.size() == 1) return std::move(elements.front());
        return Built(std::make_unique<TupleNode>(pos, std::move(elements)));
      }
      if (TakeSymbol("{")) {
        std::vector<NodePtr> elements;
        if (!AtSymbol("}")) {
          do {
            elements.push_back(Expression());
          } while (TakeSymbol(","));
        }
        ExpectSymbol("}", " or ',' in the set");
        return Built(std::make_unique<SetNode>(pos, std::move(elements)));
      }
      break;
    case TokenKind::kEnd: break;
  }
  Fail("an expression");
}

}  // namespace orvex::engine::mdx

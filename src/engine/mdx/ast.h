#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/mdx/token.h"

// The syntax tree of an MDX statement: a tree of unique_ptr, built by the
// Parser and never changed afterwards, so one parsed statement may be shared
// by any number of threads evaluating it.
namespace orvex::engine::mdx {

enum class NodeKind { kNumber, kString, kNull, kName, kCall, kTuple, kSet, kUnary, kBinary };

struct Node {
  Node(NodeKind node_kind, SourcePos node_pos) : kind(node_kind), pos(node_pos) {}
  virtual ~Node() = default;
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  const NodeKind kind;
  const SourcePos pos;
  // The longest path from this node down to a leaf, counting both ends; set by
  // the parser, which keeps it bounded so that everything walking the tree
  // recursively (evaluation, ToText, destruction) has a bounded stack.
  int height = 1;
};
using NodePtr = std::unique_ptr<Node>;

struct NumberLiteral : Node {
  NumberLiteral(SourcePos at, double number) : Node(NodeKind::kNumber, at), value(number) {}
  double value;
};

struct StringLiteral : Node {
  StringLiteral(SourcePos at, std::string text) : Node(NodeKind::kString, at), value(std::move(text)) {}
  std::string value;
};

struct NullLiteral : Node {
  explicit NullLiteral(SourcePos at) : Node(NodeKind::kNull, at) {}
};

// One part of a compound name: [Unit Sales], Sales, or the key &[1997].
struct NamePart {
  std::string text;
  bool quoted = false;
  bool key = false;
  // A compound key &[1997]&[Q1]: the keys from the outermost ancestor's down
  // to the member's own, which is also `text`. Empty for a single key.
  std::vector<std::string> compound;
};

// "[Time].[1997]" from its parts, with "]" doubled inside each part; key parts
// are written "&[...]", a compound key "&[...]&[...]".
std::string FormatName(const std::vector<NamePart>& parts);

// A compound name: a cube object or a named set, resolved by the evaluator.
struct Name : Node {
  Name(SourcePos at, std::vector<NamePart> name_parts) : Node(NodeKind::kName, at), parts(std::move(name_parts)) {}
  std::string ToString() const { return FormatName(parts); }
  std::vector<NamePart> parts;
};

// F(a, b) is a function; x.F(a) a method and x.F a property, whose object x is args[0].
enum class CallStyle { kFunction, kMethod, kProperty };

struct Call : Node {
  Call(SourcePos at, std::string function_name, CallStyle call_style, std::vector<NodePtr> arguments)
      : Node(NodeKind::kCall, at), function(std::move(function_name)), style(call_style), args(std::move(arguments)) {}
  std::string function;  // as written
  CallStyle style;
  std::vector<NodePtr> args;
};

// (a, b, ...) with two or more elements; "(a)" is just a.
struct TupleNode : Node {
  TupleNode(SourcePos at, std::vector<NodePtr> items) : Node(NodeKind::kTuple, at), elements(std::move(items)) {}
  std::vector<NodePtr> elements;
};

// {a, b, ...}, possibly empty.
struct SetNode : Node {
  SetNode(SourcePos at, std::vector<NodePtr> items) : Node(NodeKind::kSet, at), elements(std::move(items)) {}
  std::vector<NodePtr> elements;
};

enum class UnaryOp { kMinus, kPlus, kNot };

struct Unary : Node {
  Unary(SourcePos at, UnaryOp unary_op, NodePtr inner) : Node(NodeKind::kUnary, at), op(unary_op), operand(std::move(inner)) {}
  UnaryOp op;
  NodePtr operand;
};

enum class BinaryOp {
  kAdd, kSubtract, kMultiply, kDivide, kConcat, kPower, kMod,
  kEqual, kNotEqual, kLess, kLessEqual, kGreater, kGreaterEqual, kIs,
  kAnd, kOr, kXor,
  kRange,  // a : b
};

struct Binary : Node {
  Binary(SourcePos at, BinaryOp binary_op, NodePtr lhs, NodePtr rhs)
      : Node(NodeKind::kBinary, at), op(binary_op), left(std::move(lhs)), right(std::move(rhs)) {}
  BinaryOp op;
  NodePtr left;
  NodePtr right;
};

// "FORMAT_STRING = '#,##0'" after a calculated member's formula.
struct FormulaProperty {
  std::string name;
  NodePtr value;
};

// WITH MEMBER name AS expression [, property = value ...] or WITH SET name AS set.
struct Formula {
  enum class Kind { kMember, kSet };
  Kind kind = Kind::kMember;
  std::vector<NamePart> name;
  NodePtr expression;
  std::vector<FormulaProperty> properties;
  SourcePos pos;
};

struct AxisClause {
  int number = 0;
  bool non_empty = false;
  NodePtr set;
  SourcePos pos;
};

// DRILLTHROUGH [MAXROWS n] [FIRSTROWSET m] SELECT ... [RETURN column, ...]: the
// fact rows behind the one cell the SELECT designates.
struct DrillthroughClause {
  int64_t max_rows = 0;      // 0: MAXROWS not given
  int64_t first_rowset = 0;  // 0: FIRSTROWSET not given
  // The RETURN columns as written: names ([Measures].[Unit Sales],
  // [Time].[Year]) or a function of one (Name([Time].[Year])); empty
  // without RETURN.
  std::vector<NodePtr> columns;
  SourcePos pos;
};

struct Statement {
  // Set for a DRILLTHROUGH statement; the rest of the statement is its SELECT.
  std::unique_ptr<DrillthroughClause> drillthrough;
  std::vector<Formula> formulas;
  std::vector<AxisClause> axes;  // in axis order: axis 0, 1, ...
  std::vector<NamePart> cube;
  SourcePos cube_pos;
  NodePtr slicer;  // null without WHERE
  // CELL PROPERTIES as written, upper-cased and known (VALUE, FORMAT_STRING, ...);
  // empty without the clause.
  std::vector<std::string> cell_properties;
};

}  // namespace orvex::engine::mdx

namespace orvex::engine::mdx {

// The node written back as MDX in one normal form: names bracketed, binary
// operations in parentheses, strings in single quotes. Used in messages.
std::string ToText(const Node& node);

}  // namespace orvex::engine::mdx

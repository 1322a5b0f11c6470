// The operators of MDX expressions: arithmetic and comparison on values, set
// algebra when either side is a set, logic on conditions.
#include <algorithm>
#include <cmath>

#include "engine/eval/evaluator.h"
#include "engine/eval/set_algebra.h"
#include "platform/com/variant.h"

namespace orvex::engine {

namespace {

bool IsSet(const Value& value) { return std::holds_alternative<TupleSet>(value); }

// A number for arithmetic: empty stays empty (nullopt), a truth value counts 1 or 0.
std::optional<double> NumberOf(const Scalar& value, const Evaluator& evaluator, const mdx::Node& at) {
  if (auto number = NumberOf(value)) return number;
  if (const auto* truth = std::get_if<bool>(&value)) return *truth ? 1.0 : 0.0;
  if (const auto* text = std::get_if<std::string>(&value)) {
    if (auto parsed = ParseNumber(*text)) return *parsed;
    evaluator.Fail(at, "The text '" + *text + "' is not a number");
  }
  return std::nullopt;
}

Scalar Arithmetic(mdx::BinaryOp op, const Scalar& left, const Scalar& right, const Evaluator& evaluator,
                  const mdx::Node& at) {
  bool text = std::holds_alternative<std::string>(left) || std::holds_alternative<std::string>(right);
  if (op == mdx::BinaryOp::kConcat || (op == mdx::BinaryOp::kAdd && text)) {
    if (IsEmpty(left) && IsEmpty(right)) return Scalar();
    return Scalar(ScalarText(left) + ScalarText(right));
  }
  std::optional<double> a = NumberOf(left, evaluator, at);
  std::optional<double> b = NumberOf(right, evaluator, at);
  switch (op) {
    case mdx::BinaryOp::kAdd:
    case mdx::BinaryOp::kSubtract:
      // An empty cell adds nothing; two empty cells stay empty.
      if (!a && !b) return Scalar();
      return Scalar(op == mdx::BinaryOp::kAdd ? a.value_or(0) + b.value_or(0) : a.value_or(0) - b.value_or(0));
    case mdx::BinaryOp::kMultiply:
      if (!a || !b) return Scalar();
      return Scalar(*a * *b);
    case mdx::BinaryOp::kPower:
      if (!a || !b) return Scalar();
      return Scalar(std::pow(*a, *b));
    case mdx::BinaryOp::kMod: {
      // As VBA's Mod: both sides rounded to whole numbers first, halves to
      // even; the remainder takes the sign of the left side.
      if (!a || !b) return Scalar();
      double divisor = std::nearbyint(*b);
      if (divisor == 0) return Scalar();
      return Scalar(std::fmod(std::nearbyint(*a), divisor));
    }
    default:
      // Division by zero or by an empty cell has no value rather than an infinity.
      if (!a || !b || *b == 0) return Scalar();
      return Scalar(*a / *b);
  }
}

// Comparison as the operators do it: an empty value counts as 0 (or "" beside a
// text); a text beside a number compares as a number when it reads as one.
std::optional<double> ComparableNumber(const Scalar& value) {
  if (auto number = NumberOf(value)) return number;
  if (const auto* truth = std::get_if<bool>(&value)) return *truth ? 1.0 : 0.0;
  if (const auto* text = std::get_if<std::string>(&value)) return ParseNumber(*text);
  return 0.0;
}

int CompareForOperator(const Scalar& left, const Scalar& right) {
  bool both_text = std::holds_alternative<std::string>(left) && std::holds_alternative<std::string>(right);
  if (!both_text) {
    std::optional<double> a = ComparableNumber(left);
    std::optional<double> b = ComparableNumber(right);
    if (a && b) return *a < *b ? -1 : *a > *b ? 1 : 0;
  }
  int order = ScalarText(left).compare(ScalarText(right));
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

}  // namespace

Value Evaluator::EvalUnary(const mdx::Unary& node, const Context& context) {
  if (node.op == mdx::UnaryOp::kNot) return Scalar(!EvalCondition(*node.operand, context));
  Scalar value = EvalScalar(*node.operand, context);
  std::optional<double> number = NumberOf(value, *this, node);
  if (!number) return Scalar();
  return Scalar(node.op == mdx::UnaryOp::kMinus ? -*number : *number);
}

Value Evaluator::EvalBinary(const mdx::Binary& node, const Context& context) {
  using mdx::BinaryOp;
  switch (node.op) {
    case BinaryOp::kAnd: return Scalar(EvalCondition(*node.left, context) && EvalCondition(*node.right, context));
    case BinaryOp::kOr: return Scalar(EvalCondition(*node.left, context) || EvalCondition(*node.right, context));
    case BinaryOp::kXor: return Scalar(EvalCondition(*node.left, context) != EvalCondition(*node.right, context));
    case BinaryOp::kRange: return EvalRange(node, context);
    case BinaryOp::kIs: {
      const Member* left = EvalMember(*node.left, context);
      if (node.right->kind == mdx::NodeKind::kNull) return Scalar(left == nullptr);
      return Scalar(left == EvalMember(*node.right, context));
    }
    default: break;
  }
  Value left = Eval(*node.left, context);
  Value right = Eval(*node.right, context);
  bool set_operation = (IsSet(left) || IsSet(right)) &&
                       (node.op == BinaryOp::kAdd || node.op == BinaryOp::kSubtract || node.op == BinaryOp::kMultiply);
  if (set_operation) {
    TupleSet a = SetOf(std::move(left), context, *node.left);
    TupleSet b = SetOf(std::move(right), context, *node.right);
    if (node.op == BinaryOp::kMultiply) {
      std::string problem = CheckDisjointHierarchies(a.hierarchies, b.hierarchies);
      if (!problem.empty()) Fail(node, "Cannot cross-join: " + problem);
      CheckSize(a.tuples.size(), b.tuples.size(), node, a.hierarchies.size() + b.hierarchies.size());
      return engine::CrossJoin(a, b);
    }
    std::string problem = CheckSameHierarchies(a, b);
    if (!problem.empty()) Fail(node, "Cannot combine sets: " + problem);
    if (node.op == BinaryOp::kAdd) return Union(std::move(a), std::move(b), false);
    AdoptHierarchies(a, b);
    return Except(std::move(a), b, false);
  }
  Scalar a = ScalarOf(left, context, *node.left);
  Scalar b = ScalarOf(right, context, *node.right);
  switch (node.op) {
    case BinaryOp::kEqual: return Scalar(CompareForOperator(a, b) == 0);
    case BinaryOp::kNotEqual: return Scalar(CompareForOperator(a, b) != 0);
    case BinaryOp::kLess: return Scalar(CompareForOperator(a, b) < 0);
    case BinaryOp::kLessEqual: return Scalar(CompareForOperator(a, b) <= 0);
    case BinaryOp::kGreater: return Scalar(CompareForOperator(a, b) > 0);
    case BinaryOp::kGreaterEqual: return Scalar(CompareForOperator(a, b) >= 0);
    default: return Arithmetic(node.op, a, b, *this, node);
  }
}

Value Evaluator::EvalRange(const mdx::Binary& node, const Context& context) {
  const Member* first = EvalMember(*node.left, context);
  const Member* last = EvalMember(*node.right, context);
  TupleSet result;
  if (!first || !last) return result;
  if (first->level != last->level || IsStatementMember(*first) || IsStatementMember(*last)) {
    Fail(node, "A range needs two members of one level, not " + first->unique_name + " and " + last->unique_name);
  }
  result.hierarchies.push_back(&HierarchyOf(*first));
  const auto& members = first->level->members();
  int from = std::min(first->index_in_level, last->index_in_level);
  int to = std::max(first->index_in_level, last->index_in_level);
  for (int index = from; index <= to; ++index) result.tuples.push_back(Tuple{members[static_cast<size_t>(index)]});
  return result;
}

}  // namespace orvex::engine

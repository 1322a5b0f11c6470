// Logical functions: tests on members' places in their hierarchy (IsLeaf,
// IsAncestor, IsSibling, IsGeneration) and the two CASE forms, which the
// parser writes as calls no statement can name.
#include "engine/eval/evaluator.h"
#include "engine/eval/function_table.h"
#include "engine/mdx/parser.h"
#include "platform/com/variant.h"

namespace orvex::engine {

namespace {

using mdx::Call;

Value IsLeafFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  return Scalar(member && member->children().empty());
}

// IsAncestor(a, b): a is strictly above b.
Value IsAncestorFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* ancestor = evaluator.EvalMember(*call.args[0], context);
  const Member* member = evaluator.EvalMember(*call.args[1], context);
  if (!ancestor || !member) return Scalar(false);
  for (const Member* at = member->parent; at; at = at->parent) {
    if (at == ancestor) return Scalar(true);
  }
  return Scalar(false);
}

// IsSibling(a, b): same parent (a member is its own sibling), or both top members of one hierarchy.
Value IsSiblingFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* a = evaluator.EvalMember(*call.args[0], context);
  const Member* b = evaluator.EvalMember(*call.args[1], context);
  if (!a || !b || &HierarchyOf(*a) != &HierarchyOf(*b)) return Scalar(false);
  if (a->parent || b->parent) return Scalar(a->parent == b->parent);
  return Scalar(a->level == b->level);
}

// Leaves are generation 0; a member is of generation n when one of its
// children is of generation n - 1, so in a ragged tree a member may be of several.
bool IsOfGeneration(const Member& member, int64_t generation) {
  if (generation == 0) return member.children().empty();
  for (const Member* child : member.children()) {
    if (IsOfGeneration(*child, generation - 1)) return true;
  }
  return false;
}

Value IsGenerationFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  int64_t generation = evaluator.EvalInteger(*call.args[1], context);
  if (!member || generation < 0 || generation > 1024) return Scalar(false);
  return Scalar(IsOfGeneration(*member, generation));
}

// Equality for a simple CASE: numbers as numbers, texts by their letters
// without regard to case, an empty value equal only to an empty one.
bool SameValue(const Scalar& a, const Scalar& b) {
  if (IsEmpty(a) || IsEmpty(b)) return IsEmpty(a) && IsEmpty(b);
  auto x = NumberOf(a);
  auto y = NumberOf(b);
  if (x && y) return *x == *y;
  if (const auto* truth = std::get_if<bool>(&a); truth && std::holds_alternative<bool>(b)) {
    return *truth == std::get<bool>(b);
  }
  return EqualsIgnoreCase(ScalarText(a), ScalarText(b));
}

// CASE WHEN c1 THEN r1 ... [ELSE r] END: args are c1, r1, ..., then r when present.
Value SearchedCaseFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  size_t pairs = call.args.size() / 2;
  for (size_t pair = 0; pair < pairs; ++pair) {
    if (evaluator.EvalCondition(*call.args[2 * pair], context)) return evaluator.Eval(*call.args[2 * pair + 1], context);
  }
  if (call.args.size() % 2 == 1) return evaluator.Eval(*call.args.back(), context);
  return Scalar();
}

// CASE x WHEN v1 THEN r1 ... [ELSE r] END: args are x, v1, r1, ..., then r when present.
Value SimpleCaseFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  Scalar subject = evaluator.EvalScalar(*call.args[0], context);
  size_t pairs = (call.args.size() - 1) / 2;
  for (size_t pair = 0; pair < pairs; ++pair) {
    if (SameValue(subject, evaluator.EvalScalar(*call.args[1 + 2 * pair], context))) {
      return evaluator.Eval(*call.args[2 + 2 * pair], context);
    }
  }
  if (call.args.size() % 2 == 0) return evaluator.Eval(*call.args.back(), context);
  return Scalar();
}

}  // namespace

void AddLogicalFunctions(FunctionTable& table) {
  table.Add("IsLeaf", {IsLeafFunction, 1, 1, CallForms::kFunction});
  table.Add("IsAncestor", {IsAncestorFunction, 2, 2, CallForms::kFunction});
  table.Add("IsSibling", {IsSiblingFunction, 2, 2, CallForms::kFunction});
  table.Add("IsGeneration", {IsGenerationFunction, 2, 2, CallForms::kFunction});
  table.Add(mdx::Parser::kSearchedCase, {SearchedCaseFunction, 2, 1025, CallForms::kFunction});
  table.Add(mdx::Parser::kSimpleCase, {SimpleCaseFunction, 3, 1025, CallForms::kFunction});
}

}  // namespace orvex::engine

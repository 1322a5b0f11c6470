// Functions that return one member (or a level, hierarchy or dimension):
// navigation in the member tree and along a level.
#include "engine/eval/evaluator.h"
#include "engine/eval/function_table.h"

namespace orvex::engine {

namespace {

using mdx::Call;

constexpr const Member* kNullMember = nullptr;

// The member `offset` places along its level; null past either end and for
// members a statement defines (they are in no level list).
// `offset` is within +-Evaluator::kMaxInteger, so the sum cannot overflow.
const Member* AlongLevel(const Member* member, int64_t offset) {
  if (!member || IsStatementMember(*member)) return nullptr;
  const auto& members = member->level->members();
  int64_t index = member->index_in_level + offset;
  if (index < 0 || index >= static_cast<int64_t>(members.size())) return nullptr;
  return members[static_cast<size_t>(index)];
}

const Member* Ancestor(const Member* member, int64_t depth) {
  while (member && member->depth() > depth) member = member->parent;
  return member && member->depth() == depth ? member : nullptr;
}

Value ParentFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  return member ? member->parent : nullptr;
}

Value FirstChildFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  return member && !member->children().empty() ? member->children().front() : nullptr;
}

Value LastChildFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  return member && !member->children().empty() ? member->children().back() : nullptr;
}

const std::vector<const Member*>* SiblingsOf(const Member* member) {
  if (!member || IsStatementMember(*member)) return nullptr;
  return member->parent ? &member->parent->children() : &member->level->members();
}

Value FirstSiblingFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  const auto* siblings = SiblingsOf(member);
  return siblings ? siblings->front() : member;
}

Value LastSiblingFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  const auto* siblings = SiblingsOf(member);
  return siblings ? siblings->back() : member;
}

Value PrevMemberFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return AlongLevel(evaluator.EvalMember(*call.args[0], context), -1);
}

Value NextMemberFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return AlongLevel(evaluator.EvalMember(*call.args[0], context), 1);
}

Value LagFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  return AlongLevel(member, -evaluator.EvalInteger(*call.args[1], context));
}

Value LeadFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  return AlongLevel(member, evaluator.EvalInteger(*call.args[1], context));
}

Value AncestorFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  if (!member) return kNullMember;
  Value target = evaluator.Eval(*call.args[1], context);
  if (const auto* level = std::get_if<const Level*>(&target)) {
    if (&(*level)->hierarchy() != &HierarchyOf(*member)) {
      evaluator.Fail(*call.args[1], "The level " + (*level)->unique_name() + " is not of the hierarchy of " +
                                        member->unique_name);
    }
    return Ancestor(member, (*level)->depth());
  }
  return Ancestor(member, member->depth() - evaluator.EvalInteger(*call.args[1], context));
}

Value CurrentMemberFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return context.Get(*evaluator.EvalHierarchy(*call.args[0], context));
}

Value DefaultMemberFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Hierarchy* hierarchy = evaluator.EvalHierarchy(*call.args[0], context);
  return evaluator.DefaultMemberOf(*hierarchy);
}

Value LevelFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  if (!member) evaluator.Fail(call, "A null member has no level");
  return member->level;
}

Value HierarchyFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.EvalHierarchy(*call.args[0], context);
}

Value DimensionFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return &evaluator.EvalHierarchy(*call.args[0], context)->dimension();
}

// set.Item(n) is a tuple; tuple.Item(n) a member.
Value ItemFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  Value object = evaluator.Eval(*call.args[0], context);
  int64_t position = evaluator.EvalInteger(*call.args[1], context);
  if (auto* tuple = std::get_if<Tuple>(&object)) {
    if (position < 0 || static_cast<uint64_t>(position) >= tuple->size()) return kNullMember;
    return (*tuple)[static_cast<size_t>(position)];
  }
  TupleSet set = evaluator.SetOf(std::move(object), context, *call.args[0]);
  if (position < 0 || static_cast<uint64_t>(position) >= set.tuples.size()) {
    // An item past the end is a tuple of null members.
    return Tuple{nullptr};
  }
  Tuple tuple = std::move(set.tuples[static_cast<size_t>(position)]);
  if (tuple.size() == 1) return tuple.front();
  return tuple;
}

}  // namespace

void AddMemberFunctions(FunctionTable& table) {
  table.Add("Parent", {ParentFunction, 1, 1, CallForms::kMember});
  table.Add("FirstChild", {FirstChildFunction, 1, 1, CallForms::kMember});
  table.Add("LastChild", {LastChildFunction, 1, 1, CallForms::kMember});
  table.Add("FirstSibling", {FirstSiblingFunction, 1, 1, CallForms::kMember});
  table.Add("LastSibling", {LastSiblingFunction, 1, 1, CallForms::kMember});
  table.Add("PrevMember", {PrevMemberFunction, 1, 1, CallForms::kMember});
  table.Add("NextMember", {NextMemberFunction, 1, 1, CallForms::kMember});
  table.Add("Lag", {LagFunction, 2, 2, CallForms::kMember});
  table.Add("Lead", {LeadFunction, 2, 2, CallForms::kMember});
  table.Add("Ancestor", {AncestorFunction, 2, 2, CallForms::kFunction});
  table.Add("CurrentMember", {CurrentMemberFunction, 1, 1, CallForms::kMember});
  table.Add("DefaultMember", {DefaultMemberFunction, 1, 1, CallForms::kMember});
  table.Add("Level", {LevelFunction, 1, 1, CallForms::kMember});
  table.Add("Hierarchy", {HierarchyFunction, 1, 1, CallForms::kMember});
  table.Add("Dimension", {DimensionFunction, 1, 1, CallForms::kMember});
  table.Add("Item", {ItemFunction, 2, 2, CallForms::kMember});
}

}  // namespace orvex::engine

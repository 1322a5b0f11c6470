// Functions over periods: the members from the start of a year, quarter or
// month up to a member, the same period a year or quarter earlier, the first
// and last period within another, the last n periods. Levels are found by the
// level types the schema gives (TimeYears, TimeQuarters, ...); a member not
// given is the current member of the cube's first time hierarchy.
#include <algorithm>

#include "engine/eval/evaluator.h"
#include "engine/eval/function_table.h"

namespace orvex::engine {

namespace {

using mdx::Call;

const Hierarchy& TimeHierarchy(Evaluator& evaluator, const Call& call) {
  for (const Hierarchy* hierarchy : evaluator.cube().hierarchies()) {
    if (hierarchy->dimension().is_time()) return *hierarchy;
  }
  evaluator.Fail(call, call.function + " needs a member when the cube has no time dimension");
}

// The member argument at `index`, else the current member of `hierarchy`
// (of the time hierarchy when nullptr).
const Member* MemberArgument(Evaluator& evaluator, const Call& call, size_t index, const Context& context,
                             const Hierarchy* hierarchy = nullptr) {
  if (call.args.size() > index) return evaluator.EvalMember(*call.args[index], context);
  return context.Get(hierarchy ? *hierarchy : TimeHierarchy(evaluator, call));
}

const Level* LevelArgument(Evaluator& evaluator, const Call& call, size_t index, const Context& context) {
  Value value = evaluator.Eval(*call.args[index], context);
  if (const auto* level = std::get_if<const Level*>(&value)) return *level;
  evaluator.Fail(*call.args[index], call.function + " takes a level as argument " + std::to_string(index + 1));
}

void CheckSameHierarchy(Evaluator& evaluator, const Call& call, const Level& level, const Member& member) {
  if (&level.hierarchy() != &HierarchyOf(member)) {
    evaluator.Fail(call, call.function + ": the level " + level.unique_name() + " is not of the hierarchy of " +
                             member.unique_name);
  }
}

const Member* AncestorAt(const Member* member, int depth) {
  while (member && member->depth() > depth) member = member->parent;
  return member && member->depth() == depth ? member : nullptr;
}

// The members of `member`'s level from the first one under `ancestor_depth`'s
// ancestor up to `member`: what PeriodsToDate returns. Empty when the
// ancestor's level is below the member's.
TupleSet ToDate(const Member* member, int ancestor_depth) {
  TupleSet set;
  if (!member) return set;
  set.hierarchies.push_back(&HierarchyOf(*member));
  const Member* ancestor = AncestorAt(member, ancestor_depth);
  if (!ancestor || IsStatementMember(*member)) return set;
  const auto& members = member->level->members();
  int index = member->index_in_level;
  int first = index;
  while (first > 0 && AncestorAt(members[static_cast<size_t>(first - 1)], ancestor_depth) == ancestor) --first;
  for (int at = first; at <= index; ++at) set.tuples.push_back(Tuple{members[static_cast<size_t>(at)]});
  return set;
}

Value PeriodsToDateFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  if (call.args.empty()) {
    const Member* member = MemberArgument(evaluator, call, 1, context);
    if (!member || !member->parent) return ToDate(member, member ? member->depth() : 0);
    return ToDate(member, member->parent->depth());
  }
  const Level* level = LevelArgument(evaluator, call, 0, context);
  const Member* member = MemberArgument(evaluator, call, 1, context, &level->hierarchy());
  if (member) CheckSameHierarchy(evaluator, call, *level, *member);
  return ToDate(member, level->depth());
}

// YTD, QTD, MTD and WTD: PeriodsToDate at the level of that type.
Value ToDateOfType(Evaluator& evaluator, const Call& call, const Context& context, LevelType type,
                   const char* type_name) {
  const Member* member = MemberArgument(evaluator, call, 0, context);
  if (!member) return TupleSet{};
  for (const auto& level : HierarchyOf(*member).levels()) {
    if (level->type() == type) return ToDate(member, level->depth());
  }
  evaluator.Fail(call, call.function + " needs a level of type " + type_name + " in the hierarchy " +
                           HierarchyOf(*member).unique_name());
}

Value YtdFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return ToDateOfType(evaluator, call, context, LevelType::kTimeYears, "TimeYears");
}

Value QtdFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return ToDateOfType(evaluator, call, context, LevelType::kTimeQuarters, "TimeQuarters");
}

Value MtdFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return ToDateOfType(evaluator, call, context, LevelType::kTimeMonths, "TimeMonths");
}

Value WtdFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return ToDateOfType(evaluator, call, context, LevelType::kTimeWeeks, "TimeWeeks");
}

// The member that stands under `other` where `member` stands under its
// ancestor at `other`'s level: the same child positions all the way down.
// Null where `other` has fewer children on the way.
const Member* CousinOf(const Member* member, const Member* other) {
  if (!member || !other || IsStatementMember(*member)) return nullptr;
  std::vector<size_t> path;
  const Member* at = member;
  while (at && at->depth() > other->depth()) {
    const Member* parent = at->parent;
    if (!parent) return nullptr;
    auto found = std::find(parent->children().begin(), parent->children().end(), at);
    path.push_back(static_cast<size_t>(found - parent->children().begin()));
    at = parent;
  }
  if (!at || at->depth() != other->depth()) return nullptr;
  const Member* result = other;
  for (auto step = path.rbegin(); step != path.rend(); ++step) {
    if (*step >= result->children().size()) return nullptr;
    result = result->children()[*step];
  }
  return result;
}

Value CousinFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  const Member* other = evaluator.EvalMember(*call.args[1], context);
  if (member && other && &HierarchyOf(*member) != &HierarchyOf(*other)) {
    evaluator.Fail(call, "Cousin: " + member->unique_name + " and " + other->unique_name +
                             " are of different hierarchies");
  }
  return CousinOf(member, other);
}

// The member `offset` places along the level (negative: earlier); null past either end.
const Member* Shifted(const Member* member, int64_t offset) {
  if (!member || IsStatementMember(*member)) return nullptr;
  const auto& members = member->level->members();
  int64_t index = member->index_in_level + offset;
  if (index < 0 || index >= static_cast<int64_t>(members.size())) return nullptr;
  return members[static_cast<size_t>(index)];
}

Value ParallelPeriodFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Level* level = call.args.empty() ? nullptr : LevelArgument(evaluator, call, 0, context);
  int64_t lag = call.args.size() > 1 ? evaluator.EvalInteger(*call.args[1], context) : 1;
  const Member* member = MemberArgument(evaluator, call, 2, context, level ? &level->hierarchy() : nullptr);
  if (!member) return static_cast<const Member*>(nullptr);
  if (level) CheckSameHierarchy(evaluator, call, *level, *member);
  if (!level && !member->parent) return static_cast<const Member*>(nullptr);
  int depth = level ? level->depth() : member->parent->depth();
  if (depth > member->depth()) return static_cast<const Member*>(nullptr);
  return CousinOf(member, Shifted(AncestorAt(member, depth), -lag));
}

// OpeningPeriod and ClosingPeriod: the first or last descendant of the member at the level.
Value EdgePeriod(Evaluator& evaluator, const Call& call, const Context& context, bool first) {
  const Level* level = call.args.empty() ? nullptr : LevelArgument(evaluator, call, 0, context);
  const Member* member = MemberArgument(evaluator, call, 1, context, level ? &level->hierarchy() : nullptr);
  if (!member) return static_cast<const Member*>(nullptr);
  if (level) CheckSameHierarchy(evaluator, call, *level, *member);
  int depth = level ? level->depth() : member->depth() + 1;
  if (depth < member->depth()) return static_cast<const Member*>(nullptr);
  const Member* at = member;
  while (at && at->depth() < depth) {
    if (at->children().empty()) return static_cast<const Member*>(nullptr);
    at = first ? at->children().front() : at->children().back();
  }
  return at;
}

Value OpeningPeriodFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return EdgePeriod(evaluator, call, context, true);
}

Value ClosingPeriodFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return EdgePeriod(evaluator, call, context, false);
}

// LastPeriods(n, m): the n members of m's level ending at m; a negative n
// counts forward from m; 0 is the empty set. Members past the level's ends
// are left out.
Value LastPeriodsFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  int64_t count = evaluator.EvalInteger(*call.args[0], context);
  const Member* member = MemberArgument(evaluator, call, 1, context);
  TupleSet set;
  if (!member) return set;
  set.hierarchies.push_back(&HierarchyOf(*member));
  if (count == 0 || IsStatementMember(*member)) return set;
  const auto& members = member->level->members();
  int64_t size = static_cast<int64_t>(members.size());
  int64_t from = count > 0 ? member->index_in_level - count + 1 : member->index_in_level;
  int64_t to = count > 0 ? member->index_in_level : member->index_in_level - count - 1;
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, size - 1);
  if (to >= from) evaluator.CheckSize(static_cast<size_t>(to - from + 1), call);
  for (int64_t index = from; index <= to; ++index) set.tuples.push_back(Tuple{members[static_cast<size_t>(index)]});
  return set;
}

}  // namespace

void AddTimeFunctions(FunctionTable& table) {
  table.Add("PeriodsToDate", {PeriodsToDateFunction, 0, 2, CallForms::kFunction});
  table.Add("YTD", {YtdFunction, 0, 1, CallForms::kFunction});
  table.Add("QTD", {QtdFunction, 0, 1, CallForms::kFunction});
  table.Add("MTD", {MtdFunction, 0, 1, CallForms::kFunction});
  table.Add("WTD", {WtdFunction, 0, 1, CallForms::kFunction});
  table.Add("Cousin", {CousinFunction, 2, 2, CallForms::kFunction});
  table.Add("ParallelPeriod", {ParallelPeriodFunction, 0, 3, CallForms::kFunction});
  table.Add("OpeningPeriod", {OpeningPeriodFunction, 0, 2, CallForms::kFunction});
  table.Add("ClosingPeriod", {ClosingPeriodFunction, 0, 2, CallForms::kFunction});
  table.Add("LastPeriods", {LastPeriodsFunction, 1, 2, CallForms::kFunction});
}

}  // namespace orvex::engine

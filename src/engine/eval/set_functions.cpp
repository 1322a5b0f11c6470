// Functions that return sets: set algebra, navigation to many members,
// sorting, filtering and slicing.
#include <algorithm>
#include <limits>

#include "engine/eval/evaluator.h"
#include "engine/eval/function_table.h"
#include "engine/eval/set_algebra.h"
#include "engine/eval/tuple_sorter.h"

namespace orvex::engine {

namespace {

using mdx::Call;

// Deeper than any hierarchy: the depth Descendants asks for at most.
constexpr int64_t kDeepest = 1 << 20;

TupleSet MemberSet(const Hierarchy& hierarchy, const std::vector<const Member*>& members) {
  TupleSet set;
  set.hierarchies.push_back(&hierarchy);
  set.tuples.reserve(members.size());
  for (const Member* member : members) set.tuples.push_back(Tuple{member});
  return set;
}

// True when the last argument is the flag ALL (Union, Intersect, Except).
bool TakesAll(Evaluator& evaluator, const Call& call, size_t sets) {
  if (call.args.size() <= sets) return false;
  auto flag = Evaluator::FlagOf(*call.args.back());
  if (flag != "ALL") evaluator.Fail(*call.args.back(), "Expected ALL as the last argument of " + call.function);
  return true;
}

TupleSet SameTyped(Evaluator& evaluator, const Call& call, TupleSet a, const TupleSet& b) {
  std::string problem = CheckSameHierarchies(a, b);
  if (!problem.empty()) evaluator.Fail(call, call.function + ": " + problem);
  AdoptHierarchies(a, b);
  return a;
}

Value CrossJoinFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet result = evaluator.EvalSet(*call.args[0], context);
  for (size_t index = 1; index < call.args.size(); ++index) {
    TupleSet next = evaluator.EvalSet(*call.args[index], context);
    std::string problem = CheckDisjointHierarchies(result.hierarchies, next.hierarchies);
    if (!problem.empty()) evaluator.Fail(call, "CrossJoin: " + problem);
    evaluator.CheckSize(result.tuples.size(), next.tuples.size(), call,
                        result.hierarchies.size() + next.hierarchies.size());
    result = CrossJoin(result, next);
  }
  return result;
}

Value UnionFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  bool all = Evaluator::FlagOf(*call.args.back()) == "ALL";
  size_t sets = call.args.size() - (all ? 1 : 0);
  if (sets < 2) evaluator.Fail(call, "Union needs two sets");
  TupleSet result = evaluator.EvalSet(*call.args[0], context);
  for (size_t index = 1; index < sets; ++index) {
    TupleSet next = evaluator.EvalSet(*call.args[index], context);
    // Checked in a statement of its own: as one argument of a call beside
    // std::move(next), the check could see `next` already moved from.
    TupleSet checked = SameTyped(evaluator, call, std::move(result), next);
    result = Union(std::move(checked), std::move(next), all);
  }
  return all ? result : Distinct(std::move(result));
}

Value IntersectFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  bool all = TakesAll(evaluator, call, 2);
  TupleSet a = evaluator.EvalSet(*call.args[0], context);
  TupleSet b = evaluator.EvalSet(*call.args[1], context);
  return Intersect(SameTyped(evaluator, call, std::move(a), b), b, all);
}

Value ExceptFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  bool all = TakesAll(evaluator, call, 2);
  TupleSet a = evaluator.EvalSet(*call.args[0], context);
  TupleSet b = evaluator.EvalSet(*call.args[1], context);
  return Except(SameTyped(evaluator, call, std::move(a), b), b, all);
}

Value DistinctFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return Distinct(evaluator.EvalSet(*call.args[0], context));
}

Value HierarchizeFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  Hierarchize(set);
  if (call.args.size() > 1) {
    if (Evaluator::FlagOf(*call.args[1]) != "POST") evaluator.Fail(*call.args[1], "Expected POST");
    // Children before parents: the reverse of the pre-order within each run of one parent's subtree.
    std::stable_sort(set.tuples.begin(), set.tuples.end(), [](const Tuple& a, const Tuple& b) {
      for (size_t index = 0; index < a.size(); ++index) {
        if (a[index] == b[index]) continue;
        if (a[index]->IsAncestorOf(*b[index])) return false;
        if (b[index]->IsAncestorOf(*a[index])) return true;
        return a[index]->order < b[index]->order;
      }
      return false;
    });
  }
  return set;
}

bool IsOrderFlag(const std::optional<std::string>& flag) {
  return flag && (*flag == "ASC" || *flag == "DESC" || *flag == "BASC" || *flag == "BDESC");
}

// Order(s, key[, flag][, key[, flag]]...): later keys order what earlier
// keys tie. The first key's flag says whether the hierarchy is kept.
Value OrderFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  std::vector<TupleSorter::Key> keys;
  bool keep_hierarchy = true;
  for (size_t index = 1; index < call.args.size(); ++index) {
    const mdx::Node& key = *call.args[index];
    auto flag = Evaluator::FlagOf(key);
    if (IsOrderFlag(flag)) {
      evaluator.Fail(key, "Order: argument " + std::to_string(index + 1) + " is the flag " + *flag +
                              " where a sort key is wanted");
    }
    std::string given = "ASC";
    if (index + 1 < call.args.size()) {
      auto next = Evaluator::FlagOf(*call.args[index + 1]);
      if (IsOrderFlag(next)) {
        given = *next;
        ++index;
      } else if (next) {
        // A bare word after a key is meant as a flag (a key is a value, not a word).
        evaluator.Fail(*call.args[index + 1], "Expected ASC, DESC, BASC or BDESC");
      }
    }
    if (keys.empty()) keep_hierarchy = given[0] != 'B';
    keys.push_back({&key, given == "DESC" || given == "BDESC"});
  }
  TupleSorter sorter(evaluator, std::move(keys), context);
  if (keep_hierarchy) {
    sorter.SortHierarchically(set, false);
  } else {
    sorter.SortFlat(set, false);
  }
  return set;
}

Value FilterFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  Context at = context;
  std::vector<Tuple> kept;
  for (Tuple& tuple : set.tuples) {
    at.SetTuple(tuple, set.hierarchies);
    if (evaluator.EvalCondition(*call.args[1], at)) kept.push_back(std::move(tuple));
  }
  set.tuples = std::move(kept);
  return set;
}

size_t CountArgument(Evaluator& evaluator, const Call& call, size_t index, const Context& context) {
  if (call.args.size() <= index) return 1;
  int64_t count = evaluator.EvalInteger(*call.args[index], context);
  return count <= 0 ? 0 : static_cast<size_t>(count);
}

Value HeadFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  size_t count = std::min(CountArgument(evaluator, call, 1, context), set.tuples.size());
  set.tuples.resize(count);
  return set;
}

Value TailFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  size_t count = std::min(CountArgument(evaluator, call, 1, context), set.tuples.size());
  set.tuples.erase(set.tuples.begin(), set.tuples.end() - static_cast<std::ptrdiff_t>(count));
  return set;
}

Value TopOrBottom(Evaluator& evaluator, const Call& call, const Context& context, bool top) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  size_t count = CountArgument(evaluator, call, 1, context);
  if (call.args.size() > 2) TupleSorter(evaluator, *call.args[2], context).SortFlat(set, top);
  if (set.tuples.size() > count) set.tuples.resize(count);
  return set;
}

Value TopCountFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return TopOrBottom(evaluator, call, context, true);
}

Value BottomCountFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return TopOrBottom(evaluator, call, context, false);
}

// Which levels Descendants returns, relative to the level asked for.
struct DescendantLevels {
  bool before = false;  // between the member's level and the level asked for
  bool self = true;     // the level asked for
  bool after = false;   // below it
  bool leaves = false;  // leaves at or above the level asked for
};

DescendantLevels ParseDescendantsFlag(Evaluator& evaluator, const mdx::Node& node) {
  auto flag = Evaluator::FlagOf(node);
  if (flag == "SELF") return {false, true, false, false};
  if (flag == "AFTER") return {false, false, true, false};
  if (flag == "BEFORE") return {true, false, false, false};
  if (flag == "SELF_AND_AFTER") return {false, true, true, false};
  if (flag == "SELF_AND_BEFORE") return {true, true, false, false};
  if (flag == "SELF_BEFORE_AFTER") return {true, true, true, false};
  if (flag == "LEAVES") return {false, false, false, true};
  evaluator.Fail(node, "Expected SELF, AFTER, BEFORE, SELF_AND_AFTER, SELF_AND_BEFORE, SELF_BEFORE_AFTER or LEAVES");
}

void CollectDescendants(const Member* member, int depth, const DescendantLevels& levels, std::vector<const Member*>& out) {
  int own = member->depth();
  bool wanted = levels.leaves ? (member->children().empty() && own <= depth)
                              : (own < depth ? levels.before : own == depth ? levels.self : levels.after);
  if (wanted) out.push_back(member);
  if (!levels.after && !levels.leaves && own >= depth) return;
  if (levels.leaves && own >= depth) return;
  for (const Member* child : member->children()) CollectDescendants(child, depth, levels, out);
}

Value DescendantsFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet roots = evaluator.EvalSet(*call.args[0], context);
  if (roots.hierarchies.size() > 1) evaluator.Fail(*call.args[0], "Descendants needs members of one hierarchy");
  DescendantLevels levels;
  const Level* level = nullptr;
  int64_t distance = 0;
  bool by_distance = false;
  if (call.args.size() > 1) {
    Value target = evaluator.Eval(*call.args[1], context);
    if (const auto* found = std::get_if<const Level*>(&target)) {
      level = *found;
    } else {
      distance = evaluator.EvalInteger(*call.args[1], context);
      by_distance = true;
    }
  } else {
    levels = {false, true, true, false};  // the member and everything below it
  }
  if (call.args.size() > 2) levels = ParseDescendantsFlag(evaluator, *call.args[2]);
  if (level && !roots.hierarchies.empty() && &level->hierarchy() != roots.hierarchies.front()) {
    evaluator.Fail(*call.args[1], "The level " + level->unique_name() + " is not of the hierarchy " +
                                      roots.hierarchies.front()->unique_name());
  }
  TupleSet result;
  result.hierarchies = roots.hierarchies;
  std::vector<const Member*> members;
  for (const Tuple& tuple : roots.tuples) {
    const Member* root = tuple.front();
    // A distance past the deepest level is as good as any other past it.
    int depth = level        ? level->depth()
                : by_distance ? static_cast<int>(std::clamp<int64_t>(root->depth() + distance, -1, kDeepest))
                              : root->depth();
    if (levels.leaves && !level && !by_distance) depth = std::numeric_limits<int>::max();
    CollectDescendants(root, depth, levels, members);
    evaluator.CheckSize(members.size(), call);
  }
  for (const Member* member : members) result.tuples.push_back(Tuple{member});
  return result;
}

// Members lists leave out hidden measures; AllMembers adds the calculated members.
bool Listed(const Member& member, bool all) {
  if (member.measure && !member.measure->visible) return false;
  if (member.calculated) return all && member.calculated->visible;
  return true;
}

Value MembersProperty(Evaluator& evaluator, const Call& call, const Context& context, bool all) {
  Value object = evaluator.Eval(*call.args[0], context);
  const Level* level = nullptr;
  if (const auto* found = std::get_if<const Level*>(&object)) level = *found;
  const Hierarchy& hierarchy = level ? level->hierarchy() : *evaluator.EvalHierarchy(*call.args[0], context);
  std::vector<const Member*> members;
  for (const Member* member : level ? level->members() : hierarchy.AllMembers()) {
    if (Listed(*member, all)) members.push_back(member);
  }
  if (!all) return MemberSet(hierarchy, members);
  for (const Member* member : evaluator.calculated().MembersOf(hierarchy)) {
    if (!level || member->level == level) members.push_back(member);
  }
  TupleSet set = MemberSet(hierarchy, members);
  if (!hierarchy.is_measures()) Hierarchize(set);
  return set;
}

Value MembersFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return MembersProperty(evaluator, call, context, false);
}

Value AllMembersFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return MembersProperty(evaluator, call, context, true);
}

Value ChildrenFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  TupleSet set;
  if (!member) return set;
  return MemberSet(HierarchyOf(*member), member->children());
}

Value SiblingsFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  TupleSet set;
  if (!member) return set;
  if (member->parent && !IsStatementMember(*member)) return MemberSet(HierarchyOf(*member), member->parent->children());
  if (IsStatementMember(*member)) return MemberSet(HierarchyOf(*member), {member});
  return MemberSet(HierarchyOf(*member), member->level->members());
}

Value AxisFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  int64_t number = evaluator.EvalInteger(*call.args[0], context);
  if (number < 0) evaluator.Fail(call, "Axis numbers start at 0");
  return evaluator.AxisSet(number, call);
}

}  // namespace

void AddSetFunctions(FunctionTable& table) {
  table.Add("CrossJoin", {CrossJoinFunction, 1, 16, CallForms::kFunction});
  table.Add("Union", {UnionFunction, 2, 17, CallForms::kFunction});
  table.Add("Intersect", {IntersectFunction, 2, 3, CallForms::kFunction});
  table.Add("Except", {ExceptFunction, 2, 3, CallForms::kFunction});
  table.Add("Distinct", {DistinctFunction, 1, 1, CallForms::kFunction});
  table.Add("Hierarchize", {HierarchizeFunction, 1, 2, CallForms::kFunction});
  table.Add("Order", {OrderFunction, 2, 33, CallForms::kFunction});
  table.Add("Filter", {FilterFunction, 2, 2, CallForms::kFunction});
  table.Add("Head", {HeadFunction, 1, 2, CallForms::kFunction});
  table.Add("Tail", {TailFunction, 1, 2, CallForms::kFunction});
  table.Add("TopCount", {TopCountFunction, 2, 3, CallForms::kFunction});
  table.Add("BottomCount", {BottomCountFunction, 2, 3, CallForms::kFunction});
  table.Add("Descendants", {DescendantsFunction, 1, 3, CallForms::kFunction});
  table.Add("Members", {MembersFunction, 1, 1, CallForms::kMember});
  table.Add("AllMembers", {AllMembersFunction, 1, 1, CallForms::kMember});
  table.Add("Children", {ChildrenFunction, 1, 1, CallForms::kMember});
  table.Add("Siblings", {SiblingsFunction, 1, 1, CallForms::kMember});
  table.Add("Axis", {AxisFunction, 1, 1, CallForms::kFunction});
}

}  // namespace orvex::engine

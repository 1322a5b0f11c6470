// Set functions beyond the core algebra: Generate, Exists, NonEmpty and
// NonEmptyCrossJoin, Extract and Subset, Ancestors and Ascendants, the
// Top/Bottom by percent and sum, the drill functions, and calculated members
// taken out of or added to a set. Those that read values (NonEmpty, TopSum,
// ...) evaluate at each tuple of the pass; the cells a pass misses are read
// together, in grouped statements, before the next.
#include <algorithm>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "engine/eval/evaluator.h"
#include "engine/eval/function_table.h"
#include "engine/eval/set_algebra.h"
#include "engine/eval/tuple_sorter.h"

namespace orvex::engine {

namespace {

using mdx::Call;

TupleSet MembersOf(const Hierarchy& hierarchy, const std::vector<const Member*>& members) {
  TupleSet set;
  set.hierarchies.push_back(&hierarchy);
  for (const Member* member : members) set.tuples.push_back(Tuple{member});
  return set;
}

// Generate(set1, set2[, ALL]): set2 evaluated at each tuple of set1, joined
// (duplicates dropped unless ALL). Generate(set, text[, delimiter]): the texts
// joined with the delimiter.
Value GenerateFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet source = evaluator.EvalSet(*call.args[0], context);
  bool all = call.args.size() > 2 && Evaluator::FlagOf(*call.args[2]) == "ALL";
  Context at = context;
  std::optional<TupleSet> sets;
  std::optional<std::string> text;
  std::string delimiter;
  if (call.args.size() > 2 && !all) delimiter = ScalarText(evaluator.EvalScalar(*call.args[2], context));
  for (const Tuple& tuple : source.tuples) {
    at.SetTuple(tuple, source.hierarchies);
    Value value = evaluator.Eval(*call.args[1], at);
    if (const auto* scalar = std::get_if<Scalar>(&value)) {
      if (sets) evaluator.Fail(*call.args[1], "Generate: the expression gives sets for some tuples and text for others");
      text = text ? *text + delimiter + ScalarText(*scalar) : ScalarText(*scalar);
      continue;
    }
    if (text) evaluator.Fail(*call.args[1], "Generate: the expression gives sets for some tuples and text for others");
    if (call.args.size() > 2 && !all) evaluator.Fail(*call.args[2], "Expected ALL as argument 3 of Generate");
    TupleSet part = evaluator.SetOf(std::move(value), at, *call.args[1]);
    if (!sets) {
      sets = std::move(part);
      continue;
    }
    std::string problem = CheckSameHierarchies(*sets, part);
    if (!problem.empty()) evaluator.Fail(*call.args[1], "Generate: " + problem);
    AdoptHierarchies(*sets, part);
    sets = Union(std::move(*sets), std::move(part), true);
    evaluator.CheckSize(sets->tuples.size(), call, sets->hierarchies.size());
  }
  if (text) return Scalar(*text);
  if (!sets) return TupleSet{};
  return all ? std::move(*sets) : Distinct(std::move(*sets));
}

// True when `a` and `b`, members of one hierarchy, lie on one path: one is the other or above it.
bool OnOnePath(const Member* a, const Member* b) { return a == b || a->IsAncestorOf(*b) || b->IsAncestorOf(*a); }

// Pairs of members that some row of a dimension table holds together.
struct RelatedPairs {
  size_t in_set = 0, in_filter = 0;  // the hierarchies' positions in the two sets
  std::set<std::pair<const Member*, const Member*>> pairs;
};

// Without a measure group, two hierarchies of one dimension over one table
// relate through its rows: a city and a gender exist together where some
// customer has both. One query per such pair of hierarchies.
std::vector<RelatedPairs> RelateThroughTables(Evaluator& evaluator, const TupleSet& set, const TupleSet& filter) {
  std::vector<RelatedPairs> related;
  for (size_t in_set = 0; in_set < set.hierarchies.size(); ++in_set) {
    for (size_t in_filter = 0; in_filter < filter.hierarchies.size(); ++in_filter) {
      const Hierarchy& mine = *set.hierarchies[in_set];
      const Hierarchy& theirs = *filter.hierarchies[in_filter];
      if (&mine == &theirs || &mine.dimension() != &theirs.dimension()) continue;
      std::vector<const Member*> left, right;
      for (const Tuple& tuple : set.tuples) left.push_back(tuple[in_set]);
      for (const Tuple& tuple : filter.tuples) right.push_back(tuple[in_filter]);
      auto pairs = mine.RelatedThroughTable(theirs, left, right, evaluator.budget().deadline());
      if (!pairs) continue;
      related.push_back({in_set, in_filter, {pairs->begin(), pairs->end()}});
    }
  }
  return related;
}

// A member that lies over every row of its table: the all member or a calculated one.
bool OverEveryRow(const Member* member) { return member->is_all || member->calculated; }

// Exists(set1, set2): the tuples of set1 that agree with some tuple of set2
// on every hierarchy both have (a member agrees with itself, its ancestors
// and its descendants) and, on hierarchies of one dimension table, share a
// row of it. With a third argument, a measure group (here: the cube), the
// pair must instead have a value of the current measure.
Value ExistsFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  TupleSet filter = evaluator.EvalSet(*call.args[1], context);
  bool with_facts = call.args.size() > 2;
  std::vector<std::pair<size_t, size_t>> shared;  // (index in set, index in filter)
  for (size_t index = 0; index < set.hierarchies.size(); ++index) {
    auto found = std::find(filter.hierarchies.begin(), filter.hierarchies.end(), set.hierarchies[index]);
    if (found != filter.hierarchies.end()) shared.emplace_back(index, static_cast<size_t>(found - filter.hierarchies.begin()));
  }
  std::vector<RelatedPairs> related;
  if (!with_facts && !set.tuples.empty() && !filter.tuples.empty()) related = RelateThroughTables(evaluator, set, filter);
  std::vector<Tuple> kept;
  Context at = context;
  for (Tuple& tuple : set.tuples) {
    bool exists = false;
    for (const Tuple& other : filter.tuples) {
      bool agrees = std::all_of(shared.begin(), shared.end(), [&](const auto& pair) {
        return OnOnePath(tuple[pair.first], other[pair.second]);
      });
      agrees = agrees && std::all_of(related.begin(), related.end(), [&](const RelatedPairs& pairs) {
                 const Member* mine = tuple[pairs.in_set];
                 const Member* theirs = other[pairs.in_filter];
                 return OverEveryRow(mine) || OverEveryRow(theirs) || pairs.pairs.count({mine, theirs}) != 0;
               });
      if (agrees && with_facts) {
        at = context;
        at.SetTuple(other, filter.hierarchies);
        at.SetTuple(tuple, set.hierarchies);
        agrees = !IsEmpty(evaluator.CellValue(at));
      }
      if (agrees) {
        exists = true;
        break;
      }
    }
    if (exists) kept.push_back(std::move(tuple));
  }
  set.tuples = std::move(kept);
  return set;
}

// The tuples of `set` with a value somewhere in `filter` (at the tuple alone
// when `filter` is nullptr).
TupleSet KeepNonEmpty(Evaluator& evaluator, TupleSet set, const TupleSet* filter, const Context& context) {
  std::vector<Tuple> kept;
  Context at = context;
  for (Tuple& tuple : set.tuples) {
    bool found = false;
    if (!filter) {
      at.SetTuple(tuple, set.hierarchies);
      found = !IsEmpty(evaluator.CellValue(at));
    } else {
      for (const Tuple& other : filter->tuples) {
        at = context;
        at.SetTuple(other, filter->hierarchies);
        at.SetTuple(tuple, set.hierarchies);
        if (!IsEmpty(evaluator.CellValue(at))) {
          found = true;
          break;
        }
      }
    }
    if (found) kept.push_back(std::move(tuple));
  }
  set.tuples = std::move(kept);
  return set;
}

Value NonEmptyFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  if (call.args.size() < 2) return KeepNonEmpty(evaluator, std::move(set), nullptr, context);
  TupleSet filter = evaluator.EvalSet(*call.args[1], context);
  return KeepNonEmpty(evaluator, std::move(set), &filter, context);
}

// True when the tuple holds a calculated member (or a visual total).
bool HoldsCalculated(const Tuple& tuple) {
  return std::any_of(tuple.begin(), tuple.end(), [](const Member* member) { return member && member->calculated; });
}

// `set` without its tuples that hold calculated members.
TupleSet WithoutCalculated(TupleSet set) {
  std::erase_if(set.tuples, HoldsCalculated);
  return set;
}

// NonEmptyCrossJoin(set, ...[, count]): the crossjoin of the first `count`
// sets (all when no count is given) keeping the tuples with fact data, the
// remaining sets acting as a filter over which data is looked for. It sees
// only what the fact rows hold: calculated members are left out of every
// set, and under a calculated measure the data looked for is that of the
// cube's default measure (else its first stored one).
Value NonEmptyCrossJoinFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  size_t sets = call.args.size();
  std::optional<size_t> joined;
  Value last = evaluator.Eval(*call.args.back(), context);
  if (std::holds_alternative<Scalar>(last)) {
    int64_t count = evaluator.EvalInteger(*call.args.back(), context);
    --sets;
    if (count < 1 || static_cast<uint64_t>(count) > sets) {
      evaluator.Fail(*call.args.back(), "NonEmptyCrossJoin: the count must be 1 to " + std::to_string(sets));
    }
    joined = static_cast<size_t>(count);
  }
  auto cross = [&](size_t from, size_t to) {
    TupleSet result = WithoutCalculated(evaluator.EvalSet(*call.args[from], context));
    for (size_t index = from + 1; index < to; ++index) {
      TupleSet next = WithoutCalculated(evaluator.EvalSet(*call.args[index], context));
      std::string problem = CheckDisjointHierarchies(result.hierarchies, next.hierarchies);
      if (!problem.empty()) evaluator.Fail(call, "NonEmptyCrossJoin: " + problem);
      evaluator.CheckSize(result.tuples.size(), next.tuples.size(), call,
                          result.hierarchies.size() + next.hierarchies.size());
      result = CrossJoin(result, next);
    }
    return result;
  };
  size_t split = joined.value_or(sets);
  TupleSet result = cross(0, split);
  Context at = context;
  if (const Member* measure = context.measure(); measure && measure->calculated) {
    const Member* stored = evaluator.cube().default_measure();
    if ((!stored || !stored->measure) && !evaluator.cube().measures().empty()) {
      for (const Member* member : evaluator.cube().measures_hierarchy().LevelMembers(0)) {
        if (member->measure) {
          stored = member;
          break;
        }
      }
    }
    if (stored && stored->measure) at.Set(*stored);
  }
  if (split == sets) return KeepNonEmpty(evaluator, std::move(result), nullptr, at);
  TupleSet filter = cross(split, sets);
  return KeepNonEmpty(evaluator, std::move(result), &filter, at);
}

// Extract(set, hierarchy, ...): the set's tuples cut down to those hierarchies, duplicates dropped.
Value ExtractFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  std::vector<size_t> picked;
  TupleSet result;
  for (size_t index = 1; index < call.args.size(); ++index) {
    const Hierarchy* hierarchy = evaluator.EvalHierarchy(*call.args[index], context);
    auto found = std::find(set.hierarchies.begin(), set.hierarchies.end(), hierarchy);
    if (found == set.hierarchies.end()) {
      evaluator.Fail(*call.args[index], "Extract: the set has no member of " + hierarchy->unique_name());
    }
    picked.push_back(static_cast<size_t>(found - set.hierarchies.begin()));
    result.hierarchies.push_back(hierarchy);
  }
  for (const Tuple& tuple : set.tuples) {
    Tuple cut;
    for (size_t index : picked) cut.push_back(tuple[index]);
    result.tuples.push_back(std::move(cut));
  }
  return Distinct(std::move(result));
}

// Subset(set, start[, count]): from the 0-based `start`, `count` tuples or the rest.
Value SubsetFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  int64_t start = evaluator.EvalInteger(*call.args[1], context);
  int64_t count = call.args.size() > 2 ? evaluator.EvalInteger(*call.args[2], context)
                                       : static_cast<int64_t>(set.tuples.size());
  auto size = static_cast<int64_t>(set.tuples.size());
  start = std::clamp<int64_t>(start, 0, size);
  int64_t end = std::clamp<int64_t>(start + std::max<int64_t>(count, 0), start, size);
  set.tuples = std::vector<Tuple>(set.tuples.begin() + start, set.tuples.begin() + end);
  return set;
}

// Ancestors(member, level | distance): the set of the one ancestor there.
Value AncestorsFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  if (!member) return TupleSet{};
  Value target = evaluator.Eval(*call.args[1], context);
  int64_t depth = 0;
  if (const auto* level = std::get_if<const Level*>(&target)) {
    if (&(*level)->hierarchy() != &HierarchyOf(*member)) {
      evaluator.Fail(*call.args[1], "Ancestors: the level " + (*level)->unique_name() +
                                        " is not of the hierarchy of " + member->unique_name);
    }
    depth = (*level)->depth();
  } else {
    depth = member->depth() - evaluator.EvalInteger(*call.args[1], context);
  }
  const Member* at = member;
  while (at && at->depth() > depth) at = at->parent;
  if (!at || at->depth() != depth) return MembersOf(HierarchyOf(*member), {});
  return MembersOf(HierarchyOf(*member), {at});
}

// Ascendants(member): the member, then its parent, and so on to the top.
Value AscendantsFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  const Member* member = evaluator.EvalMember(*call.args[0], context);
  if (!member) return TupleSet{};
  std::vector<const Member*> path;
  for (const Member* at = member; at; at = at->parent) path.push_back(at);
  return MembersOf(HierarchyOf(*member), path);
}

// TopPercent, TopSum, BottomPercent, BottomSum: the set sorted by the value
// (highest first for Top, lowest first for Bottom), then tuples taken until
// their running total reaches the target; the tuple that reaches it is in,
// and a target of 0 or less takes none.
Value TakeUntilTotal(Evaluator& evaluator, const Call& call, const Context& context, bool top, bool percent) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  double target = evaluator.EvalNumber(*call.args[1], context);
  TupleSorter(evaluator, *call.args[2], context).SortFlat(set, top);
  std::vector<double> values;
  Context at = context;
  double total = 0;
  for (const Tuple& tuple : set.tuples) {
    at.SetTuple(tuple, set.hierarchies);
    double value = NumberOf(evaluator.EvalScalar(*call.args[2], at)).value_or(0);
    values.push_back(value);
    total += value;
  }
  if (percent) {
    if (target < 0 || target > 100) evaluator.Fail(*call.args[1], call.function + " takes a percentage from 0 to 100");
    target = total * target / 100;
  }
  double running = 0;
  size_t count = 0;
  while (count < set.tuples.size() && running < target) running += values[count++];
  set.tuples.resize(count);
  return set;
}

Value TopPercentFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return TakeUntilTotal(evaluator, call, context, true, true);
}

Value TopSumFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return TakeUntilTotal(evaluator, call, context, true, false);
}

Value BottomPercentFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return TakeUntilTotal(evaluator, call, context, false, true);
}

Value BottomSumFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return TakeUntilTotal(evaluator, call, context, false, false);
}

// The set of one hierarchy's members that the drill functions work on.
TupleSet MemberSetArgument(Evaluator& evaluator, const Call& call, size_t index, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[index], context);
  if (set.hierarchies.size() > 1) {
    evaluator.Fail(*call.args[index], call.function + " takes a set of members of one hierarchy as argument " +
                                          std::to_string(index + 1));
  }
  return set;
}

// The depth the drill functions act at: the level given, else the deepest in the set.
int DrillDepth(Evaluator& evaluator, const Call& call, const TupleSet& set, const Context& context, size_t index) {
  if (call.args.size() > index) {
    Value value = evaluator.Eval(*call.args[index], context);
    if (const auto* level = std::get_if<const Level*>(&value)) return (*level)->depth();
    evaluator.Fail(*call.args[index], call.function + " takes a level as argument " + std::to_string(index + 1));
  }
  int deepest = -1;
  for (const Tuple& tuple : set.tuples) deepest = std::max(deepest, tuple.front()->depth());
  return deepest;
}

// DrilldownLevel(set[, level]): each member at the level followed by its children.
Value DrilldownLevelFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = MemberSetArgument(evaluator, call, 0, context);
  int depth = DrillDepth(evaluator, call, set, context, 1);
  std::vector<Tuple> result;
  for (size_t index = 0; index < set.tuples.size(); ++index) {
    const Member* member = set.tuples[index].front();
    result.push_back(set.tuples[index]);
    if (member->depth() != depth) continue;
    // Children already following the member are not repeated.
    bool drilled = index + 1 < set.tuples.size() && set.tuples[index + 1].front()->parent == member;
    if (drilled) continue;
    for (const Member* child : member->children()) result.push_back(Tuple{child});
    evaluator.CheckSize(result.size(), call);
  }
  set.tuples = std::move(result);
  return set;
}

// DrilldownLevelTop / Bottom(set, count[, level[, expression]]): as
// DrilldownLevel, with only the `count` children of highest (lowest) value.
Value DrilldownLevelTopOrBottom(Evaluator& evaluator, const Call& call, const Context& context, bool top) {
  TupleSet set = MemberSetArgument(evaluator, call, 0, context);
  int64_t count = std::max<int64_t>(evaluator.EvalInteger(*call.args[1], context), 0);
  int depth = DrillDepth(evaluator, call, set, context, 2);
  std::vector<Tuple> result;
  for (const Tuple& tuple : set.tuples) {
    const Member* member = tuple.front();
    result.push_back(tuple);
    if (member->depth() != depth) continue;
    TupleSet children = MembersOf(HierarchyOf(*member), member->children());
    if (call.args.size() > 3) {
      TupleSorter(evaluator, *call.args[3], context).SortFlat(children, top);
    } else {
      // Without an expression the children are ranked by the cell value.
      Context at = context;
      std::vector<std::pair<double, size_t>> ranked;
      for (size_t index = 0; index < children.tuples.size(); ++index) {
        at.SetTuple(children.tuples[index], children.hierarchies);
        ranked.emplace_back(NumberOf(evaluator.CellValue(at)).value_or(top ? -1e308 : 1e308), index);
      }
      std::stable_sort(ranked.begin(), ranked.end(), [top](const auto& a, const auto& b) {
        return top ? a.first > b.first : a.first < b.first;
      });
      std::vector<Tuple> sorted;
      for (const auto& entry : ranked) sorted.push_back(children.tuples[entry.second]);
      children.tuples = std::move(sorted);
    }
    if (children.tuples.size() > static_cast<uint64_t>(count)) children.tuples.resize(static_cast<size_t>(count));
    result.insert(result.end(), children.tuples.begin(), children.tuples.end());
  }
  set.tuples = std::move(result);
  return set;
}

Value DrilldownLevelTopFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return DrilldownLevelTopOrBottom(evaluator, call, context, true);
}

Value DrilldownLevelBottomFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return DrilldownLevelTopOrBottom(evaluator, call, context, false);
}

std::unordered_set<const Member*> MembersIn(const TupleSet& set) {
  std::unordered_set<const Member*> members;
  for (const Tuple& tuple : set.tuples) members.insert(tuple.front());
  return members;
}

void DrillDown(const Member* member, const std::unordered_set<const Member*>& targets, bool recursive,
               std::vector<Tuple>& out) {
  out.push_back(Tuple{member});
  if (!targets.count(member)) return;
  for (const Member* child : member->children()) {
    if (recursive) {
      DrillDown(child, targets, recursive, out);
    } else {
      out.push_back(Tuple{child});
    }
  }
}

// DrilldownMember(set1, set2[, RECURSIVE]): each member of set1 that is in
// set2 followed by its children; with RECURSIVE, children in set2 are drilled too.
Value DrilldownMemberFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = MemberSetArgument(evaluator, call, 0, context);
  TupleSet targets = MemberSetArgument(evaluator, call, 1, context);
  bool recursive = false;
  if (call.args.size() > 2) {
    if (Evaluator::FlagOf(*call.args[2]) != "RECURSIVE") evaluator.Fail(*call.args[2], "Expected RECURSIVE");
    recursive = true;
  }
  std::unordered_set<const Member*> drill = MembersIn(targets);
  std::vector<Tuple> result;
  for (size_t index = 0; index < set.tuples.size(); ++index) {
    const Member* member = set.tuples[index].front();
    bool drilled = index + 1 < set.tuples.size() && set.tuples[index + 1].front()->parent == member;
    if (drilled) {
      result.push_back(set.tuples[index]);
      continue;
    }
    DrillDown(member, drill, recursive, result);
    evaluator.CheckSize(result.size(), call);
  }
  set.tuples = std::move(result);
  return set;
}

// DrillupLevel(set[, level]): the members below the level left out (without
// a level, those at the deepest level in the set).
Value DrillupLevelFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = MemberSetArgument(evaluator, call, 0, context);
  std::vector<Tuple> kept;
  if (call.args.size() > 1) {
    int depth = DrillDepth(evaluator, call, set, context, 1);
    for (Tuple& tuple : set.tuples) {
      if (tuple.front()->depth() <= depth) kept.push_back(std::move(tuple));
    }
  } else {
    int deepest = DrillDepth(evaluator, call, set, context, 1);
    int shallowest = deepest;
    for (const Tuple& tuple : set.tuples) shallowest = std::min(shallowest, tuple.front()->depth());
    for (Tuple& tuple : set.tuples) {
      if (tuple.front()->depth() < deepest || shallowest == deepest) kept.push_back(std::move(tuple));
    }
  }
  set.tuples = std::move(kept);
  return set;
}

// DrillupMember(set1, set2): the descendants of members in both sets left out of set1.
Value DrillupMemberFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = MemberSetArgument(evaluator, call, 0, context);
  TupleSet targets = MemberSetArgument(evaluator, call, 1, context);
  std::unordered_set<const Member*> in_set = MembersIn(set);
  std::unordered_set<const Member*> collapse;
  for (const Tuple& tuple : targets.tuples) {
    if (in_set.count(tuple.front())) collapse.insert(tuple.front());
  }
  std::vector<Tuple> kept;
  for (Tuple& tuple : set.tuples) {
    bool under = false;
    for (const Member* at = tuple.front()->parent; at && !under; at = at->parent) under = collapse.count(at) > 0;
    if (!under) kept.push_back(std::move(tuple));
  }
  set.tuples = std::move(kept);
  return set;
}

// ToggleDrillState(set1, set2): members of set1 in set2 drilled up where
// their descendants follow them, else drilled down.
Value ToggleDrillStateFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = MemberSetArgument(evaluator, call, 0, context);
  TupleSet targets = MemberSetArgument(evaluator, call, 1, context);
  std::unordered_set<const Member*> toggle = MembersIn(targets);
  std::vector<Tuple> result;
  for (size_t index = 0; index < set.tuples.size(); ++index) {
    const Member* member = set.tuples[index].front();
    result.push_back(set.tuples[index]);
    if (!toggle.count(member)) continue;
    if (index + 1 < set.tuples.size() && member->IsAncestorOf(*set.tuples[index + 1].front())) {
      while (index + 1 < set.tuples.size() && member->IsAncestorOf(*set.tuples[index + 1].front())) ++index;
    } else {
      for (const Member* child : member->children()) result.push_back(Tuple{child});
    }
    evaluator.CheckSize(result.size(), call);
  }
  set.tuples = std::move(result);
  return set;
}

Value StripCalculatedMembersFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  std::vector<Tuple> kept;
  for (Tuple& tuple : set.tuples) {
    if (std::none_of(tuple.begin(), tuple.end(), [](const Member* member) { return member->calculated; })) {
      kept.push_back(std::move(tuple));
    }
  }
  set.tuples = std::move(kept);
  return set;
}

// AddCalculatedMembers(set): the set, then the calculated members of the
// levels its members are at (a set of one hierarchy).
Value AddCalculatedMembersFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = MemberSetArgument(evaluator, call, 0, context);
  if (set.hierarchies.empty()) return set;
  std::unordered_set<const Level*> levels;
  std::unordered_set<const Member*> present = MembersIn(set);
  for (const Tuple& tuple : set.tuples) levels.insert(tuple.front()->level);
  for (const Member* member : evaluator.calculated().MembersOf(*set.hierarchies.front())) {
    if (levels.count(member->level) && !present.count(member)) set.tuples.push_back(Tuple{member});
  }
  return set;
}

// The caption `pattern` gives the visual total of `base`: each "*" stands
// for base's caption, "**" for a "*" itself; "" when there is no pattern.
std::string TotalCaption(const std::string& pattern, const Member& base) {
  std::string caption;
  for (size_t index = 0; index < pattern.size(); ++index) {
    if (pattern[index] != '*') {
      caption += pattern[index];
    } else if (index + 1 < pattern.size() && pattern[index + 1] == '*') {
      caption += '*';
      ++index;
    } else {
      caption += base.caption;
    }
  }
  return caption;
}

// VisualTotals(set[, pattern]): each member of the set with descendants in
// it replaced by its visual total, the aggregate of those descendants that
// have none in the set themselves: so totals nest, a total over totals
// being the total over their parts. Over tuples each hierarchy is totalled
// on its own, from the members it shows in the set, so that a tuple of two
// totals aggregates every pair of their parts.
Value VisualTotalsFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  TupleSet set = evaluator.EvalSet(*call.args[0], context);
  std::string pattern;
  if (call.args.size() > 1) {
    Scalar given = evaluator.EvalScalar(*call.args[1], context);
    if (!std::holds_alternative<std::string>(given)) {
      evaluator.Fail(*call.args[1], "VisualTotals takes a text pattern as argument 2");
    }
    pattern = std::get<std::string>(given);
  }
  for (size_t position = 0; position < set.hierarchies.size(); ++position) {
    // The members shown at this position, in the order they first appear.
    std::vector<const Member*> shown;
    std::unordered_set<const Member*> in_set;
    for (const Tuple& tuple : set.tuples) {
      const Member* member = tuple[position];
      if (member && in_set.insert(member).second) shown.push_back(member);
    }
    // The members with descendants in the set; the others are the parts totals add up.
    std::unordered_set<const Member*> above_others;
    for (const Member* member : shown) {
      for (const Member* at = member->parent; at; at = at->parent) {
        if (in_set.count(at)) above_others.insert(at);
      }
    }
    std::unordered_map<const Member*, const Member*> total_of;
    for (const Member* base : shown) {
      if (!above_others.count(base)) continue;
      std::vector<const Member*> parts;
      for (const Member* candidate : shown) {
        if (base->IsAncestorOf(*candidate) && !above_others.count(candidate)) parts.push_back(candidate);
      }
      if (!parts.empty()) {
        total_of[base] = evaluator.calculated().VisualTotal(*base, parts, TotalCaption(pattern, *base));
      }
    }
    for (Tuple& tuple : set.tuples) {
      auto found = total_of.find(tuple[position]);
      if (found != total_of.end()) tuple[position] = found->second;
    }
  }
  return set;
}

// Unorder(set): the set; the order it returns is allowed to be any, and the one it has is as good.
Value UnorderFunction(Evaluator& evaluator, const Call& call, const Context& context) {
  return evaluator.EvalSet(*call.args[0], context);
}

}  // namespace

void AddSetLibraryFunctions(FunctionTable& table) {
  table.Add("Generate", {GenerateFunction, 2, 3, CallForms::kFunction});
  table.Add("Exists", {ExistsFunction, 2, 3, CallForms::kFunction});
  table.Add("NonEmpty", {NonEmptyFunction, 1, 2, CallForms::kFunction});
  table.Add("NonEmptyCrossJoin", {NonEmptyCrossJoinFunction, 1, 17, CallForms::kFunction});
  table.Add("Extract", {ExtractFunction, 2, 17, CallForms::kFunction});
  table.Add("Subset", {SubsetFunction, 2, 3, CallForms::kFunction});
  table.Add("Ancestors", {AncestorsFunction, 2, 2, CallForms::kFunction});
  table.Add("Ascendants", {AscendantsFunction, 1, 1, CallForms::kFunction});
  table.Add("TopPercent", {TopPercentFunction, 3, 3, CallForms::kFunction});
  table.Add("TopSum", {TopSumFunction, 3, 3, CallForms::kFunction});
  table.Add("BottomPercent", {BottomPercentFunction, 3, 3, CallForms::kFunction});
  table.Add("BottomSum", {BottomSumFunction, 3, 3, CallForms::kFunction});
  table.Add("DrilldownLevel", {DrilldownLevelFunction, 1, 2, CallForms::kFunction});
  table.Add("DrilldownLevelTop", {DrilldownLevelTopFunction, 2, 4, CallForms::kFunction});
  table.Add("DrilldownLevelBottom", {DrilldownLevelBottomFunction, 2, 4, CallForms::kFunction});
  table.Add("DrilldownMember", {DrilldownMemberFunction, 2, 3, CallForms::kFunction});
  table.Add("DrillupLevel", {DrillupLevelFunction, 1, 2, CallForms::kFunction});
  table.Add("DrillupMember", {DrillupMemberFunction, 2, 2, CallForms::kFunction});
  table.Add("ToggleDrillState", {ToggleDrillStateFunction, 2, 3, CallForms::kFunction});
  table.Add("StripCalculatedMembers", {StripCalculatedMembersFunction, 1, 1, CallForms::kFunction});
  table.Add("AddCalculatedMembers", {AddCalculatedMembersFunction, 1, 1, CallForms::kFunction});
  table.Add("Unorder", {UnorderFunction, 1, 1, CallForms::kFunction});
  table.Add("VisualTotals", {VisualTotalsFunction, 1, 2, CallForms::kFunction});
}

}  // namespace orvex::engine

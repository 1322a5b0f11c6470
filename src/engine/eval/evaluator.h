#pragma once
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/eval/calculated_members.h"
#include "engine/eval/statement_values.h"
#include "engine/eval/context.h"
#include "engine/eval/engine_options.h"
#include "engine/eval/name_resolver.h"
#include "engine/eval/statement_budget.h"
#include "engine/eval/value.h"
#include "engine/mdx/ast.h"
#include "engine/model/cube.h"

namespace orvex::engine {

// Evaluates MDX expressions over one cube: sets of tuples, members and cell
// values, calculated members in the context of each cell. Stored-measure
// values come from the StatementValues; one not read yet counts as empty and is left
// pending, so a caller runs the evaluation again after the cache has fetched
// (see QueryExecutor). Errors throw ComError naming the place in the statement.
// One evaluation pass of one statement, one thread; everything referenced must
// outlive the evaluator. Every step counts against the statement's budget.
class Evaluator {
 public:
  Evaluator(const Cube& cube, const mdx::Statement* statement, CalculatedMembers& calculated, NameResolver& names,
            StatementValues& cells, const EngineOptions& options, StatementBudget& budget);
  Evaluator(const Evaluator&) = delete;
  Evaluator& operator=(const Evaluator&) = delete;

  // Every hierarchy at its default member, the measures at the default measure.
  Context DefaultContext() const;
  const Member* DefaultMemberOf(const Hierarchy& hierarchy) const;
  // The context of named sets and axes: the defaults with the slicer applied.
  const Context& base_context() const { return base_; }
  void set_base_context(Context context) { base_ = std::move(context); }

  Value Eval(const mdx::Node& node, const Context& context);
  // The value of a scalar expression; a member or tuple gives its cell's value.
  Scalar EvalScalar(const mdx::Node& node, const Context& context);
  // A set; a member or tuple becomes a set of one tuple (none when it has a null member).
  TupleSet EvalSet(const mdx::Node& node, const Context& context);
  // A member (possibly null: the parent of a top member); anything else fails.
  const Member* EvalMember(const mdx::Node& node, const Context& context);
  // A tuple or member as a tuple; `hierarchies` receives its hierarchies.
  Tuple EvalTuple(const mdx::Node& node, const Context& context, std::vector<const Hierarchy*>& hierarchies);
  const Level* EvalLevel(const mdx::Node& node, const Context& context);
  // A hierarchy, also given as a dimension (its first hierarchy), level or member.
  const Hierarchy* EvalHierarchy(const mdx::Node& node, const Context& context);
  // A number that must be there (a count, a distance); empty or text fails.
  double EvalNumber(const mdx::Node& node, const Context& context);
  // A whole number (a count, an index, a distance): a fraction is cut toward
  // zero and anything beyond +-kMaxInteger (infinities too) becomes that bound,
  // so a huge count takes everything; not-a-number fails, as EvalNumber's misses.
  static constexpr int64_t kMaxInteger = int64_t{1} << 53;
  int64_t EvalInteger(const mdx::Node& node, const Context& context);
  bool EvalCondition(const mdx::Node& node, const Context& context);

  Scalar ScalarOf(const Value& value, const Context& context, const mdx::Node& at);
  // A hierarchy (or dimension) stands for its current member in `context`.
  TupleSet SetOf(Value value, const Context& context, const mdx::Node& at);
  // The value of the cell at `context`: the formula of the calculated member
  // that wins there, else the stored measure's value.
  Scalar CellValue(const Context& context);
  // The tuples of `set` as a filter to aggregate stored values over (see
  // Context::SetFilter); fails at `at` for measures and calculated members,
  // whose values no filter on the fact rows can give.
  TupleFilter FilterOf(const TupleSet& set, const mdx::Node& at);

  // The upper-case word of a bare one-part name (ASC, SELF_AND_AFTER, ALL);
  // nullopt for anything else. Functions read their flags with it.
  static std::optional<std::string> FlagOf(const mdx::Node& node);
  [[noreturn]] void Fail(const mdx::Node& at, const std::string& message) const;
  // Fails when a set of `tuples` tuples of `width` members would exceed the
  // cell limit or the statement's memory budget.
  void CheckSize(size_t tuples, const mdx::Node& at, size_t width = 1) const;
  // The same for a cross join of sets of `a` and `b` tuples, whose product may
  // not fit a size_t.
  void CheckSize(size_t a, size_t b, const mdx::Node& at, size_t width) const;

  // Builds axis `number` of the statement, as written (before NON EMPTY);
  // the axes are built in order, after the slicer.
  TupleSet BuildAxis(size_t number);
  // The set of an axis already built, for Axis(n). Fails, naming the axis, for
  // the axis being built or a later one (which would refer to itself, or be
  // built in a context it does not have yet) and for any axis in the slicer.
  TupleSet AxisSet(int64_t number, const mdx::Node& at);
  const Cube& cube() const { return cube_; }
  // The statement being evaluated; null for a formula evaluated on its own.
  const mdx::Statement* statement() const { return statement_; }
  NameResolver& names() { return names_; }
  CalculatedMembers& calculated() { return calculated_; }
  const EngineOptions& options() const { return options_; }
  StatementBudget& budget() { return budget_; }
  // What a function computed once in this pass and reuses at later cells
  // (Rank's ordered set), by the call and a key of the function's choosing.
  // A pass reads each stored value as it stood when the pass began, so what
  // is kept here stays right for the whole pass.
  std::shared_ptr<void>& Memo(const mdx::Node& call, const std::vector<const Member*>& key) {
    return memo_[{&call, key}];
  }

 private:
  Value EvalName(const mdx::Name& name);
  Value EvalCall(const mdx::Call& call, const Context& context);
  Value EvalTupleNode(const mdx::TupleNode& node, const Context& context);
  Value EvalSetNode(const mdx::SetNode& node, const Context& context);
  Value EvalUnary(const mdx::Unary& node, const Context& context);
  Value EvalBinary(const mdx::Binary& node, const Context& context);
  Value EvalRange(const mdx::Binary& node, const Context& context);
  TupleSet NamedSet(NamedSetRef ref, const mdx::Node& at);
  // Runs `evaluate`, a formula of the cube's schema, so that an error leaving
  // it names the formula: `prefix` goes before the message, except that of an
  // error a member's formula inside it has named already when this one is a
  // member's too (the innermost member names it).
  template <class Evaluate>
  auto InSchemaFormula(const std::string& prefix, bool is_member, Evaluate evaluate) -> decltype(evaluate());
  // The value of a stored measure's cell at members whose role hides some of
  // their descendants, as the role's rollup policy says; nullopt where the
  // stored value stands.
  std::optional<Scalar> RestrictedRollup(const Context& context);
  // A member, or a hierarchy's current member; nullopt for anything else.
  static std::optional<const Member*> MemberOf(const Value& value, const Context& context);

  const Cube& cube_;
  const mdx::Statement* statement_;
  CalculatedMembers& calculated_;
  NameResolver& names_;
  StatementValues& cells_;
  const EngineOptions& options_;
  StatementBudget& budget_;
  Context base_;
  // By formula index, then the cube's named sets after the statement's
  // formulas (NamedSetRef), evaluated on first use.
  std::vector<std::optional<TupleSet>> named_sets_;
  std::vector<std::shared_ptr<const mdx::Node>> cube_set_formulas_;  // parsed on first use, by cube set
  std::vector<bool> evaluating_sets_;
  std::vector<std::optional<TupleSet>> axis_sets_;
  size_t axes_built_ = 0;
  std::optional<size_t> building_axis_;
  int formula_depth_ = 0;
  // The error in flight that a schema formula last prefixed, told apart by
  // identity rather than by its text, and whether a member's formula did it.
  std::exception_ptr prefixed_error_;
  bool prefixed_by_member_ = false;
  int eval_depth_ = 0;  // nested Eval calls, through formulas and named sets too
  std::map<std::pair<const mdx::Node*, std::vector<const Member*>>, std::shared_ptr<void>> memo_;
};

// Text for messages: "[Time]" for a list of hierarchies, "[Time].[1997]" for a member.
std::string HierarchyList(const std::vector<const Hierarchy*>& hierarchies);

}  // namespace orvex::engine
